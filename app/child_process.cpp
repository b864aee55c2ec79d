#include "app/child_process.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace quarry {

pid_t StartChildProcess(const std::vector<std::string>& argv,
                        std::string* error) {
  if (argv.empty() || argv[0].empty()) {
    if (error) *error = "no program was named";
    return -1;
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (rc != 0) {
    if (error) {
      *error = rc == ENOENT ? "the program \"" + argv[0] + "\" is not installed"
                            : "\"" + argv[0] + "\" could not be started: " +
                                  std::strerror(rc);
    }
    return -1;
  }
  return pid;
}

std::optional<ChildExit> WaitForChild(pid_t pid,
                                      std::chrono::milliseconds limit,
                                      std::stop_token stop) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      ChildExit exit;
      exit.exited = WIFEXITED(status);
      exit.code = exit.exited ? WEXITSTATUS(status) : WTERMSIG(status);
      return exit;
    }
    if (r < 0 && errno != EINTR) {
      // Not our child, or reaped elsewhere: how it ended is unknown, and an
      // unknown end must not pass for success.
      return ChildExit{true, -1};
    }
    if (Clock::now() >= deadline || stop.stop_requested()) return std::nullopt;
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(50)) pause *= 2;
  }
}

void ReapInBackground(pid_t pid) {
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

bool ProgramExists(const std::string& name) {
  if (name.empty()) return false;
  if (name.find('/') != std::string::npos) {
    return access(name.c_str(), X_OK) == 0;
  }
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) dir = ".";
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

}  // namespace quarry
