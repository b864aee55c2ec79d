// Child processes for tests: run a program to completion, or keep one
// running and read its output line by line. Every wait is bounded.

#ifndef QUARRY_PLATFORM_TESTING_SUBPROCESS_H_
#define QUARRY_PLATFORM_TESTING_SUBPROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::testing {

// "NAME=VALUE" sets a variable for the child, a bare "NAME" removes it;
// the rest of the child's environment is this process's.
using EnvOverrides = std::vector<std::string>;

struct ProcessResult {
  int exit_code = -1;      // -1 when killed by a signal or not started
  int signal = 0;          // the signal that ended it, else 0
  bool timed_out = false;  // killed by RunProcess after `timeout`
  std::string out;
  std::string err;
};

// Runs argv[0] (a path) with `input` on its standard input and collects
// both outputs; a child still running after `timeout` is killed.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const EnvOverrides& env, std::string_view input = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(60));

// A running child with its standard output on a pipe; standard error is
// shared with the test. The destructor kills and reaps a child still alive.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const EnvOverrides& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The next line of output without its '\n'; nullopt at the end of the
  // output or when none is complete within `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);

  void Kill(int signal);

  // Waits for the child to end, killing it after `timeout`; the same
  // fields as RunProcess fills, without the outputs.
  ProcessResult Wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string pending_;
  bool reaped_ = false;
};

// A fresh private folder under $TMPDIR (or /tmp), removed with its
// contents by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Replaces a file's content; false on failure.
bool WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace quarry::testing

#endif  // QUARRY_PLATFORM_TESTING_SUBPROCESS_H_
