// The main program's side of the updater: its registrations, the day
// arithmetic of the background check, and, over a private session bus with
// the real updater started by the bus, creating the updater object (and
// registering it when the bus knows none), the background check with its
// question, the update command, the closing handshake and a waiting update
// completed at start-up.

#include "app/update_trigger.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "platform/window_message.h"
#include "platform/window_message_ids.h"
#include "updater/automation_names.h"
#include "updater/client/updater_client.h"
#include "updater/testing/private_bus.h"
#include "updater/testing/test_signing_key.h"
#include "updater/update_installer.h"
#include "updater/update_manifest.h"
#include "updater/update_signature.h"
#include "web/testing/test_http_server.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using quarry::testing::ReceivedRequest;
using quarry::testing::ScriptedResponse;
using quarry::testing::TestHttpServer;

constexpr int64_t kDay = 86400;
constexpr int64_t kNow = 1700000000;

TEST(UpdateTriggerRulesTest, TheBackgroundCheckCountsWholeDays) {
  const struct {
    int64_t last;
    int64_t now;
    uint32_t interval;
    bool due;
  } cases[] = {
      {kNow - kDay * 69 / 10, kNow, 7, false},  // 6.9 days
      {kNow - kDay * 7, kNow, 7, true},         // 7.0 days
      {kNow - kDay * 7 + 1, kNow, 7, false},    // a second short
      {kNow - kDay * 30, kNow, 15, true},
      {kNow, kNow, 0, true},                    // every start
      {0, kNow, 15, true},                      // never checked
      // The stored time is 32 bits; the difference still counts.
      {0xFFFFFF00LL, 0x100000000LL + 0x100, 1, false},
      {0xFFFFFF00LL, 0x100000000LL + 2 * kDay, 1, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BackgroundCheckDue(static_cast<uint32_t>(c.last), c.now, c.interval), c.due)
        << c.last << " " << c.now << " " << c.interval;
  }
}

TEST(UpdateTriggerRulesTest, RegistersTheProgramAndRaisesAnOldHelpVersion) {
  quarry::testing::TempDir dir;
  const std::string program = dir.File("Quarry");
  const struct {
    const char* name;
    std::optional<uint32_t> help_version;
    bool help_installed;
    uint32_t expected_help_version;
  } cases[] = {
      {"no help version yet", std::nullopt, false, 101},
      {"100 becomes 101", 100, true, 101},
      {"105 stays", 105, false, 105},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::SettingsStore store(dir.File(std::string(c.name) + ".db"));
    if (c.help_version) store.SetDword(kSoftwareUpdateKey, "QRYCHMVer", *c.help_version);
    store.SetString(kSoftwareUpdateKey, "KsAUFile2", "/old/place/Qry.chm;Quarry");
    fs::remove(dir.File("Qry.chm"));
    if (c.help_installed) std::ofstream(dir.File("Qry.chm")) << "help";
    RegisterUpdateFiles(store, program, 110);
    EXPECT_EQ(store.GetDword(kSoftwareUpdateKey, "QRYCHMVer", 0), c.expected_help_version);
    EXPECT_EQ(store.GetString(kSoftwareUpdateKey, "KsAUFile1", ""), program + ";Quarry");
    EXPECT_EQ(store.GetDword(kSoftwareUpdateKey, "QUARRYVer", 0), 110u);
    EXPECT_EQ(store.GetString(kSoftwareUpdateKey, "KsAUFile2", ""),
              c.help_installed ? dir.File("Qry.chm") + ";Quarry" : "");
  }
}

// ---- With the updater on a private bus.

fs::path SharedFolder() { return fs::path(std::getenv("ZT_COMMON_FILES_DIR")) / "Kestrane"; }

// Removes the updater's service file, and has the bus forget it.
void UnregisterUpdater() {
  QProcess::execute(QString::fromLatin1(KSP_AUTO_UPDATER), {QString::fromLatin1(kUnregServerOption)});
  ASSERT_TRUE(quarry::testing::ReloadBusServices());
}

using quarry::testing::UpdaterRunning;

const std::string kNewModule(4000, 'm');

class UpdateTriggerBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(quarry::testing::SetActivationVariable(kPublicKeyVariable,
                                                       quarry::testing::TestPublicKeyHex()));
    fs::create_directories(SharedFolder());
    fs::copy_file(QUARRY_TEST_MODULE, SharedFolder() / "KsTestModule.so",
                  fs::copy_options::overwrite_existing);
    server_ = std::make_unique<TestHttpServer>([this](const ReceivedRequest& r) {
      if (r.target.rfind("/IPAddresses/", 0) == 0) return ScriptedResponse::Make(200, site_ + "list/");
      if (r.target.rfind("/list/", 0) == 0) return ScriptedResponse::Make(200, List());
      return ScriptedResponse::Make(200, kNewModule);
    });
    site_ = server_->Url("/");
    store().SetString(kServicesKey, kUpdateSiteValue, site_);
    options_.store = &store();
    options_.updater_program = KSP_AUTO_UPDATER;
    // The program registers itself: it must be there, or the updater's scan
    // would ask the user about it.
    options_.program_path = (fs::path(std::getenv("HOME")) / "Quarry").string();
    std::ofstream(options_.program_path) << "the program";
    options_.ask = [this](const QString& question) {
      questions_.push_back(question);
      const bool answer = !answers_.empty() && answers_.front();
      if (!answers_.empty()) answers_.pop_front();
      return answer;
    };
    options_.show = [this](const QString& text) { shown_.push_back(text); };
    options_.online = [] { return true; };
    options_.now = [] { return kNow; };
  }
  void TearDown() override {
    // No updater outlives its test.
    EXPECT_TRUE(QTest::qWaitFor([] { return !UpdaterRunning(); }, 20000));
    fs::remove_all(SharedFolder());
  }

  std::string List() const {
    return quarry::testing::TestSigned("KsTestModule.so,3.10,," + Sha256Hex(kNewModule) + "\r\n" +
                                       site_ + "f/,," + site_ + "p/\r\n");
  }
  static platform::SettingsStore& store() { return platform::SettingsStore::User(); }

  std::unique_ptr<TestHttpServer> server_;
  std::string site_;
  CUpdateTrigger::Options options_;
  std::deque<bool> answers_;
  std::vector<QString> questions_, shown_;
};

TEST_F(UpdateTriggerBusTest, TheUpdaterObjectIsRegisteredOnceWhenTheBusKnowsNone) {
  // Nothing registered, and no updater where the program looks.
  UnregisterUpdater();
  UpdaterCreation missing = CreateUpdaterObject("/nonexistent/KspAutoUpdater",
                                                QDBusConnection::sessionBus());
  EXPECT_EQ(missing.client, nullptr);
  EXPECT_FALSE(missing.registered);
  EXPECT_EQ(missing.error_name, "org.freedesktop.DBus.Error.ServiceUnknown");

  // The updater beside the program registers itself, and the retry starts it.
  UpdaterCreation created = CreateUpdaterObject(KSP_AUTO_UPDATER, QDBusConnection::sessionBus());
  ASSERT_NE(created.client, nullptr) << created.error.toStdString();
  EXPECT_TRUE(created.registered);
  EXPECT_EQ(created.client->Version(), 2.09);
  // Registered now: no second registration.
  UpdaterCreation again = CreateUpdaterObject(KSP_AUTO_UPDATER, QDBusConnection::sessionBus());
  ASSERT_NE(again.client, nullptr);
  EXPECT_FALSE(again.registered);
  created.client->EndDialog();
  created.client->Release();
}

TEST_F(UpdateTriggerBusTest, TheBackgroundCheckAsksAndOnlyACompletedCheckCounts) {
  const uint32_t last = static_cast<uint32_t>(kNow - 7 * kDay);
  store().SetDword(kSettingsKey, "AutoUpdateInterval", 7);
  CUpdateTrigger trigger(options_);

  // Switched off, or not due: the updater is not even started.
  store().SetDword(kSettingsKey, "AutoUpdate", 0);
  store().SetDword(kSoftwareUpdateKey, "LastUpdateCheck", last);
  EXPECT_FALSE(trigger.RunBackgroundCheck());
  store().SetDword(kSettingsKey, "AutoUpdate", 1);
  store().SetDword(kSoftwareUpdateKey, "LastUpdateCheck", static_cast<uint32_t>(kNow - kDay * 69 / 10));
  EXPECT_FALSE(trigger.RunBackgroundCheck());
  EXPECT_FALSE(UpdaterRunning());
  EXPECT_TRUE(questions_.empty());

  // Offline: nothing starts.
  options_.online = [] { return false; };
  CUpdateTrigger offline(options_);
  store().SetDword(kSoftwareUpdateKey, "LastUpdateCheck", last);
  offline.StartBackgroundCheck();
  EXPECT_TRUE(offline.WaitForWorkers(5000));
  EXPECT_TRUE(questions_.empty());

  // Due: the offer declined leaves the last check as it was.
  answers_ = {false};
  EXPECT_FALSE(trigger.RunBackgroundCheck());
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], "Update for Quarry is available\nWould you like to update now?");
  EXPECT_EQ(store().GetDword(kSoftwareUpdateKey, "LastUpdateCheck", 0), last);
  EXPECT_FALSE(trigger.HoldsUpdater());
  ASSERT_TRUE(QTest::qWaitFor([] { return !UpdaterRunning(); }, 20000));

  // Accepted: the download starts, the check counts, and the updater goes
  // once it has installed.
  answers_ = {true};
  EXPECT_TRUE(trigger.RunBackgroundCheck());
  EXPECT_EQ(store().GetDword(kSoftwareUpdateKey, "LastUpdateCheck", 0), static_cast<uint32_t>(kNow));
  ASSERT_TRUE(QTest::qWaitFor([] { return !UpdaterRunning(); }, 30000));
  EXPECT_EQ(quarry::testing::ReadFileBytes((SharedFolder() / "KsTestModule.so").string()),
            kNewModule);
  EXPECT_FALSE(fs::exists(SharedFolder() / "Update"));
}

