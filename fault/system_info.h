// What the program tells about the machine it runs on: the operating
// system, the processors with their names and clock speeds, and the memory
// figures. The fault report's system section, the usage report and the
// message box's sound rule take their values from here.
//
// The classification of Windows versions is kept as a pure function
// (ClassifyWindowsVersion) so that records the maker's older programs sent
// still read the same; on this system the version record describes the
// Linux kernel, and the name is the distribution's own name followed by the
// kernel release.
//
// Nothing here fails: a value that cannot be read degrades (index -1 and an
// empty name for an unreadable version, an empty processor name, a speed
// that is measured when none is published, zero memory figures). The
// functions keep no state and may run on any thread. Plain C++, no Qt.
//
// Every reading function takes a SystemSources: by default the running
// system's files (/proc, /sys, /etc/os-release); tests point `root` at a
// folder laid out the same way.

#ifndef QUARRY_FAULT_SYSTEM_INFO_H_
#define QUARRY_FAULT_SYSTEM_INFO_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::sysinfo {

// Platform values of a version record. The Windows ones are those of the
// records the classification reads; kPlatformLinux marks this system's.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows = 1;  // 95, 98, Me
inline constexpr uint32_t kPlatformNt = 2;
inline constexpr uint32_t kPlatformLinux = 0x4C;

// Product types: a workstation; 2 (domain controller) and 3 count as server.
inline constexpr uint8_t kProductWorkstation = 1;
inline constexpr uint8_t kProductDomainController = 2;
inline constexpr uint8_t kProductServer = 3;

// The version index of a Linux record: outside the Windows table, so that
// no Windows index is ever mistaken for it. -1 means unknown.
inline constexpr int kLinuxVersionIndex = 100;
inline constexpr int kUnknownVersionIndex = -1;

// The operating system's version record.
struct OsVersionRecord {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platform = 0;
  // Windows: the service-pack text ("Service Pack 1"). Linux: the kernel
  // release ("6.1.0-18-amd64").
  std::string service_pack;
  uint8_t product_type = kProductWorkstation;
  // Linux: the distribution's own name ("Debian GNU/Linux 12 (bookworm)");
  // empty for Windows records.
  std::string system_name;
};

// Where the readings come from.
struct SystemSources {
  // Prefix of every file read ("" reads the running system's).
  std::string root;
  // Measures processor `cpu`'s clock in kilohertz, for processors that
  // publish no speed; 0 when it cannot be measured. Empty: the time-stamp
  // counter is timed against the system's steady clock (MeasureClockKhz).
  std::function<double(int cpu)> measure_khz;
  // The kernel's machine name ("x86_64") for the 64-bit flag. nullopt: the
  // running kernel's (uname).
  std::optional<std::string> machine;
};

// ---- Pure rules, tested with Windows records. ----

// The index of the Windows version table: 0 "Windows 3.1" ... 13
// "Windows 8", or -1 for any record the table does not list (6.3 and 10.0
// among them).
int ClassifyWindowsVersion(const OsVersionRecord& record);

// The table's name for `index` with the 64-bit flag; empty for -1 and for
// indices the table does not list.
std::string WindowsVersionName(int index, bool is_64bit);

// The name a report shows for `record`: for Windows records the table's
// name, for Linux ones the distribution's name (else "Linux") with
// " - 64 Bit" when `is_64bit`; then, when the name is not empty and the
// record's service-pack text is not, a blank and that text.
std::string VersionNameOf(const OsVersionRecord& record, bool is_64bit);

// True when a program built with `pointer_bits`-bit pointers runs on a
// kernel whose machine name (uname -m) says it is 64-bit.
bool Is32BitProgramOn64BitKernel(int pointer_bits, std::string_view machine);

// `value` in decimal with a comma before every group of three digits
// counted from the right: 0 gives "0", 1234567 "1,234,567", -4500
// "-4,500". Every 64-bit value, the smallest included.
std::string GroupedNumber(int64_t value);

