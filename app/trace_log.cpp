#include "app/trace_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace quarry {
namespace {

constexpr char kEol[] = "\r\n";

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Local date and time as "YYYY-MM-DD HH:MM:SS".
std::string Timestamp(bool with_millis) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  size_t n = std::strftime(text, sizeof text, with_millis ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S",
                           &local);
  if (with_millis) {
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            now.time_since_epoch()).count() % 1000;
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(millis));
  }
  return text;
}

// Creates the folders above `path` that are missing, private to the user.
bool MakeParentFolders(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return true;
  std::error_code error;
  if (std::filesystem::is_directory(parent, error)) return true;
  if (!MakeParentFolders(parent.string())) return false;
  return mkdir(parent.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(needed));
  return text;
}

}  // namespace

std::string TraceFilePathFrom(const char* trace_file, const char* xdg_state_home,
                              const char* home) {
  if (trace_file != nullptr && trace_file[0] != '\0') return trace_file;
  std::string folder;
  if (IsAbsolute(xdg_state_home)) {
    folder = xdg_state_home;
  } else if (home != nullptr && home[0] != '\0') {
    folder = std::string(home) + "/.local/state";
  } else {
    return {};
  }
  return folder + "/quarry/" + kTraceFileName;
}

std::string TraceFilePath() {
  return TraceFilePathFrom(std::getenv(kTraceFileVariable), std::getenv("XDG_STATE_HOME"),
                           std::getenv("HOME"));
}

TraceLog& TraceLog::Instance() {
  static TraceLog* log = new TraceLog;
  return *log;
}

TraceLog::~TraceLog() { Stop(); }

bool TraceLog::Start(const std::string& path) {
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ != nullptr) return true;
  if (path.empty() || !MakeParentFolders(path)) return false;
  // Traces may name the pages the user visits: keep the file private.
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::FILE* file = fdopen(fd, "ab");
  if (file == nullptr) {
    close(fd);
    return false;
  }
  const std::string header = Timestamp(false) + kEol + kEol;
  if (std::fputs(header.c_str(), file) < 0 || std::fflush(file) != 0) {
    std::fclose(file);
    return false;
  }
  file_ = file;
  path_ = path;
  running_.store(true, std::memory_order_release);
  return true;
}

void TraceLog::Stop() {
  std::lock_guard<std::mutex> lock(mu_);
  running_.store(false, std::memory_order_release);
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  path_.clear();
}

std::string TraceLog::Path() const {
  std::lock_guard<std::mutex> lock(mu_);
  return path_;
}

void TraceLog::Trace(const char* format, ...) {
  if (!IsRunning()) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  Write(text);
}

void TraceLog::Write(const std::string& text) {
  std::string line = Timestamp(true) + " [" + std::to_string(gettid()) + "] " + text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  line += kEol;
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr) return;
  // Flushed line by line so that the trace up to a crash survives it.
  std::fputs(line.c_str(), file_);
  std::fflush(file_);
}

void Trace(const char* format, ...) {
  TraceLog& log = TraceLog::Instance();
  if (!log.IsRunning()) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  log.Write(text);
}

}  // namespace quarry
