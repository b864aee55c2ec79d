#include "fault/fault_report.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quarry {

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string Str(std::string_view text) { return std::string(text); }

// Where each file of this process is loaded, by its real path: this
// process runs the same program, so a file the faulting process had mapped
// is usually loaded here too and its symbols can be looked up here.
struct LoadedFile {
  std::string real_path;
  uintptr_t base = 0;  // address of the file's first byte as mapped
};

std::string RealPath(const char* path) {
  char resolved[PATH_MAX];
  return realpath(path, resolved) != nullptr ? std::string(resolved) : std::string(path);
}

int CollectLoaded(dl_phdr_info* info, size_t, void* data) {
  auto* files = static_cast<std::vector<LoadedFile>*>(data);
  const bool main_program = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    // The first loaded segment is the mapping at file offset 0.
    files->push_back({main_program ? RealPath("/proc/self/exe") : RealPath(info->dlpi_name),
                      info->dlpi_addr + ph.p_vaddr - ph.p_offset});
    break;
  }
  return 0;
}

std::string FunctionName(const std::vector<LoadedFile>& loaded, const std::string& module,
                         uint64_t offset) {
  const std::string real = RealPath(module.c_str());
  uintptr_t base = 0;
  for (const LoadedFile& file : loaded) {
    if (file.real_path == real) base = file.base;
  }
  if (base == 0) return {};
  Dl_info info{};
  const auto* local = reinterpret_cast<const void*>(base + offset);
  if (dladdr(local, &info) == 0 || info.dli_sname == nullptr) return {};
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : info.dli_sname;
  const uintptr_t into = reinterpret_cast<uintptr_t>(local) -
                         reinterpret_cast<uintptr_t>(info.dli_saddr);
  return name + Format("+0x%" PRIxPTR, into);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string FormatReportTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[128];
  const size_t n = std::strftime(text, sizeof text, "%x %-I:%M:%S %p", &local);
  return std::string(text, n);
}

std::string FormatRunTime(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const int64_t days = seconds / 86400;
  const int64_t hours = seconds / 3600 % 24;
  const int64_t minutes = seconds / 60 % 60;
  return Format("%" PRId64 ":%" PRId64 ":%" PRId64 ":%" PRId64 " (Days:Hours:Min:Sec)", days,
                hours, minutes, seconds % 60);
}

std::string ProgramHeaderSection(std::string_view date_time, std::string_view program,
                                 std::string_view file_name, std::string_view version,
                                 std::string_view module) {
  std::string text = Format("Date/Time:\t\t%s\r\nProgram:\t\t%s\r\nFilename:\t\t%s\r\nVersion:\t\t%s\r\n",
                            Str(date_time).c_str(), Str(program).c_str(),
                            Str(file_name).c_str(), Str(version).c_str());
  if (!module.empty()) text += Format("Module:\t\t%s\r\n", Str(module).c_str());
  return text;
}

std::string ExceptionSection(const CExceptionExt& exception, std::string_view detail) {
  std::string access_type, access_address;
  if (exception.Code() == exception_code::kAccessViolation &&
      exception.Access() != AccessKind::kNone) {
    access_type = Format("Access Type:\t%s\r\n",
                         exception.Access() == AccessKind::kWrite ? "Write" : "Read");
    access_address = Format("Access Address:\t%.8" PRIX64 "\r\n", exception.AccessAddress());
  }
  std::string text =
      Format("Exception:\t\t%.8X %s\r\nAddress:\t\t%.8" PRIX64 "\r\n%s%s", exception.Code(),
             Str(ExceptionDescription(exception.Code(), exception.Access())).c_str(),
             exception.FaultAddress(), access_type.c_str(), access_address.c_str());
  if (!exception.Area().empty()) text += Format("Area:\t\t\t%s\r\n", exception.Area().c_str());
  if (!detail.empty()) text += Format("Details:\t\t%s\r\n", Str(detail).c_str());
  return text + "\r\n";
}

std::string RunTimeSection(int64_t seconds, std::string_view status) {
  return Format("Total Runtime:\t%s\r\nCurrent Status:\t%s\r\n", FormatRunTime(seconds).c_str(),
                status.empty() ? "Starting" : Str(status).c_str());
}

