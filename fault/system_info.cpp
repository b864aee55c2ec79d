#include "fault/system_info.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define QUARRY_HAVE_TSC 1
#else
#include <sys/auxv.h>
#endif

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "platform/ascii_text.h"

namespace quarry::sysinfo {

namespace {

// The largest system file read; /proc/cpuinfo of a machine with a few
// hundred processors stays well below it.
constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

// The file's bytes up to kMaxFileBytes; empty when it cannot be read. The
// files under /proc and /sys report no size, so they are read to their end.
std::string ReadSystemFile(const SystemSources& sources, const std::string& path) {
  const std::string full = sources.root + path;
  FILE* file = std::fopen(full.c_str(), "rb");
  if (file == nullptr) return {};
  std::string bytes;
  std::array<char, 16384> chunk;
  while (bytes.size() < kMaxFileBytes) {
    const size_t want = std::min(chunk.size(), kMaxFileBytes - bytes.size());
    const size_t got = std::fread(chunk.data(), 1, want, file);
    bytes.append(chunk.data(), got);
    if (got < want) break;
  }
  std::fclose(file);
  return bytes;
}

// Calls `line` with each line of `text` (without its end) until it returns
// false.
template <typename Fn>
void ForEachLine(std::string_view text, Fn line) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view current = text.substr(0, end);
    if (!line(current)) return;
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// Splits "key : value" (blanks around either ignored); false without ':'.
bool SplitField(std::string_view line, std::string_view* key, std::string_view* value) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  *key = Trimmed(line.substr(0, colon));
  *value = Trimmed(line.substr(colon + 1));
  return true;
}

// The unsigned decimal number at the start of `text`, moving past it;
// nullopt when none starts there or it does not fit.
std::optional<uint64_t> TakeNumber(std::string_view* text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc()) return std::nullopt;
  text->remove_prefix(static_cast<size_t>(end - text->data()));
  return value;
}

// An os-release value: quotes removed, backslash escapes resolved.
std::string OsReleaseValue(std::string_view raw) {
  raw = Trimmed(raw);
  if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
    raw = raw.substr(1, raw.size() - 2);
  }
  std::string value;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
    value += raw[i];
  }
  return value;
}

// A frequency file of the kernel (kilohertz) in whole megahertz, rounded;
// nullopt when missing, unreadable or zero.
std::optional<uint32_t> FrequencyFileMhz(const SystemSources& sources, const std::string& path) {
  std::string text = ReadSystemFile(sources, path);
  std::string_view digits = Trimmed(text);
  const std::optional<uint64_t> khz = TakeNumber(&digits);
  if (!khz || *khz == 0 || *khz / 1000 > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>((*khz + 500) / 1000);
}

// The speed processor `i` publishes, in whole megahertz, as the registry's
// speed value was kept.
std::optional<uint32_t> PublishedMhz(const SystemSources& sources, int i) {
  const std::string folder = "/sys/devices/system/cpu/cpu" + std::to_string(i) + "/cpufreq/";
  // The rated speed first, as the maker states it; then the highest.
  for (const char* name : {"base_frequency", "cpuinfo_max_freq"}) {
    if (std::optional<uint32_t> mhz = FrequencyFileMhz(sources, folder + name)) return mhz;
  }
  const std::optional<CpuInfoEntry> entry =
      FindCpuInfo(ReadSystemFile(sources, "/proc/cpuinfo"), i);
  if (entry && entry->mhz >= 1.0 && entry->mhz < UINT32_MAX) {
    return static_cast<uint32_t>(std::lround(entry->mhz));
  }
  return std::nullopt;
}

// The user-space address range of a process on this architecture when no
// limit is set.
uint64_t ArchitectureAddressSpace() {
  return sizeof(void*) >= 8 ? (uint64_t{1} << 47) : (uint64_t{3} << 30);
}

}  // namespace

// ---- Pure rules. ----

