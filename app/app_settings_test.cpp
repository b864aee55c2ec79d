#include "app/app_settings.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "app/quarry_doc.h"
#include "framework/colour/colour_scheme.h"
#include "platform/store_location.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

using namespace std::chrono_literals;
using platform::SettingsStore;
using platform::WindowHandle;
using quarry::testing::TempDir;

constexpr uint32_t kMsg = platform::WM_APP + 100;

// Nothing in this binary may reach the user's real files.
class IsolatedHome : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("HOME", dir_.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    setenv("XDG_STATE_HOME", dir_.path().c_str(), 1);
    setenv(platform::kRegistryFileVariable, dir_.File("user.sqlite").c_str(), 1);
  }

 private:
  TempDir dir_;
};
[[maybe_unused]] ::testing::Environment* const kIsolatedHome =
    ::testing::AddGlobalTestEnvironment(new IsolatedHome);

struct Post {
  WindowHandle window;
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
  bool operator==(const Post&) const = default;
};

// Stands in for the window system: records posts, can refuse dead windows
// and can hold the poster (the hub worker) at a gate.
class Recorder {
 public:
  std::set<WindowHandle> dead;

  CAppSettings::MessagePoster Poster(const std::shared_ptr<Recorder>& self) {
    return [self](WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
      return self->Record({w, m, wp, lp});
    };
  }

  void CloseGate() {
    std::lock_guard<std::mutex> lock(mu_);
    gate_closed_ = true;
  }
  void OpenGate() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      gate_closed_ = false;
    }
    cv_.notify_all();
  }
  // True once a poster call is held at the closed gate.
  bool WaitUntilHeld(std::chrono::milliseconds timeout = 5s) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, timeout, [this] { return held_; });
  }

  bool WaitForCount(size_t n, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, timeout, [&] { return posts_.size() >= n; });
  }
  std::vector<Post> Posts() {
    std::lock_guard<std::mutex> lock(mu_);
    return posts_;
  }

 private:
  bool Record(const Post& post) {
    std::unique_lock<std::mutex> lock(mu_);
    if (gate_closed_) {
      held_ = true;
      cv_.notify_all();
      cv_.wait(lock, [this] { return !gate_closed_; });
    }
    if (dead.count(post.window)) return false;
    posts_.push_back(post);
    cv_.notify_all();
    return true;
  }

  std::mutex mu_;
  std::condition_variable cv_;
  bool gate_closed_ = false;
  bool held_ = false;
  std::vector<Post> posts_;
};

class AppSettingsTest : public ::testing::Test {
 protected:
  std::unique_ptr<CAppSettings> MakeSettings() {
    return std::make_unique<CAppSettings>(store_, recorder_->Poster(recorder_));
  }

