// peer_launch: starts one test daemon on 127.0.0.1, runs a command while it
// is up, then stops it. For shell-level tests that need a real server.
//
//   peer_launch PEER [--root DIR] [--timeout SECONDS] -- COMMAND [ARG...]
//
// PEER is nginx, nginx-tls or vsftpd. --root copies DIR's contents into the
// folder the daemon serves. The command runs with the environment
// variables
//   PEER_PORT        the port to use: HTTPS for nginx-tls, HTTP for nginx,
//                    FTP for vsftpd
//   PEER_HTTP_PORT   nginx's HTTP port (nginx, nginx-tls)
//   PEER_CA_FILE     the certificate authority to trust (nginx-tls)
//   PEER_DIR         the daemon's folder, with its logs
// The exit status is the command's; 77 (the "skipped" status CTest knows)
// when the daemon is not installed, 125 when it would not start or the
// command cannot run, 124 when the command ran out of time (default 60 s).

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "web/peers/peer_harness.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quarry::peers;

constexpr int kSkipped = 77;
constexpr int kCannotRun = 125;
constexpr int kTimedOut = 124;

volatile sig_atomic_t g_stop_signal = 0;

void OnStopSignal(int sig) { g_stop_signal = sig; }

int Usage() {
  std::fprintf(stderr,
               "usage: peer_launch nginx|nginx-tls|vsftpd [--root DIR] [--timeout SECONDS] "
               "-- COMMAND [ARG...]\n");
  return 2;
}

bool CopyTree(const fs::path& from, const fs::path& to, std::string* error) {
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) *error = "cannot copy " + from.string() + ": " + ec.message();
  return !ec;
}

// Runs the command and waits for it, at most `limit`; a SIGTERM or SIGINT
// to us is passed on. Returns its exit status in the shell's convention.
int RunCommand(const std::vector<std::string>& command, std::chrono::seconds limit) {
  std::vector<char*> args;
  for (const std::string& a : command) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (rc != 0) {
    std::fprintf(stderr, "peer_launch: cannot run %s: %s\n", args[0], std::strerror(rc));
    return kCannotRun;
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool timed_out = false;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return kCannotRun;
    if (g_stop_signal != 0 || std::chrono::steady_clock::now() >= deadline) {
      timed_out = g_stop_signal == 0;
      kill(pid, SIGTERM);
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (timed_out) {
    std::fprintf(stderr, "peer_launch: %s did not finish within %llds\n", args[0],
                 static_cast<long long>(limit.count()));
    return kTimedOut;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string kind = argv[1];
  fs::path root;
  std::chrono::seconds limit(60);
  int i = 2;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string arg = argv[i];
    if (arg == "--root" && i + 1 < argc) {
      root = argv[++i];
    } else if (arg == "--timeout" && i + 1 < argc) {
      limit = std::chrono::seconds(std::max(1, std::atoi(argv[++i])));
    } else {
      return Usage();
    }
  }
  if (i + 1 >= argc) return Usage();
  const std::vector<std::string> command(argv + i + 1, argv + argc);

  std::unique_ptr<Peer> peer;
  NginxPeer* nginx = nullptr;
  VsftpdPeer* ftp = nullptr;
  if (kind == "nginx" || kind == "nginx-tls") {
    auto p = std::make_unique<NginxPeer>(NginxOptions{.tls = kind == "nginx-tls"});
    nginx = p.get();
    peer = std::move(p);
  } else if (kind == "vsftpd") {
    auto p = std::make_unique<VsftpdPeer>();
    ftp = p.get();
    peer = std::move(p);
  } else {
    return Usage();
  }

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);

  const PeerState state = peer->Start();
  if (state != PeerState::kRunning) {
    std::fprintf(stderr, "peer_launch: %s\n", peer->reason().c_str());
    return state == PeerState::kMissing ? kSkipped : kCannotRun;
  }
  const fs::path served = nginx != nullptr ? nginx->document_root() : ftp->root();
  std::string error;
  if (!root.empty() && !CopyTree(root, served, &error)) {
    std::fprintf(stderr, "peer_launch: %s\n", error.c_str());
    return kCannotRun;
  }
  if (nginx != nullptr) {
    const int port = nginx->options().tls ? nginx->https_port() : nginx->http_port();
    setenv("PEER_PORT", std::to_string(port).c_str(), 1);
    setenv("PEER_HTTP_PORT", std::to_string(nginx->http_port()).c_str(), 1);
    if (nginx->options().tls) setenv("PEER_CA_FILE", nginx->ca_file().c_str(), 1);
  } else {
    setenv("PEER_PORT", std::to_string(ftp->port()).c_str(), 1);
  }
  setenv("PEER_DIR", peer->dir().c_str(), 1);
  return RunCommand(command, limit);
}
