#include "updater/process_control.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace quarry {

namespace fs = std::filesystem;

namespace {

constexpr char kDeletedMark[] = " (deleted)";

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

// Writes all of `bytes` to `fd`; async-signal-safe (used after fork).
void WriteAll(int fd, const void* bytes, size_t size) {
  const char* p = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

std::string ExecutableOfLink(std::string link_text) {
  const std::string mark = kDeletedMark;
  if (link_text.size() > mark.size() &&
      link_text.compare(link_text.size() - mark.size(), mark.size(), mark) == 0) {
    link_text.erase(link_text.size() - mark.size());
  }
  return link_text;
}

std::vector<pid_t> SystemProcessControl::FindRunning(const std::string& path) {
  std::vector<pid_t> found;
  const std::string wanted = Canonical(path);
  const pid_t self = ::getpid();
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (pid == self) continue;
    // Unreadable for other users' processes and for zombies: neither is
    // ours to close.
    char link[4096];
    const ssize_t n = ::readlink(("/proc/" + name + "/exe").c_str(), link, sizeof link - 1);
    if (n <= 0) continue;
    if (ExecutableOfLink(std::string(link, static_cast<size_t>(n))) == wanted) {
      found.push_back(pid);
    }
  }
  return found;
}

bool SystemProcessControl::Terminate(pid_t pid, int attempt) {
  return ::kill(pid, attempt == 0 ? SIGTERM : SIGKILL) == 0 || errno == ESRCH;
}

bool SystemProcessControl::Start(const std::string& path, std::chrono::milliseconds wait,
                                 std::string* error) {
  // A pipe closed on exec tells the parent that the program was loaded; a
  // failed exec writes its errno instead.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    *error = std::string("cannot start ") + path + ": " + std::strerror(errno);
    return false;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    *error = std::string("cannot start ") + path + ": " + std::strerror(errno);
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The middle process: a new session, then the program in a grandchild
    // that init adopts, so the updater neither waits for it nor keeps it.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
      const int e = errno;
      WriteAll(report[1], &e, sizeof e);
      ::_exit(1);
    }
    if (grandchild > 0) ::_exit(0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null_in = ::open("/dev/null", O_RDONLY);
    if (null_in >= 0) ::dup2(null_in, STDIN_FILENO);
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    ::execv(path.c_str(), argv);
    const int e = errno;
    WriteAll(report[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(report[1]);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  // Bounded: the grandchild either execs (closing the pipe) or reports.
  int child_error = 0;
  ssize_t got = 0;
  pollfd pfd{report[0], POLLIN, 0};
  const int ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
  if (ready > 0) {
    do {
      got = ::read(report[0], &child_error, sizeof child_error);
    } while (got < 0 && errno == EINTR);
  }
  ::close(report[0]);
  if (ready == 0) {
    *error = "cannot tell whether " + path + " started";
    return false;
  }
  if (got > 0) {
    *error = "cannot start " + path + ": " + std::strerror(child_error);
    return false;
  }
  return true;
}

}  // namespace quarry