int ClassifyWindowsVersion(const OsVersionRecord& r) {
  // Product types 2 and 3 are servers; every other value is a workstation.
  const bool server =
      r.product_type == kProductDomainController || r.product_type == kProductServer;
  switch (r.major) {
    case 3:
      if (r.minor == 1) return 0;
      if (r.minor == 0) return 1;
      return -1;
    case 4:
      if (r.minor == 0) return r.platform == kPlatformNt ? 5 : 2;
      if (r.minor == 10) return 3;
      if (r.minor == 90) return 4;
      return -1;
    case 5:
      if (r.minor == 0) return 6;
      if (r.minor == 1) return 7;
      if (r.minor == 2) return r.product_type == kProductWorkstation ? 7 : 8;
      return -1;
    case 6:
      if (r.minor == 0) return server ? 10 : 9;
      if (r.minor == 1) return server ? 10 : 11;
      if (r.minor == 2) return server ? 12 : 13;
      return -1;
    default:
      return -1;
  }
}

std::string WindowsVersionName(int index, bool is_64bit) {
  struct Names {
    const char* plain;
    const char* wow64;
  };
  static constexpr Names kNames[] = {
      {"Windows 3.1", "Windows 3.1"},
      {"Windows NT 3.51", "Windows NT 3.51"},
      {"Windows 95", "Windows 95"},
      {"Windows 98", "Windows 98"},
      {"Windows Me", "Windows Me"},
      {"Windows NT 4.0", "Windows NT 4.0"},
      {"Windows 2000", "Windows 2000"},
      {"Windows XP - 32 Bit", "Windows XP - 64 Bit"},
      {"Windows Server 2003", "Windows Server 2003 - 64 Bit"},
      {"Windows Vista - 32 Bit", "Windows Vista - 64 Bit"},
      // The 32-bit members of the 2008 family are named as such, not as
      // the 2003 server they are not.
      {"Windows Server 2008 - 32 Bit", "Windows Server 2008 - 64 Bit"},
      {"Windows 7 - 32 Bit", "Windows 7 - 64 Bit"},
      {"Windows Server 2012 - 64 Bit", "Windows Server 2012 - 64 Bit"},
      {"Windows 8 - 32 Bit", "Windows 8 - 64 Bit"},
  };
  if (index < 0 || index >= static_cast<int>(std::size(kNames))) return {};
  return is_64bit ? kNames[index].wow64 : kNames[index].plain;
}

std::string VersionNameOf(const OsVersionRecord& record, bool is_64bit) {
  std::string name;
  if (record.platform == kPlatformLinux) {
    name = record.system_name.empty() ? std::string("Linux") : record.system_name;
    if (is_64bit) name += " - 64 Bit";
  } else {
    name = WindowsVersionName(ClassifyWindowsVersion(record), is_64bit);
  }
  if (!name.empty() && !record.service_pack.empty()) name += " " + record.service_pack;
  return name;
}

bool Is32BitProgramOn64BitKernel(int pointer_bits, std::string_view machine) {
  return pointer_bits == 32 && machine.find("64") != std::string_view::npos;
}

