// The updater's window on its own and driven as an automation object:
// the list after a check against a scripted server, the Update button, the
// last-check line, and the closing handshake with its client's window.

#include "updater/app/ksp_auto_updater_dlg.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/ks_controls.h"
#include "framework/list_ctrl_ext.h"
#include "platform/settings_store.h"
#include "platform/window_message_ids.h"
#include "updater/app/updater_dialogs.h"
#include "updater/testing/test_signing_key.h"
#include "updater/update_manifest.h"
#include "updater/update_signature.h"
#include "web/testing/test_http_server.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

class UpdaterDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "updater-dlg-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "common");
    fs::copy_file(QUARRY_TEST_MODULE, dir_ / "common" / "KsTestModule.so");
    store_ = std::make_unique<platform::SettingsStore>((dir_ / "store.db").string());
    SetWebSettingsStore(store_.get());
    options_.working_folder = (dir_ / "common").string();
    options_.store = store_.get();
    options_.show_message = [this](const QString& text) { messages_.push_back(text); };
    options_.open_page = [](const std::string&) {};
    options_.size_query = [](const std::string& url) -> int64_t {
      return url.find("KsTestModule") != std::string::npos ? 10 * 1024 : 3 * 1024 + 100;
    };
    options_.close_retry_ms = 10;
    options_.public_key = testing::TestSigningKey().public_key;
  }
  void TearDown() override {
    SetWebSettingsStore(nullptr);
    store_.reset();
    fs::remove_all(dir_);
  }

  // A server listing the test module at `version` and Qry.chm at 1.02.
  std::unique_ptr<TestHttpServer> Serve(const std::string& version) {
    auto server = std::make_unique<TestHttpServer>([this, version](const ReceivedRequest& r) {
      if (r.target.rfind("/IPAddresses/", 0) == 0) return ScriptedResponse::Make(200, answer_);
      return ScriptedResponse::Make(
          200, testing::TestSigned("KsTestModule.so," + version +
                                   ",KsTestModule.so.lzr\r\nQry.chm,1.02,\r\n"
                                   "http://files.example/f/,,http://files.example/p/\r\n"));
    });
    answer_ = server->Url("/list/");
    store_->SetString(kServicesKey, kUpdateSiteValue, server->Url("/"));
    return server;
  }

  void RegisterHelp() {
    const std::string help = (dir_ / "Qry.chm").string();
    std::ofstream(help) << "help";
    store_->SetString("Software\\Zandor Tech\\Quarry\\SoftwareUpdate", "KsAUFile1", help + ";Quarry");
    store_->SetDword("Software\\Zandor Tech\\Quarry\\SoftwareUpdate", "QRYCHMVer", 101);
  }

  static QStringList Row(CListCtrlExt* list, int row) {
    QStringList cells;
    for (int c = 0; c < list->GetColumnCount(); ++c) cells << list->GetItemText(row, c);
    return cells;
  }

  fs::path dir_;
  std::unique_ptr<platform::SettingsStore> store_;
  CKspAutoUpdaterDlg::Options options_;
  std::vector<QString> messages_;
  std::string answer_;
};

TEST_F(UpdaterDialogTest, StartedByTheUserItScansChecksAndListsSizes) {
  RegisterHelp();
  auto server = Serve("3.10");
  CKspAutoUpdaterDlg dialog(options_);
  EXPECT_EQ(dialog.windowTitle(), "Zandor Technologies Program Updater v2.09");
  EXPECT_EQ(dialog.LastCheckLine(), "Last Update Check: Never");
  QSignalSpy done(&dialog, &CKspAutoUpdaterDlg::checkDone);
  ASSERT_TRUE(done.wait(15000));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(messages_.empty());

  CListCtrlExt* list = dialog.FileList();
  EXPECT_EQ(list->GetColumnTitle(1), "File/Module");
  ASSERT_EQ(list->GetItemCount(), 3);  // two files and the total
  EXPECT_EQ(Row(list, 0), (QStringList{"Needs update", "Zt Test Ctrl", "3.04", "3.10", "10KB"}));
  EXPECT_EQ(Row(list, 1), (QStringList{"Needs update", "Quarry Help", "1.01", "1.02", "3KB"}));
  EXPECT_EQ(Row(list, 2), (QStringList{"", "", "", "Total", "13KB"}));
  EXPECT_EQ(dialog.NeedsUpdating(), 1);
  EXPECT_FALSE(dialog.Progress()->isVisible());
  EXPECT_TRUE(dialog.UpdateButton()->Widget()->isVisible());
  EXPECT_TRUE(dialog.UpdateButton()->IsEnabled());
  EXPECT_NE(dialog.LastCheckLine(), "Last Update Check: Never");
  EXPECT_EQ(dialog.Records()[0].download_name, "KsTestModule.so.lzr");
}

