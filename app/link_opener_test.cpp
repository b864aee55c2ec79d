#include "app/link_opener.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/child_process.h"
#include "app/external_browser.h"

namespace quarry {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

TEST(LinkOpenerTest, TheOpenersExitStatusDecides) {
  EXPECT_TRUE(RunOpener({"true"}, "x").ok);

  OpenOutcome failed = RunOpener({"false"}, "https://example.org/");
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.reason.find("https://example.org/"), std::string::npos);
  EXPECT_NE(failed.reason.find("status 1"), std::string::npos);

  // The desktop opener's "no program available" has its own sentence.
  OpenOutcome none = RunOpener({"sh", "-c", "exit 3"}, "mailto:a@b.example");
  EXPECT_FALSE(none.ok);
  EXPECT_NE(none.reason.find("no program"), std::string::npos);

  OpenOutcome missing = RunOpener({"/nonexistent/quarry-opener"}, "x");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.reason.find("not installed"), std::string::npos);

  OpenOutcome killed = RunOpener({"sh", "-c", "kill -9 $$"}, "x");
  EXPECT_FALSE(killed.ok);
  EXPECT_NE(killed.reason.find("signal 9"), std::string::npos);
}

TEST(LinkOpenerTest, AnOpenerThatStaysCountsAsStartedWithoutBlocking) {
  Clock::time_point start = Clock::now();
  OpenOutcome stays = RunOpener({"sleep", "5"}, "x", milliseconds(150));
  EXPECT_TRUE(stays.ok);
  EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

TEST(LinkOpenerTest, AStopEndsTheWaitAtOnceAndIsNoSuccess) {
  std::stop_source source;
  source.request_stop();
  Clock::time_point start = Clock::now();
  OpenOutcome stopped =
      RunOpener({"sleep", "5"}, "x", milliseconds(5000), source.get_token());
  EXPECT_FALSE(stopped.ok);
  EXPECT_TRUE(stopped.reason.empty());
  EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

TEST(LinkOpenerTest, OpenerCommandPicksTheProgram) {
  unsetenv("QUARRY_OPENER");
  ExternalBrowser no_default([] { return std::string(); });
  EXPECT_EQ(OpenerCommand("https://a.example/", no_default)[0], "xdg-open");
  EXPECT_EQ(OpenerCommand("https://a.example/", no_default)[1], "https://a.example/");
  std::vector<std::string> mail = OpenerCommand("mailto:x@a.example", no_default);
  EXPECT_EQ(mail[0], ProgramExists("xdg-email") ? "xdg-email" : "xdg-open");
  setenv("QUARRY_OPENER", "echo", 1);
  EXPECT_EQ(OpenerCommand("mailto:x@a.example", no_default)[0], "echo");
  unsetenv("QUARRY_OPENER");
}

TEST(LinkOpenerTest, WorkersReportAndAreStoppedWithTheirOwner) {
  setenv("QUARRY_OPENER", "true", 1);
  std::mutex mu;
  std::condition_variable cv;
  int reports = 0;
  bool all_ok = true;
  {
    LinkOpener opener;
    for (int i = 0; i < 3; ++i) {
      opener.Open("https://a.example/" + std::to_string(i),
                  [&](const OpenOutcome& outcome) {
                    std::lock_guard<std::mutex> lock(mu);
                    ++reports;
                    all_ok = all_ok && outcome.ok;
                    cv.notify_all();
                  });
    }
    std::unique_lock<std::mutex> lock(mu);
    EXPECT_TRUE(cv.wait_for(lock, milliseconds(5000), [&] { return reports == 3; }));
  }
  EXPECT_TRUE(all_ok);

  // An opener still waiting on its child does not hold up its owner's end,
  // and reports nothing afterwards.
  setenv("QUARRY_OPENER", "sleep", 1);
  bool reported = false;
  Clock::time_point start = Clock::now();
  {
    LinkOpener opener;
    opener.Open("5", [&](const OpenOutcome&) { reported = true; });
  }
  EXPECT_LT(Clock::now() - start, milliseconds(2000));
  EXPECT_FALSE(reported);
  unsetenv("QUARRY_OPENER");
}

}  // namespace
}  // namespace quarry
