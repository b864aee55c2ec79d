// Opening web addresses and mail in the user's own programs.
//
// Web addresses go to the user's default browser (external_browser.h),
// mail to "xdg-email", anything else to the desktop's opener ("xdg-open").
// The program is started as a child process and its exit status decides
// success: the opener ends with 3 when no program is available, which a
// fire-and-forget open would report as success. A program that is still
// running after a short while has started (some browsers run in the
// foreground); that counts as success and the child is reaped later.

#ifndef QUARRY_APP_LINK_OPENER_H_
#define QUARRY_APP_LINK_OPENER_H_

#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace quarry {

class ExternalBrowser;

// The outcome of one open: `reason` is a user-readable sentence when not ok.
struct OpenOutcome {
  bool ok = false;
  std::string reason;
};

// How long an opener may run before it counts as having started a program.
inline constexpr std::chrono::milliseconds kOpenerSettleTime{5000};

// The command that opens `address` (a web address, file:// address or
// mailto: address) in the user's preferred program: mail goes to
// "xdg-email" when it is installed, other addresses to what `browser`
// gives (the default browser for web addresses, else "xdg-open").
// $QUARRY_OPENER, when set, replaces the program (tests and unusual
// desktops). May block for the browser lookup: call it off the
// user-interface thread.
std::vector<std::string> OpenerCommand(const std::string& address, ExternalBrowser& browser);

// Runs `command` and waits up to `settle` for its verdict. `what` names the
// thing being opened in the failure reason. A stop request ends the wait
// early with ok = false and an empty reason (the child keeps running and is
// reaped in the background). Blocks: call it off the user interface thread.
OpenOutcome RunOpener(const std::vector<std::string>& command,
                      const std::string& what,
                      std::chrono::milliseconds settle = kOpenerSettleTime,
                      std::stop_token stop = {});

// Opens addresses on short-lived worker threads, one per address.
// Thread-safe. Destroying the object stops waiting for the openers (they
// keep running) and joins the threads promptly; callbacks of opens still
// waiting are then not called.
class LinkOpener {
 public:
  // Opens web addresses in `browser`'s choice; it must outlive the opener.
  explicit LinkOpener(ExternalBrowser& browser);
  // The same with ExternalBrowser::Shared().
  LinkOpener();
  ~LinkOpener();
  LinkOpener(const LinkOpener&) = delete;
  LinkOpener& operator=(const LinkOpener&) = delete;

  // Opens `address` and calls `done` on the worker thread with the outcome.
  // `done` must be safe to call from another thread; posting a window
  // message to a window handle is.
  void Open(const std::string& address,
            std::function<void(const OpenOutcome&)> done);

 private:
  struct Worker {
    std::jthread thread;
    std::atomic<bool> finished{false};
  };

  ExternalBrowser& browser_;
  std::mutex mu_;
  std::list<std::unique_ptr<Worker>> workers_;  // guarded by mu_
};

}  // namespace quarry

#endif  // QUARRY_APP_LINK_OPENER_H_
