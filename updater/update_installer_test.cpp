// The installation with stand-ins for the machine's processes and the
// registration program: what is replaced, closed, registered, restored
// and asked, and what a refused update leaves untouched.

#include "updater/update_installer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "updater/module_registration.h"
#include "updater/process_control.h"
#include "updater/testing/update_fixture.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::ReadWhole;
using testing::UpdateFixture;

// Programs that run until terminated; `stubborn` ones never end.
class FakeProcesses : public ProcessControl {
 public:
  std::vector<pid_t> FindRunning(const std::string& path) override {
    return running.count(path) != 0 ? std::vector<pid_t>{pids[path]} : std::vector<pid_t>{};
  }
  bool Terminate(pid_t pid, int attempt) override {
    for (auto& [path, p] : pids) {
      if (p != pid) continue;
      terminations.push_back(path + (attempt == 0 ? " TERM" : " KILL"));
      if (stubborn.count(path) == 0) running.erase(path);
    }
    return true;
  }
  bool Start(const std::string& path, std::chrono::milliseconds, std::string*) override {
    started.push_back(path);
    running.insert(path);
    return true;
  }
  void Run(const std::string& path) {
    running.insert(path);
    pids[path] = static_cast<pid_t>(1000 + pids.size());
  }

  std::set<std::string> running, stubborn;
  std::map<std::string, pid_t> pids;
  std::vector<std::string> terminations, started;
};

// Records each registration with the module's content at that moment.
class FakeRegistrar : public ModuleRegistrar {
 public:
  RegistrationResult Run(const std::string& module, bool unregister) override {
    calls.push_back(std::string(unregister ? "unregister " : "register ") + ReadWhole(module));
    RegistrationResult result;
    if (skip) {
      result.status = RegistrationResult::Status::kSkipped;
      result.reason = "no registration program";
    } else {
      result.status = fail_register && !unregister ? RegistrationResult::Status::kFailed
                                                   : RegistrationResult::Status::kDone;
    }
    return result;
  }
  std::vector<std::string> calls;
  bool skip = false;
  bool fail_register = false;
};

class ScriptedUi : public InstallUi {
 public:
  bool AskYesNo(const std::string& question) override {
    asked.push_back(question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<bool> answers;
  std::vector<std::string> asked;
};

class UpdateInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "installer-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fixture_ = std::make_unique<UpdateFixture>(root_);
    store_ = std::make_unique<platform::SettingsStore>((root_ / "store.db").string());
    options_.folders = fixture_->folders;
    options_.store = store_.get();
    options_.public_key = testing::TestSigningKey().public_key;
    options_.processes = &processes_;
    options_.registrar = &registrar_;
    options_.ui = &ui_;
    options_.timings = {std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                        std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                        std::chrono::milliseconds(100), std::chrono::milliseconds(1),
                        std::chrono::milliseconds(1)};
    options_.observer = [this](const std::string& point) { points_.push_back(point); };
  }
  void TearDown() override { fs::remove_all(root_); }

  const std::string& ProgramPath() const { return fixture_->files[0].path; }
  bool Exists(const std::string& path) const { return fs::exists(path); }

  fs::path root_;
  std::unique_ptr<UpdateFixture> fixture_;
  std::unique_ptr<platform::SettingsStore> store_;
  FakeProcesses processes_;
  FakeRegistrar registrar_;
  ScriptedUi ui_;
  InstallOptions options_;
  std::vector<std::string> points_;
};

