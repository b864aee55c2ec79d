// The built qry program fetching from a test server on 127.0.0.1: its
// download progress shows only when standard error is a terminal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <string>
#include <vector>

#include "platform/testing/subprocess.h"
#include "web/testing/test_http_server.h"

extern char** environ;

namespace {

using quarry::testing::ReceivedRequest;
using quarry::testing::ScriptedResponse;
using quarry::testing::TempDir;
using quarry::testing::TestHttpServer;

constexpr char kPage[] =
    "<table id=\"prices\"><tr><td>Lamp</td><td>12</td></tr>"
    "<tr><td>Desk</td><td>140</td></tr></table>";

class QryCliWebTest : public ::testing::Test {
 protected:
  std::string StorePath() const { return temp_.File("registry.sqlite"); }

  // The variables qry runs with: this test's store and folders, and no
  // proxy from the environment.
  std::vector<std::string> Overrides() const {
    return {"ZT_REGISTRY_FILE=" + StorePath(), "HOME=" + temp_.path(),
            "XDG_CONFIG_HOME=" + temp_.File("config"), "http_proxy", "HTTP_PROXY",
            "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "QRY_PASSWORD"};
  }

  TempDir temp_;
};

// The result of a run whose standard error was a terminal.
struct TerminalRun {
  int status = -1;
  std::string out;
  std::string terminal;  // what qry wrote to standard error, as the terminal got it
};

// Runs qry with its standard error on a fresh pseudo-terminal, for at most
// 30 s.
TerminalRun RunOnTerminal(const std::vector<std::string>& args,
                          const std::vector<std::string>& overrides, const std::string& out_path) {
  TerminalRun run;
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
    if (master >= 0) close(master);
    return run;
  }
  const std::string slave_name = ptsname(master);
  int slave = open(slave_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    ADD_FAILURE() << "cannot open " << slave_name;
    close(master);
    return run;
  }

  // This process's environment with the overrides applied.
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool overridden = false;
    for (const std::string& o : overrides) {
      overridden = overridden || o.substr(0, o.find('=')) == name;
    }
    if (!overridden) env.push_back(entry);
  }
  for (const std::string& o : overrides) {
    if (o.find('=') != std::string::npos) env.push_back(o);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = {QRY_BINARY};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_adddup2(&actions, slave, 2);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, QRY_BINARY, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(slave);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << QRY_BINARY;
    close(master);
    return run;
  }

  // Read until the terminal's last writer is gone (EIO) or time runs out.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool timed_out = false;
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      timed_out = true;
      break;
    }
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(master, buffer, sizeof(buffer));
    if (n > 0) {
      run.terminal.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  if (timed_out) {
    kill(pid, SIGKILL);
    ADD_FAILURE() << "qry did not finish within 30 s";
  }
  int status = 0;
  waitpid(pid, &status, 0);
  close(master);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = quarry::testing::ReadFileBytes(out_path);
  return run;
}

TEST_F(QryCliWebTest, ShowsProgressOnATerminalAndClearsIt) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, std::string(kPage) + std::string(5000, '\n'));
  });
  TerminalRun run = RunOnTerminal({"tables", server.Url("/p.html")}, Overrides(),
                                  temp_.File("stdout"));
  ASSERT_EQ(run.status, 0) << run.terminal;
  EXPECT_NE(run.out.find("prices"), std::string::npos) << run.out;
  EXPECT_EQ(run.terminal.rfind("\rqry: downloading... 0%", 0), 0u) << run.terminal;
  // Ends on a blanked line, the cursor at its start.
  const std::string cleared = "100%\r" + std::string(24, ' ') + "\r";
  ASSERT_GE(run.terminal.size(), cleared.size());
  EXPECT_EQ(run.terminal.substr(run.terminal.size() - cleared.size()), cleared) << run.terminal;

  // Standard error on a file: the same run shows nothing there.
  quarry::testing::ProcessResult plain = quarry::testing::RunProcess(
      {QRY_BINARY, "tables", server.Url("/p.html")}, Overrides(), {}, std::chrono::seconds(30));
  EXPECT_EQ(plain.exit_code, 0) << plain.err;
  EXPECT_EQ(plain.err, "");
}

}  // namespace