  TempDir dir_;
  SettingsStore store_{dir_.File("registry.sqlite")};
  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(AppSettingsTest, FirstStartReadsEveryDefaultAndWritesNothing) {
  ASSERT_TRUE(store_.IsUsable());
  {
    CAppSettings settings(store_, recorder_->Poster(recorder_));
    settings.Load();
    EXPECT_EQ(settings.GetAllowFeedback(), 1u);
    EXPECT_EQ(settings.GetAutoSave(), 0u);
    EXPECT_EQ(settings.GetAutoUpdate(), 1u);
    EXPECT_EQ(settings.GetAutoUpdateInterval(), 15u);
    EXPECT_EQ(settings.GetReloadLastFile(), 0u);
    EXPECT_EQ(settings.GetUseOnlineTutorials(), 0u);
    EXPECT_EQ(settings.GetUseTrayIcon(), 1u);
    EXPECT_EQ(settings.GetFavoritesFillMode(), 1u);
    EXPECT_EQ(settings.GetSortFavorites(), 0u);
    EXPECT_EQ(settings.GetUseInternalBrowser(), 0u);
    EXPECT_EQ(settings.GetMaxFileList(), 9u);
    EXPECT_EQ(settings.GetNewUser(), 1u);
    EXPECT_EQ(settings.GetDebugModeTracer(), 0u);
    EXPECT_EQ(settings.GetModuleRegistration(), 1u);
    EXPECT_EQ(settings.GetLastUpdateCheck(), 0u);
    EXPECT_EQ(settings.GetUseProxy(), 0u);
    EXPECT_EQ(settings.GetProxyPort(), 80u);
    EXPECT_EQ(settings.GetProxyServer(), "");
    EXPECT_EQ(settings.GetEmailName(), "");
    EXPECT_EQ(settings.GetEmailAddress(), "");
    EXPECT_EQ(settings.GetEmailSMTPServer(), "");
    EXPECT_EQ(settings.GetEmailSMTPPort(), 25u);
    EXPECT_EQ(settings.GetEMailingCellPhone(), 0u);
    EXPECT_EQ(settings.GetSMTPRequiresAuth(), 0u);
    EXPECT_EQ(settings.GetSMTPUserName(), "");
    EXPECT_EQ(settings.GetSMTPPassword(), "");
    EXPECT_EQ(settings.GetEmailFormat(), 0u);
    // The default base colour 0x339ADF has dark 1 = (40, 17, 12) and
    // dark 2 = (145, 58, 25).
    EXPECT_EQ(settings.GetGradientEnd2(), Rgb(40, 17, 12));
    EXPECT_EQ(settings.GetGradientStart2(),
              CColourScheme::Blend(0x339ADF, Rgb(145, 58, 25), 0.5));
    settings.Broadcast(kMsg, 0, 0, false);  // no window: nothing happens
  }
  EXPECT_TRUE(recorder_->Posts().empty());
  EXPECT_TRUE(store_.SubKeys("").empty()) << "start-up and shutdown must not write";
}

TEST_F(AppSettingsTest, StoredValuesAreLoadedAndOddOnesReadAsDefaults) {
  store_.SetDword(kSettingsKey, "AutoUpdateInterval", 7);
  store_.SetDword(kSettingsKey, "NewUser", 0);
  store_.SetDword(kSettingsKey, "eMailingCellPhone", 1);
  store_.SetDword(kSoftwareUpdateKey, "LastUpdateCheck", 1700000000);
  store_.SetDword(kOnlineKey, "ProxyPort", 3128);
  store_.SetString(kOnlineKey, "ProxyServer", "proxy.example");
  store_.SetString(kSettingsKey, "EmailAddress", "me@example.org");
  // Of the wrong type: the default wins.
  store_.SetString(kSettingsKey, "EmailSMTPPort", "587");
  store_.SetDword(kSettingsKey, "SMTPUserName", 5);
  // An explicit gradient colour is kept; only the unset one is derived.
  store_.SetDword(kColorsKey, "GradientStart2", 0x00123456);
  store_.SetDword(kColorsKey, "GradientEnd2", kUnsetColour);

  auto settings = MakeSettings();
  settings->Load();
  EXPECT_EQ(settings->GetAutoUpdateInterval(), 7u);
  EXPECT_EQ(settings->GetNewUser(), 0u);
  EXPECT_EQ(settings->GetEMailingCellPhone(), 1u);
  EXPECT_EQ(settings->GetLastUpdateCheck(), 1700000000u);
  EXPECT_EQ(settings->GetProxyPort(), 3128u);
  EXPECT_EQ(settings->GetProxyServer(), "proxy.example");
  EXPECT_EQ(settings->GetEmailAddress(), "me@example.org");
  EXPECT_EQ(settings->GetEmailSMTPPort(), 25u);
  EXPECT_EQ(settings->GetSMTPUserName(), "");
  EXPECT_EQ(settings->GetGradientStart2(), 0x00123456u);
  EXPECT_EQ(settings->GetGradientEnd2(), Rgb(40, 17, 12));
}

TEST_F(AppSettingsTest, UnsetGradientsFollowTheUsersBaseColour) {
  store_.SetDword("Software\\Zandor Tech\\ZtControls", "UseBaseColor", 1);
  store_.SetDword("Software\\Zandor Tech\\ZtControls", "BaseColor", 0x00208040);
  const GradientColours expected = DefaultGradientColours(store_);
  CColourScheme scheme;
  scheme.Derive(0x00208040);
  EXPECT_EQ(expected.start, CColourScheme::Blend(0x00208040, scheme.Dark2(), 0.5));
  EXPECT_EQ(expected.end, scheme.Dark1());
  EXPECT_NE(expected.end, Rgb(40, 17, 12));

  auto settings = MakeSettings();
  settings->Load();
  EXPECT_EQ(settings->GetGradientStart2(), expected.start);
  EXPECT_EQ(settings->GetGradientEnd2(), expected.end);
  EXPECT_FALSE(store_.KeyExists(kColorsKey)) << "derived colours are not stored";
}

TEST_F(AppSettingsTest, SettersWriteThroughAtOnce) {
  auto settings = MakeSettings();
  settings->Load();
  struct DwordCase {
    std::function<void(CAppSettings&, uint32_t)> set;
    std::function<uint32_t(const CAppSettings&)> get;
    const char* key;
    const char* name;
    uint32_t value;
  };
  const DwordCase dwords[] = {
      {&CAppSettings::SetAutoUpdate, &CAppSettings::GetAutoUpdate, kSettingsKey, "AutoUpdate", 0},
      {&CAppSettings::SetAutoUpdateInterval, &CAppSettings::GetAutoUpdateInterval, kSettingsKey,
       "AutoUpdateInterval", 30},
      {&CAppSettings::SetFavoritesFillMode, &CAppSettings::GetFavoritesFillMode, kSettingsKey,
       "FavoritesFillMode", 2},
      {&CAppSettings::SetSortFavorites, &CAppSettings::GetSortFavorites, kSettingsKey,
       "SortFavorites", 1},
      {&CAppSettings::SetUseTrayIcon, &CAppSettings::GetUseTrayIcon, kSettingsKey, "UseTrayIcon",
       0},
      {&CAppSettings::SetUseProxy, &CAppSettings::GetUseProxy, kOnlineKey, "UseProxy", 1},
      {&CAppSettings::SetProxyPort, &CAppSettings::GetProxyPort, kOnlineKey, "ProxyPort", 8080},
      {&CAppSettings::SetEmailSMTPPort, &CAppSettings::GetEmailSMTPPort, kSettingsKey,
       "EmailSMTPPort", 587},
      {&CAppSettings::SetEMailingCellPhone, &CAppSettings::GetEMailingCellPhone, kSettingsKey,
       "eMailingCellPhone", 1},
      {&CAppSettings::SetSMTPRequiresAuth, &CAppSettings::GetSMTPRequiresAuth, kSettingsKey,
       "SMTPRequiresAuth", 1},
      {&CAppSettings::SetEmailFormat, &CAppSettings::GetEmailFormat, kSettingsKey, "EmailFormat",
       2},
      {&CAppSettings::SetNewUser, &CAppSettings::GetNewUser, kSettingsKey, "NewUser", 0},
      {&CAppSettings::SetLastUpdateCheck, &CAppSettings::GetLastUpdateCheck, kSoftwareUpdateKey,
       "LastUpdateCheck", 123456},
  };
  for (const DwordCase& c : dwords) {
    c.set(*settings, c.value);
    EXPECT_EQ(c.get(*settings), c.value) << c.name;
    EXPECT_EQ(store_.GetDword(c.key, c.name, 0xDEAD), c.value) << c.name;
  }

  struct TextCase {
    std::function<void(CAppSettings&, std::string_view)> set;
    std::function<std::string(const CAppSettings&)> get;
    const char* key;
    const char* name;
  };
  const TextCase texts[] = {
      {&CAppSettings::SetProxyServer, &CAppSettings::GetProxyServer, kOnlineKey, "ProxyServer"},
      {&CAppSettings::SetEmailName, &CAppSettings::GetEmailName, kSettingsKey, "EmailName"},
      {&CAppSettings::SetEmailAddress, &CAppSettings::GetEmailAddress, kSettingsKey,
       "EmailAddress"},
      {&CAppSettings::SetEmailSMTPServer, &CAppSettings::GetEmailSMTPServer, kSettingsKey,
       "EmailSMTPServer"},
      {&CAppSettings::SetSMTPUserName, &CAppSettings::GetSMTPUserName, kSettingsKey,
       "SMTPUserName"},
  };
  for (const TextCase& c : texts) {
    const std::string value = std::string("value of ") + c.name;
    c.set(*settings, value);
    EXPECT_EQ(c.get(*settings), value);
    EXPECT_EQ(store_.GetString(c.key, c.name, "none"), value);
  }

  // A later run sees what was written.
  auto reread = MakeSettings();
  reread->Load();
  for (const DwordCase& c : dwords) EXPECT_EQ(c.get(*reread), c.value) << c.name;
  for (const TextCase& c : texts) EXPECT_EQ(c.get(*reread), c.get(*settings)) << c.name;
}

TEST(PasswordScrambleTest, DoublesAsciiAndRoundTripsEveryByte) {
  EXPECT_EQ(ScramblePassword("abc"), "\xC2\xC4\xC6");  // 194, 196, 198
  EXPECT_EQ(UnscramblePassword("\xC2\xC4\xC6"), "abc");
  EXPECT_EQ(ScramblePassword(""), "");
  EXPECT_EQ(UnscramblePassword(""), "");

  std::string every;
  for (int c = 1; c < 256; ++c) every.push_back(static_cast<char>(c));
  const std::string stored = ScramblePassword(every);
  EXPECT_EQ(stored.find('\0'), std::string::npos) << "stored text must stay a valid string";
  EXPECT_EQ(UnscramblePassword(stored), every);
  // Bytes from 128 up no longer lose their top bit.
  EXPECT_EQ(UnscramblePassword(ScramblePassword("caf\xE9")), "caf\xE9");

  // Text after a NUL cannot be stored and is dropped.
  EXPECT_EQ(ScramblePassword(std::string("ab\0cd", 5)), "\xC2\xC4");
}

TEST_F(AppSettingsTest, PasswordIsStoredScrambledAndReadBackPlain) {
  auto settings = MakeSettings();
  settings->SetSMTPPassword("abc");
  EXPECT_EQ(settings->GetSMTPPassword(), "abc");
  const std::vector<uint8_t> expected = {194, 196, 198};
  const auto stored = store_.Get(kSettingsKey, "SMTPPassword");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, platform::ValueType::kSz);
  EXPECT_EQ(stored->data, expected);

