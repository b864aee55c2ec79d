// Turning processor faults of the main program into fault reports.
//
// InstallFaultCapture() puts one handler on SIGSEGV, SIGBUS, SIGFPE, SIGILL
// and SIGABRT (the last one is how an uncaught C++ exception or a failed
// check ends). When a fault happens the handler, which only does what is
// safe inside a signal handler:
//   1. takes the fault's place, registers, call trace and (when asked for)
//      the raw stack into a fixed record, with the program's diagnostic
//      values kept below and the name of the thread's program area;
//   2. writes the record and the process's memory map to a new file in the
//      report folder;
//   3. starts the reporter program in a fresh process with that file's
//      path as its last argument (it builds the readable report, keeps it
//      and shows it to the user);
//   4. ends the process with exit code 3.
// Memory is read through a pipe, so an unreadable frame pointer or stack
// page ends a trace or a dump instead of faulting again; a fault inside the
// handler itself, or a handler stuck for kWatchdogSeconds, skips straight to
// step 3 with what was written. When two threads fault together the second
// waits for the first to end the process.
//
// Threads: sigaltstack and the area name are per thread. A thread that runs
// a FaultGuard for its life gets its own alternate signal stack (so a stack
// overflow can still be reported) and its area name in the report; other
// threads are reported with an empty area.

#ifndef QUARRY_FAULT_FAULT_CAPTURE_H_
#define QUARRY_FAULT_FAULT_CAPTURE_H_

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

inline constexpr int kFaultExitCode = 3;
inline constexpr unsigned kWatchdogSeconds = 10;

struct FaultCaptureOptions {
  // Where the record files go; created (mode 0700) when missing.
  std::string report_folder;
  // The reporter's command; the record's path is added as its last
  // argument. Empty: no reporter is started (the record stays).
  std::vector<std::string> reporter;
  // Also record up to 12288 bytes of the faulting thread's stack.
  bool extended_stack_dump = false;
};

// Installs the handler and guards the calling thread (with an empty area)
// for the rest of the process. May be called again to change the options.
// False with a reason in *error when the folder cannot be made or the
// handler not installed; faults then end the process the ordinary way.
bool InstallFaultCapture(const FaultCaptureOptions& options, std::string* error);
bool FaultCaptureInstalled();

// Guards the thread that makes it until it is destroyed: an alternate
// signal stack and the area name ("Globals (Execute Process)", ...; at most
// 63 bytes are kept). Make it first thing in a thread's function, on that
// thread; it must be destroyed on the same thread.
class FaultGuard {
 public:
  explicit FaultGuard(std::string_view area);
  ~FaultGuard();
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;

 private:
  void* alt_stack_ = nullptr;
  bool had_previous_ = false;
};

// The program's diagnostic values for the next report. Each setter copies
// the text (cut to its slot's size); the handler reads the last complete
// copy. Setters are thread-safe.
void SetFaultProgramInfo(std::string_view app_name, std::string_view module_path,
                         std::string_view version,
                         std::chrono::system_clock::time_point start_time);
void SetFaultStatus(std::string_view status);
void SetFaultViews(std::string_view current, const std::vector<std::string>& visited);

// Faults raised on purpose, to try the whole path.
enum class SimulatedFault { kRead, kDivide, kAbort };
// "read", "divide" or "abort"; nullopt for anything else.
std::optional<SimulatedFault> ParseSimulatedFault(std::string_view name);
// Reads address 0, divides an integer by 0, or ends in std::terminate()
// with an uncaught exception. Does not return.
[[noreturn]] void SimulateFault(SimulatedFault fault);

}  // namespace quarry

#endif  // QUARRY_FAULT_FAULT_CAPTURE_H_
