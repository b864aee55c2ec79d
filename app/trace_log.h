// The diagnostic trace of the main program: a text file that grows while
// tracing is on (the "DebugModeTracer" setting). Each run that starts it
// appends a header (the date and time, then an empty line) and then one
// line per Trace() call, stamped with the time and the calling thread.
// Lines end in CR LF like every file the program writes.

#ifndef QUARRY_APP_TRACE_LOG_H_
#define QUARRY_APP_TRACE_LOG_H_

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace quarry {

// Names a trace file to use instead of the default one (tests, support).
inline constexpr char kTraceFileVariable[] = "QUARRY_TRACE_FILE";
// The default file's name inside the user's state folder.
inline constexpr char kTraceFileName[] = "QuarryTrace.log";

// The trace file: $QUARRY_TRACE_FILE when set and not empty, else
// "quarry/QuarryTrace.log" under $XDG_STATE_HOME when that is an absolute
// path, else under "$HOME/.local/state". Empty when no folder is known.
std::string TraceFilePath();
// The same rule on given variable values (null for unset).
std::string TraceFilePathFrom(const char* trace_file, const char* xdg_state_home,
                              const char* home);

// One trace file for the process. All members are thread-safe; Trace()
// costs one atomic load while tracing is off.
class TraceLog {
 public:
  // The process's trace; never destroyed.
  static TraceLog& Instance();

  TraceLog() = default;
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Opens `path` for appending, creating it (mode 0600) and its missing
  // folders (mode 0700) when absent, and writes the header. True when tracing is on
  // afterwards; a log that is already running is left as it is. On failure
  // tracing stays off and nothing is written.
  bool Start(const std::string& path = TraceFilePath());

  // Closes the file; tracing is off afterwards.
  void Stop();

  bool IsRunning() const { return running_.load(std::memory_order_acquire); }

  // The open file's path; empty while off.
  std::string Path() const;

  // Appends one line formatted like printf. Does nothing while off. A
  // trailing newline in `format` is not needed (and is dropped).
  void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Appends `text` as one line, as Trace("%s", text) would.
  void Write(const std::string& text);

 private:

  mutable std::mutex mu_;
  std::FILE* file_ = nullptr;  // guarded by mu_
  std::string path_;           // guarded by mu_
  std::atomic<bool> running_{false};
};

// Trace() on the process's trace log.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quarry

#endif  // QUARRY_APP_TRACE_LOG_H_