// Bytes in the report's "MB": divided by 1074504 (not 1048576), rounded
// down; 8589934592 bytes give 7994.
inline constexpr uint64_t kReportMegabyte = 1074504;
constexpr uint64_t ReportMegabytes(uint64_t bytes) { return bytes / kReportMegabyte; }

// ---- Parsers of the system's files (pure, bounded by their input). ----

// The name /etc/os-release gives: PRETTY_NAME, else NAME, else empty.
// Values may be quoted with " or ' and use backslash escapes.
std::string DistributionName(std::string_view os_release);

// The version record of a kernel release text ("6.1.0-18-amd64": major 6,
// minor 1, build 0; missing numbers count as 0), with `distribution` as
// the system name. nullopt when the text does not start with a number.
std::optional<OsVersionRecord> LinuxVersionRecord(std::string_view kernel_release,
                                                  std::string distribution);

// The number of processors a list such as /sys/devices/system/cpu/online
// holds ("0-3,6" names 5); 0 when the text is not such a list.
int CountCpuList(std::string_view list);

// One processor of /proc/cpuinfo.
struct CpuInfoEntry {
  int index = -1;
  std::string name;  // "model name" (or the older "Processor", "cpu model", "cpu")
  double mhz = 0.0;  // "cpu MHz"; 0 when absent
};

// The entry of processor `index` in a /proc/cpuinfo text; nullopt when it
// is not listed.
std::optional<CpuInfoEntry> FindCpuInfo(std::string_view cpuinfo, int index);

// A value of a /proc/meminfo or /proc/self/status text, in bytes (the
// files give kilobytes); nullopt when the field is missing.
std::optional<uint64_t> MemInfoBytes(std::string_view text, std::string_view field);

// ---- Readings of the running system. ----

// Reads the version record: the kernel release and the distribution's name.
// With `is_64bit` the 64-bit flag is filled, with `record` the record is
// copied out. Returns kLinuxVersionIndex, or -1 when the kernel release
// cannot be read.
int GetVersionIndex(bool* is_64bit, OsVersionRecord* record,
                    const SystemSources& sources = {});

// The name of the running system (VersionNameOf), e.g.
// "Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64"; empty when the version
// cannot be read.
std::string GetVersionName(const SystemSources& sources = {});

// The number of processors online; at least 1.
int GetProcessorCount(const SystemSources& sources = {});

// Processor `i`'s name (from 0); empty when missing.
std::string GetProcessorName(int i, const SystemSources& sources = {});

// Processor `i`'s clock: megahertz with `in_mhz`, kilohertz otherwise. The
// published speed in whole megahertz (the rated base frequency, else the
// highest, else the one /proc/cpuinfo shows); when none is published, the
// measured one (MeasureClockKhz), which blocks the calling thread for a
// quarter of a second; 0 when that fails too.
double GetProcessorSpeed(bool in_mhz, int i, const SystemSources& sources = {});

// Times the time-stamp counter of processor `cpu` (the calling thread runs
// there meanwhile, when the system lets it) against the steady clock for
// `duration_ms`; the counter's rate in kilohertz, 0 on processors without
// one.
double MeasureClockKhz(int cpu, int duration_ms = 250);

// The processor's feature flags for the usage report: the feature word of
// the processor identification instruction (EDX of leaf 1) on x86, the
// kernel's hardware capabilities elsewhere.
int32_t GetProcessorFeatures();

// Memory figures, in bytes or with `report_scale` in the report's "MB"
// (ReportMegabytes). Paging means swap space here; virtual space is this
// process's address space (its limit, else the architecture's user space)
// and what of it is not yet mapped. Figures that cannot be read are 0.
struct MemoryFigures {
  uint64_t total_physical = 0;
  uint64_t available_physical = 0;
  uint64_t total_paging = 0;
  uint64_t available_paging = 0;
  uint64_t total_virtual = 0;
  uint64_t available_virtual = 0;
};
MemoryFigures GetMemoryFigures(bool report_scale, const SystemSources& sources = {});

}  // namespace quarry::sysinfo

#endif  // QUARRY_FAULT_SYSTEM_INFO_H_
