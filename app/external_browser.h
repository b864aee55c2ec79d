// Opening an address in the user's own browser rather than the embedded
// one. Web addresses ("http..." in any case) go straight to the default
// browser program, found once per run from the desktop's settings
// ("xdg-settings get default-web-browser" and that entry's Exec line);
// without one, and for any other address, the desktop's opener
// ("xdg-open") decides. Nothing is shown on failure: the caller gets the
// outcome and decides.

#ifndef QUARRY_APP_EXTERNAL_BROWSER_H_
#define QUARRY_APP_EXTERNAL_BROWSER_H_

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/link_opener.h"

namespace quarry {

// The Exec value of the [Desktop Entry] group of a desktop-entry file's
// text; nullopt when it has none.
std::optional<std::string> DesktopEntryExec(std::string_view text);

// The command an Exec value runs for `address`: the value split into
// arguments (double quotes and backslash escapes honoured), the first
// file or URL field code (%u %U %f %F) replaced by the address, other
// field codes dropped, "%%" made "%". The address is appended when no
// field code asks for it. Empty when the value is empty or unbalanced.
std::vector<std::string> ExecCommand(std::string_view exec, const std::string& address);

// The desktop-entry file named `id` ("firefox.desktop") in the
// applications folders of $XDG_DATA_HOME and $XDG_DATA_DIRS (in that
// order, with the usual defaults); nullopt when none exists.
std::optional<std::filesystem::path> FindDesktopEntry(const std::string& id);

// Opens addresses outside the program. Thread-safe: the default browser
// is looked up once, under a lock, by the first web address opened.
class ExternalBrowser {
 public:
  ExternalBrowser() = default;
  // Stops waiting for openers still running (they keep running) and joins
  // the worker threads; their callbacks are then not called.
  ~ExternalBrowser();
  ExternalBrowser(const ExternalBrowser&) = delete;
  ExternalBrowser& operator=(const ExternalBrowser&) = delete;

  // The one the program uses; never destroyed.
  static ExternalBrowser& Shared();

  // The command that opens `address`.
  std::vector<std::string> CommandFor(const std::string& address);

  // Opens `address` and waits up to `settle` for the program's verdict (a
  // browser still running then counts as opened). Blocks: call it off
  // the user-interface thread.
  OpenOutcome Open(const std::string& address,
                   std::chrono::milliseconds settle = kOpenerSettleTime);

  // Open() on a worker thread of its own; `done` (may be empty) is called
  // there with the outcome.
  void OpenAsync(const std::string& address, std::function<void(const OpenOutcome&)> done = {});

 private:
  struct Worker {
    std::jthread thread;
    std::atomic<bool> finished{false};
  };

  std::mutex lookup_mu_;
  bool looked_up_ = false;      // guarded by lookup_mu_
  std::string browser_exec_;    // guarded by lookup_mu_; empty: use the opener

  std::mutex workers_mu_;
  std::list<std::unique_ptr<Worker>> workers_;  // guarded by workers_mu_
};

}  // namespace quarry

#endif  // QUARRY_APP_EXTERNAL_BROWSER_H_
