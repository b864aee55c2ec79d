// The store shared by several processes: concurrent writers, a writer
// killed mid-write, the once-only messages of the user's store, and stores
// seen by a user who may only read them.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>

#include "platform/settings_store.h"
#include "platform/settings_store_helper.h"
#include "platform/testing/store_files.h"
#include "platform/testing/subprocess.h"

namespace quarry::platform {
namespace {

using quarry::testing::ChildProcess;
using quarry::testing::EnvOverrides;
using quarry::testing::FirstFormatValue;
using quarry::testing::QueryInt;
using quarry::testing::ProcessResult;
using quarry::testing::ReadFileBytes;
using quarry::testing::RunProcess;
using quarry::testing::TempDir;
using quarry::testing::WriteFileBytes;
using quarry::testing::WriteFirstFormatStore;
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
  // Starts `writers` writers of `count` small values at once on path_ and
  // waits for them; true when every one of them succeeded.
  bool RunWritersTogether(int writers, int count) {
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int w = 0; w < writers; ++w) {
      children.push_back(std::make_unique<ChildProcess>(WriterArgs(w, count, 8), Env()));
    }
    bool all = true;
    for (auto& child : children) all = child->Wait(30s).exit_code == 0 && all;
    return all;
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
    ASSERT_TRUE(RunWritersTogether(kWriters, kCount)) << "round " << round;
    SettingsStore store(path_);
    EXPECT_EQ(store.Values(helper::kSharedKey).size(), static_cast<size_t>(kWriters * kCount));
  }
}

TEST_F(SettingsStoreProcessTest, ProcessesStartingTogetherConvertAFirstFormatFileOnce) {
  constexpr int kRounds = 6, kWriters = 6, kCount = 3;
  for (int round = 0; round < kRounds; ++round) {
    path_ = dir_.File("old" + std::to_string(round) + ".sqlite");
    ASSERT_TRUE(WriteFirstFormatStore(path_, {"Software\\Old\\Sub"},
                                      {FirstFormatValue{"Software\\Old", "Kept", 4, {7, 0, 0, 0}}}));
    ASSERT_TRUE(RunWritersTogether(kWriters, kCount)) << "round " << round;
    SettingsStore store(path_);
    ASSERT_TRUE(store.IsUsable()) << store.Problem();
    EXPECT_EQ(store.Values(helper::kSharedKey).size(), static_cast<size_t>(kWriters * kCount));
    EXPECT_EQ(store.GetDword("Software\\Old", "Kept", 0), 7u);
    EXPECT_TRUE(store.KeyExists("Software\\Old\\Sub"));
    EXPECT_EQ(QueryInt(path_, "PRAGMA user_version"), 2);
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

TEST_F(SettingsStoreProcessTest, UserStoreSaysOnceThatItMadeAnOpenFilePrivate) {
  {
    SettingsStore store(path_);
    ASSERT_TRUE(store.SetDword("Software\\Zandor Tech\\Globals", "OfflineMode", 0));
  }
  ASSERT_EQ(chmod(path_.c_str(), 0666), 0);
  ProcessResult first = RunProcess({QUARRY_STORE_HELPER, "user"}, Env(), {}, 30s);
  EXPECT_EQ(first.out, "usable\n");
  EXPECT_EQ(std::count(first.err.begin(), first.err.end(), '\n'), 1) << first.err;
  EXPECT_NE(first.err.find(path_), std::string::npos) << first.err;
  EXPECT_NE(first.err.find("now private"), std::string::npos) << first.err;
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ProcessResult second = RunProcess({QUARRY_STORE_HELPER, "user"}, Env(), {}, 30s);
  EXPECT_EQ(second.out, "usable\n");
  EXPECT_EQ(second.err, "");
}

// What a user who may only read a store sees: the folder `folder_mode`,
// the file 0400. Root passes every permission check, so as root the
// helper looks at the files as an unprivileged user that owns them.
std::string UseAsReadOnly(const std::string& folder, const std::string& path, mode_t folder_mode,
                          const std::string& top, const EnvOverrides& env) {
  constexpr uid_t kNobody = 65534;
  if (geteuid() != 0) {
    chmod(path.c_str(), 0400);
    chmod(folder.c_str(), folder_mode);
    std::string seen = helper::DescribeUse(path);
    chmod(folder.c_str(), 0700);
    return seen;
  }
  chmod(top.c_str(), 0711);
  chown(folder.c_str(), kNobody, kNobody);
  chown(path.c_str(), kNobody, kNobody);
  chmod(path.c_str(), 0400);
  chmod(folder.c_str(), folder_mode);
  ProcessResult result =
      RunProcess({QUARRY_STORE_HELPER, "use", path, std::to_string(kNobody)}, env, {}, 30s);
  if (result.exit_code == 3) return "cannot become another user: " + result.err;
  return result.out;
}

TEST_F(SettingsStoreProcessTest, ReadOnlyStoreServesReadsAndRefusesWrites) {
  struct Case {
    const char* name;
    mode_t folder_mode;
    void (*make)(const std::string& path);
    const char* first_line;  // the start of DescribeUse's first line
  };
  const Case cases[] = {
      // Characters that mean something in a file URI, too.
      {"store in a read-only folder #?%20", 0500,
       [](const std::string& path) {
         SettingsStore(path).SetString(helper::kSharedKey, helper::kReadOnlyValueName, "seen");
       },
       "usable\n"},
      {"read-only store in a writable folder", 0700,
       [](const std::string& path) {
         SettingsStore(path).SetString(helper::kSharedKey, helper::kReadOnlyValueName, "seen");
       },
       "usable\n"},
      {"first-format store in a read-only folder", 0500,
       [](const std::string& path) {
         WriteFirstFormatStore(path, {helper::kSharedKey},
                               {FirstFormatValue{helper::kSharedKey, helper::kReadOnlyValueName, 1,
                                                 {'s', 'e', 'e', 'n'}}});
       },
       "usable\n"},
      {"empty file in a read-only folder", 0500,
       [](const std::string& path) { WriteFileBytes(path, ""); }, "unusable: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir_.File(c.name);
    const std::string path = folder + "/registry.sqlite";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    c.make(path);
    const std::string before = ReadFileBytes(path);

    const std::string seen = UseAsReadOnly(folder, path, c.folder_mode, dir_.path(), Env());
    if (seen.starts_with("cannot become")) GTEST_SKIP() << seen;
    const bool usable = std::string_view(c.first_line) == "usable\n";
    EXPECT_TRUE(seen.starts_with(c.first_line)) << seen;
    if (usable) {
      EXPECT_NE(seen.find("\nread-only\nvalue: seen\n"), std::string::npos) << seen;
      EXPECT_NE(seen.find("\nwrite: storing the value: the settings file \"" + path +
                          "\" can only be read"),
                std::string::npos)
          << seen;
    } else {
      EXPECT_NE(seen.find("empty and cannot be written"), std::string::npos) << seen;
      EXPECT_NE(seen.find("\nvalue: -\n"), std::string::npos) << seen;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), '\n'), 4) << seen;
    // Nothing was written, and nothing was made beside the file.
    EXPECT_EQ(ReadFileBytes(path), before);
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      beside.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(beside, std::vector<std::string>{"registry.sqlite"});
  }
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
