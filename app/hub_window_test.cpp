// The hub with real windows: posts travel through the window-message layer
// to the windows' thread.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "app/app_settings.h"
#include "app/quarry_doc.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

using namespace std::chrono_literals;
using platform::MessageWindow;
using quarry::testing::TempDir;

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

struct Got {
  int window;
  uint32_t message;
  uintptr_t wparam;
  bool on_ui_thread;
};

class HubWindowTest : public ::testing::Test {
 protected:
  // A window whose messages are recorded under `id`.
  std::unique_ptr<MessageWindow> MakeWindow(int id) {
    return std::make_unique<MessageWindow>([this, id](uint32_t m, uintptr_t w, intptr_t) {
      got_.push_back({id, m, w, QThread::currentThread() == qApp->thread()});
      return 0;
    });
  }

  TempDir dir_;
  platform::SettingsStore store_{dir_.File("registry.sqlite")};
  std::vector<Got> got_;
};

TEST_F(HubWindowTest, RelaysThroughTheOwnerReachEveryLiveSubView) {
  CQuarryDoc doc(store_);
  CAppSettings& hub = *doc.GetSettings();
  auto owner = MakeWindow(0);
  auto results = MakeWindow(1);
  auto browser = MakeWindow(2);
  auto gone = MakeWindow(3);
  hub.SetOwnerWindow(owner->Handle());
  ASSERT_TRUE(hub.RegisterWindow(results->Handle()));
  ASSERT_TRUE(hub.RegisterWindow(gone->Handle()));
  ASSERT_TRUE(hub.RegisterWindow(browser->Handle()));
  // A sub-view that goes away without leaving the hub is skipped safely.
  gone.reset();

  ASSERT_TRUE(hub.PostToOwner(platform::WM_PARSE_PAGE, 5, 0));
  ASSERT_TRUE(PumpUntil([&] { return got_.size() == 1; }));
  EXPECT_EQ(got_[0].window, 0);
  EXPECT_EQ(got_[0].message, platform::WM_PARSE_PAGE);

  hub.Broadcast(platform::WM_PARSE_PAGE, 5, 0, true);
  hub.Broadcast(platform::WM_PARSE_DONE, 1, 0, true);
  ASSERT_TRUE(PumpUntil([&] { return got_.size() == 5; }));
  PumpUntil([] { return false; }, 30ms);
  ASSERT_EQ(got_.size(), 5u);
  EXPECT_EQ(got_[1].window, 1);
  EXPECT_EQ(got_[2].window, 2);
  EXPECT_EQ(got_[3].window, 1);
  EXPECT_EQ(got_[3].message, platform::WM_PARSE_DONE);
  EXPECT_EQ(got_[4].window, 2);
  for (const Got& g : got_) EXPECT_TRUE(g.on_ui_thread) << "handlers run on the windows' thread";

  owner.reset();
  EXPECT_FALSE(hub.PostToOwner(platform::WM_PARSE_DONE, 0, 0)) << "the owner is gone";
}

}  // namespace
}  // namespace quarry

int main(int argc, char** argv) {
  // Every test injects its own store; should anything still ask for the
  // user's, it gets a private one instead.
  quarry::testing::TempDir home;
  setenv("ZT_REGISTRY_FILE", home.File("user.sqlite").c_str(), 1);
  setenv("XDG_STATE_HOME", home.path().c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