std::string ViewsSection(std::string_view current, const std::vector<std::string>& visited) {
  if (current.empty() && visited.empty()) return {};
  std::string text;
  if (visited.empty()) {
    text = Format("Current View:\t%s\r\n", Str(current).c_str());
  } else {
    std::string list = "\t";
    for (const std::string& name : visited) list += name + "\r\n\t\t\t";
    while (!list.empty() && list.back() == '\t') list.pop_back();
    text = Format("Current View:\t%s\r\nVisited Views:%s", Str(current).c_str(), list.c_str());
  }
  return text + "\r\n";
}

std::string SystemInfoSection(const std::vector<ProcessorLine>& processors,
                              std::string_view operating_system,
                              const sysinfo::MemoryFigures& memory) {
  const size_t count = processors.empty() ? 1 : processors.size();
  std::string text = Format("Installed CPUs:\t%zu\r\n", count);
  for (size_t i = 0; i < processors.size(); ++i) {
    text += processors.size() > 1
                ? Format("\tCPU %zu:\t%s @ %0.0f MHz\r\n", i + 1, processors[i].name.c_str(),
                         processors[i].mhz)
                : Format("\tCPU:\t%s @ %0.0f MHz\r\n", processors[i].name.c_str(),
                         processors[i].mhz);
  }
  auto mb = [](uint64_t value) {
    return sysinfo::GroupedNumber(static_cast<int64_t>(value));
  };
  text += Format("Operating System:\t%s\r\n%sTot Phys Mem:\t%s MB\r\nAvail Phys Mem:\t%s MB\r\n"
                 "Tot Paging Mem:\t%s MB\r\nAvail Paging Mem:\t%s MB\r\n",
                 Str(operating_system).c_str(), "", mb(memory.total_physical).c_str(),
                 mb(memory.available_physical).c_str(), mb(memory.total_paging).c_str(),
                 mb(memory.available_paging).c_str());
  return text + "\r\n";
}

std::string ReadSystemInfoSection(const sysinfo::SystemSources& sources) {
  std::vector<ProcessorLine> processors;
  const int count = sysinfo::GetProcessorCount(sources);
  for (int i = 0; i < count; ++i) {
    processors.push_back({sysinfo::GetProcessorName(i, sources),
                          sysinfo::GetProcessorSpeed(true, i, sources)});
  }
  return SystemInfoSection(processors, sysinfo::GetVersionName(sources),
                           sysinfo::GetMemoryFigures(true, sources));
}

std::string RegistersSection(const RawFaultRecord& raw) {
  const uint64_t* r = raw.registers;
  std::string text = "Registers:\r\n";
  switch (static_cast<RegisterSet>(raw.register_set)) {
    case RegisterSet::kX86_64:
      text += Format(
          "RAX=%.16" PRIX64 " CS=%.4" PRIX64 " RIP=%.16" PRIX64 " EFL=%.8" PRIX64 "\r\n"
          "RBX=%.16" PRIX64 " SS=%.4" PRIX64 " RSP=%.16" PRIX64 " RBP=%.16" PRIX64 "\r\n"
          "RCX=%.16" PRIX64 " DS=%.4" PRIX64 " RSI=%.16" PRIX64 " FS=%.4" PRIX64 "\r\n"
          "RDX=%.16" PRIX64 " ES=%.4" PRIX64 " RDI=%.16" PRIX64 " GS=%.4" PRIX64 "\r\n",
          r[kRax], r[kCs], r[kRip], r[kEfl], r[kRbx], r[kSs], r[kRsp], r[kRbp], r[kRcx], r[kDs],
          r[kRsi], r[kFs], r[kRdx], r[kEs], r[kRdi], r[kGs]);
      text += Format("R8 =%.16" PRIX64 " R9 =%.16" PRIX64 " R10=%.16" PRIX64 " R11=%.16" PRIX64
                     "\r\nR12=%.16" PRIX64 " R13=%.16" PRIX64 " R14=%.16" PRIX64
                     " R15=%.16" PRIX64 "\r\n",
                     r[kR8], r[kR9], r[kR10], r[kR11], r[kR12], r[kR13], r[kR14], r[kR15]);
      break;
    case RegisterSet::kAarch64:
      for (int i = 0; i < 31; ++i) {
        text += Format("X%-2d=%.16" PRIX64 "%s", i, r[i], i % 4 == 3 ? "\r\n" : " ");
      }
      text += Format("SP =%.16" PRIX64 "\r\nPC =%.16" PRIX64 " PSTATE=%.8" PRIX64 "\r\n",
                     r[kArmSp], r[kArmPc], r[kArmPstate]);
      break;
    case RegisterSet::kNone:
      text += "(not recorded on this processor)\r\n";
      break;
  }
  return text + "\r\n";
}

