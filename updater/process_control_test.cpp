// Finding, closing and starting real programs by their executable, and
// running the registration program.

#include "updater/process_control.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/testing/subprocess.h"
#include "updater/module_registration.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

std::string Script(const testing::TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir.File(name);
  std::ofstream(path) << "#!/bin/sh\n" << body;
  ::chmod(path.c_str(), 0755);
  return path;
}

// Waits (bounded) until `path` has `count` running processes.
bool WaitForCount(SystemProcessControl& control, const std::string& path, size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (control.FindRunning(path).size() == count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(ProcessControlTest, StartsFindsAndClosesAProgramByItsExecutable) {
  testing::TempDir dir;
  // A copy of the shell's sleep under a name of its own: its processes run
  // that very file, which is what the updater looks for.
  const std::string program = dir.File("KsTestSleeper");
  fs::copy_file("/bin/sleep", program);
  ::chmod(program.c_str(), 0755);
  const std::string starter =
      Script(dir, "starter", "exec '" + program + "' 30\n");  // a program that takes no options

  SystemProcessControl control;
  EXPECT_TRUE(control.FindRunning(program).empty());
  std::string error;
  ASSERT_TRUE(control.Start(starter, std::chrono::seconds(5), &error)) << error;
  ASSERT_TRUE(WaitForCount(control, program, 1));
  // Through another spelling of the same path, too.
  EXPECT_EQ(control.FindRunning(dir.path() + "/./KsTestSleeper").size(), 1u);

  // Replaced on disk (a new file renamed over it), the old one still runs
  // under that name.
  fs::copy_file("/bin/sleep", program + ".new");
  fs::rename(program + ".new", program);
  EXPECT_EQ(control.FindRunning(program).size(), 1u);

  const pid_t pid = control.FindRunning(program).front();
  EXPECT_TRUE(control.Terminate(pid, 0));
  EXPECT_TRUE(WaitForCount(control, program, 0));
  EXPECT_TRUE(control.Terminate(pid, 1));  // already gone: nothing to do

  EXPECT_FALSE(control.Start(dir.File("missing"), std::chrono::seconds(5), &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(ProcessControlTest, TheDeletedMarkIsNotPartOfTheName) {
  EXPECT_EQ(ExecutableOfLink("/opt/k/Quarry (deleted)"), "/opt/k/Quarry");
  EXPECT_EQ(ExecutableOfLink("/opt/k/Quarry"), "/opt/k/Quarry");
  EXPECT_EQ(ExecutableOfLink(" (deleted)"), " (deleted)");
}

TEST(ModuleRegistrationTest, FindsTheProgramAndRunsItSilently) {
  testing::TempDir dir;
  fs::create_directories(dir.File("updater"));
  fs::create_directories(dir.File("common"));
  const std::string log = dir.File("calls.log");
  const std::string beside = Script(dir, "updater/ztregsvr", "echo \"$@\" >> '" + log + "'\n");
  const std::string configured =
      Script(dir, "mine", "echo \"mine $@\" >> '" + log + "'\nexit 3\n");
  Script(dir, "common/ztregsvr", "exit 0\n");
  std::ofstream(dir.File("plain")) << "not executable";

  struct Case {
    RegistrationProgramSearch search;
    std::string found;
    const char* reason;
  } cases[] = {
      {{"", dir.File("updater"), dir.File("common")}, beside, ""},
      {{"", dir.File("nowhere"), dir.File("common")}, dir.File("common/ztregsvr"), ""},
      {{configured, dir.File("updater"), ""}, configured, ""},
      {{dir.File("plain"), dir.File("updater"), ""}, "", "missing or not executable"},
      {{"", dir.File("nowhere"), ""}, "", "no registration program (ztregsvr)"},
  };
  for (const auto& c : cases) {
    std::string reason;
    EXPECT_EQ(FindRegistrationProgram(c.search, &reason), c.found);
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }

  EXPECT_EQ(RunRegistrationProgram(beside, "/opt/k/KsButton.so", true).status,
            RegistrationResult::Status::kDone);
  EXPECT_EQ(RunRegistrationProgram(beside, "/opt/k/KsButton.so", false).status,
            RegistrationResult::Status::kDone);
  const RegistrationResult failed = RunRegistrationProgram(configured, "/x.so", false);
  EXPECT_EQ(failed.status, RegistrationResult::Status::kFailed);
  EXPECT_NE(failed.reason.find("status 3"), std::string::npos);
  EXPECT_EQ(testing::ReadFileBytes(log), "/u /s /opt/k/KsButton.so\n/s /opt/k/KsButton.so\nmine /s /x.so\n");

  ProgramModuleRegistrar none({"", dir.File("nowhere"), ""});
  const RegistrationResult skipped = none.Run("/x.so", false);
  EXPECT_EQ(skipped.status, RegistrationResult::Status::kSkipped);
  EXPECT_FALSE(skipped.reason.empty());
}

}  // namespace
}  // namespace quarry
