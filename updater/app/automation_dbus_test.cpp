// The updater as its clients reach it: over a private session bus, started
// by the bus from its service file, every automation member called through
// the client class, and its messages arriving at the client's window.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/settings_store.h"
#include "platform/window_message.h"
#include "platform/window_message_ids.h"
#include "updater/automation_names.h"
#include "updater/client/updater_client.h"
#include "updater/testing/private_bus.h"
#include "updater/testing/test_signing_key.h"
#include "updater/update_signature.h"
#include "updater/update_manifest.h"
#include "web/testing/test_http_server.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

fs::path ServiceFile() {
  return fs::path(std::getenv("XDG_DATA_HOME")) / "dbus-1" / "services" /
         (std::string(kUpdaterServiceName) + ".service");
}

fs::path SharedFolder() { return fs::path(std::getenv("ZT_COMMON_FILES_DIR")) / "Kestrane"; }

int RunUpdater(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(KSP_AUTO_UPDATER), args);
  if (!process.waitForFinished(20000)) return -1;
  return process.exitCode();
}

TEST(AutomationTest, StartedFromNothingEveryMemberAnswers) {
  // Not registered yet: nothing to start.
  {
    CUpdaterClient client;
    EXPECT_FALSE(client.Connect());
    EXPECT_TRUE(client.LastError().contains("ServiceUnknown") ||
                client.LastError().contains("was not provided"))
        << client.LastError().toStdString();
  }
  ASSERT_EQ(RunUpdater({QString::fromLatin1(kRegServerOption)}), 0);
  std::ifstream in(ServiceFile());
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(text.find("Name=com.Kestrane.KspAutoUpdater\n"), std::string::npos);
  EXPECT_NE(text.find("Exec='" + fs::canonical(KSP_AUTO_UPDATER).string() + "' --automation\n"),
            std::string::npos)
      << text;

  // What the updater will find: a waiting update, a module, and a site.
  fs::create_directories(SharedFolder() / "Update");
  UpdateFileRecord waiting;
  waiting.path = "/opt/x/KsOld.so";
  waiting.display_name = "Old";
  ASSERT_TRUE(SaveManifest((SharedFolder() / "Update" / kManifestFileName).string(), {waiting},
                           nullptr));
  fs::copy_file(QUARRY_TEST_MODULE, SharedFolder() / "KsTestModule.so");
  std::string site;
  TestHttpServer server([&site](const ReceivedRequest& r) {
    if (r.target.rfind("/IPAddresses/", 0) == 0) return ScriptedResponse::Make(200, site + "list/");
    if (r.target.rfind("/list/", 0) == 0) {
      return ScriptedResponse::Make(
          200, testing::TestSigned("KsTestModule.so,3.10,," + Sha256Hex(std::string(5000, 'x')) +
                                   "\r\n" + site + "f/,," + site + "p/\r\n"));
    }
    return ScriptedResponse::Make(200, std::string(5000, 'x'));  // the new module
  });
  site = server.Url("/");
  platform::SettingsStore& store = platform::SettingsStore::User();
  store.SetString(kServicesKey, kUpdateSiteValue, server.Url("/"));
  // The updater the bus starts trusts the test's publishing key.
  ASSERT_TRUE(testing::SetActivationVariable(kPublicKeyVariable, testing::TestPublicKeyHex()));

  CUpdaterClient client;
  ASSERT_TRUE(client.Connect()) << client.LastError().toStdString();
  EXPECT_TRUE(testing::UpdaterRunning());
  EXPECT_EQ(client.Version(), 2.09);
  EXPECT_EQ(client.UpdateWaiting(), 1);
  EXPECT_EQ(client.NeedsUpdating(), 0);
  EXPECT_TRUE(client.SetFilesUpdated(1));
  EXPECT_EQ(client.FilesUpdated(), 1);
  EXPECT_TRUE(client.SetUpdateWebsite(QStringLiteral("https://www.quarry.example/download")));
  EXPECT_EQ(client.UpdateWebsite(), QStringLiteral("https://www.quarry.example/download"));
  EXPECT_TRUE(client.SetProductInfo(2, 109, 77));
  EXPECT_EQ(client.ScanForFiles(), 1);
  EXPECT_EQ(client.UpdateAvailable(), 1);
  EXPECT_EQ(client.NeedsUpdating(), 1);
  EXPECT_TRUE(client.ShowWindow(0));

  // The updater's messages reach the client's window.
  std::vector<std::pair<uint32_t, uintptr_t>> posted;
  std::vector<uint32_t> received;
  platform::MessageWindow window([&](uint32_t message, uintptr_t wparam, intptr_t) {
    received.push_back(message);
    posted.emplace_back(message, wparam);
    return 0;
  });
  ASSERT_TRUE(client.SetParentWnd(window.Handle()));

  // A download run, and the installation that follows it.
  const fs::path module = SharedFolder() / "KsTestModule.so";
  EXPECT_EQ(client.DownloadFiles(0), 1);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return std::count(posted.begin(), posted.end(),
                          std::pair<uint32_t, uintptr_t>{platform::WM_UPDATER_DOWNLOADS_DONE, 1}) == 1;
      },
      20000));
  // Installed once nothing waits any more.
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.UpdateWaiting() == 0; }, 20000));
  EXPECT_FALSE(fs::exists(SharedFolder() / "Update"));
  EXPECT_EQ(fs::file_size(module), 5000u);
  EXPECT_TRUE(client.UpdateFiles());  // nothing waits: nothing to do
  ASSERT_TRUE(client.CheckOnlineFiles(0, 3));
  // The sizes of the earlier check may still be coming in; their end is a
  // check's end too, so one or two notices may arrive.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return std::count(received.begin(), received.end(), platform::WM_UPDATER_CHECK_DONE) >= 1; },
      20000));
  EXPECT_EQ(store.GetDword("Software\\Kestrane\\KspAutoUpdater\\Settings", "BaseProductVersion", 0),
            3u);
  EXPECT_EQ(store.GetDword("Software\\Kestrane\\KspAutoUpdater\\Settings", "ProductConfig", 0),
            77u);

  // Closing: the updater asks, the client releases it, and it is gone.
  ASSERT_TRUE(client.EndDialog());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return std::count(received.begin(), received.end(), platform::WM_UPDATER_MAY_CLOSE) >= 1; },
      10000));
  EXPECT_TRUE(testing::UpdaterRunning());
  EXPECT_TRUE(client.Release());
  // The updater gives up its name right after its last message. A busy
  // client handles that message only later: let the updater be gone first
  // (without handling any message meanwhile), and the message must still
  // count as the updater's.
  const auto gone_by = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (testing::UpdaterRunning() && std::chrono::steady_clock::now() < gone_by) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_FALSE(testing::UpdaterRunning());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return std::count(received.begin(), received.end(), platform::WM_UPDATER_CLOSED) == 1; },
      10000));

  ASSERT_EQ(RunUpdater({QString::fromLatin1(kUnregServerOption)}), 0);
  EXPECT_FALSE(fs::exists(ServiceFile()));
}

TEST(AutomationTest, AServiceFileNamingNoProgramFailsToStart) {
  fs::create_directories(ServiceFile().parent_path());
  std::ofstream(ServiceFile()) << "[D-BUS Service]\nName=" << kUpdaterServiceName
                               << "\nExec=/nonexistent/KspAutoUpdater --automation\n";
  ASSERT_TRUE(testing::ReloadBusServices());
  CUpdaterClient client;
  EXPECT_FALSE(client.Connect());
  EXPECT_FALSE(client.LastError().isEmpty());
  EXPECT_FALSE(client.Version().has_value());
}

}  // namespace
}  // namespace quarry
