// The one-time usage report: the first time the user opens a page, and
// until the maker's site has acknowledged a report, the program sends a
// small record of its version and the machine to the product site's
// feedback page ("/Feedback/Info.aspx", FeedbackPage()). An answer of 200
// stores the report's identity as "SetupConfig3" in the program's
// "Settings" section, after which nothing is sent again; any other
// outcome is silent and the next attempt tries again.
//
// Plain C++; SendUsageReport blocks, so programs run it on a worker
// thread (app/usage_feedback.h).

#ifndef QUARRY_WEB_USAGE_REPORT_H_
#define QUARRY_WEB_USAGE_REPORT_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "web/usage_query.h"

namespace quarry {

namespace platform {
class SettingsStore;
}

struct WebRetrievalRequest;

// One report, made by the program for each attempt.
struct UsageReportJob {
  // The version and the flags; first_report is decided by SendUsageReport.
  FeedbackRecord record;
  UsageIdentity identity;
  // The program's proxy settings, copied as every retrieval copies them.
  uint32_t use_proxy = 0;
  uint32_t proxy_port = 80;
  std::string proxy_server;
  // Fills in the machine for a first report: processors, memory, system
  // version and screen. The connection state, the time and the stored
  // identity are SendUsageReport's own. Empty: those pairs say 0.
  std::function<void(MachineFacts*)> describe_machine;
  // The store "SetupConfig3" and "SetupConfig" live in; null: the
  // retrieval's (WebSettingsStore()). Not owned.
  platform::SettingsStore* store = nullptr;
  // Seconds since 1970; empty: the system clock.
  std::function<int64_t()> now;
  // Set by another thread to give the report up at once. Not owned.
  const std::atomic<bool>* cancel = nullptr;
};

struct UsageReportOutcome {
  bool sent = false;          // the query was posted (the retrieval may
                              // still have refused, e.g. while offline)
  bool acknowledged = false;  // the site answered 200
  std::string query;          // the pairs sent
};

// Builds the report's query (BuildUsageQuery) and posts it: a first
// report when "SetupConfig3" reads 0, with "fu" (or "ru") and the time
// when "SetupConfig" is 0, else "ui" with it. On 200 a first report
// stores that identity (its low 32 bits) as "SetupConfig3".
UsageReportOutcome SendUsageReport(const UsageReportJob& job);

// Requests "<page>?<query>" with the request's proxy and credentials into
// a small buffer; true when the site answers 200. An empty query fails at
// once with the error text "FeedbackInfo is empty\n".
bool PostUsageQuery(WebRetrievalRequest* request, const std::string& page,
                    const std::string& query);

}  // namespace quarry

#endif  // QUARRY_WEB_USAGE_REPORT_H_