TEST_F(UpdaterDialogTest, NothingNewLeavesTheUpdateButtonShownButDisabled) {
  auto server = Serve("3.04");
  CKspAutoUpdaterDlg dialog(options_);
  QSignalSpy done(&dialog, &CKspAutoUpdaterDlg::checkDone);
  ASSERT_TRUE(done.wait(15000));
  EXPECT_EQ(Row(dialog.FileList(), 0),
            (QStringList{"Current", "Zt Test Ctrl", "3.04", "3.04", "10KB"}));
  EXPECT_EQ(dialog.NeedsUpdating(), 0);
  EXPECT_TRUE(dialog.UpdateButton()->Widget()->isVisible());
  EXPECT_FALSE(dialog.UpdateButton()->IsEnabled());
}

TEST_F(UpdaterDialogTest, AFailedCheckTellsTheUserAndMarksNothing) {
  store_->SetString(kServicesKey, kUpdateSiteValue, "http://127.0.0.1:1");
  CKspAutoUpdaterDlg dialog(options_);
  QSignalSpy done(&dialog, &CKspAutoUpdaterDlg::checkDone);
  ASSERT_TRUE(done.wait(15000));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].startsWith("Failed to Contact File Server"));
  EXPECT_EQ(dialog.NeedsUpdating(), 0);
  EXPECT_FALSE(dialog.UpdateButton()->IsEnabled());
  EXPECT_EQ(dialog.LastCheckLine(), "Last Update Check: Never");
}

TEST_F(UpdaterDialogTest, AnAutomationClientDrivesItHiddenAndQuietly) {
  auto server = Serve("3.10");
  options_.automation = true;
  CKspAutoUpdaterDlg dialog(options_);
  QTest::qWait(50);  // timer 1 ran
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.Records().empty());  // the client decides
  std::vector<int> answers;
  dialog.UpdateAvailable([&](int v) { answers.push_back(v); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 1; }, 15000));
  EXPECT_EQ(answers[0], 1);
  EXPECT_FALSE(dialog.isVisible());
  dialog.ShowWindowCommand(5);
  EXPECT_TRUE(dialog.isVisible());

  // Store the check's values and the product information.
  dialog.SetProductInfo(2, 109, 77);
  dialog.CheckOnlineFiles(4, 5);
  QSignalSpy done(&dialog, &CKspAutoUpdaterDlg::checkDone);
  ASSERT_TRUE(done.wait(15000));
  const char* key = "Software\\Kestrane\\KspAutoUpdater\\Settings";
  EXPECT_EQ(store_->GetDword(key, "BaseProductCode", 0), 4u);
  EXPECT_EQ(store_->GetDword(key, "BaseProductVersion", 0), 5u);
  EXPECT_EQ(store_->GetDword(key, "ProductCode", 0), 2u);
  EXPECT_EQ(store_->GetDword(key, "ProductVersion", 0), 109u);
  EXPECT_EQ(store_->GetDword(key, "ProductConfig", 0), 77u);
}

struct Posted {
  uint32_t message;
  uintptr_t wparam;
};

TEST_F(UpdaterDialogTest, TheClosingHandshakeWaitsForTheClient) {
  options_.automation = true;
  struct Case {
    const char* name;
    bool parent_alive;
    bool release;
    size_t may_close_posts;  // how often it tried to ask
  } cases[] = {
      {"released after asking", true, true, 1},
      {"never released", true, false, CKspAutoUpdaterDlg::kCloseAttempts},
      {"parent gone", false, false, 1},  // one try, which fails
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CKspAutoUpdaterDlg dialog(options_);
    std::vector<Posted> posted;
    dialog.SetParentWnd([&](uint32_t message, uintptr_t wparam) {
      posted.push_back({message, wparam});
      return c.parent_alive;
    });
    dialog.ShowWindowCommand(5);
    QSignalSpy closed(&dialog, &CKspAutoUpdaterDlg::closed);
    dialog.EndDialog();
    EXPECT_FALSE(dialog.isVisible());
    if (c.release) {
      EXPECT_EQ(closed.count(), 0);
      dialog.ClientReleased();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed.count() == 1; }, 5000));
    size_t may_close = 0, closed_notes = 0;
    for (const Posted& p : posted) {
      if (p.message == platform::WM_UPDATER_MAY_CLOSE) ++may_close;
      if (p.message == platform::WM_UPDATER_CLOSED) ++closed_notes;
    }
    EXPECT_EQ(may_close, c.may_close_posts);
    EXPECT_EQ(closed_notes, c.parent_alive ? 1u : 0u);
  }
}

