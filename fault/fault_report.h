// The readable fault report: plain text with CR LF line ends, built from a
// fault record by the reporting process. Its sections, in order:
//   program header (date and time of the fault, program, file, version,
//   faulting module), exception details, run time and status, views,
//   system information, registers, call trace (with the module and symbol
//   of each address) and, when it was recorded, the raw stack.
// Each section builder is a pure function so that the formats can be
// checked one by one.

#ifndef QUARRY_FAULT_FAULT_REPORT_H_
#define QUARRY_FAULT_FAULT_REPORT_H_

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "fault/exception_ext.h"
#include "fault/fault_record.h"
#include "fault/system_info.h"

namespace quarry {

// "%x %-I:%M:%S %p" of `when` in local time and the current locale.
std::string FormatReportTime(std::time_t when);

// "D:H:M:S (Days:Hours:Min:Sec)" of a run time in seconds (negative counts
// as 0).
std::string FormatRunTime(int64_t seconds);

// "Date/Time:\t\t..." to "Module:\t\t...\r\n"; without the module line when
// `module` is empty.
std::string ProgramHeaderSection(std::string_view date_time, std::string_view program,
                                 std::string_view file_name, std::string_view version,
                                 std::string_view module);

// "Exception:\t\t%.8X %s\r\nAddress:\t\t%.8X\r\n" with the access lines of an
// access violation, the thread's area and what an uncaught exception said
// when known, and an empty line.
std::string ExceptionSection(const CExceptionExt& exception, std::string_view detail);

// "Total Runtime:\t...\r\nCurrent Status:\t...\r\n"; "Starting" stands for
// an empty status.
std::string RunTimeSection(int64_t seconds, std::string_view status);

// "Current View:\t%s\r\n" and the visited views; empty when no view is
// known. Followed by an empty line when not empty.
std::string ViewsSection(std::string_view current, const std::vector<std::string>& visited);

// The registers in the layout of the record's processor, and an empty line.
std::string RegistersSection(const RawFaultRecord& raw);

// "Stack Trace:\r\n" and the addresses, four a line, and an empty line.
std::string StackTraceSection(const std::array<uint64_t, CExceptionExt::kTraceLength>& trace);

// "Ext. Stack Trace:\r\n" and the dump of `bytes` read from `address`: four
// 32-bit words a line with their characters; a short last line is padded.
// `faulted` adds the line that says reading stopped at an unreadable page.
std::string StackDumpSection(uint64_t address, std::string_view bytes, bool faulted);

// One line per non-zero address of the trace (the fault address first):
// the address, its module and offset, and the function when it can be
// named. `map_text` is the faulting process's memory map.
std::string SymbolsSection(uint64_t fault_address,
                           const std::array<uint64_t, CExceptionExt::kTraceLength>& trace,
                           std::string_view map_text);

// The system information: "Installed CPUs:\t%i\r\n" (at least 1), a line
// per processor ("\tCPU %i:\t%s @ %0.0f MHz" numbered from 1, or
// "\tCPU:\t..." for one), the operating system and the memory figures in
// the report's MB (`memory` already so scaled), grouped; and an empty line.
struct ProcessorLine {
  std::string name;
  double mhz = 0;
};
std::string SystemInfoSection(const std::vector<ProcessorLine>& processors,
                              std::string_view operating_system,
                              const sysinfo::MemoryFigures& memory);
// The same for the machine this runs on. May take a quarter of a second
// per processor that publishes no speed.
std::string ReadSystemInfoSection(const sysinfo::SystemSources& sources = {});

// The whole report. `system_section` is the system information block
// (already followed by its empty line, or empty).
std::string BuildFaultReport(const FaultRecord& record, std::string_view system_section);

}  // namespace quarry

#endif  // QUARRY_FAULT_FAULT_REPORT_H_
