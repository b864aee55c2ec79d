// An installation killed at every point it passes: the next start finishes
// or undoes it, so the maker's files are all old (with the update still
// waiting, and installable) or all new (with the update gone), never a mix.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "updater/process_control.h"
#include "updater/testing/update_fixture.h"
#include "updater/update_installer.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::UpdateFixture;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

testing::ProcessResult RunInstaller(const fs::path& root, const std::string& kill_at) {
  return testing::RunProcess({INSTALL_RUNNER, root.string(), kill_at},
                             {std::string(kPublicKeyVariable) + "=" + testing::TestPublicKeyHex()},
                             {}, std::chrono::seconds(30));
}

TEST(InstallKillTest, AKilledInstallationIsFinishedOrUndoneAtTheNextStart) {
  testing::TempDir temp;
  // A run to the end names every point where a kill can land.
  const fs::path whole = fs::path(temp.path()) / "whole";
  UpdateFixture reference(whole);
  const testing::ProcessResult run = RunInstaller(whole, "-");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(reference.States(), (std::vector<std::string>{"new", "new", "new"}));
  const std::vector<std::string> points = Lines(run.out);
  ASSERT_GE(points.size(), 10u);  // 2, 3, 5, three times 6x, 7, 9 at least

  int finished = 0, undone = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE("killed after " + points[i]);
    const fs::path root = fs::path(temp.path()) / ("k" + std::to_string(i));
    UpdateFixture fixture(root);
    const testing::ProcessResult killed = RunInstaller(root, points[i]);
    ASSERT_EQ(killed.signal, SIGKILL) << killed.err;

    // The next start.
    platform::SettingsStore store((root / "store.db").string());
    SystemProcessControl processes;
    InstallOptions options;
    options.folders = fixture.folders;
    options.store = &store;
    options.public_key = testing::TestSigningKey().public_key;
    options.processes = &processes;
    options.consent = true;
    RecoverInterruptedInstallation(options);

    const std::vector<std::string> states = fixture.States();
    EXPECT_FALSE(fs::exists(fixture.folders.backup));
    for (const auto& f : fixture.files) EXPECT_EQ(testing::ModeOf(f.path), f.mode) << f.path;
    if (states == std::vector<std::string>{"new", "new", "new"}) {
      ++finished;
      EXPECT_FALSE(fs::exists(fixture.folders.download));
      EXPECT_EQ(store.GetDword(UpdateFixture::kKey, "QUARRYVer", 0), 110u);
    } else {
      ++undone;
      ASSERT_EQ(states, (std::vector<std::string>{"old", "old", "old"}));
      // Still waiting, and it installs.
      const auto manifest = LoadManifest(fixture.folders.download + kManifestFileName);
      ASSERT_TRUE(manifest.has_value());
      EXPECT_EQ(InstallUpdate(*manifest, options).status, InstallOutcome::Status::kInstalled);
      EXPECT_EQ(fixture.States(), (std::vector<std::string>{"new", "new", "new"}));
    }
  }
  // Kills before the first change are undone, those after it finished.
  EXPECT_GT(finished, 0);
  EXPECT_GT(undone, 0);
}

}  // namespace
}  // namespace quarry
