// The store shared by several processes: concurrent writers, a writer
// killed mid-write, and the once-only complaint about a damaged file.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <set>

#include "platform/settings_store.h"
#include "platform/settings_store_helper.h"
#include "platform/testing/subprocess.h"

namespace quarry::platform {
namespace {

using quarry::testing::ChildProcess;
using quarry::testing::EnvOverrides;
using quarry::testing::ProcessResult;
using quarry::testing::ReadFileBytes;
using quarry::testing::RunProcess;
using quarry::testing::TempDir;
using quarry::testing::WriteFileBytes;
using namespace std::chrono_literals;

class SettingsStoreProcessTest : public ::testing::Test {
 protected:
  // Children never see the user's home or store.
  EnvOverrides Env() const {
    return {"HOME=" + dir_.path(), "XDG_CONFIG_HOME=" + dir_.path(),
            "ZT_REGISTRY_FILE=" + path_};
  }
  std::vector<std::string> WriterArgs(int writer, int count, size_t bytes) const {
    return {QUARRY_STORE_HELPER, "write", path_, std::to_string(writer), std::to_string(count),
            std::to_string(bytes)};
  }
  // Checks that each listed value of `writer` is in the store, intact.
  void ExpectCommitted(const SettingsStore& store, int writer, const std::set<int>& indexes,
                       size_t bytes) {
    for (int i : indexes) {
      EXPECT_EQ(store.GetBinary(helper::kSharedKey, helper::ValueName(writer, i)),
                helper::Payload(writer, i, bytes))
          << "writer " << writer << " value " << i;
    }
  }

  TempDir dir_;
  std::string path_ = dir_.File("registry.sqlite");
};

TEST_F(SettingsStoreProcessTest, ConcurrentWritersLoseNoCommittedValue) {
  constexpr int kWriters = 4, kCount = 150;
  constexpr size_t kBytes = 300;
  { SettingsStore create(path_); ASSERT_TRUE(create.IsUsable()); }

  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int w = 0; w < kWriters; ++w) {
    children.push_back(std::make_unique<ChildProcess>(WriterArgs(w, kCount, kBytes), Env()));
    ASSERT_TRUE(children.back()->started());
  }
  // Reading while they write must always see a consistent store.
  SettingsStore reader(path_);
  std::vector<std::set<int>> reported(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    while (auto line = children[w]->ReadLine(60s)) {
      reported[w].insert(std::stoi(*line));
      ASSERT_TRUE(reader.IsUsable());
    }
    ProcessResult result = children[w]->Wait(30s);
    EXPECT_EQ(result.exit_code, 0) << "writer " << w;
    EXPECT_EQ(reported[w].size(), static_cast<size_t>(kCount));
  }
  SettingsStore store(path_);
  ASSERT_TRUE(store.IsUsable()) << store.Problem();
  EXPECT_EQ(store.Values(helper::kSharedKey).size(), static_cast<size_t>(kWriters * kCount));
  for (int w = 0; w < kWriters; ++w) ExpectCommitted(store, w, reported[w], kBytes);
}

TEST_F(SettingsStoreProcessTest, ProcessesStartingTogetherShareOneNewStore) {
  // Each round races several first uses of a missing file: every process
  // must end up on the one store another one set up, none refusing it.
  constexpr int kRounds = 12, kWriters = 6, kCount = 3;
  for (int round = 0; round < kRounds; ++round) {
    path_ = dir_.File("round" + std::to_string(round) + "/registry.sqlite");
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int w = 0; w < kWriters; ++w) {
      children.push_back(std::make_unique<ChildProcess>(WriterArgs(w, kCount, 8), Env()));
    }
    for (auto& child : children) {
      ProcessResult result = child->Wait(30s);
      ASSERT_EQ(result.exit_code, 0) << "round " << round;
    }
    SettingsStore store(path_);
    EXPECT_EQ(store.Values(helper::kSharedKey).size(), static_cast<size_t>(kWriters * kCount));
  }
}

TEST_F(SettingsStoreProcessTest, KilledWriterLeavesEveryCommittedValue) {
  // Large values make the log grow and checkpoint, so the kill lands in the
  // middle of writes and of checkpoints alike.
  constexpr size_t kBytes = 48 * 1024;
  const int kill_after[] = {3, 17, 41, 90};
  std::vector<std::set<int>> reported(std::size(kill_after));
  for (size_t round = 0; round < std::size(kill_after); ++round) {
    int writer = static_cast<int>(round);
    ChildProcess child(WriterArgs(writer, 100000, kBytes), Env());
    ASSERT_TRUE(child.started());
    while (reported[round].size() < static_cast<size_t>(kill_after[round])) {
      std::optional<std::string> line = child.ReadLine(60s);
      ASSERT_TRUE(line.has_value()) << "the writer stopped early";
      reported[round].insert(std::stoi(*line));
    }
    child.Kill(SIGKILL);
    ProcessResult result = child.Wait(30s);
    EXPECT_EQ(result.signal, SIGKILL);

    SettingsStore store(path_);
    ASSERT_TRUE(store.IsUsable()) << store.Problem();
    for (size_t earlier = 0; earlier <= round; ++earlier) {
      ExpectCommitted(store, static_cast<int>(earlier), reported[earlier], kBytes);
    }
    // It stays writable for the next program.
    EXPECT_TRUE(store.SetDword("Software\\Zandor Tech\\StoreTest", "AfterKill",
                               static_cast<uint32_t>(round)));
  }
}

TEST_F(SettingsStoreProcessTest, UserStoreComplainsOnceAboutADamagedFile) {
  const std::string garbage(8192, '\x5a');
  ASSERT_TRUE(WriteFileBytes(path_, garbage));
  ProcessResult result = RunProcess({QUARRY_STORE_HELPER, "user"}, Env(), {}, 30s);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "unusable\n");
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  EXPECT_NE(result.err.find(path_), std::string::npos) << result.err;
  EXPECT_EQ(ReadFileBytes(path_), garbage);
}

TEST_F(SettingsStoreProcessTest, UserStoreDefaultsToTheConfigFolder) {
  EnvOverrides env = {"HOME=" + dir_.path(), "XDG_CONFIG_HOME=" + dir_.File("config"),
                      "ZT_REGISTRY_FILE"};
  ProcessResult result = RunProcess({QUARRY_STORE_HELPER, "user"}, env, {}, 30s);
  EXPECT_EQ(result.out, "usable\n");
  EXPECT_EQ(result.err, "");
  SettingsStore store(dir_.File("config/zandor-tech/registry.sqlite"));
  EXPECT_EQ(store.GetDword("Software\\Zandor Tech\\Globals", "OfflineMode", 0), 1u);
}

}  // namespace
}  // namespace quarry::platform