TEST_F(UpdateInstallerTest, ReplacesEverythingAndRestartsTheProgramItClosed) {
  processes_.Run(ProgramPath());
  ui_.answers = {true};
  const InstallOutcome outcome = InstallUpdate(fixture_->manifest, options_);
  ASSERT_EQ(outcome.status, InstallOutcome::Status::kInstalled) << outcome.failure;
  EXPECT_EQ(fixture_->States(), (std::vector<std::string>{"new", "new", "new"}));
  // Each file keeps its own permission bits, not those of the download.
  for (const auto& f : fixture_->files) EXPECT_EQ(testing::ModeOf(f.path), f.mode) << f.path;
  ASSERT_EQ(ui_.asked.size(), 1u);
  EXPECT_EQ(ui_.asked[0].rfind("Quarry needs to be closed and is currently running.\n"
                               "ShutDown and restart Quarry automatically?", 0), 0u);
  EXPECT_EQ(processes_.terminations, std::vector<std::string>{ProgramPath() + " TERM"});
  EXPECT_EQ(processes_.started, std::vector<std::string>{ProgramPath()});
  EXPECT_EQ(outcome.restarted, std::vector<std::string>{ProgramPath()});
  // The module was unregistered while the old one was there, and
  // registered once the new one was.
  EXPECT_EQ(registrar_.calls, (std::vector<std::string>{"unregister " + UpdateFixture::Old("KsButton.so"),
                                                        "register " + UpdateFixture::New("KsButton.so")}));
  // The next run finds nothing waiting; the versions follow the files.
  EXPECT_FALSE(Exists(fixture_->folders.download));
  EXPECT_FALSE(Exists(fixture_->folders.backup));
  EXPECT_EQ(store_->GetDword(UpdateFixture::kKey, "QUARRYVer", 0), 110u);
  EXPECT_EQ(store_->GetDword(UpdateFixture::kKey, "QRYCHMVer", 0), 102u);
  EXPECT_EQ(points_.front(), "2");
  EXPECT_EQ(points_.back(), "9");
}

TEST_F(UpdateInstallerTest, ARunningProgramIsClosedEvenWhenOnlyAModuleChanges) {
  for (UpdateFileRecord& r : fixture_->manifest) {
    if (r.path != fixture_->files[1].path) r.needs_update = 0;
  }
  processes_.Run(ProgramPath());
  options_.consent = true;  // agreed when the download run ended: no question
  const InstallOutcome outcome = InstallUpdate(fixture_->manifest, options_);
  ASSERT_EQ(outcome.status, InstallOutcome::Status::kInstalled) << outcome.failure;
  EXPECT_EQ(fixture_->States(), (std::vector<std::string>{"old", "new", "old"}));
  EXPECT_TRUE(ui_.asked.empty());
  EXPECT_EQ(processes_.started, std::vector<std::string>{ProgramPath()});
}

TEST_F(UpdateInstallerTest, ARefusedUpdateChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(UpdateFixture&)> spoil;
    std::string failure;
    bool delete_it;
  } cases[] = {
      {"a downloaded file was changed",
       [](UpdateFixture& f) {
         UpdateFixture::Put(f.folders.download + "KsButton.so", "evil module", 0644);
       },
       "the downloaded KsButton.so does not match the file the update server signed", true},
      {"the saved list was changed",
       [](UpdateFixture& f) {
         std::string list = f.signed_list;
         list.replace(list.find("3.10"), 4, "3.11");
         UpdateFixture::Put(f.folders.download + kSignedListFileName, list, 0644);
       },
       "the update server's version list does not match its signature", false},
      {"the saved list is missing",
       [](UpdateFixture& f) { fs::remove(f.folders.download + kSignedListFileName); },
       "the update was downloaded without the update server's signed version list", false},
      {"a downloaded file is missing",
       [](UpdateFixture& f) { fs::remove(f.folders.download + "Qry.chm"); },
       "the downloaded Qry.chm cannot be read", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fixture_ = std::make_unique<UpdateFixture>(root_ / c.name);
    options_.folders = fixture_->folders;
    c.spoil(*fixture_);
    processes_ = FakeProcesses();
    processes_.Run(ProgramPath());
    ui_ = ScriptedUi();
    ui_.answers = {c.delete_it};
    const InstallOutcome outcome = InstallUpdate(fixture_->manifest, options_);
    EXPECT_EQ(outcome.status, InstallOutcome::Status::kFailed);
    EXPECT_EQ(outcome.failure, c.failure);
    EXPECT_EQ(fixture_->States(), (std::vector<std::string>{"old", "old", "old"}));
    EXPECT_TRUE(processes_.terminations.empty());  // refused before closing anything
    ASSERT_EQ(ui_.asked.size(), 1u);
    EXPECT_EQ(ui_.asked[0], "Update failed. Caused by\n" + c.failure +
                                ".\nContact Zandor Technologies for rurther support\n\n"
                                "Do you want to delete this update?");
    EXPECT_EQ(outcome.update_deleted, c.delete_it);
    EXPECT_EQ(Exists(fixture_->folders.download), !c.delete_it);
    EXPECT_FALSE(Exists(fixture_->folders.backup));
  }
}

