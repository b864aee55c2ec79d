// The usage report against a feedback page on 127.0.0.1.

#include "web/usage_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/offline_state.h"
#include "web/retrieval_request.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

constexpr int64_t kNow = 1700000000;

class UsageReportTest : public testing::WebTest {
 protected:
  // A report as the program makes it, for version `version`, with a
  // machine of four processors at 2993 MHz and 8 GB.
  UsageReportJob Job(const TestHttpServer& server, const std::string& version = "3.20.0.0") {
    store().SetString(kServicesKey, kProductSiteValue, server.Url("/"));
    UsageReportJob job;
    job.record.version_text = TrimVersionText(version);
    job.record.page_address = FeedbackPage();
    job.record.send_version = job.record.send_detail = true;
    job.record.send_identity = job.record.send_processors_given = true;
    job.describe_machine = [](MachineFacts* facts) {
      facts->processors = 4;
      facts->processor_features = 0x178BFBFF;
      facts->processor_mhz = 2993;
      facts->physical_memory = 8589934592ull;
      facts->os_version = 6.01;
      facts->screen_width = 1920;
      facts->screen_height = 1080;
    };
    job.now = [] { return kNow; };
    return job;
  }

  uint32_t SetupConfig3() { return store().GetDword(kQuarrySettingsKey, kSetupConfig3Value, 0); }

  static std::vector<std::string> Targets(const TestHttpServer& server) {
    std::vector<std::string> targets;
    for (const ReceivedRequest& r : server.Requests()) targets.push_back(r.target);
    return targets;
  }
};

TEST_F(UsageReportTest, AFirstReportCarriesTheMachineAndIsSentOnce) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "OK"); });
  const UsageReportOutcome outcome = SendUsageReport(Job(server));
  EXPECT_TRUE(outcome.acknowledged);
  // Connected through a LAN: flags 0x40 | 0x02. 8589934592 / 1074504 = 7994.
  const std::string expected =
      "/Feedback/Info.aspx?pv=3.2&fu=1700000000&os=6.01&ct=66&dp=0&sz=19201080&ps=2900&pc=4"
      "&pf=395049983&im=7994";
  EXPECT_EQ(Targets(server), std::vector<std::string>{expected});
  EXPECT_EQ(SetupConfig3(), static_cast<uint32_t>(kNow));

  // Acknowledged: a later report is no first one and says only the version.
  const UsageReportOutcome later = SendUsageReport(Job(server));
  EXPECT_EQ(later.query, "pv=3.2&dp=0");
}

TEST_F(UsageReportTest, AStoredIdentityIsSentInsteadOfTheTime) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, ""); });
  store().SetDword(kQuarrySettingsKey, kSetupConfigValue, 42);
  const UsageReportOutcome outcome = SendUsageReport(Job(server, "10.0.0.0"));
  EXPECT_EQ(outcome.query.substr(0, 17), "pv=10&ui=42&os=6.");
  EXPECT_EQ(SetupConfig3(), 42u);
}

TEST_F(UsageReportTest, WithoutAConnectionTheReportSaysSoAndIsTriedAgain) {
  SetNetworkProbe([] { return NetworkState{}; });
  // The site is on this machine, so the report still reaches it; it is
  // not acknowledged, as it would not be without a network.
  TestHttpServer server(
      [](const ReceivedRequest&) { return ScriptedResponse::Make(503, "Busy"); });
  UsageReportOutcome first = SendUsageReport(Job(server));
  EXPECT_TRUE(first.sent);
  EXPECT_FALSE(first.acknowledged);
  EXPECT_NE(first.query.find("&ct=-1&"), std::string::npos) << first.query;
  EXPECT_EQ(SetupConfig3(), 0u);
  UsageReportOutcome second = SendUsageReport(Job(server));
  EXPECT_EQ(second.query, first.query);
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(UsageReportTest, FailuresAreSilentAndStoreNothing) {
  TestHttpServer server(
      [](const ReceivedRequest&) { return ScriptedResponse::Make(404, "Not here"); });
  UsageReportJob job = Job(server);
  EXPECT_FALSE(SendUsageReport(job).acknowledged);

  // Offline: nothing leaves the machine.
  ASSERT_TRUE(SaveOfflineFlag(1));
  EXPECT_FALSE(SendUsageReport(job).acknowledged);
  ASSERT_TRUE(SaveOfflineFlag(0));

  // Given up before it starts.
  std::atomic<bool> cancel{true};
  job.cancel = &cancel;
  EXPECT_FALSE(SendUsageReport(job).sent);

  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(SetupConfig3(), 0u);
}

TEST_F(UsageReportTest, ALongAnswerStillCountsByItsStatus) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, std::string(100000, 'x'));
  });
  EXPECT_TRUE(SendUsageReport(Job(server)).acknowledged);
}

TEST_F(UsageReportTest, AnEmptyQueryIsNotPosted) {
  WebRetrievalRequest request;
  EXPECT_FALSE(PostUsageQuery(&request, "http://127.0.0.1:9/Feedback/Info.aspx", ""));
  EXPECT_EQ(request.error_text, "FeedbackInfo is empty\n");
}

TEST(UsageVersionTest, VersionsLoseTheirTrailingZerosOnlyAfterAPoint) {
  const std::pair<const char*, const char*> cases[] = {
      {"3.20.0.0", "3.2"},  {"10.0.0.0", "10"},    {"20.0.0.0", "20"},  {"10.10.0.0", "10.1"},
      {"0.1.0.0", "0.1"},   {"1.0.0.0", "1"},      {"0.0.0.0", "0"},    {"2.05.0.0", "2.05"},
      {"3.20.1.0", "3.20.1"}, {"100", "100"},      {"1.00", "1"},       {"3.2", "3.2"},
      {"", ""},
  };
  for (const auto& [version, trimmed] : cases) {
    EXPECT_EQ(TrimVersionText(version), trimmed) << version;
  }
}

}  // namespace
}  // namespace quarry