std::string StackTraceSection(const std::array<uint64_t, CExceptionExt::kTraceLength>& trace) {
  std::string text = "Stack Trace:\r\n";
  for (size_t i = 0; i < trace.size(); ++i) {
    text += Format("%.*" PRIX64, static_cast<int>(sizeof(void*) * 2), trace[i]);
    text += i % 4 == 3 ? "\r\n" : " ";
  }
  return text + "\r\n";
}

std::string StackDumpSection(uint64_t address, std::string_view bytes, bool faulted) {
  std::string text = "Ext. Stack Trace:\r\n";
  const size_t words = bytes.size() / 4;
  for (size_t line = 0; line * 4 < words; ++line) {
    text += Format("0x%08" PRIX64 ": ", address + line * 16);
    std::string chars;
    for (size_t w = line * 4; w < line * 4 + 4; ++w) {
      if (w >= words) {
        text += "         ";  // a missing word of the short last line
        continue;
      }
      uint32_t word = 0;
      for (int b = 3; b >= 0; --b) {
        word = word << 8 | static_cast<unsigned char>(bytes[w * 4 + static_cast<size_t>(b)]);
      }
      text += Format("%08X ", word);
      for (size_t b = 0; b < 4; ++b) {
        const unsigned char c = static_cast<unsigned char>(bytes[w * 4 + b]);
        chars += c >= 32 && c <= 126 ? static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c) : '.';
      }
    }
    text += chars + "\r\n";
  }
  if (faulted) text += "Exception encountered during extended stack dump.\r\n";
  return text + "\r\n";
}

std::string SymbolsSection(uint64_t fault_address,
                           const std::array<uint64_t, CExceptionExt::kTraceLength>& trace,
                           std::string_view map_text) {
  std::string text = "Call Trace:\r\n";
  std::vector<LoadedFile> loaded;
  dl_iterate_phdr(CollectLoaded, &loaded);
  const int width = static_cast<int>(sizeof(void*) * 2);
  auto line = [&](uint64_t address) {
    text += Format("%.*" PRIX64, width, address);
    const ModuleLocation where = FindModule(map_text, address);
    if (where.path.empty()) {
      text += "  ?\r\n";
      return;
    }
    text += Format("  %s+0x%" PRIx64, BaseName(where.path).c_str(), where.offset);
    // A return address points after its call: look the call itself up.
    const uint64_t lookup = address == fault_address ? where.offset : where.offset - 1;
    std::string function = FunctionName(loaded, where.path, lookup);
    if (!function.empty()) text += "  " + function;
    text += "\r\n";
  };
  line(fault_address);
  for (uint64_t address : trace) {
    if (address != 0) line(address);
  }
  return text + "\r\n";
}

std::string BuildFaultReport(const FaultRecord& record, std::string_view system_section) {
  const RawFaultRecord& raw = record.raw;
  const CExceptionExt exception = ExceptionFromRecord(record);
  const ModuleLocation module = FindModule(record.map_text, raw.fault_address);

  std::string report = ProgramHeaderSection(
      FormatReportTime(static_cast<std::time_t>(raw.fault_time)), raw.app_name, raw.module_path,
      raw.version_text, module.path.empty() ? std::string("Unknown") : module.path);
  report += ExceptionSection(exception, raw.detail);
  report += RunTimeSection(raw.start_time > 0 ? raw.fault_time - raw.start_time : 0, raw.status);

  std::vector<std::string> visited;
  std::string_view list = raw.visited_views;
  while (!list.empty()) {
    const size_t eol = list.find('\n');
    if (eol != 0) visited.emplace_back(list.substr(0, eol));
    list.remove_prefix(eol == std::string_view::npos ? list.size() : eol + 1);
  }
  report += ViewsSection(raw.current_view, visited);
  report += system_section;
  report += RegistersSection(raw);
  report += StackTraceSection(exception.ReturnAddresses());
  report += SymbolsSection(raw.fault_address, exception.ReturnAddresses(), record.map_text);
  if (raw.stack_dump_wanted != 0) {
    report += StackDumpSection(
        raw.stack_dump_address,
        std::string_view(reinterpret_cast<const char*>(raw.stack_dump), raw.stack_dump_length),
        raw.stack_dump_faulted != 0);
  }
  return report;
}

}  // namespace quarry
