// The main program's side of the updater. Quarry never downloads updates
// itself: it registers its own files for the updater, lets a waiting update
// complete at start-up, checks in the background once per session when the
// interval has passed, and opens the updater's window from "Check for
// Updates". The updater is reached as its automation object on the session
// bus (updater/client/updater_client.h); at most one connection is held.
//
// Threads: the start-up step runs on the caller's thread before the main
// window exists; the background check and the command run on a worker of
// their own, one at a time, so that the window never waits on the bus; the
// questions and messages they need go to the window's thread, which
// answers them. The object must outlive the view it is attached to; its
// destructor waits a few seconds at most for a worker still running.

#ifndef QUARRY_APP_UPDATE_TRIGGER_H_
#define QUARRY_APP_UPDATE_TRIGGER_H_

#include <QDBusConnection>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/window_message.h"

namespace quarry {

namespace platform {
class SettingsStore;
}
class CQuarryView;
class CUpdaterClient;

inline constexpr char kUpdaterProgramName[] = "KspAutoUpdater";
// The help file's version is raised to this when lower.
inline constexpr uint32_t kLowestHelpVersion = 101;
// Updaters from this version on take the product information.
inline constexpr double kProductInfoUpdaterVersion = 2.09;
inline constexpr char kErrorCreatingFormat[] =
    "Error Creating %s Instance\n%s\nContact Customer Support for Help";

// Writes the program's registrations for the updater: "KsAUFile1" (its
// own path, ";Quarry") with "QUARRYVer" beside it (a program here carries
// no version of its own that the updater could read), and "KsAUFile2" (the
// help file "Qry.chm" of the program's folder, ";Quarry") when that file is
// installed; "QRYCHMVer" is raised to 101 when lower. Every start.
void RegisterUpdateFiles(platform::SettingsStore& store, const std::string& program_path,
                         uint32_t version_x100);

// Whether a background check is due: whole days since `last_check`
// (seconds since 1970, low 32 bits) are at least `interval_days`.
bool BackgroundCheckDue(uint32_t last_check, int64_t now, uint32_t interval_days);

// Creating the updater object, with the error handler's one retry: when
// the bus knows no updater, or cannot start the one it knows, the updater
// program is registered ("--regserver", waited for in half-second steps,
// 30 s at most) and the creation tried once more.
struct UpdaterCreation {
  std::shared_ptr<CUpdaterClient> client;  // null on failure
  bool registered = false;                 // the handler registered the updater
  QString error;                           // why it failed
  QString error_name;                      // the bus's name for it
};
UpdaterCreation CreateUpdaterObject(const std::string& updater_program, QDBusConnection bus);

class CUpdateTrigger {
 public:
  struct Options {
    platform::SettingsStore* store = nullptr;  // required; not owned
    std::string program_path;      // default: this program
    std::string updater_program;   // default: the installation's "KspAutoUpdater"
    uint32_t version_x100 = 0;     // default: this program's version
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A Yes/No question with the stop icon, and a message; default: the
    // program's message boxes (AppMessageBox). Called on the window's
    // thread.
    std::function<bool(const QString&)> ask;
    std::function<void(const QString&)> show;
    // Whether the program is online (query only); default: CheckConnection.
    std::function<bool()> online;
    std::function<int64_t()> now;  // default: the clock
  };

  // Made on the window's thread.
  explicit CUpdateTrigger(Options options);
  // Waits a few seconds at most for a worker still talking to the updater;
  // one that takes longer keeps what it uses alive and asks nothing more.
  ~CUpdateTrigger();
  CUpdateTrigger(const CUpdateTrigger&) = delete;
  CUpdateTrigger& operator=(const CUpdateTrigger&) = delete;

  // Start-up: RegisterUpdateFiles, then a waiting update is completed
  // (UpdateFiles; the updater may close and restart this very program),
  // and the updater let go. Silent when there is no updater.
  void RunStartupStep();

  // Wires the view: its update check (timer 21 and "Check for Updates"),
  // WM_UPDATER_MAY_CLOSE, and its window as the updater's parent.
  void Attach(CQuarryView* view);
  // The window the updater's messages go to (Attach sets the view's).
  void SetParentWindow(platform::WindowHandle window);

  // Releases a held updater, creates one, names the parent window and the
  // download page, and hands over the product information. True when an
  // updater is held afterwards. Any thread.
  bool ConnectUpdater();
  // Ends the held updater's dialog and lets it go. Any thread.
  void ReleaseUpdater();
  bool HoldsUpdater() const;

  // The once-per-session check: only when online, on a worker.
  void StartBackgroundCheck();
  // The check itself, on the calling thread: true when it completed (and
  // "LastUpdateCheck" was written).
  bool RunBackgroundCheck();
  // "Check for Updates", on a worker.
  void OnCheckForUpdates();
  // The command itself, on the calling thread.
  void RunUpdateCommand();

  // Waits up to `timeout_ms` until no worker runs; true when none does.
  bool WaitForWorkers(int timeout_ms);

 private:
  // What the workers share with the object; it lives as long as the last
  // of them.
  struct Core;
  void RunOnWorker(std::function<void(Core&)> work);

  std::shared_ptr<Core> core_;
  // Runs the questions and messages of the workers on the window's thread.
  std::unique_ptr<platform::MessageWindow> ui_window_;
};

}  // namespace quarry

#endif  // QUARRY_APP_UPDATE_TRIGGER_H_
