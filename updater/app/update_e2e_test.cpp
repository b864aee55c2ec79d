// An update from end to end: version 2 of a small program and of a module
// published with ksp-publish, served by nginx on 127.0.0.1, checked,
// downloaded and installed by the updater's window while the old program
// runs; and a site whose file or list was tampered with, refused.

#include <gtest/gtest.h>
#include <signal.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/ks_controls.h"
#include "framework/list_ctrl_ext.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "tools/ksp-publish/publisher.h"
#include "updater/app/ksp_auto_updater_dlg.h"
#include "updater/app/updater_dialogs.h"
#include "updater/module_registration.h"
#include "updater/process_control.h"
#include "updater/testing/test_signing_key.h"
#include "updater/testing/update_fixture.h"
#include "updater/update_manifest.h"
#include "updater/updater_settings.h"
#include "web/peers/peer_harness.h"
#include "web/peers/peer_test_support.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::ReadWhole;

constexpr char kProgramKey[] = "Software\\Zandor Tech\\TestProg\\SoftwareUpdate";

// The "<version> <pid>" lines the test program writes when it starts.
std::vector<std::pair<std::string, pid_t>> Starts(const fs::path& log) {
  std::vector<std::pair<std::string, pid_t>> starts;
  std::istringstream in(ReadWhole(log));
  std::string version;
  pid_t pid = 0;
  while (in >> version >> pid) starts.emplace_back(version, pid);
  return starts;
}

class UpdateEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.path();
    common_ = root_ / "common" / "Kestrane";
    program_ = root_ / "bin" / "KsTestProg";
    fs::create_directories(common_);
    fs::create_directories(program_.parent_path());
    // Version 1 installed: the module in the shared folder, the program
    // registered by its own key with its version beside it.
    fs::copy_file(QUARRY_TEST_MODULE, common_ / "KsTestModule.so");
    fs::copy_file(QUARRY_TEST_PROGRAM_V1, program_);
    store_ = std::make_unique<platform::SettingsStore>((root_ / "store.db").string());
    SetWebSettingsStore(store_.get());
    store_->SetString(kProgramKey, "KsAUFile1", program_.string() + ";Test Program");
    store_->SetDword(kProgramKey, "KSTESTPROGVer", 100);

    // A registration program that notes what it was asked.
    const fs::path regsvr = root_ / "ztregsvr";
    std::ofstream(regsvr) << "#!/bin/sh\necho \"$@\" >> '" << (root_ / "registrations.log").string()
                          << "'\n";
    fs::permissions(regsvr, fs::perms::owner_all);
    store_->SetString(kUpdaterSettingsKey, kRegServerProgramValue, regsvr.string());

    log_ = root_ / "starts.log";
    setenv("KS_TEST_PROGRAM_LOG", log_.c_str(), 1);

    options_.working_folder = common_.string();
    options_.store = store_.get();
    options_.public_key = testing::TestSigningKey().public_key;
    options_.show_message = [this](const QString& text) { messages_.push_back(text); };
    options_.ask_yes_no = [this](const QString& text) {
      questions_.push_back(text);
      return true;
    };
    options_.open_page = [](const std::string&) {};
    options_.install_timings.after_close = std::chrono::milliseconds(50);
    options_.install_timings.after_restart = std::chrono::milliseconds(50);
  }

  void TearDown() override {
    // Whatever of the program still runs.
    SystemProcessControl processes;
    for (pid_t pid : processes.FindRunning(program_.string())) ::kill(pid, SIGKILL);
    SetWebSettingsStore(nullptr);
    unsetenv("KS_TEST_PROGRAM_LOG");
  }

  // Publishes version 2 of both into nginx's folder.
  void Publish(peers::NginxPeer& nginx) {
    const fs::path source = root_ / "v2";
    fs::remove_all(source);
    fs::create_directories(source);
    fs::copy_file(QUARRY_TEST_MODULE_V2, source / "KsTestModule.so");
    fs::copy_file(QUARRY_TEST_PROGRAM_V2, source / "KsTestProg");
    std::ofstream(source / "versions.txt") << "KsTestProg 1.10\n";
    publish::PublishOptions options;
    options.source_dir = source.string();
    options.site_dir = nginx.document_root().string();
    options.site_url = nginx.HttpUrl("");
    options.secret_key = testing::TestSigningKey().secret_key;
    const publish::PublishResult published = publish::PublishSite(options);
    ASSERT_TRUE(published.ok) << published.error;
    store_->SetString(kServicesKey, kUpdateSiteValue, nginx.HttpUrl(""));
  }

  // Starts version 1 of the program as a user would, and waits for it.
  pid_t StartProgram() {
    SystemProcessControl processes;
    std::string error;
    EXPECT_TRUE(processes.Start(program_.string(), std::chrono::seconds(10), &error)) << error;
    EXPECT_TRUE(QTest::qWaitFor([&] { return Starts(log_).size() == 1; }, 10000));
    return Starts(log_).empty() ? 0 : Starts(log_)[0].second;
  }

  testing::TempDir temp_;
  fs::path root_, common_, program_, log_;
  std::unique_ptr<platform::SettingsStore> store_;
  CKspAutoUpdaterDlg::Options options_;
  std::vector<QString> messages_, questions_;
};

