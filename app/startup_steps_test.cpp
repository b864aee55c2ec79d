#include "app/startup_steps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>

#include "app/app_settings.h"
#include "app/trace_log.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

using platform::SettingsStore;
using quarry::testing::ReadFileBytes;
using quarry::testing::TempDir;

class StartupStepsTest : public ::testing::Test {
 protected:
  TempDir dir_;
  SettingsStore store_{dir_.File("registry.sqlite")};
};

TEST_F(StartupStepsTest, OldKeyTreeGoesUnlessItsNewUserReads100) {
  // Absent: reads 100, nothing is touched (or written).
  EXPECT_FALSE(CleanUpOldKeys(store_));
  EXPECT_TRUE(store_.SubKeys("").empty());

  store_.SetDword(kOldSettingsKey, "NewUser", 100);
  store_.SetString("Software\\Kestrane\\Quarry\\Other\\Deep", "x", "y");
  EXPECT_FALSE(CleanUpOldKeys(store_));
  EXPECT_TRUE(store_.KeyExists("Software\\Kestrane\\Quarry\\Other\\Deep"));

  // Of another type it reads 100 as well.
  store_.SetString(kOldSettingsKey, "NewUser", "0");
  EXPECT_FALSE(CleanUpOldKeys(store_));
  EXPECT_TRUE(store_.KeyExists(kOldProductKey));

  // Any other number removes the whole old tree, and nothing beside it.
  store_.SetDword(kOldSettingsKey, "NewUser", 0);
  store_.SetDword("Software\\Kestrane\\KspAutoUpdater", "Keep", 1);
  store_.SetDword("Software\\Kestrane\\QuarryOther", "Keep", 1);
  EXPECT_TRUE(CleanUpOldKeys(store_));
  EXPECT_FALSE(store_.KeyExists(kOldProductKey));
  EXPECT_FALSE(store_.KeyExists("Software\\Kestrane\\Quarry\\Other\\Deep"));
  EXPECT_EQ(store_.GetDword("Software\\Kestrane\\KspAutoUpdater", "Keep", 0), 1u);
  EXPECT_EQ(store_.GetDword("Software\\Kestrane\\QuarryOther", "Keep", 0), 1u);
  EXPECT_FALSE(CleanUpOldKeys(store_));
}

TEST_F(StartupStepsTest, ModuleRegistrationIsWrittenOnlyWhenItIsNotOne) {
  EXPECT_FALSE(EnsureModuleRegistration(store_));
  EXPECT_TRUE(store_.SubKeys("").empty()) << "absent reads 1: nothing is written";

  store_.SetDword(kSettingsKey, "ModuleRegistration", 0);
  EXPECT_TRUE(EnsureModuleRegistration(store_));
  EXPECT_EQ(store_.GetDword(kSettingsKey, "ModuleRegistration", 0), 1u);
  EXPECT_FALSE(EnsureModuleRegistration(store_));

  store_.SetString(kSettingsKey, "ModuleRegistration", "1");  // wrong type reads 1
  EXPECT_FALSE(EnsureModuleRegistration(store_));
}

TEST_F(StartupStepsTest, TraceStartsOnlyWhenAskedFor) {
  const std::string trace = dir_.File("state/QuarryTrace.log");
  setenv(kTraceFileVariable, trace.c_str(), 1);
  EXPECT_FALSE(StartTraceIfWanted(store_));
  EXPECT_FALSE(TraceLog::Instance().IsRunning());
  EXPECT_NE(access(trace.c_str(), F_OK), 0);

  store_.SetDword(kSettingsKey, "DebugModeTracer", 2);
  EXPECT_TRUE(StartTraceIfWanted(store_));
  EXPECT_TRUE(StartTraceIfWanted(store_)) << "already running";
  EXPECT_EQ(TraceLog::Instance().Path(), trace);
  TraceLog::Instance().Stop();
  unsetenv(kTraceFileVariable);
  EXPECT_FALSE(ReadFileBytes(trace).empty());
}

TEST(StartupFactsTest, ModulePathAndVersion) {
  const std::string path = ModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "quarry_app_core_tests");
  EXPECT_EQ(access(path.c_str(), X_OK), 0);

  EXPECT_EQ(FormatVersion(1, 2, 30, 400), "1.2.30.400");
  EXPECT_TRUE(std::regex_match(VersionString(), std::regex(R"(\d+\.\d+\.\d+\.\d+)")))
      << VersionString();
}

}  // namespace
}  // namespace quarry