  settings->SetSMTPPassword("p\xE4ss\xFF");
  auto reread = MakeSettings();
  reread->Load();
  EXPECT_EQ(reread->GetSMTPPassword(), "p\xE4ss\xFF");

  // A password written by an older release (plain doubling) still reads.
  store_.SetString(kSettingsKey, "SMTPPassword", "\xE0\xC2\xE6\xE6");
  reread->Load();
  EXPECT_EQ(reread->GetSMTPPassword(), "pass");
}

TEST_F(AppSettingsTest, FiveSlotsTakenInOrderAndSameWindowOnce) {
  auto settings = MakeSettings();
  for (WindowHandle w = 1; w <= 5; ++w) EXPECT_TRUE(settings->RegisterWindow(w));
  EXPECT_TRUE(settings->RegisterWindow(3)) << "a registered window keeps its slot";
  EXPECT_FALSE(settings->RegisterWindow(6)) << "all five slots are taken";
  EXPECT_FALSE(settings->RegisterWindow(platform::kNoWindow));
  using Slots = std::array<WindowHandle, CAppSettings::kHandlerSlots>;
  EXPECT_EQ(settings->Slots(), (Slots{1, 2, 3, 4, 5}));

  EXPECT_TRUE(settings->UnregisterWindow(2));
  EXPECT_FALSE(settings->UnregisterWindow(2));
  EXPECT_FALSE(settings->UnregisterWindow(42));
  EXPECT_EQ(settings->Slots(), (Slots{1, 0, 3, 4, 5}));
  EXPECT_TRUE(settings->RegisterWindow(6)) << "takes the freed slot";
  EXPECT_EQ(settings->Slots(), (Slots{1, 6, 3, 4, 5}));

  // Broadcasts go out in slot order.
  settings->Broadcast(kMsg, 9, -9, false);
  std::vector<WindowHandle> order;
  for (const Post& p : recorder_->Posts()) order.push_back(p.window);
  EXPECT_EQ(order, (std::vector<WindowHandle>{1, 6, 3, 4, 5}));
}

