#include "web/usage_report.h"

#include <ctime>

#include "platform/settings_store.h"
#include "web/offline_state.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

// The feedback page answers with a few bytes; more are not read.
constexpr int32_t kAnswerBytes = 1024;
// A report that takes longer than this is given up, whatever the user's
// limit for pages.
constexpr uint32_t kReportTimeLimit = 30;  // seconds

}  // namespace

bool PostUsageQuery(WebRetrievalRequest* request, const std::string& page,
                    const std::string& query) {
  if (query.empty()) {
    request->error_text = "FeedbackInfo is empty\n";
    return false;
  }
  request->url = page + "?" + query;
  request->protocol = kProtocolHttp;
  if (!AllocateBuffer(request, kAnswerBytes)) return false;
  // Only the status matters: a longer answer is cut, not a failure.
  request->cut_at_capacity = 1;
  request->transfer_time_limit = kReportTimeLimit;
  CWebDataRetrievalImp fresh;  // reloads the offline switch
  // The site's status is its answer; an empty body is no failure here (a
  // transfer broken off replaces the status with its own code).
  RetrieveData(request);
  return request->status_code == 200;
}

UsageReportOutcome SendUsageReport(const UsageReportJob& job) {
  UsageReportOutcome outcome;
  platform::SettingsStore& store = job.store != nullptr ? *job.store : WebSettingsStore();
  FeedbackRecord record = job.record;
  record.first_report = store.GetDword(kQuarrySettingsKey, kSetupConfig3Value, 0) == 0;

  MachineFacts facts;
  if (record.first_report) {
    if (job.describe_machine) job.describe_machine(&facts);
    uint32_t flags = 0;
    facts.connection_flags =
        InternetGetConnectedState(&flags) ? static_cast<int32_t>(flags) : -1;
    facts.now = job.now ? job.now() : static_cast<int64_t>(std::time(nullptr));
    facts.stored_identity = store.GetDword(kQuarrySettingsKey, kSetupConfigValue, 0);
  }
  const UsageQuery query =
      BuildUsageQuery(record, job.identity, record.first_report ? &facts : nullptr);
  outcome.query = query.text;
  if (query.text.empty() || (job.cancel != nullptr && job.cancel->load())) return outcome;

  WebRetrievalRequest request;
  request.use_proxy = job.use_proxy;
  request.proxy_port = job.proxy_port;
  request.proxy_server = job.proxy_server;
  request.cancel = job.cancel;
  outcome.sent = true;
  outcome.acknowledged = PostUsageQuery(&request, record.page_address, query.text);
  if (outcome.acknowledged && record.first_report) {
    store.SetDword(kQuarrySettingsKey, kSetupConfig3Value,
                   static_cast<uint32_t>(query.identity));
  }
  return outcome;
}

}  // namespace quarry