std::string GroupedNumber(int64_t value) {
  if (value == 0) return "0";
  // The magnitude as unsigned, so that the smallest value has one too.
  const uint64_t magnitude =
      value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::string text = value < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    const size_t remaining = digits.size() - i;
    if (i > 0 && remaining % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

// ---- Parsers. ----

std::string DistributionName(std::string_view os_release) {
  std::string pretty;
  std::string plain;
  ForEachLine(os_release, [&](std::string_view line) {
    line = Trimmed(line);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return true;
    const std::string_view key = line.substr(0, equals);
    if (key == "PRETTY_NAME") pretty = OsReleaseValue(line.substr(equals + 1));
    if (key == "NAME") plain = OsReleaseValue(line.substr(equals + 1));
    return true;
  });
  return !pretty.empty() ? pretty : plain;
}

std::optional<OsVersionRecord> LinuxVersionRecord(std::string_view kernel_release,
                                                  std::string distribution) {
  kernel_release = Trimmed(kernel_release);
  std::string_view rest = kernel_release;
  uint32_t parts[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const std::optional<uint64_t> number = TakeNumber(&rest);
    if (!number) {
      if (i == 0) return std::nullopt;
      break;
    }
    parts[i] = static_cast<uint32_t>(std::min<uint64_t>(*number, UINT32_MAX));
    if (rest.empty() || rest.front() != '.') break;
    rest.remove_prefix(1);
  }
  OsVersionRecord record;
  record.major = parts[0];
  record.minor = parts[1];
  record.build = parts[2];
  record.platform = kPlatformLinux;
  record.service_pack = std::string(kernel_release);
  record.product_type = kProductWorkstation;
  record.system_name = std::move(distribution);
  return record;
}

int CountCpuList(std::string_view list) {
  list = Trimmed(list);
  if (list.empty()) return 0;
  uint64_t count = 0;
  while (true) {
    const std::optional<uint64_t> first = TakeNumber(&list);
    if (!first) return 0;
    uint64_t last = *first;
    if (!list.empty() && list.front() == '-') {
      list.remove_prefix(1);
      const std::optional<uint64_t> end = TakeNumber(&list);
      if (!end || *end < *first) return 0;
      last = *end;
    }
    count += last - *first + 1;
    if (count > INT32_MAX) return 0;
    if (list.empty()) break;
    if (list.front() != ',') return 0;
    list.remove_prefix(1);
  }
  return static_cast<int>(count);
}

std::optional<CpuInfoEntry> FindCpuInfo(std::string_view cpuinfo, int index) {
  std::optional<CpuInfoEntry> found;
  bool inside = false;  // in the block of the processor asked for
  // Names older kernels and other architectures give instead of "model
  // name", in order of preference.
  int name_rank = 99;
  ForEachLine(cpuinfo, [&](std::string_view line) {
    std::string_view key;
    std::string_view value;
    if (!SplitField(line, &key, &value)) return true;
    if (key == "processor") {
      // A new block begins; the one asked for has ended.
      if (inside) return false;
      std::string_view digits = value;
      const std::optional<uint64_t> number = TakeNumber(&digits);
      inside = number && digits.empty() && *number == static_cast<uint64_t>(index);
      if (inside) {
        found.emplace();
        found->index = index;
      }
      return true;
    }
    if (!inside) return true;
    static constexpr std::string_view kNameKeys[] = {"model name", "Processor", "cpu model",
                                                     "cpu"};
    for (int rank = 0; rank < static_cast<int>(std::size(kNameKeys)); ++rank) {
      if (key == kNameKeys[rank] && rank < name_rank) {
        found->name = std::string(value);
        name_rank = rank;
      }
    }
    if (key == "cpu MHz") {
      double mhz = 0.0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), mhz);
      if (error == std::errc() && std::isfinite(mhz) && mhz > 0.0) found->mhz = mhz;
    }
    return true;
  });
  return found;
}

std::optional<uint64_t> MemInfoBytes(std::string_view text, std::string_view field) {
  std::optional<uint64_t> bytes;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view key;
    std::string_view value;
    if (!SplitField(line, &key, &value) || key != field) return true;
    const std::optional<uint64_t> number = TakeNumber(&value);
    if (!number) return false;
    value = Trimmed(value);
    // Figures are in kilobytes ("kB"); a bare number is a count of bytes.
    const uint64_t scale = value.empty() ? 1 : 1024;
    if (*number > UINT64_MAX / scale) return false;
    bytes = *number * scale;
    return false;
  });
  return bytes;
}

// ---- Readings. ----

int GetVersionIndex(bool* is_64bit, OsVersionRecord* record, const SystemSources& sources) {
  if (is_64bit != nullptr) {
    std::string machine;
    if (sources.machine) {
      machine = *sources.machine;
    } else {
      struct utsname names {};
      if (uname(&names) == 0) machine = names.machine;
    }
    *is_64bit = Is32BitProgramOn64BitKernel(static_cast<int>(sizeof(void*) * 8), machine);
  }
  std::optional<OsVersionRecord> read = LinuxVersionRecord(
      ReadSystemFile(sources, "/proc/sys/kernel/osrelease"),
      DistributionName(ReadSystemFile(sources, "/etc/os-release")));
  if (!read) return kUnknownVersionIndex;
  if (record != nullptr) *record = std::move(*read);
  return kLinuxVersionIndex;
}

std::string GetVersionName(const SystemSources& sources) {
  bool is_64bit = false;
  OsVersionRecord record;
  if (GetVersionIndex(&is_64bit, &record, sources) == kUnknownVersionIndex) return {};
  return VersionNameOf(record, is_64bit);
}

