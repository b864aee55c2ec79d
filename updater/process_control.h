// The running programs the updater closes and restarts around an
// installation: found by their executable (/proc/<pid>/exe), closed with
// SIGTERM first and SIGKILL on later attempts, and started again detached
// from the updater, so that they outlive it and it never leaves zombies.
//
// An interface, so that tests can stand in for the machine's processes.
// Calls come from the installation's thread.

#ifndef QUARRY_UPDATER_PROCESS_CONTROL_H_
#define QUARRY_UPDATER_PROCESS_CONTROL_H_

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace quarry {

class ProcessControl {
 public:
  virtual ~ProcessControl() = default;
  // The processes (of this user) running the executable at `path`,
  // including one whose file was replaced or deleted since it started.
  virtual std::vector<pid_t> FindRunning(const std::string& path) = 0;
  // Asks process `pid` to end: `attempt` 0 politely (SIGTERM), later ones
  // forcibly (SIGKILL). False when the signal could not be sent.
  virtual bool Terminate(pid_t pid, int attempt) = 0;
  // Starts the program at `path` with no arguments, detached, and waits up
  // to `wait` until it runs (its program has been loaded). False with
  // *error when it could not be started.
  virtual bool Start(const std::string& path, std::chrono::milliseconds wait,
                     std::string* error) = 0;
};

// The machine's own processes.
class SystemProcessControl : public ProcessControl {
 public:
  std::vector<pid_t> FindRunning(const std::string& path) override;
  bool Terminate(pid_t pid, int attempt) override;
  bool Start(const std::string& path, std::chrono::milliseconds wait,
             std::string* error) override;
};

// The executable a /proc/<pid>/exe link names, without the " (deleted)"
// that marks a replaced or removed file.
std::string ExecutableOfLink(std::string link_text);

}  // namespace quarry

#endif  // QUARRY_UPDATER_PROCESS_CONTROL_H_