TEST_F(AppSettingsTest, DirectBroadcastPostsAtOnceAndSkipsDeadWindows) {
  recorder_->dead.insert(2);
  auto settings = MakeSettings();
  settings->Broadcast(kMsg, 1, 1, false);
  EXPECT_TRUE(recorder_->Posts().empty()) << "no window registered: nothing to do";

  settings->RegisterWindow(1);
  settings->RegisterWindow(2);
  settings->RegisterWindow(3);
  settings->Broadcast(kMsg, 7, -7, false);
  // Posted before Broadcast returned, from this thread.
  EXPECT_EQ(recorder_->Posts(),
            (std::vector<Post>{{1, kMsg, 7, -7}, {3, kMsg, 7, -7}}));
}

TEST_F(AppSettingsTest, QueuedBroadcastReachesEveryWindowInOrder) {
  auto settings = MakeSettings();
  settings->RegisterWindow(10);
  settings->RegisterWindow(20);
  constexpr int kCount = 50;
  for (int i = 0; i < kCount; ++i) settings->Broadcast(kMsg, i, -i, true);
  ASSERT_TRUE(recorder_->WaitForCount(2 * kCount));
  const auto posts = recorder_->Posts();
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(posts[2 * i], (Post{10, kMsg, static_cast<uintptr_t>(i), -i}));
    EXPECT_EQ(posts[2 * i + 1], (Post{20, kMsg, static_cast<uintptr_t>(i), -i}));
  }
}