int GetProcessorCount(const SystemSources& sources) {
  int count = CountCpuList(ReadSystemFile(sources, "/sys/devices/system/cpu/online"));
  if (count < 1 && sources.root.empty()) {
    count = static_cast<int>(std::min<long>(sysconf(_SC_NPROCESSORS_ONLN), INT32_MAX));
  }
  return std::max(count, 1);
}

std::string GetProcessorName(int i, const SystemSources& sources) {
  std::optional<CpuInfoEntry> entry = FindCpuInfo(ReadSystemFile(sources, "/proc/cpuinfo"), i);
  return entry ? entry->name : std::string();
}

double GetProcessorSpeed(bool in_mhz, int i, const SystemSources& sources) {
  if (std::optional<uint32_t> mhz = PublishedMhz(sources, i)) {
    return in_mhz ? *mhz : *mhz * 1000.0;
  }
  const double khz = sources.measure_khz ? sources.measure_khz(i) : MeasureClockKhz(i);
  return in_mhz ? khz / 1000.0 : khz;
}

double MeasureClockKhz(int cpu, int duration_ms) {
#ifdef QUARRY_HAVE_TSC
  // Run on the processor asked for, when the system lets this thread;
  // otherwise where it is (the counters of one machine tick alike).
  cpu_set_t before;
  const bool have_before = pthread_getaffinity_np(pthread_self(), sizeof(before), &before) == 0;
  bool moved = false;
  if (have_before && cpu >= 0 && cpu < CPU_SETSIZE) {
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(cpu, &only);
    moved = pthread_setaffinity_np(pthread_self(), sizeof(only), &only) == 0;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const uint64_t ticks_start = __rdtsc();
  std::this_thread::sleep_for(std::chrono::milliseconds(std::max(duration_ms, 1)));
  const uint64_t ticks_end = __rdtsc();
  const Clock::time_point end = Clock::now();
  if (moved) pthread_setaffinity_np(pthread_self(), sizeof(before), &before);
  const double ms = std::chrono::duration<double, std::milli>(end - start).count();
  if (ms <= 0.0 || ticks_end <= ticks_start) return 0.0;
  return static_cast<double>(ticks_end - ticks_start) / ms;
#else
  (void)cpu;
  (void)duration_ms;
  return 0.0;
#endif
}

int32_t GetProcessorFeatures() {
#ifdef QUARRY_HAVE_TSC
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return 0;
  return static_cast<int32_t>(edx);
#else
  return static_cast<int32_t>(getauxval(AT_HWCAP) & 0x7FFFFFFF);
#endif
}

MemoryFigures GetMemoryFigures(bool report_scale, const SystemSources& sources) {
  const std::string meminfo = ReadSystemFile(sources, "/proc/meminfo");
  MemoryFigures figures;
  figures.total_physical = MemInfoBytes(meminfo, "MemTotal").value_or(0);
  // Kernels before 3.14 do not estimate what is available; free memory is
  // the closest they tell.
  figures.available_physical = MemInfoBytes(meminfo, "MemAvailable")
                                   .value_or(MemInfoBytes(meminfo, "MemFree").value_or(0));
  figures.total_paging = MemInfoBytes(meminfo, "SwapTotal").value_or(0);
  figures.available_paging = MemInfoBytes(meminfo, "SwapFree").value_or(0);

  figures.total_virtual = ArchitectureAddressSpace();
  struct rlimit limit {};
  if (sources.root.empty() && getrlimit(RLIMIT_AS, &limit) == 0 &&
      limit.rlim_cur != RLIM_INFINITY) {
    figures.total_virtual = static_cast<uint64_t>(limit.rlim_cur);
  }
  const uint64_t mapped =
      MemInfoBytes(ReadSystemFile(sources, "/proc/self/status"), "VmSize").value_or(0);
  figures.available_virtual = figures.total_virtual > mapped ? figures.total_virtual - mapped : 0;

  if (report_scale) {
    for (uint64_t* figure :
         {&figures.total_physical, &figures.available_physical, &figures.total_paging,
          &figures.available_paging, &figures.total_virtual, &figures.available_virtual}) {
      *figure = ReportMegabytes(*figure);
    }
  }
  return figures;
}

}  // namespace quarry::sysinfo
