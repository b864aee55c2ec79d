#include "app/link_opener.h"

#include <cstdlib>

#include "app/child_process.h"
#include "app/external_browser.h"
#include "platform/ascii_text.h"

namespace quarry {

std::vector<std::string> OpenerCommand(const std::string& address, ExternalBrowser& browser) {
  if (const char* custom = std::getenv("QUARRY_OPENER"); custom && *custom) {
    return {custom, address};
  }
  if (StartsWithNoCase(address, "mailto:") && ProgramExists("xdg-email")) {
    return {"xdg-email", address};
  }
  return browser.CommandFor(address);
}


OpenOutcome RunOpener(const std::vector<std::string>& command,
                      const std::string& what,
                      std::chrono::milliseconds settle,
                      std::stop_token stop) {
  OpenOutcome outcome;
  std::string error;
  pid_t pid = StartChildProcess(command, &error);
  if (pid < 0) {
    outcome.reason = "\"" + what + "\" could not be opened: " + error + ".";
    return outcome;
  }
  std::optional<ChildExit> exit = WaitForChild(pid, settle, stop);
  if (!exit) {
    ReapInBackground(pid);
    outcome.ok = !stop.stop_requested();
    return outcome;
  }
  if (exit->exited && exit->code == 0) {
    outcome.ok = true;
    return outcome;
  }
  const std::string program = command.empty() ? std::string() : command[0];
  if (!exit->exited) {
    outcome.reason = "\"" + what + "\" could not be opened: " + program +
                     " was stopped by signal " + std::to_string(exit->code) +
                     ".";
  } else if (exit->code == 3) {
    outcome.reason = "\"" + what +
                     "\" could not be opened: no program for it is "
                     "installed on this computer.";
  } else {
    outcome.reason = "\"" + what + "\" could not be opened: " + program +
                     " ended with status " + std::to_string(exit->code) + ".";
  }
  return outcome;
}

LinkOpener::LinkOpener(ExternalBrowser& browser) : browser_(browser) {}

LinkOpener::LinkOpener() : LinkOpener(ExternalBrowser::Shared()) {}

LinkOpener::~LinkOpener() {
  std::list<std::unique_ptr<Worker>> workers;
  {
    std::lock_guard<std::mutex> lock(mu_);
    workers.swap(workers_);
  }
  // jthread's destructor requests the stop and joins.
  workers.clear();
}

void LinkOpener::Open(const std::string& address,
                      std::function<void(const OpenOutcome&)> done) {
  std::lock_guard<std::mutex> lock(mu_);
  // Joins workers that have already finished, so the list stays short.
  workers_.remove_if([](const std::unique_ptr<Worker>& w) {
    return w->finished.load(std::memory_order_acquire);
  });
  auto worker = std::make_unique<Worker>();
  Worker* raw = worker.get();
  raw->thread = std::jthread([this, raw, address, done = std::move(done)](
                                 std::stop_token stop) {
    OpenOutcome outcome =
        RunOpener(OpenerCommand(address, browser_), address, kOpenerSettleTime, stop);
    if (!stop.stop_requested() && done) done(outcome);
    raw->finished.store(true, std::memory_order_release);
  });
  workers_.push_back(std::move(worker));
}

}  // namespace quarry
