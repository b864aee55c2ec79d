// The main program's side of the usage report, against a feedback page on
// 127.0.0.1.

#include "app/usage_feedback.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using namespace std::chrono_literals;
using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

class UsageFeedbackTest : public testing::WebTest {
 protected:
  void TearDown() override {
    settings_.reset();
    WebTest::TearDown();
  }

  // The program's settings on this test's store, the product site at
  // `server`.
  CAppSettings& Settings(const TestHttpServer& server) {
    store().SetString(kServicesKey, kProductSiteValue, server.Url("/"));
    settings_ = std::make_unique<CAppSettings>(store());
    settings_->Load();
    return *settings_;
  }

  static void FakeMachine(const QSize& screen, MachineFacts* facts) {
    facts->processors = 2;
    facts->os_version = 6.01;
    facts->screen_width = screen.width();
    facts->screen_height = screen.height();
  }

  std::unique_ptr<CAppSettings> settings_;
};

TEST_F(UsageFeedbackTest, TheFirstGoReportsAndLaterOnesSendNothing) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "OK"); });
  CUsageFeedback feedback(Settings(server), "3.20.0.0", &FakeMachine);
  ASSERT_TRUE(feedback.OnGo());
  ASSERT_TRUE(feedback.WaitIdle(20s));
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string target = server.Requests()[0].target;
  EXPECT_EQ(target.rfind("/Feedback/Info.aspx?pv=3.2&fu=", 0), 0u) << target;
  // The time it was sent with is the identity stored.
  const uint32_t stored = store().GetDword(kQuarrySettingsKey, kSetupConfig3Value, 0);
  EXPECT_NE(target.find("&fu=" + std::to_string(stored) + "&"), std::string::npos) << target;
  // The screen read on the GUI thread, in pixels.
  const QSize screen = QGuiApplication::primaryScreen()->size();
  EXPECT_NE(target.find("&sz=" + std::to_string(screen.width() * 10000 + screen.height())),
            std::string::npos)
      << target;

  EXPECT_FALSE(feedback.OnGo());
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(UsageFeedbackTest, NothingIsSentWhenTheUserSaidNo) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "OK"); });
  store().SetDword(kQuarrySettingsKey, "AllowFeedback", 0);
  CUsageFeedback feedback(Settings(server), "1.0.0.0", &FakeMachine);
  EXPECT_FALSE(feedback.OnGo());
  EXPECT_TRUE(feedback.WaitIdle(1s));
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(UsageFeedbackTest, AFailedReportIsTriedOnTheNextGoButNeverTwiceAtOnce) {
  TestHttpServer server([](const ReceivedRequest&) {
    ScriptedResponse answer = ScriptedResponse::Make(500, "Down");
    answer.pieces.front().delay_ms = 200;
    return answer;
  });
  CUsageFeedback feedback(Settings(server), "1.0.0.0", &FakeMachine);
  ASSERT_TRUE(feedback.OnGo());
  EXPECT_FALSE(feedback.OnGo());  // one under way
  ASSERT_TRUE(feedback.WaitIdle(20s));
  EXPECT_TRUE(feedback.LastOutcome().sent);
  EXPECT_FALSE(feedback.LastOutcome().acknowledged);
  ASSERT_TRUE(feedback.OnGo());
  ASSERT_TRUE(feedback.WaitIdle(20s));
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(store().GetDword(kQuarrySettingsKey, kSetupConfig3Value, 0), 0u);
}

TEST_F(UsageFeedbackTest, ClosingGivesUpAReportUnderWay) {
  TestHttpServer server([](const ReceivedRequest&) {
    ScriptedResponse answer = ScriptedResponse::Make(200, "OK");
    answer.pieces.front().delay_ms = 20000;
    return answer;
  });
  const auto start = std::chrono::steady_clock::now();
  {
    CUsageFeedback feedback(Settings(server), "1.0.0.0", &FakeMachine);
    ASSERT_TRUE(feedback.OnGo());
    EXPECT_FALSE(feedback.WaitIdle(300ms));
  }
  // The destructor did not wait for the slow answer.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(store().GetDword(kQuarrySettingsKey, kSetupConfig3Value, 0), 0u);
}

}  // namespace
}  // namespace quarry
