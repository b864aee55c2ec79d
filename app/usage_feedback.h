// CUsageFeedback: the main program's side of the one-time usage report
// (web/usage_report.h). The Web Browser view calls OnGo() each time the
// user opens a page; until the product site has acknowledged a report,
// and unless the user switched reports off ("AllowFeedback" 0), that
// starts the report on a worker thread of its own.
//
// One report at a time: a Go while one is under way starts nothing. The
// destructor gives a report under way up (its transfer ends within a
// tenth of a second) and waits for the worker, so no thread outlives the
// settings it was started from.

#ifndef QUARRY_APP_USAGE_FEEDBACK_H_
#define QUARRY_APP_USAGE_FEEDBACK_H_

#include <QSize>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "web/usage_report.h"

namespace quarry {

class CAppSettings;

// The machine as a first report describes it: processors, memory and
// system version from fault/system_info.h, and `screen` in pixels.
void DescribeMachine(const QSize& screen, MachineFacts* facts);

class CUsageFeedback {
 public:
  // Describes the machine on the worker; the screen was read on the GUI
  // thread before.
  using Describer = std::function<void(const QSize& screen, MachineFacts* facts)>;

  // `settings` (which must outlive this object) gives the proxy, the
  // store and "AllowFeedback"; `version` is the program's
  // ("major.minor.build.revision"). An empty describer is
  // DescribeMachine.
  CUsageFeedback(const CAppSettings& settings, std::string version, Describer describe = {});
  ~CUsageFeedback();

  CUsageFeedback(const CUsageFeedback&) = delete;
  CUsageFeedback& operator=(const CUsageFeedback&) = delete;

  // On the GUI thread, for every Go: starts a report when one is due.
  // True when one was started.
  bool OnGo();

  // Waits up to `limit` for a report under way; true when none is.
  bool WaitIdle(std::chrono::milliseconds limit);

  // The last finished report's outcome.
  UsageReportOutcome LastOutcome() const;

 private:
  struct Shared;

  const CAppSettings& settings_;
  const std::string version_;
  Describer describe_;
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};

}  // namespace quarry

#endif  // QUARRY_APP_USAGE_FEEDBACK_H_