TEST_F(AppSettingsTest, AFullQueueLosesNothingAndKeepsTheOrder) {
  auto settings = MakeSettings();
  settings->RegisterWindow(1);
  // Hold the worker inside its first post while the queue fills up past
  // its capacity.
  recorder_->CloseGate();
  settings->Broadcast(kMsg, 0, 0, true);
  ASSERT_TRUE(recorder_->WaitUntilHeld());
  const size_t total = 1 + CAppSettings::kQueueCapacity + 5;
  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 1; i < total; ++i) settings->Broadcast(kMsg, i, 0, true);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(settings->QueuedCount(), total - 1);
  // Each message beyond the capacity waited only briefly.
  EXPECT_LT(spent, 5 * CAppSettings::kFullQueueWait + 2s);
  recorder_->OpenGate();

  ASSERT_TRUE(recorder_->WaitForCount(total));
  const auto posts = recorder_->Posts();
  ASSERT_EQ(posts.size(), total);
  for (size_t i = 0; i < total; ++i) EXPECT_EQ(posts[i].wparam, i);
}

TEST_F(AppSettingsTest, ManyWritersOutpacingTheWorkerLoseNothing) {
  auto settings = MakeSettings();
  settings->RegisterWindow(1);
  constexpr int kThreads = 3;
  constexpr int kPerThread = 2000;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) settings->Broadcast(kMsg, t, i, true);
    });
  }
  for (auto& w : writers) w.join();
  ASSERT_TRUE(recorder_->WaitForCount(kThreads * kPerThread, 10s));
  std::vector<intptr_t> next(kThreads, 0);
  for (const Post& p : recorder_->Posts()) EXPECT_EQ(p.lparam, next[p.wparam]++);
}

