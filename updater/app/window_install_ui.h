// The installation's questions, asked by a window on its own thread while
// the installation runs on a worker: the worker waits for the answer, and
// a window that is gone before it could ask counts as the answer No, so
// the worker never waits on nothing.

#ifndef QUARRY_UPDATER_APP_WINDOW_INSTALL_UI_H_
#define QUARRY_UPDATER_APP_WINDOW_INSTALL_UI_H_

#include <functional>
#include <string>

#include "platform/window_message.h"
#include "updater/update_installer.h"

namespace quarry::updater {

class WindowInstallUi : public InstallUi {
 public:
  // `ask` runs on `window`'s thread and returns the user's answer.
  WindowInstallUi(platform::WindowHandle window, std::function<bool(const std::string&)> ask)
      : window_(window), ask_(std::move(ask)) {}

  // Called on the installation's thread; blocks until answered.
  bool AskYesNo(const std::string& question) override;

 private:
  const platform::WindowHandle window_;
  const std::function<bool(const std::string&)> ask_;
};

}  // namespace quarry::updater

#endif  // QUARRY_UPDATER_APP_WINDOW_INSTALL_UI_H_
