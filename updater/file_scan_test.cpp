// Building the record list from the updater's folder and the maker's
// registrations.

#include "updater/file_scan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "updater/updater_settings.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

class ScriptedUi : public ScanUi {
 public:
  bool AskYesNo(const std::string& question) override {
    questions.push_back(question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> BrowseForFile(const std::string& filter) override {
    filters.push_back(filter);
    if (picks.empty()) return std::nullopt;
    const std::string pick = picks.front();
    picks.pop_front();
    return pick;
  }
  std::deque<bool> answers;
  std::deque<std::string> picks;
  std::vector<std::string> questions;
  std::vector<std::string> filters;
};

class FileScanTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "file-scan-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "common");
    fs::create_directories(dir_ / "app");
    store_ = std::make_unique<platform::SettingsStore>((dir_ / "store.db").string());
    options_.working_folder = (dir_ / "common").string();
    options_.store = store_.get();
    options_.ui = &ui_;
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(dir_);
  }
  std::string Touch(const std::string& relative) {
    const std::string path = (dir_ / relative).string();
    std::ofstream(path) << "data";
    return path;
  }
  void Register(const std::string& key, const std::string& name, const std::string& text) {
    store_->SetString(key, name, text);
  }

  fs::path dir_;
  std::unique_ptr<platform::SettingsStore> store_;
  ScriptedUi ui_;
  ScanOptions options_;
};

TEST_F(FileScanTest, ModulesOfTheFolderSayWhatTheyAre) {
  fs::copy_file(QUARRY_TEST_MODULE, dir_ / "common" / "KsTestModule.so");
  fs::copy_file(QUARRY_TEST_MODULE, dir_ / "common" / "KspAutoUpdater");  // itself: never listed
  Touch("common/readme.txt");                                           // no module
  const auto records = ScanForFiles(options_);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, (dir_ / "common" / "KsTestModule.so").string());
  EXPECT_EQ(records[0].display_name, "Zt Test Ctrl");
  EXPECT_DOUBLE_EQ(records[0].current_version, 3.04);
  EXPECT_TRUE(ui_.questions.empty());
}

TEST_F(FileScanTest, AModuleReplacedSinceTheLastScanShowsItsNewVersion) {
  const fs::path module = dir_ / "common" / "KsTestModule.so";
  fs::copy_file(QUARRY_TEST_MODULE, module);
  ASSERT_DOUBLE_EQ(ScanForFiles(options_).at(0).current_version, 3.04);
  // Replaced as an installation does: a new file renamed over the old one.
  fs::copy_file(QUARRY_TEST_MODULE_V2, dir_ / "common" / ".new");
  fs::rename(dir_ / "common" / ".new", module);
  EXPECT_DOUBLE_EQ(ScanForFiles(options_).at(0).current_version, 3.10);
}

TEST_F(FileScanTest, RegistrationsAtAnyDepthUntilTheFirstGap) {
  const std::string quarry = Touch("app/Quarry");
  const std::string help = Touch("app/Qry.chm");
  const std::string cfg = Touch("app/Main.cfg");
  const std::string deep = Touch("app/deep.dat");
  const std::string skipped = Touch("app/after-gap.inf");
  const std::string key = "Software\\Zandor Tech\\Quarry\\SoftwareUpdate";
  Register(key, "KsAUFile1", quarry + ";Quarry");
  Register(key, "KsAUFile2", help + ";Quarry");
  Register(key, "KsAUFile4", skipped + ";Gap");  // 3 is missing
  store_->SetDword(key, "QRYCHMVer", 105);
  store_->SetDword(key, "QUARRYVer", 110);
  Register("Software\\Kestrane\\A\\B\\C\\D", "ZtAUFile1", cfg);  // no display name
  Register("Software\\Kestrane\\A\\B\\C\\D", "ZtAUFile2", deep + ";Prices");
  store_->SetDword("Software\\Kestrane\\A\\B\\C\\D", "ZtAUFile3", 7);  // not a string: the end
  Register("Software\\Elsewhere", "KsAUFile1", Touch("app/other.dat"));
  const auto records = ScanForFiles(options_);
  std::vector<std::pair<std::string, std::string>> seen;
  for (const auto& r : records) seen.emplace_back(r.path, r.display_name);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{
                      {cfg, "Main Configurations"},  // "Main.cfg" less four characters
                      {deep, "Prices Data File"},
                      {quarry, "Quarry"},
                      {help, "Quarry Help"}}));
  EXPECT_DOUBLE_EQ(records[2].current_version, 1.10);
  EXPECT_DOUBLE_EQ(records[3].current_version, 1.05);
  EXPECT_EQ(records[3].registration_key, key);
  EXPECT_EQ(records[3].registration_value, "KsAUFile2");
}

TEST_F(FileScanTest, AMissingFileIsAskedAboutOnceAndAPickedOneWrittenBack) {
  const std::string key = "Software\\Zandor Tech\\Quarry\\SoftwareUpdate";
  const std::string gone = (dir_ / "app" / "Qry.chm").string();
  Register(key, "KsAUFile1", gone + ";Quarry");
  const std::string wrong = Touch("other.chm");
  fs::create_directories(dir_ / "moved");
  const std::string moved = Touch("moved/QRY.CHM");
  ui_.answers = {true, true};  // browse; browse again after the wrong file
  ui_.picks = {wrong, moved};
  auto records = ScanForFiles(options_);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].path, moved);
  EXPECT_EQ(store_->GetString(key, "KsAUFile1", ""), moved + ";Quarry");
  EXPECT_EQ(ui_.questions, (std::vector<std::string>{
                               "The Quarry Help file was not found.\nWould you like to Browse for it?",
                               kFileMismatchQuestion}));
  EXPECT_EQ(ui_.filters[0], "Files (*.chm)|*.chm|All Files (*.*)|*.*||");

  // Gone again, and the user declines: dropped, and never asked again.
  fs::remove(moved);
  ui_.questions.clear();
  ui_.answers = {false};
  EXPECT_TRUE(ScanForFiles(options_).empty());
  EXPECT_EQ(ui_.questions.size(), 1u);
  EXPECT_TRUE(CUpdaterSettings(*store_).WasAskedAboutMissing("Quarry Help"));
  ui_.questions.clear();
  EXPECT_TRUE(ScanForFiles(options_).empty());
  EXPECT_TRUE(ui_.questions.empty());
}

TEST_F(FileScanTest, DisplaySuffixesFollowTheExtension) {
  struct Case {
    const char* path;
    const char* suffix;
  } cases[] = {{"a.cfg", " Configurations"}, {"a.CHM", " Help"},      {"a.hlp", " Help"},
               {"a.inf", " Information"},    {"a.dat", " Data File"}, {"a.csv", " Data File"},
               {"a.so", ""},                 {"a.exe", ""},           {"a.html", ""},
               {"Quarry", ""},               {"a.xyz", " Data File"}, {"dir.d/file", ""}};
  for (const auto& c : cases) EXPECT_EQ(DisplaySuffixFor(c.path), c.suffix) << c.path;
  EXPECT_EQ(VersionValueNameFor("/x/Qry.chm"), "QRYCHMVer");
  EXPECT_EQ(VersionValueNameFor("Quarry"), "QUARRYVer");
}

}  // namespace
}  // namespace quarry