TEST_F(AppSettingsTest, PostToOwnerNeedsALiveOwner) {
  auto settings = MakeSettings();
  EXPECT_FALSE(settings->PostToOwner(kMsg, 1, 2));
  settings->SetOwnerWindow(77);
  EXPECT_EQ(settings->OwnerWindow(), 77u);
  EXPECT_TRUE(settings->PostToOwner(kMsg, 1, 2));
  EXPECT_EQ(recorder_->Posts(), (std::vector<Post>{{77, kMsg, 1, 2}}));
  recorder_->dead.insert(77);
  EXPECT_FALSE(settings->PostToOwner(kMsg, 3, 4));
}

TEST_F(AppSettingsTest, StopEndsTheWorkerPromptlyAfterPostingWhatWasQueued) {
  auto settings = MakeSettings();
  settings->RegisterWindow(1);
  EXPECT_TRUE(settings->IsWorkerRunning());

  recorder_->CloseGate();
  settings->Broadcast(kMsg, 0, 0, true);
  ASSERT_TRUE(recorder_->WaitUntilHeld());
  for (int i = 1; i <= 3; ++i) settings->Broadcast(kMsg, i, 0, true);
  std::thread opener([&] {
    std::this_thread::sleep_for(50ms);
    recorder_->OpenGate();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(settings->Stop());
  // Well inside the worker's 750 ms wait: Stop wakes it.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 600ms);
  opener.join();
  EXPECT_FALSE(settings->IsWorkerRunning());
  EXPECT_EQ(recorder_->Posts().size(), 4u) << "queued messages are posted before the end";

  // Once stopped, queued broadcasts go out at once, and Stop is harmless.
  settings->Broadcast(kMsg, 5, 0, true);
  EXPECT_EQ(recorder_->Posts().size(), 5u);
  EXPECT_TRUE(settings->Stop());
}

TEST_F(AppSettingsTest, StopGivesUpOnAStuckWorkerWithinItsBound) {
  auto settings = MakeSettings();
  settings->RegisterWindow(1);
  recorder_->CloseGate();
  settings->Broadcast(kMsg, 0, 0, true);
  ASSERT_TRUE(recorder_->WaitUntilHeld());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(settings->Stop());
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_GE(spent, CAppSettings::kStopTimeout);
  EXPECT_LT(spent, CAppSettings::kStopTimeout + 1s);
  const auto destroyed = std::chrono::steady_clock::now();
  settings.reset();  // the let-go worker keeps what it uses alive
  EXPECT_LT(std::chrono::steady_clock::now() - destroyed, 500ms) << "no second wait";
  recorder_->OpenGate();
  EXPECT_TRUE(recorder_->WaitForCount(1));
}

TEST_F(AppSettingsTest, DocumentOwnsLoadedSettingsForItsLife) {
  store_.SetDword(kSettingsKey, "AutoUpdateInterval", 21);
  const auto start = std::chrono::steady_clock::now();
  {
    CQuarryDoc doc(store_);
    ASSERT_NE(doc.GetSettings(), nullptr);
    EXPECT_EQ(doc.GetSettings()->GetAutoUpdateInterval(), 21u);
    EXPECT_EQ(&doc.GetSettings()->Store(), &store_);
    EXPECT_TRUE(doc.GetSettings()->IsWorkerRunning());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the worker is woken, not waited out";
}

}  // namespace
}  // namespace quarry