TEST_F(UpdateEndToEndTest, PublishedFilesReplaceTheOldOnesAndTheProgramComesBack) {
  peers::NginxPeer nginx;
  QUARRY_START_PEER(nginx);
  Publish(nginx);
  const pid_t old_pid = StartProgram();
  ASSERT_NE(old_pid, 0);

  CKspAutoUpdaterDlg dialog(options_);
  QSignalSpy checked(&dialog, &CKspAutoUpdaterDlg::checkDone);
  ASSERT_TRUE(checked.wait(20000));
  ASSERT_TRUE(messages_.empty()) << messages_[0].toStdString();
  ASSERT_EQ(dialog.NeedsUpdating(), 1);
  ASSERT_TRUE(dialog.UpdateButton()->IsEnabled());

  QSignalSpy installed(&dialog, &CKspAutoUpdaterDlg::installDone);
  dialog.UpdateButton()->Button()->click();
  ASSERT_TRUE(installed.wait(60000)) << (messages_.empty() ? "" : messages_[0].toStdString());
  ASSERT_EQ(dialog.LastInstall().status, InstallOutcome::Status::kInstalled)
      << dialog.LastInstall().failure;
  EXPECT_TRUE(messages_.empty()) << messages_[0].toStdString();

  // One question, when the download ended; it covered closing the program.
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_TRUE(questions_[0].startsWith(
      "Test Program requires updating and is currently running.\nShutDown and restart "
      "Test Program automatically?"));
  // New files in place, the program still a program.
  EXPECT_EQ(ReadWhole(program_), ReadWhole(QUARRY_TEST_PROGRAM_V2));
  EXPECT_EQ(ReadWhole(common_ / "KsTestModule.so"), ReadWhole(QUARRY_TEST_MODULE_V2));
  EXPECT_EQ(testing::ModeOf(program_) & 0700, 0700u);
  // The module was unregistered and registered again.
  EXPECT_EQ(ReadWhole(root_ / "registrations.log"),
            "/u /s " + (common_ / "KsTestModule.so").string() + "\n/s " +
                (common_ / "KsTestModule.so").string() + "\n");
  // The old program was closed and the new one started.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Starts(log_).size() == 2; }, 10000));
  EXPECT_EQ(Starts(log_)[1].first, "1.10");
  SystemProcessControl processes;
  EXPECT_EQ(processes.FindRunning(program_.string()),
            std::vector<pid_t>{Starts(log_)[1].second});
  EXPECT_NE(Starts(log_)[1].second, old_pid);
  // Nothing is left waiting, and the versions follow the files.
  EXPECT_FALSE(fs::exists(common_ / "Update"));
  EXPECT_FALSE(fs::exists(common_ / "Temp"));
  EXPECT_EQ(store_->GetDword(kProgramKey, "KSTESTPROGVer", 0), 110u);
  EXPECT_EQ(CUpdaterSettings(*store_).DownloadSuccess(), 1u);

  // The list is read and checked afresh: everything is current.
  ASSERT_TRUE(QTest::qWaitFor([&] { return checked.count() >= 2; }, 20000));
  EXPECT_EQ(dialog.NeedsUpdating(), 0);
  CListCtrlExt* list = dialog.FileList();
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(list->GetItemText(row, updater::kColumnState), "Current") << row;
    EXPECT_EQ(list->GetItemText(row, updater::kColumnCurrent),
              list->GetItemText(row, updater::kColumnAvailable));
  }
}

