#include "web/peers/peer_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

extern char** environ;

namespace quarry::peers {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::string SystemReason(int err) { return std::strerror(err); }

// posix_spawn's file actions and attributes, released however we leave.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attr_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Standard input from /dev/null, output and error to the given files
  // (/dev/null when empty), every other descriptor closed, all signals at
  // their defaults: a test process may ignore SIGPIPE, and ignored signals
  // survive exec.
  void Prepare(const std::filesystem::path& out, const std::filesystem::path& err,
               bool own_group) {
    const int flags = O_WRONLY | O_CREAT | O_APPEND;
    out_ = out.empty() ? "/dev/null" : out.string();
    err_ = err.empty() ? "/dev/null" : err.string();
    posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions_, 1, out_.c_str(), flags, 0644);
    if (err_ == out_) {
      posix_spawn_file_actions_adddup2(&actions_, 1, 2);
    } else {
      posix_spawn_file_actions_addopen(&actions_, 2, err_.c_str(), flags, 0644);
    }
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
#endif
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr_, &all);
    posix_spawnattr_setsigmask(&attr_, &none);
    short spawn_flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (own_group) {
      posix_spawnattr_setpgroup(&attr_, 0);
      spawn_flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr_, spawn_flags);
  }

  // Returns the child's id, or -1 with *error set.
  pid_t Spawn(const std::vector<std::string>& argv, std::string* error) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions_, &attr_, args.data(), environ);
    if (rc != 0) {
      *error = "cannot start " + argv[0] + ": " + SystemReason(rc);
      return -1;
    }
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
  std::string out_;
  std::string err_;
};

}  // namespace

TempDir::TempDir(std::string_view prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
  pattern += "/";
  pattern += prefix;
  pattern += "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

PeerProcess::~PeerProcess() { Stop(); }

bool PeerProcess::Start(const std::vector<std::string>& argv,
                        const std::filesystem::path& log_path, std::string* error,
                        std::chrono::seconds lifetime) {
  if (pid_ > 0) {
    *error = "a process is already running";
    return false;
  }
  if (argv.empty()) {
    *error = "no program given";
    return false;
  }
  std::vector<std::string> full;
  const std::string timeout = FindProgram("timeout");
  if (!timeout.empty()) {
    full = {timeout, "--kill-after=5", std::to_string(lifetime.count()) + "s"};
  }
  full.insert(full.end(), argv.begin(), argv.end());
  SpawnSetup setup;
  setup.Prepare(log_path, log_path, /*own_group=*/true);
  pid_ = setup.Spawn(full, error);
  exited_ = false;
  return pid_ > 0;
}

bool PeerProcess::Running() {
  if (pid_ <= 0 || exited_) return false;
  // WNOWAIT leaves the leader a zombie, so its id (the group's id) cannot be
  // reused before Stop() has swept the group.
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
      info.si_pid == pid_) {
    exited_ = true;
  }
  return !exited_;
}

void PeerProcess::Stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0) return;
  kill(-pid_, SIGTERM);
  const auto deadline = Clock::now() + grace;
  while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(kPollInterval);
  // Workers or per-connection children may outlive a leader that obeyed.
  kill(-pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  exited_ = false;
}

bool RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& out_path,
                const std::filesystem::path& err_path, std::string* error,
                std::chrono::milliseconds limit) {
  if (argv.empty()) {
    *error = "no program given";
    return false;
  }
  SpawnSetup setup;
  setup.Prepare(out_path, err_path, /*own_group=*/false);
  const pid_t pid = setup.Spawn(argv, error);
  if (pid <= 0) return false;
  const auto deadline = Clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) {
      *error = argv[0] + ": wait failed: " + SystemReason(errno);
      return false;
    }
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      *error = argv[0] + " did not finish in time";
      return false;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  std::ostringstream why;
  why << argv[0];
  if (WIFEXITED(status)) {
    why << " exited with status " << WEXITSTATUS(status);
  } else {
    why << " ended by signal " << WTERMSIG(status);
  }
  if (!err_path.empty()) why << ": " << Tail(ReadTextFile(err_path));
  *error = why.str();
  return false;
}

std::string FindProgram(std::string_view name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string_view::npos) {
    return access(std::string(name).c_str(), X_OK) == 0 ? std::string(name) : std::string();
  }
  const char* env = std::getenv("PATH");
  std::string dirs = env != nullptr ? env : "";
  dirs += ":/usr/local/sbin:/usr/sbin:/sbin";
  std::istringstream in(dirs);
  std::string dir;
  while (std::getline(in, dir, ':')) {
    if (dir.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(dir) / name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate.string();
    }
  }
  return {};
}

int PickFreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  close(fd);
  return port;
}

bool WaitForPort(int port, std::chrono::milliseconds timeout, PeerProcess* process) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (process != nullptr && !process->Running()) return false;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool up = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    // A daemon that lost the race for its port exits; do not mistake the
    // winner for it.
    if (up) return process == nullptr || process->Running();
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (out) out.close();
  if (!out) {
    if (error != nullptr) *error = "cannot write " + path.string() + ": " + SystemReason(errno);
    return false;
  }
  return true;
}

std::string ReadTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Tail(std::string_view text, size_t max_chars) {
  if (text.size() <= max_chars) return std::string(text);
  return "..." + std::string(text.substr(text.size() - max_chars));
}

}  // namespace quarry::peers
