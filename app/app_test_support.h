// Helpers shared by the main program's window tests: a fresh settings
// store per test, waiting on the event loop with a bound, and a stand-in
// for the desktop's opener that records what it was asked to open.

#ifndef QUARRY_APP_APP_TEST_SUPPORT_H_
#define QUARRY_APP_APP_TEST_SUPPORT_H_

#include <QApplication>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/quarry_app.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry::testing {

// Runs the event loop until `done` holds or `limit_ms` has passed; returns
// `done()`.
inline bool WaitFor(const std::function<bool()>& done, int limit_ms = 5000) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

// Runs the event loop for a while, for what has no condition to wait on.
inline void Pump(int ms = 50) {
  WaitFor([] { return false; }, ms);
}

// Every value of the store as "key\\name", keys in their stored spelling.
std::set<std::string> AllValues(const platform::SettingsStore& store);

// One test's world: a store of its own (also used by the web settings),
// an opener that records its argument, no obsolete components, and the
// application built on them with every message captured.
class AppFixture {
 public:
  AppFixture();
  ~AppFixture();

  platform::SettingsStore& store() { return *store_; }
  StartupHooks& hooks() { return hooks_; }

  // Builds the application and runs its start-up (once).
  CQuarryApp& Start(std::vector<std::string> args = {});
  CQuarryApp* app() { return app_.get(); }
  // Destroys the application as closing the program would.
  void Close();
  // Destroys the application without closing its frame first.
  void DestroyWithoutClosing() { app_.reset(); }

  // Texts of the start-up message boxes and of the view's messages.
  std::vector<QString> boxes;
  std::vector<QString> messages;

  // What the opener was asked to open, in order.
  std::vector<std::string> Opened() const;
  // Makes the opener fail with `status` instead.
  void FailOpener(int status);

 private:
  TempDir dir_;
  std::unique_ptr<platform::SettingsStore> store_;
  StartupHooks hooks_;
  std::unique_ptr<CQuarryApp> app_;
};

}  // namespace quarry::testing

#endif  // QUARRY_APP_APP_TEST_SUPPORT_H_
