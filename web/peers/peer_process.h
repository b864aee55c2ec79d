// Process, port and file plumbing for the tests that run real network
// daemons on the loopback interface. Plain POSIX and the standard library:
// no test framework, no Qt, so the launcher program can use it too.

#ifndef QUARRY_WEB_PEERS_PEER_PROCESS_H_
#define QUARRY_WEB_PEERS_PEER_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::peers {

// A fresh private directory under $TMPDIR (or /tmp). The destructor removes
// it with everything in it. When creation fails, path() is empty and the
// destructor does nothing.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "quarry-peer");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// One daemon started in the foreground in a process group of its own, so
// that stopping it also reaches the workers and per-connection children it
// forks. The object owns the process: the destructor stops it.
//
// Each daemon runs under coreutils' `timeout` when that is installed, so a
// test process that dies without running destructors (killed by CTest's
// time-out, say) still leaves nothing running for longer than `lifetime`.
class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Starts argv (argv[0] an absolute path) with standard input from
  // /dev/null and standard output and error appended to `log_path`. Fails,
  // with a reason in *error, when a process is already running or the spawn
  // fails; nothing is left running then.
  bool Start(const std::vector<std::string>& argv,
             const std::filesystem::path& log_path, std::string* error,
             std::chrono::seconds lifetime = std::chrono::seconds(180));

  // True while the process has not exited. Reaps it once it has.
  bool Running();

  // Sends SIGTERM to the process group, waits up to `grace` for the leader,
  // then SIGKILLs the group and reaps the leader. Safe to call repeatedly.
  void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

// Runs argv to completion with standard output to `out_path` and standard
// error to `err_path` (either may be empty for /dev/null). Kills it after
// `limit`. Returns true when it exited with status 0; otherwise *error says
// why, including the tail of the error output.
bool RunProgram(const std::vector<std::string>& argv,
                const std::filesystem::path& out_path,
                const std::filesystem::path& err_path, std::string* error,
                std::chrono::milliseconds limit = std::chrono::seconds(30));

// The absolute path of program `name`, searched in $PATH and then in the
// sbin folders that a non-root PATH often lacks. Empty when not found.
std::string FindProgram(std::string_view name);

// A TCP port on 127.0.0.1 that was free a moment ago (the kernel's choice
// for port 0). Another process may take it before the caller binds it, so
// starters retry with a fresh port when their daemon cannot listen.
// Returns 0 when no socket could be bound.
int PickFreePort();

// Waits until something accepts TCP connections on 127.0.0.1:`port`, for at
// most `timeout`. Gives up early, returning false, when `process` (may be
// null) has exited.
bool WaitForPort(int port, std::chrono::milliseconds timeout,
                 PeerProcess* process);

// Whole-file helpers. WriteTextFile replaces the file; on failure *error
// (may be null) names the path and the system's reason.
bool WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   std::string* error);
// The file's bytes, or an empty string when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& path);

// The last `max_chars` characters of a text, for failure messages.
std::string Tail(std::string_view text, size_t max_chars = 600);

}  // namespace quarry::peers

#endif  // QUARRY_WEB_PEERS_PEER_PROCESS_H_