TEST_F(UpdaterDialogTest, WithoutAClientItClosesAtOnceAndKeepsItsPlace) {
  CKspAutoUpdaterDlg dialog(options_);
  dialog.ShowWindowCommand(5);
  dialog.move(123, 87);
  QSignalSpy closed(&dialog, &CKspAutoUpdaterDlg::closed);
  dialog.close();
  EXPECT_EQ(closed.count(), 1);
  const std::vector<uint8_t> record =
      store_->GetBinary("Software\\Kestrane\\KspAutoUpdater\\Settings", "KspAutoUpdaterDlg");
  EXPECT_EQ(record.size(), 44u);
}

TEST_F(UpdaterDialogTest, TheSystemMenuOffersAbout) {
  CKspAutoUpdaterDlg dialog(options_);
  std::unique_ptr<QMenu> menu(dialog.CreateSystemMenu(nullptr));
  QStringList texts;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) texts << action->text();
  }
  EXPECT_EQ(texts, (QStringList{"&Close", "&About AutoUpdater..."}));
}

TEST_F(UpdaterDialogTest, ADownloadRunKeepsItsListAndEndsWithTheManifest) {
  const std::string module(3000, 'm');
  // The download trickles in, so the run is still going when the client
  // asks for a scan and a check.
  std::string site;
  auto server = std::make_unique<TestHttpServer>([&site, &module](const ReceivedRequest& r) {
    if (r.target.rfind("/IPAddresses/", 0) == 0) return ScriptedResponse::Make(200, site + "list/");
    if (r.target.rfind("/list/", 0) == 0) {
      return ScriptedResponse::Make(
          200, testing::TestSigned("KsTestModule.so,3.10,," + Sha256Hex(module) + "\r\n" + site +
                                   "f/,," + site + "p/\r\n"));
    }
    ScriptedResponse slow = ScriptedResponse::Raw(
        "HTTP/1.1 200 OK\r\nContent-Length: 3000\r\nConnection: close\r\n\r\n");
    return slow.Then(module, 400);
  });
  site = server->Url("/");
  store_->SetString(kServicesKey, kUpdateSiteValue, site);
  options_.automation = true;
  CKspAutoUpdaterDlg dialog(options_);
  std::vector<int> answers;
  dialog.UpdateAvailable([&](int v) { answers.push_back(v); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 1; }, 15000));
  ASSERT_EQ(answers[0], 1);

  QSignalSpy done(&dialog, &CKspAutoUpdaterDlg::downloadsDone);
  EXPECT_EQ(dialog.DownloadFiles(0), 1);
  EXPECT_TRUE(dialog.DownloadRunActive());
  EXPECT_EQ(dialog.DownloadFiles(0), 0);  // one run at a time
  EXPECT_EQ(dialog.ScanForFiles(), 1);
  dialog.UpdateAvailable([&](int v) { answers.push_back(v); });
  EXPECT_EQ(answers, (std::vector<int>{1, 1}));  // answered at once, nothing checked
  ASSERT_EQ(dialog.Records().size(), 1u);
  EXPECT_EQ(dialog.Records()[0].needs_update, 1u);

  ASSERT_TRUE(done.wait(15000));
  EXPECT_EQ(done.at(0).at(0).toInt(), 1);
  const auto manifest = LoadManifest((dir_ / "common" / "Update" / "Ksp.inf").string());
  ASSERT_TRUE(manifest.has_value());
  ASSERT_EQ(manifest->size(), 1u);
  EXPECT_EQ((*manifest)[0].download_result, 1u);
  EXPECT_TRUE(fs::exists(dir_ / "common" / "Update" / "Ksp.ver"));
  EXPECT_EQ(store_->GetDword("Software\\Kestrane\\KspAutoUpdater\\SoftwareUpdate",
                             "DownloadSuccess", 0),
            1u);
  // The installation follows on its own.
  QSignalSpy installed(&dialog, &CKspAutoUpdaterDlg::installDone);
  ASSERT_TRUE(installed.wait(15000));
  EXPECT_EQ(dialog.LastInstall().status, InstallOutcome::Status::kInstalled)
      << dialog.LastInstall().failure;
}

TEST(UpdaterTextsTest, TheLastCheckLine) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(updater::LastCheckText(0), "Last Update Check: Never");
  EXPECT_EQ(updater::LastCheckText(1700000000), "Last Update Check: November 14, 2023");
  EXPECT_EQ(updater::LastCheckText(1704067200), "Last Update Check: January 1, 2024");
}

}  // namespace
}  // namespace quarry
