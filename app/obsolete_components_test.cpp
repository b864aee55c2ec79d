#include "app/obsolete_components.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class ObsoleteComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.path() + "/Kestrane/";
    fs::create_directories(folder_);
    store_ = std::make_unique<platform::SettingsStore>(dir_.File("store.sqlite"));
    ASSERT_TRUE(store_->SetDword(kObsoleteComponentKey, "Version", 3));
    ASSERT_TRUE(store_->SetDword("Software\\Zandor Tech\\Tessel\\Sub", "X", 1));
    ASSERT_TRUE(store_->SetDword("Software\\Zandor Tech\\Quarry\\Settings", "NewUser", 0));
  }

  std::string File() const { return folder_ + kObsoleteComponentFile; }

  void PlaceFile() { std::ofstream(File()) << "module"; }

  // A registration tool that records its arguments.
  std::string RecordingTool() {
    std::string tool = dir_.File("regsvr32");
    std::ofstream(tool) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << dir_.File("args")
                        << "'\n";
    fs::permissions(tool, fs::perms::owner_all);
    return tool;
  }

  ObsoleteCleanupOptions Options(std::string tool) {
    ObsoleteCleanupOptions options;
    options.folder = folder_;
    options.registration_tool = std::move(tool);
    options.store = store_.get();
    options.settle = milliseconds(10000);
    options.retry_pause = milliseconds(10);
    return options;
  }

  testing::TempDir dir_;
  std::string folder_;
  std::unique_ptr<platform::SettingsStore> store_;
};

TEST_F(ObsoleteComponentsTest, NothingHappensWithoutTheFile) {
  ObsoleteComponentCleanup cleanup;
  EXPECT_FALSE(cleanup.Start(Options(RecordingTool())));
  EXPECT_EQ(RunObsoleteComponentCleanup(Options(RecordingTool())),
            CleanupResult::kNotPresent);
  EXPECT_TRUE(store_->KeyExists(kObsoleteComponentKey));
}

TEST_F(ObsoleteComponentsTest, UnregistersThenRemovesKeyAndFile) {
  PlaceFile();
  ObsoleteComponentCleanup cleanup;
  ASSERT_TRUE(cleanup.Start(Options(RecordingTool())));
  EXPECT_FALSE(cleanup.Start(Options(RecordingTool())));  // once only
  cleanup.Join();
  EXPECT_FALSE(fs::exists(File()));
  EXPECT_FALSE(store_->KeyExists(kObsoleteComponentKey));
  EXPECT_TRUE(store_->KeyExists("Software\\Zandor Tech\\Quarry\\Settings"));
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("args")), "/u|/s|" + File() + "|");
}

TEST_F(ObsoleteComponentsTest, WithoutTheRegistrationToolNothingIsTouched) {
  PlaceFile();
  EXPECT_EQ(RunObsoleteComponentCleanup(Options(dir_.File("no-such-tool"))),
            CleanupResult::kToolNotStarted);
  EXPECT_TRUE(fs::exists(File()));
  EXPECT_TRUE(store_->KeyExists(kObsoleteComponentKey));
}

TEST_F(ObsoleteComponentsTest, AFileThatCannotGoIsTriedABoundedNumberOfTimes) {
  // A non-empty folder of that name cannot be removed by the clean-up.
  fs::create_directories(File() + "/inside");
  EXPECT_EQ(RunObsoleteComponentCleanup(Options("true")), CleanupResult::kFileKept);
  EXPECT_TRUE(fs::exists(File()));
  EXPECT_FALSE(store_->KeyExists(kObsoleteComponentKey));
}

TEST_F(ObsoleteComponentsTest, AReadOnlyFileIsStillRemoved) {
  PlaceFile();
  chmod(File().c_str(), 0444);
  EXPECT_EQ(RunObsoleteComponentCleanup(Options("true")), CleanupResult::kRemoved);
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(ObsoleteComponentsTest, EndingTheProgramInterruptsTheWait) {
  PlaceFile();
  // A tool that takes its time (its output closed, so it holds up no one
  // reading the test's).
  const std::string tool = dir_.File("slow-tool");
  std::ofstream(tool) << "#!/bin/sh\nexec >/dev/null 2>&1 </dev/null\nexec sleep 20\n";
  fs::permissions(tool, fs::perms::owner_all);
  ObsoleteCleanupOptions options = Options(tool);
  options.settle = milliseconds(60000);
  auto start = std::chrono::steady_clock::now();
  {
    ObsoleteComponentCleanup cleanup;
    ASSERT_TRUE(cleanup.Start(options));
    std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
  EXPECT_TRUE(fs::exists(File()));
  EXPECT_TRUE(store_->KeyExists(kObsoleteComponentKey));
}

TEST_F(ObsoleteComponentsTest, OurRegistrationToolIsStartedOnTheOldModule) {
  // The old module is no module of ours: ztregsvr cannot unregister it,
  // but it was started, so the key and the file still go.
  PlaceFile();
  EXPECT_EQ(RunObsoleteComponentCleanup(Options(ZTREGSVR_BINARY)), CleanupResult::kRemoved);
  EXPECT_FALSE(fs::exists(File()));
  EXPECT_FALSE(store_->KeyExists(kObsoleteComponentKey));
  EXPECT_EQ(ObsoleteCleanupOptions().registration_tool, "ztregsvr");
}

TEST(SharedComponentsFolderTest, FollowsTheEnvironment) {
  setenv(kCommonFilesVariable, "/opt/common", 1);
  EXPECT_EQ(SharedComponentsFolder(), "/opt/common/Kestrane/");
  setenv(kCommonFilesVariable, "/opt/common/", 1);
  EXPECT_EQ(SharedComponentsFolder(), "/opt/common/Kestrane/");
  unsetenv(kCommonFilesVariable);
  EXPECT_NE(SharedComponentsFolder().find("/Kestrane/"), std::string::npos);
}

}  // namespace
}  // namespace quarry