TEST_F(UpdateEndToEndTest, ATamperedFileOrListIsRefusedAndNothingChanges) {
  struct Case {
    const char* name;
    bool tamper_list;
    const char* reason;
  } cases[] = {
      {"a file changed on the site", false,
       "the downloaded KsTestProg does not match the file the update server signed"},
      {"the list changed on the site", true,
       "the update server's version list does not match its signature"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    peers::NginxPeer nginx;
    QUARRY_START_PEER(nginx);
    Publish(nginx);
    const fs::path site = nginx.document_root();
    if (c.tamper_list) {
      std::string list = ReadWhole(site / "list" / "index.html");
      list.replace(list.find("1.10"), 4, "9.10");
      std::ofstream(site / "list" / "index.html", std::ios::binary | std::ios::trunc) << list;
    } else {
      // Someone on the way hands out another program under the same name.
      fs::remove(site / "packed" / "KsTestProg.lzr");
      std::ofstream(site / "files" / "KsTestProg", std::ios::binary | std::ios::trunc)
          << "#!/bin/sh\necho owned\n";
    }
    messages_.clear();
    questions_.clear();

    CKspAutoUpdaterDlg dialog(options_);
    QSignalSpy checked(&dialog, &CKspAutoUpdaterDlg::checkDone);
    ASSERT_TRUE(checked.wait(20000));
    const std::string refusal = std::string("Update failed. Caused by\n") + c.reason + ".";
    if (c.tamper_list) {
      // Nothing in the list is believed: nothing to fetch.
      ASSERT_EQ(messages_.size(), 1u);
      EXPECT_TRUE(messages_[0].startsWith(QString::fromStdString(refusal)))
          << messages_[0].toStdString();
      EXPECT_EQ(dialog.NeedsUpdating(), 0);
      EXPECT_FALSE(dialog.UpdateButton()->IsEnabled());
    } else {
      ASSERT_EQ(dialog.NeedsUpdating(), 1);
      QSignalSpy installed(&dialog, &CKspAutoUpdaterDlg::installDone);
      dialog.UpdateButton()->Button()->click();
      ASSERT_TRUE(installed.wait(60000));
      ASSERT_EQ(questions_.size(), 1u);
      EXPECT_TRUE(questions_[0].startsWith(QString::fromStdString(refusal)))
          << questions_[0].toStdString();
      EXPECT_TRUE(questions_[0].endsWith("Do you want to delete this update?"));
      // Answered Yes: the refused update is gone with its folder.
      EXPECT_FALSE(fs::exists(common_ / "Update"));
    }
    EXPECT_EQ(ReadWhole(program_), ReadWhole(QUARRY_TEST_PROGRAM_V1));
    EXPECT_EQ(ReadWhole(common_ / "KsTestModule.so"), ReadWhole(QUARRY_TEST_MODULE));
    EXPECT_FALSE(fs::exists(root_ / "registrations.log"));
  }
}

}  // namespace
}  // namespace quarry
