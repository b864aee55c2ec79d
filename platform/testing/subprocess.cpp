#include "platform/testing/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace quarry::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> BuildEnvironment(const EnvOverrides& overrides) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
  for (const std::string& change : overrides) {
    std::string name = change.substr(0, change.find('='));
    std::erase_if(env, [&](const std::string& e) {
      return e.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (change.find('=') != std::string::npos) env.push_back(change);
  }
  return env;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts argv with the given pipe ends as its stdin/stdout/stderr (-1:
// inherited). Returns the pid, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const EnvOverrides& overrides,
            int in_fd, int out_fd, int err_fd) {
  std::vector<std::string> args = argv;
  std::vector<std::string> env = BuildEnvironment(overrides);
  std::vector<char*> c_args = CStrings(args);
  std::vector<char*> c_env = CStrings(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in_fd >= 0) posix_spawn_file_actions_adddup2(&actions, in_fd, 0);
  if (out_fd >= 0) posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  if (err_fd >= 0) posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, c_args[0], &actions, nullptr, c_args.data(), c_env.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

void FillStatus(int status, ProcessResult* result) {
  if (WIFEXITED(status)) {
    result->exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result->signal = WTERMSIG(status);
  }
}

// Waits for `pid` until `deadline`, then kills it; fills the status.
void Reap(pid_t pid, Clock::time_point deadline, ProcessResult* result) {
  int status = 0;
  while (true) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return;
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      result->timed_out = true;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  FillStatus(status, result);
}

int MillisLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const EnvOverrides& env,
                         std::string_view input, std::chrono::milliseconds timeout) {
  // A child that exits without reading its input must not kill the test.
  static const bool kPipeSignalIgnored = (signal(SIGPIPE, SIG_IGN), true);
  (void)kPipeSignalIgnored;
  ProcessResult result;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return result;
  pid_t pid = Spawn(argv, env, in_pipe[0], out_pipe[1], err_pipe[1]);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  Clock::time_point deadline = Clock::now() + timeout;
  if (pid < 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }

  int in_fd = in_pipe[1];
  fcntl(in_fd, F_SETFL, O_NONBLOCK);
  size_t written = 0;
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  int fds[2] = {out_pipe[0], err_pipe[0]};
  std::string* sinks[2] = {&result.out, &result.err};
  while ((fds[0] >= 0 || fds[1] >= 0) && Clock::now() < deadline) {
    pollfd polls[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {in_fd, POLLOUT, 0}};
    if (poll(polls, 3, MillisLeft(deadline)) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i] < 0 || polls[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = read(fds[i], buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i]);
        fds[i] = -1;
      }
    }
    if (in_fd >= 0 && polls[2].revents != 0) {
      ssize_t put = write(in_fd, input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<size_t>(put);
      if ((put < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
        close(in_fd);
        in_fd = -1;
      }
    }
  }
  for (int fd : {fds[0], fds[1], in_fd}) {
    if (fd >= 0) close(fd);
  }
  Reap(pid, deadline, &result);
  return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const EnvOverrides& env) {
  int out_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return;
  pid_ = Spawn(argv, env, -1, out_pipe[1], -1);
  close(out_pipe[1]);
  out_fd_ = out_pipe[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(10));
  }
  if (out_fd_ >= 0) close(out_fd_);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  while (true) {
    if (size_t end = pending_.find('\n'); end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    if (out_fd_ < 0 || Clock::now() >= deadline) return std::nullopt;
    pollfd poll_fd{out_fd_, POLLIN, 0};
    if (poll(&poll_fd, 1, MillisLeft(deadline)) <= 0) continue;
    char buffer[4096];
    ssize_t got = read(out_fd_, buffer, sizeof buffer);
    if (got > 0) {
      pending_.append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      close(out_fd_);
      out_fd_ = -1;
    }
  }
}

void ChildProcess::Kill(int signal) {
  if (pid_ > 0 && !reaped_) kill(pid_, signal);
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds timeout) {
  ProcessResult result;
  if (pid_ <= 0 || reaped_) return result;
  Reap(pid_, Clock::now() + timeout, &result);
  reaped_ = true;
  return result;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/quarry-test-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace quarry::testing
