#include "tools/qry/render_client.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/ascii_text.h"
#include "platform/install_layout.h"
#include "platform/settings_store.h"
#include "web/page_fetch.h"
#include "web/web_address.h"
#include "web/web_settings.h"

extern char** environ;

namespace quarry::qry {

namespace {

using Clock = std::chrono::steady_clock;

// Beyond the page's own time limit: the browser's start and the hand-over
// of a large document.
constexpr std::chrono::seconds kHelperMargin{15};
// How much of the helper's standard error is kept (its end matters).
constexpr size_t kKeptErrorBytes = 8192;
// The helper's exit statuses.
constexpr int kHelperUnsettled = 3;

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The proxy a download would use: the given one, else the stored one.
std::optional<std::string> EffectiveProxy(const RenderRequest& request) {
  if (request.proxy) return request.proxy;
  const platform::SettingsStore& store = WebSettingsStore();
  if (store.GetDword(kOnlineKey, kUseProxyValue, 0) == 0) return std::nullopt;
  std::string server = store.GetString(kOnlineKey, kProxyServerValue, "");
  if (server.empty()) return std::nullopt;
  const size_t host_start = server.find("://") == std::string::npos ? 0 : server.find("://") + 3;
  const std::string host = server.substr(host_start);
  const bool has_port = host.find(':') != std::string::npos && (host[0] != '[' || host.find("]:") != std::string::npos);
  if (!has_port) {
    server.push_back(':');
    server.append(std::to_string(store.GetDword(kOnlineKey, kProxyPortValue, 80)));
  }
  return server;
}

// The last line the helper wrote about itself ("quarry-render: ..."),
// without that prefix; other programs' chatter is ignored.
std::string HelperReason(const std::string& errors) {
  const std::string prefix = std::string(kRenderHelperName) + ": ";
  std::string reason;
  size_t start = 0;
  while (start < errors.size()) {
    size_t end = errors.find('\n', start);
    if (end == std::string::npos) end = errors.size();
    const std::string line = errors.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) reason = line.substr(prefix.size());
    start = end + 1;
  }
  return EscapeControlBytes(reason);
}

class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  bool ok() const { return fds_[0] >= 0; }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fds_[2];
};

// Waits for the helper to end until `deadline`, then kills it. Returns the
// wait status.
int Reap(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) return status;
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

std::string FindRenderHelper(std::vector<std::string>* looked_in) {
  std::vector<std::string> places;
  const char* named = std::getenv(kRenderHelperVariable);
  if (named != nullptr && *named != '\0') {
    places.emplace_back(named);  // named: no other place stands in for it
  } else {
    const std::string helpers = platform::InstallationFolder(platform::InstallFolder::kHelpers);
    if (!helpers.empty()) places.push_back(helpers + "/" + kRenderHelperName);
  }
  if (looked_in != nullptr) *looked_in = places;
  for (const std::string& place : places) {
    if (IsExecutableFile(place)) return place;
  }
  return {};
}

RenderedPage RenderPage(const RenderRequest& request) {
  RenderedPage page;
  const std::string shown = DisplayAddress(request.source);
  const auto fail = [&](const std::string& why) {
    page.reason = "cannot render '" + shown + "': " + why;
    return page;
  };

  // What the browser is to open, and whether files may be read.
  std::string address;
  bool files = false;
  if (IsWebAddress(request.source)) {
    if (IsFtpAddress(request.source)) {
      return fail("the browser cannot show ftp:// pages; read it without --render");
    }
    files = StartsWithNoCase(request.source, "file://");
    const std::string refusal = FetchRefusal(request.source);
    if (!refusal.empty()) return fail(refusal);
    address = request.source;
  } else {
    struct stat info;
    if (::stat(request.source.c_str(), &info) != 0) return fail(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) {
      return fail(S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file");
    }
    char resolved[PATH_MAX];
    if (::realpath(request.source.c_str(), resolved) == nullptr) return fail(std::strerror(errno));
    address = resolved;
    files = true;
  }

  std::vector<std::string> looked_in;
  const std::string helper = FindRenderHelper(&looked_in);
  if (helper.empty()) {
    std::string places;
    for (const std::string& place : looked_in) places += (places.empty() ? "" : ", ") + place;
    return fail(std::string("the page renderer ") + kRenderHelperName +
                " is not installed (looked for " + places +
                "; set " + kRenderHelperVariable + " to its path, or drop --render)");
  }

  const int seconds = std::clamp(request.time_limit_seconds, 1, kMostRenderSeconds);
  std::vector<std::string> args = {helper, "--time-limit", std::to_string(seconds * 1000)};
  if (files) args.push_back("--allow-files");
  if (const std::optional<std::string> proxy = EffectiveProxy(request)) {
    args.insert(args.end(), {"--proxy", *proxy});
  }
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "QRY_PASSWORD=", 13) != 0) env.emplace_back(*entry);
  }
  if (!request.user_name.empty() && !request.password.empty()) {
    args.insert(args.end(), {"--user", request.user_name});
    env.push_back("QRY_PASSWORD=" + request.password);  // never on the command line
  }
  args.push_back(address);
  std::vector<char*> c_args, c_env;
  for (std::string& arg : args) c_args.push_back(arg.data());
  c_args.push_back(nullptr);
  for (std::string& entry : env) c_env.push_back(entry.data());
  c_env.push_back(nullptr);

  Pipe out, err;
  if (!out.ok() || !err.ok()) return fail(std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.write_end(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.write_end(), STDERR_FILENO);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, helper.c_str(), &actions, nullptr, c_args.data(),
                                    c_env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return fail("cannot start " + helper + ": " + std::strerror(spawned));
  out.CloseWrite();
  err.CloseWrite();

  // Both outputs are read as they come, so that a helper with much to say
  // on one of them never blocks on the other.
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds) + kHelperMargin;
  std::string errors;
  bool out_open = true, err_open = true, late = false;
  char buffer[65536];
  while (out_open || err_open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      late = true;
      break;
    }
    pollfd fds[2] = {{out_open ? out.read_end() : -1, POLLIN, 0},
                     {err_open ? err.read_end() : -1, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2 && ready > 0; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        (i == 0 ? out_open : err_open) = false;
        continue;
      }
      if (i == 1) {
        errors.append(buffer, static_cast<size_t>(got));
        if (errors.size() > kKeptErrorBytes) errors.erase(0, errors.size() - kKeptErrorBytes);
        continue;
      }
      page.html.append(buffer, std::min(static_cast<size_t>(got), request.limit + 1 - page.html.size()));
      if (page.html.size() > request.limit) {
        // The rest is not wanted: the page is cut, as a download is.
        page.html.resize(request.limit);
        page.truncated = true;
        ::kill(pid, SIGKILL);
        out_open = err_open = false;
      }
    }
  }
  if (late) ::kill(pid, SIGKILL);
  const int status = Reap(pid, Clock::now() + std::chrono::seconds(2));
  if (page.truncated) {
    page.ok = page.settled = true;
    return page;
  }
  if (late) {
    page.html.clear();
    return fail("the page renderer did not answer within " + std::to_string(seconds) + " s");
  }
  if (WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == kHelperUnsettled)) {
    page.ok = true;
    page.settled = WEXITSTATUS(status) == 0;
    return page;
  }
  page.html.clear();
  std::string reason = HelperReason(errors);
  if (reason.empty()) {
    reason = WIFSIGNALED(status)
                 ? "the page renderer ended unexpectedly (signal " + std::to_string(WTERMSIG(status)) + ")"
                 : "the page renderer failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
  }
  return fail(reason);
}

}  // namespace quarry::qry