TEST_F(UpdateInstallerTest, DecliningToCloseAProgramLeavesTheUpdateWaiting) {
  processes_.Run(ProgramPath());
  ui_.answers = {false};
  const InstallOutcome outcome = InstallUpdate(fixture_->manifest, options_);
  EXPECT_EQ(outcome.status, InstallOutcome::Status::kLeftWaiting);
  EXPECT_EQ(fixture_->States(), (std::vector<std::string>{"old", "old", "old"}));
  EXPECT_TRUE(processes_.terminations.empty());
  EXPECT_TRUE(processes_.started.empty());
  EXPECT_TRUE(Exists(fixture_->folders.download + kManifestFileName));
  EXPECT_FALSE(Exists(fixture_->folders.backup));
}

TEST_F(UpdateInstallerTest, FailuresRestoreEveryFileAndNameTheStep) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string failure;
    size_t terminations;
    std::deque<bool> answers;
  } cases[] = {
      {"a program that will not end",
       [this] {
         processes_.Run(ProgramPath());
         processes_.stubborn.insert(ProgramPath());
       },
       "Failure to Close and Copy Old Quarry", 10, {true, false}},  // close it; keep the update
      {"a module that will not register",
       [this] { registrar_.fail_register = true; },
       "Failure to Copy New Zt Button Ctrl", 0, {false}},  // keep the update
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fixture_ = std::make_unique<UpdateFixture>(root_ / c.name);
    options_.folders = fixture_->folders;
    processes_ = FakeProcesses();
    registrar_ = FakeRegistrar();
    ui_ = ScriptedUi();
    ui_.answers = c.answers;
    c.arrange();
    const InstallOutcome outcome = InstallUpdate(fixture_->manifest, options_);
    EXPECT_EQ(outcome.status, InstallOutcome::Status::kFailed);
    EXPECT_EQ(outcome.failure, c.failure);
    EXPECT_EQ(fixture_->States(), (std::vector<std::string>{"old", "old", "old"}));
    for (const auto& f : fixture_->files) EXPECT_EQ(testing::ModeOf(f.path), f.mode) << f.path;
    EXPECT_EQ(processes_.terminations.size(), c.terminations);
    EXPECT_TRUE(Exists(fixture_->folders.download + kManifestFileName));
    EXPECT_FALSE(Exists(fixture_->folders.backup));
  }
  // The module put back was registered again.
  EXPECT_EQ(registrar_.calls.back(), "register " + UpdateFixture::Old("KsButton.so"));
}

TEST_F(UpdateInstallerTest, WithoutARegistrationProgramTheUpdateGoesOnAndSaysSo) {
  registrar_.skip = true;
  const InstallOutcome outcome = InstallUpdate(fixture_->manifest, options_);
  ASSERT_EQ(outcome.status, InstallOutcome::Status::kInstalled);
  EXPECT_EQ(fixture_->States(), (std::vector<std::string>{"new", "new", "new"}));
  ASSERT_EQ(outcome.notes.size(), 2u);
  EXPECT_NE(outcome.notes[1].find("registering " + fixture_->files[1].path +
                                  " skipped: no registration program"),
            std::string::npos);
}

TEST_F(UpdateInstallerTest, OneInstallationAtATimeAndNothingToDoWithoutRecords) {
  EXPECT_EQ(InstallUpdate({}, options_).status, InstallOutcome::Status::kNothingToDo);
  // A second updater holding the lock.
  options_.observer = [this](const std::string& point) {
    if (point == "2") {
      EXPECT_EQ(InstallUpdate(fixture_->manifest, options_).status, InstallOutcome::Status::kBusy);
    }
  };
  EXPECT_EQ(InstallUpdate(fixture_->manifest, options_).status, InstallOutcome::Status::kInstalled);
}

TEST(WriteAccessTest, TheFirstFolderThatCannotBeWrittenIsNamed) {
  UpdateFileRecord here, nowhere, unmarked;
  here.path = fs::temp_directory_path().string() + "/x";
  here.needs_update = 1;
  nowhere.path = "/nonexistent-folder/x";
  nowhere.needs_update = 1;
  unmarked.path = "/another-nonexistent-folder/x";
  const std::string temp = fs::temp_directory_path().string();
  EXPECT_EQ(FolderWithoutWriteAccess({here, unmarked}, temp), "");
  EXPECT_EQ(FolderWithoutWriteAccess({here, nowhere}, temp), "/nonexistent-folder");
  EXPECT_EQ(FolderWithoutWriteAccess({here}, "/nonexistent-working"), "/nonexistent-working");
}

}  // namespace
}  // namespace quarry
