#include "updater/app/window_install_ui.h"

#include <future>
#include <memory>

namespace quarry::updater {

namespace {

// Answers No when destroyed unanswered: the call that owns it was dropped
// with its window.
struct PendingAnswer {
  std::promise<bool> promise;
  bool answered = false;
  void Set(bool answer) {
    answered = true;
    promise.set_value(answer);
  }
  ~PendingAnswer() {
    if (!answered) promise.set_value(false);
  }
};

}  // namespace

bool WindowInstallUi::AskYesNo(const std::string& question) {
  auto pending = std::make_shared<PendingAnswer>();
  std::future<bool> answer = pending->promise.get_future();
  const bool posted = platform::PostCall(
      window_, [pending = std::move(pending), ask = ask_, question]() mutable {
        pending->Set(ask(question));
        pending.reset();
      });
  if (!posted) return false;
  return answer.get();
}

}  // namespace quarry::updater