TEST_F(UpdateTriggerBusTest, TheCommandOpensTheUpdaterWhichClosesWhenItMay) {
  store().DeleteValue(kSettingsKey, "SetupConfig3");
  CUpdateTrigger trigger(options_);
  // The view's side of the handshake.
  platform::MessageWindow view([&trigger](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message == platform::WM_UPDATER_MAY_CLOSE) trigger.ReleaseUpdater();
    return 0;
  });
  trigger.SetParentWindow(view.Handle());

  trigger.RunUpdateCommand();
  ASSERT_TRUE(trigger.HoldsUpdater());
  EXPECT_TRUE(shown_.empty());
  // The check it started carries the product information.
  const char* key = "Software\\Kestrane\\KspAutoUpdater\\Settings";
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().GetDword(key, "ProductCode", 0) == 2; }, 10000));
  EXPECT_EQ(store().GetDword(key, "ProductVersion", 0), 109u);
  EXPECT_EQ(store().GetDword(key, "BaseProductVersion", 9), 3u);
  EXPECT_EQ(store().GetDword(kSettingsKey, "SetupConfig3", 0), static_cast<uint32_t>(kNow));
  EXPECT_EQ(store().GetDword(key, "ProductConfig", 0), static_cast<uint32_t>(kNow));

  // The user closes the updater's window: it asks the view, which lets it go.
  CUpdaterClient user;
  ASSERT_TRUE(user.Connect());
  user.EndDialog();
  ASSERT_TRUE(QTest::qWaitFor([] { return !UpdaterRunning(); }, 20000));
  EXPECT_FALSE(trigger.HoldsUpdater());
}

TEST_F(UpdateTriggerBusTest, AWaitingUpdateCompletesAtStartUp) {
  // What a download run left: the new module, its signed list and the
  // manifest.
  const InstallFolders folders = FoldersOf(SharedFolder().string());
  fs::create_directories(folders.download);
  std::ofstream(folders.download + "KsTestModule.so", std::ios::binary) << kNewModule;
  std::ofstream(folders.download + kSignedListFileName, std::ios::binary) << List();
  UpdateFileRecord record;
  record.path = (SharedFolder() / "KsTestModule.so").string();
  record.display_name = "Zt Test Ctrl";
  record.current_version = 3.04;
  record.available_version = 3.10;
  record.needs_update = 1;
  record.download_result = 1;
  ASSERT_TRUE(SaveManifest(folders.download + kManifestFileName, {record}, nullptr));

  CUpdateTrigger trigger(options_);
  trigger.RunStartupStep();
  EXPECT_EQ(store().GetString(kSoftwareUpdateKey, "KsAUFile1", ""), options_.program_path + ";Quarry");
  ASSERT_TRUE(QTest::qWaitFor([] { return !UpdaterRunning(); }, 20000));
  EXPECT_EQ(quarry::testing::ReadFileBytes(record.path), kNewModule);
  EXPECT_FALSE(fs::exists(folders.download));
}

TEST_F(UpdateTriggerBusTest, WithoutAnUpdaterTheCommandSaysWhomToAsk) {
  options_.updater_program = "/nonexistent/KspAutoUpdater";
  UnregisterUpdater();  // no service file either
  CUpdateTrigger trigger(options_);
  trigger.RunUpdateCommand();
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0], "Failed to create Auto Updater.\nPlease contact Zandor Tech at "
                       "support@quarry.example for\nfurther assistance.");
  // Start-up stays silent.
  trigger.RunStartupStep();
  EXPECT_EQ(shown_.size(), 1u);
}

}  // namespace
}  // namespace quarry
