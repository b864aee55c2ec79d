#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <thread>

#include "platform/store_location.h"
#include "platform/testing/store_files.h"
#include "platform/testing/subprocess.h"

namespace quarry::platform {
namespace {

using quarry::testing::DeepKeyPath;
using quarry::testing::FirstFormatValue;
using quarry::testing::QueryInt;
using quarry::testing::ReadFileBytes;
using quarry::testing::RunSql;
using quarry::testing::TempDir;
using quarry::testing::WriteFileBytes;
using quarry::testing::WriteFirstFormatStore;

// Nothing in this binary may reach the user's real store: point every
// lookup at a private folder before any test runs.
class IsolatedHome : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("HOME", dir_.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    setenv(kRegistryFileVariable, dir_.File("user.sqlite").c_str(), 1);
  }

 private:
  TempDir dir_;
};
[[maybe_unused]] ::testing::Environment* const kIsolatedHome =
    ::testing::AddGlobalTestEnvironment(new IsolatedHome);

constexpr char kKey[] = "Software\\Zandor Tech\\Quarry\\Settings";

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

mode_t Mode(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("registry.sqlite");
};

TEST_F(SettingsStoreTest, EveryTypeRoundTripsInRegistryLayout) {
  SettingsStore store(path_);
  ASSERT_TRUE(store.IsUsable()) << store.Problem();
  EXPECT_TRUE(store.Problem().empty());

  const std::vector<uint8_t> blob = {0, 1, 0xfe, 0, 0xff};
  const std::string latin1 = "caf\xe9 \"x\"\\\n";
  ASSERT_TRUE(store.SetDword(kKey, "Dword", 0x11223344));
  ASSERT_TRUE(store.SetDword(kKey, "DwordMax", 0xffffffffu));
  ASSERT_TRUE(store.SetQword(kKey, "Qword", 0x0102030405060708ull));
  ASSERT_TRUE(store.SetString(kKey, "Sz", latin1));
  ASSERT_TRUE(store.SetString(kKey, "Empty", ""));
  ASSERT_TRUE(store.SetString(kKey, "Expand", "$HOME", ValueType::kExpandSz));
  ASSERT_TRUE(store.SetBinary(kKey, "Binary", blob));
  ASSERT_TRUE(store.SetBinary(kKey, "NoBytes", {}));

  SettingsStore reopened(path_);
  EXPECT_EQ(reopened.GetDword(kKey, "Dword", 0), 0x11223344u);
  EXPECT_EQ(reopened.GetDword(kKey, "DwordMax", 0), 0xffffffffu);
  EXPECT_EQ(reopened.GetQword(kKey, "Qword", 0), 0x0102030405060708ull);
  EXPECT_EQ(reopened.GetString(kKey, "Sz", "def"), latin1);
  EXPECT_EQ(reopened.GetString(kKey, "Empty", "def"), "");
  EXPECT_EQ(reopened.GetString(kKey, "Expand", "def"), "$HOME");
  EXPECT_EQ(reopened.GetBinary(kKey, "Binary"), blob);
  EXPECT_EQ(reopened.GetBinary(kKey, "NoBytes", {9}), std::vector<uint8_t>{});

  // The stored bytes are those of the registry: little-endian numbers,
  // strings without a terminating NUL.
  EXPECT_EQ(reopened.Get(kKey, "Dword"),
            (Value{ValueType::kDword, {0x44, 0x33, 0x22, 0x11}}));
  EXPECT_EQ(reopened.Get(kKey, "Qword"),
            (Value{ValueType::kQword, {8, 7, 6, 5, 4, 3, 2, 1}}));
  EXPECT_EQ(reopened.Get(kKey, "Expand"),
            (Value{ValueType::kExpandSz, {'$', 'H', 'O', 'M', 'E'}}));

  // A raw value of a type the store does not know survives unchanged, and
  // replacing a value replaces its type.
  const Value multi{static_cast<ValueType>(7), {'a', 0, 'b', 0, 0}};
  ASSERT_TRUE(reopened.SetValue(kKey, "Multi", multi));
  EXPECT_EQ(store.Get(kKey, "Multi"), multi);
  ASSERT_TRUE(reopened.SetString(kKey, "Dword", "now text"));
  EXPECT_EQ(store.GetDword(kKey, "Dword", 7), 7u);
  EXPECT_EQ(store.GetString(kKey, "Dword", ""), "now text");
}

TEST_F(SettingsStoreTest, NamesMatchCaseInsensitivelyAndKeepFirstSpelling) {
  SettingsStore store(path_);
  ASSERT_TRUE(store.SetDword("Software\\Zandor Tech\\Quarry", "AutoUpdate", 1));
  ASSERT_TRUE(store.SetDword("SOFTWARE\\zandor tech\\QUARRY", "AUTOUPDATE", 2));
  ASSERT_TRUE(store.SetDword("software\\ZANDOR TECH\\quarry\\Online", "UseProxy", 1));
  ASSERT_TRUE(store.SetString("hkcu\\Software\\Zandor Tech\\Quarry\\", "autoupdate", "x"));

  EXPECT_EQ(store.SubKeys(""), std::vector<std::string>{"Software"});
  EXPECT_EQ(store.SubKeys("software"), std::vector<std::string>{"Zandor Tech"});
  EXPECT_EQ(store.SubKeys("SOFTWARE\\ZANDOR TECH"), std::vector<std::string>{"Quarry"});
  EXPECT_EQ(store.StoredKeyPath("HKEY_CURRENT_USER\\SOFTWARE\\zandor tech\\quarry\\ONLINE"),
            "Software\\Zandor Tech\\Quarry\\Online");
  std::vector<ValueEntry> values = store.Values("Software\\Zandor Tech\\Quarry");
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "AutoUpdate");
  EXPECT_EQ(values[0].type, ValueType::kSz);
  EXPECT_EQ(store.GetString("SOFTWARE\\ZANDOR TECH\\QUARRY", "AUTOupdate", ""), "x");
}

TEST_F(SettingsStoreTest, MissingOrMistypedValuesReadAsDefault) {
  SettingsStore store(path_);
  ASSERT_TRUE(store.SetDword(kKey, "Dword", 5));
  ASSERT_TRUE(store.SetQword(kKey, "Qword", 6));
  ASSERT_TRUE(store.SetString(kKey, "Sz", "text"));
  ASSERT_TRUE(store.SetBinary(kKey, "Bin", std::vector<uint8_t>{1, 2, 3, 4}));

  EXPECT_EQ(store.GetDword("Software\\Nowhere", "Dword", 15), 15u);
  EXPECT_EQ(store.GetDword(kKey, "Missing", 80), 80u);
  EXPECT_EQ(store.GetDword(kKey, "Qword", 25), 25u);
  EXPECT_EQ(store.GetDword(kKey, "Bin", 25), 25u) << "four bytes of BINARY are no DWORD";
  EXPECT_EQ(store.GetDword(kKey, "Sz", 9), 9u);
  EXPECT_EQ(store.GetQword(kKey, "Dword", 9), 9u);
  EXPECT_EQ(store.GetString(kKey, "Dword", "def"), "def");
  EXPECT_EQ(store.GetBinary(kKey, "Sz", {7}), std::vector<uint8_t>{7});
  EXPECT_EQ(store.Get(kKey, "Missing"), std::nullopt);
  EXPECT_EQ(store.GetDword("HKLM\\Software", "x", 3), 3u);

  // Strings written by other means may carry a NUL terminator.
  ASSERT_TRUE(store.SetValue(kKey, "Terminated", Value{ValueType::kSz, {'a', 'b', 0, 'c'}}));
  EXPECT_EQ(store.GetString(kKey, "Terminated", ""), "ab");
}

TEST_F(SettingsStoreTest, ExpandsOnlyExpandStringsAndOnlyWhenAsked) {
  setenv("QUARRY_STORE_TEST_DIR", "/data/q", 1);
  SettingsStore store(path_);
  ASSERT_TRUE(store.SetString(kKey, "Expand", "%QUARRY_STORE_TEST_DIR%/a/${QUARRY_STORE_TEST_DIR}",
                              ValueType::kExpandSz));
  ASSERT_TRUE(store.SetString(kKey, "Plain", "$QUARRY_STORE_TEST_DIR"));
  EXPECT_EQ(store.GetString(kKey, "Expand", "", true), "/data/q/a//data/q");
  EXPECT_EQ(store.GetString(kKey, "Expand", "", false),
            "%QUARRY_STORE_TEST_DIR%/a/${QUARRY_STORE_TEST_DIR}");
  EXPECT_EQ(store.GetString(kKey, "Plain", "", true), "$QUARRY_STORE_TEST_DIR");
  unsetenv("QUARRY_STORE_TEST_DIR");
}

TEST_F(SettingsStoreTest, RefusedWritesChangeNothing) {
  SettingsStore store(path_);
  EXPECT_FALSE(store.SetDword("HKLM\\Software\\X", "v", 1));
  EXPECT_NE(store.LastError().find("HKLM"), std::string::npos) << store.LastError();
  EXPECT_FALSE(store.SetDword("Software\\\\X", "v", 1));
  EXPECT_FALSE(store.SetDword("", "v", 1));
  EXPECT_FALSE(store.SetDword("HKCU\\", "v", 1));
  EXPECT_FALSE(store.SetDword("Software\\X", std::string("a\0b", 3), 1));
  EXPECT_FALSE(store.SetString("Software\\X", "v", std::string("a\0b", 3)));
  EXPECT_FALSE(store.SetString("Software\\X", "v", "a", ValueType::kBinary));
  EXPECT_FALSE(store.SetValue("Software\\X", "v", Value{ValueType::kDword, {1, 2}}));
  EXPECT_FALSE(store.SetValue("Software\\X", "v", Value{ValueType::kQword, {1, 2, 3, 4}}));
  EXPECT_FALSE(store.DeleteKey(""));
  EXPECT_FALSE(store.DeleteKey("HKCU"));
  EXPECT_TRUE(store.SubKeys("").empty()) << "a refused write must not leave its key behind";
  EXPECT_TRUE(store.IsUsable());
}

TEST_F(SettingsStoreTest, KeysExistOnTheirOwnAndEnumerateDirectChildren) {
  SettingsStore store(path_);
  EXPECT_TRUE(store.KeyExists(""));
  EXPECT_FALSE(store.KeyExists("Software"));
  ASSERT_TRUE(store.SetDword("Software\\Zandor Tech\\ZtControls", "BaseColor", 0x339adf));
  ASSERT_TRUE(store.CreateKey("Software\\Zandor Tech\\Messages\\Empty"));
  ASSERT_TRUE(store.SetDword("Software\\Zandor Tech\\globals", "OfflineMode", 0));

  EXPECT_TRUE(store.KeyExists("Software\\Zandor Tech"));
  EXPECT_TRUE(store.KeyExists("Software\\Zandor Tech\\Messages\\Empty"));
  EXPECT_TRUE(store.Values("Software\\Zandor Tech").empty());
  EXPECT_EQ(store.SubKeys("Software\\Zandor Tech"),
            (std::vector<std::string>{"globals", "Messages", "ZtControls"}));
  EXPECT_TRUE(store.SubKeys("Software\\Nowhere").empty());

  ASSERT_TRUE(store.SetString("Software\\Zandor Tech\\globals", "a", "1"));
  ASSERT_TRUE(store.SetString("Software\\Zandor Tech\\globals", "Z", "2"));
  std::vector<ValueEntry> values = store.Values("Software\\Zandor Tech\\Globals");
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].name, "a");
  EXPECT_EQ(values[1].name, "OfflineMode");
  EXPECT_EQ(values[2], (ValueEntry{"Z", ValueType::kSz, {'2'}}));

  EXPECT_TRUE(store.DeleteValue("Software\\Zandor Tech\\Globals", "OFFLINEMODE"));
  EXPECT_FALSE(store.DeleteValue("Software\\Zandor Tech\\Globals", "OfflineMode"));
  EXPECT_TRUE(store.KeyExists("Software\\Zandor Tech\\Globals")) << "a key outlives its values";
}

TEST_F(SettingsStoreTest, DeleteKeyRemovesTheSubtreeAndNoSibling) {
  SettingsStore store(path_);
  for (const char* key : {"Software\\A", "Software\\A\\Sub", "Software\\A\\Sub\\Deep",
                          "Software\\AB", "Software\\A B", "Software\\A]", "Software\\A[",
                          "Software\\A0\\Sub", "Software\\B\\A"}) {
    ASSERT_TRUE(store.SetDword(key, "v", 1)) << key;
  }
  EXPECT_TRUE(store.DeleteKey("software\\a"));
  EXPECT_FALSE(store.KeyExists("Software\\A"));
  EXPECT_FALSE(store.KeyExists("Software\\A\\Sub\\Deep"));
  EXPECT_EQ(store.Get("Software\\A\\Sub", "v"), std::nullopt);
  EXPECT_EQ(store.SubKeys("Software"),
            (std::vector<std::string>{"A B", "A0", "A[", "A]", "AB", "B"}));
  for (const char* key : {"Software\\AB", "Software\\A B", "Software\\A]", "Software\\A[",
                          "Software\\A0\\Sub", "Software\\B\\A"}) {
    EXPECT_EQ(store.GetDword(key, "v", 0), 1u) << key;
  }
  EXPECT_FALSE(store.DeleteKey("Software\\A")) << "already gone";

  // A deleted tree can be built again from scratch.
  ASSERT_TRUE(store.SetDword("Software\\A\\Sub", "w", 2));
  EXPECT_EQ(store.Values("Software\\A\\Sub").size(), 1u);
}

TEST_F(SettingsStoreTest, WritesAreVisibleToOtherConnectionsAtOnce) {
  SettingsStore writer(path_);
  SettingsStore reader(path_);
  ASSERT_TRUE(reader.IsUsable());
  EXPECT_EQ(reader.GetDword(kKey, "N", 0), 0u);
  for (uint32_t i = 1; i <= 20; ++i) {
    ASSERT_TRUE(writer.SetDword(kKey, "N", i));
    ASSERT_EQ(reader.GetDword(kKey, "N", 0), i);
  }
  ASSERT_TRUE(writer.DeleteKey("Software"));
  EXPECT_FALSE(reader.KeyExists(kKey));
}

TEST_F(SettingsStoreTest, ThreadsMayShareOneStore) {
  SettingsStore store(path_);
  constexpr int kThreads = 4, kWrites = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&store, t] {
      for (int i = 0; i < kWrites; ++i) {
        std::string key = std::string(kKey) + "\\T" + std::to_string(t);
        EXPECT_TRUE(store.SetDword(key, "v" + std::to_string(i), i));
        EXPECT_EQ(store.GetDword(key, "v" + std::to_string(i), 999), static_cast<uint32_t>(i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(store.Values(std::string(kKey) + "\\T" + std::to_string(t)).size(),
              static_cast<size_t>(kWrites));
  }
}

TEST_F(SettingsStoreTest, CreatesPrivateFoldersAndFileOrTakesOverAnEmptyFile) {
  std::string nested = dir_.File("a/b/registry.sqlite");
  {
    SettingsStore store(nested);
    ASSERT_TRUE(store.IsUsable()) << store.Problem();
    EXPECT_TRUE(store.SetDword(kKey, "v", 1));
  }
  struct stat info {};
  ASSERT_EQ(stat(nested.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(dir_.File("a/b").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  ASSERT_TRUE(WriteFileBytes(path_, ""));
  SettingsStore store(path_);
  ASSERT_TRUE(store.IsUsable()) << store.Problem();
  EXPECT_TRUE(store.SetDword(kKey, "v", 1));
}

TEST_F(SettingsStoreTest, UnopenableLocationRunsOnDefaults) {
  ASSERT_TRUE(WriteFileBytes(dir_.File("file"), "x"));
  for (const std::string& path : {dir_.File("file/registry.sqlite"), dir_.path(), std::string()}) {
    SettingsStore store(path);
    EXPECT_FALSE(store.IsUsable()) << path;
    EXPECT_FALSE(store.Problem().empty());
    EXPECT_EQ(store.GetDword(kKey, "v", 42), 42u);
    EXPECT_FALSE(store.SetDword(kKey, "v", 1));
  }
}

// Files that are not a healthy store, each built in `path`.
struct DamagedCase {
  const char* name;
  void (*make)(const std::string& path);
};

void MakeRandomBytes(const std::string& path) {
  std::mt19937 random(7);
  std::string bytes(16384, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  WriteFileBytes(path, bytes);
}

void MakeShortGarbage(const std::string& path) { WriteFileBytes(path, "not a database"); }

void MakeForeignDatabase(const std::string& path) {
  EXPECT_EQ(RunSql(path, "CREATE TABLE contacts (name TEXT); INSERT INTO contacts VALUES ('x');"),
            "");
}

void MakeNewerStore(const std::string& path) {
  { SettingsStore store(path); store.SetDword(kKey, "v", 1); }
  EXPECT_EQ(RunSql(path, "PRAGMA user_version = 3;"), "");
}

void MakeWrongTables(const std::string& path) {
  EXPECT_EQ(RunSql(path, "CREATE TABLE keys (x); PRAGMA application_id = 1515475527;"
                         "PRAGMA user_version = 1;"),
            "");
}

void MakeCorruptPages(const std::string& path) {
  {
    SettingsStore store(path);
    std::vector<uint8_t> blob(1500, 0x5a);
    for (int i = 0; i < 100; ++i) store.SetBinary(kKey, "v" + std::to_string(i), blob);
  }
  // Scribble over the middle of the file, leaving the header intact.
  std::string bytes = ReadFileBytes(path);
  ASSERT_GT(bytes.size(), 40000u);
  for (size_t i = 4096 * 2; i < 4096 * 6; ++i) bytes[i] = static_cast<char>(i * 7);
  WriteFileBytes(path, bytes);
}

TEST_F(SettingsStoreTest, DamagedFileRunsOnDefaultsAndIsNeverWritten) {
  const DamagedCase cases[] = {
      {"random bytes", MakeRandomBytes}, {"short garbage", MakeShortGarbage},
      {"foreign database", MakeForeignDatabase}, {"newer store", MakeNewerStore},
      {"wrong tables", MakeWrongTables}, {"corrupt pages", MakeCorruptPages},
  };
  for (const DamagedCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir_.File(std::string(c.name) + ".sqlite");
    c.make(path);
    const std::string before = ReadFileBytes(path);
    ASSERT_FALSE(before.empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
      SettingsStore store(path);
      EXPECT_FALSE(store.IsUsable());
      EXPECT_NE(store.Problem().find(path), std::string::npos) << store.Problem();
      EXPECT_EQ(store.Problem().find('\n'), std::string::npos) << store.Problem();
      EXPECT_EQ(store.GetDword(kKey, "v", 77), 77u);
      EXPECT_EQ(store.GetString(kKey, "v", "def"), "def");
      EXPECT_FALSE(store.KeyExists(kKey));
      EXPECT_TRUE(store.SubKeys("Software").empty());
      EXPECT_FALSE(store.SetDword(kKey, "v", 1));
      EXPECT_FALSE(store.CreateKey("Software\\New"));
      EXPECT_FALSE(store.DeleteKey("Software"));
      EXPECT_FALSE(store.DeleteValue(kKey, "v"));
      EXPECT_EQ(store.LastError(), store.Problem());
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(Exists(path + "-wal")) << "a refused file gets no journal beside it";
    EXPECT_FALSE(Exists(path + "-shm"));
  }
}

TEST_F(SettingsStoreTest, DamagedStoreKeepsTheJournalFilesItHad) {
  MakeCorruptPages(path_);
  ASSERT_TRUE(WriteFileBytes(path_ + "-wal", ""));
  ASSERT_TRUE(WriteFileBytes(path_ + "-shm", ""));
  const std::string before = ReadFileBytes(path_);
  {
    SettingsStore store(path_);
    EXPECT_FALSE(store.IsUsable());
  }
  EXPECT_EQ(ReadFileBytes(path_), before);
  EXPECT_TRUE(Exists(path_ + "-wal"));
  EXPECT_TRUE(Exists(path_ + "-shm"));
  EXPECT_EQ(ReadFileBytes(path_ + "-wal"), "");
}

TEST_F(SettingsStoreTest, DeepKeysCostInProportionToTheirDepth) {
  struct Case {
    size_t levels;
    size_t name_length;
  };
  for (const Case c : {Case{128, 31}, Case{512, 31}, Case{512, 1}}) {
    SCOPED_TRACE(std::to_string(c.levels) + " levels of " + std::to_string(c.name_length));
    const std::string name(c.name_length, 'k');
    const std::string key = DeepKeyPath(c.levels, name);
    const std::string file = dir_.File("deep" + std::to_string(c.levels) + "-" + name + ".sqlite");
    {
      SettingsStore store(file);
      ASSERT_TRUE(store.SetDword(key, "Depth", static_cast<uint32_t>(c.levels))) << store.LastError();
      ASSERT_TRUE(store.SetDword("HKCU\\" + key + "\\", "Again", 1)) << store.LastError();
      EXPECT_EQ(store.GetDword(key, "Depth", 0), c.levels);
      std::string shouted = key;
      for (char& ch : shouted) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      EXPECT_EQ(store.StoredKeyPath(shouted), key);
      EXPECT_EQ(store.SubKeys(DeepKeyPath(c.levels / 2, name)), std::vector<std::string>{name});
      EXPECT_EQ(store.Values(key).size(), 2u);
    }
    // One row per level holding one name: a few times the path's bytes,
    // where rows holding whole paths grew with the square of the depth.
    EXPECT_LT(ReadFileBytes(file).size(), 49152 + 16 * key.size());
    SettingsStore store(file);
    EXPECT_TRUE(store.DeleteKey(name));
    EXPECT_FALSE(store.KeyExists(name));
    EXPECT_EQ(QueryInt(file, "SELECT count(*) FROM key_nodes"), 0);
    EXPECT_EQ(QueryInt(file, "SELECT count(*) FROM key_values"), 0);
  }

  SettingsStore store(path_);
  EXPECT_FALSE(store.SetDword(DeepKeyPath(513, "k"), "v", 1));
  EXPECT_NE(store.LastError().find("513 levels"), std::string::npos) << store.LastError();
  EXPECT_FALSE(store.SetDword(DeepKeyPath(20000, "a"), "v", 1));
  EXPECT_LT(store.LastError().size(), 300u) << "a refusal names the key in short";
  EXPECT_TRUE(store.SubKeys("").empty());
}

TEST_F(SettingsStoreTest, FirstFormatFileIsConvertedInPlaceKeepingEverything) {
  // Deeper than a path may reach now; such keys stay until an ancestor goes.
  const std::string deep = "Software\\Deep\\" + DeepKeyPath(600, "d");
  const std::string globals = "Software\\Zandor Tech\\Globals";
  ASSERT_TRUE(WriteFirstFormatStore(
      path_, {globals, "Software\\A\\Empty", "Software\\AB", "Software\\A B", deep},
      {FirstFormatValue{globals, "OfflineMode", 4, {1, 0, 0, 0}},
       FirstFormatValue{globals, "Name", 1, {'x'}},
       FirstFormatValue{"Software\\AB", "Blob", 3, {}},
       FirstFormatValue{"Software\\A B", "Spaced", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
       FirstFormatValue{deep, "v", 4, {2, 0, 0, 0}}}));
  {
    SettingsStore store(path_);
    ASSERT_TRUE(store.IsUsable()) << store.Problem();
    EXPECT_EQ(store.GetDword("software\\zandor tech\\GLOBALS", "offlinemode", 0), 1u);
    EXPECT_EQ(store.GetString(globals, "Name", ""), "x");
    EXPECT_EQ(store.GetBinary("Software\\AB", "Blob", {9}), std::vector<uint8_t>{});
    EXPECT_EQ(store.GetQword("Software\\A B", "Spaced", 0), 0x0807060504030201ull);
    EXPECT_EQ(store.StoredKeyPath("SOFTWARE\\A\\EMPTY"), "Software\\A\\Empty");
    EXPECT_EQ(store.SubKeys("Software"),
              (std::vector<std::string>{"A", "A B", "AB", "Deep", "Zandor Tech"}));
    EXPECT_EQ(store.SubKeys(DeepKeyPath(500, "d").insert(0, "Software\\Deep\\")),
              std::vector<std::string>{"d"});
    EXPECT_TRUE(store.DeleteKey("Software\\Deep"));
    EXPECT_TRUE(store.SetDword("Software\\A", "New", 5));
  }
  EXPECT_EQ(QueryInt(path_, "PRAGMA user_version"), 2);
  EXPECT_EQ(QueryInt(path_, "SELECT count(*) FROM sqlite_schema WHERE name IN ('keys', 'vals')"), 0);
  EXPECT_EQ(QueryInt(path_, "SELECT count(*) FROM key_nodes"), 7);
  EXPECT_EQ(QueryInt(path_, "SELECT count(*) FROM key_values"), 5);
  SettingsStore again(path_);
  ASSERT_TRUE(again.IsUsable()) << again.Problem();
  EXPECT_EQ(again.GetDword("Software\\A", "New", 0), 5u);
  EXPECT_EQ(again.GetDword(globals, "OfflineMode", 0), 1u);
}

TEST_F(SettingsStoreTest, WriteBatchKeepsAllOrNothing) {
  using Batch = SettingsStore::Batch;
  const Value one{ValueType::kDword, {1, 0, 0, 0}};
  struct Case {
    const char* name;
    std::function<bool(Batch&)> body;
    const char* error;  // null when the batch is kept
  };
  const Case cases[] = {
      {"every write kept",
       [&](Batch& b) {
         auto a = b.CreateKey("Software\\A");
         auto c = b.CreateKey("HKCU\\Software\\B\\C\\");
         return a && c && b.SetValue(*a, "x", one) && b.SetValue(*c, "y", one);
       },
       nullptr},
      {"body gives up",
       [&](Batch& b) {
         auto a = b.CreateKey("Software\\A");
         return a && b.SetValue(*a, "x", one) && false;
       },
       ""},
      {"bad value name",
       [&](Batch& b) {
         auto a = b.CreateKey("Software\\A");
         return a && b.SetValue(*a, "x", one) && b.SetValue(*a, std::string("a\0b", 3), one);
       },
       "NUL"},
      {"short DWORD",
       [&](Batch& b) {
         auto a = b.CreateKey("Software\\A");
         return a && b.SetValue(*a, "x", one) && b.SetValue(*a, "y", {ValueType::kDword, {1}});
       },
       "4 bytes"},
      {"value at the root",
       [&](Batch& b) {
         auto a = b.CreateKey("Software\\A");
         auto root = b.CreateKey("HKCU");
         return a && root && b.SetValue(*a, "x", one) && b.SetValue(*root, "y", one);
       },
       "root"},
      {"bad key",
       [&](Batch& b) {
         auto a = b.CreateKey("Software\\A");
         return a && b.SetValue(*a, "x", one) && b.CreateKey("HKLM\\Software").has_value();
       },
       "HKLM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir_.File(std::string(c.name) + ".sqlite");
    SettingsStore store(file);
    SettingsStore other(file);
    bool seen_before_commit = true;
    bool kept = store.WriteBatch([&](Batch& batch) {
      bool result = c.body(batch);
      seen_before_commit = other.KeyExists("Software\\A");
      return result;
    });
    EXPECT_EQ(kept, c.error == nullptr);
    EXPECT_FALSE(seen_before_commit) << "another connection saw the batch before it ended";
    EXPECT_EQ(other.KeyExists("Software\\A"), kept);
    EXPECT_EQ(other.GetDword("Software\\A", "x", 0), kept ? 1u : 0u);
    EXPECT_EQ(other.GetDword("Software\\B\\C", "y", 0), kept ? 1u : 0u);
    if (c.error != nullptr) {
      EXPECT_NE(store.LastError().find(c.error), std::string::npos) << store.LastError();
    }
    EXPECT_TRUE(store.SetDword("Software\\After", "v", 1)) << "the store stays writable";
  }

  SettingsStore unusable(dir_.path());
  bool ran = false;
  EXPECT_FALSE(unusable.WriteBatch([&](Batch&) { return ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_EQ(unusable.LastError(), unusable.Problem());
}

TEST_F(SettingsStoreTest, BatchKeysSharingPartOfTheirPathLandInOneTree) {
  ASSERT_TRUE(SettingsStore(path_).CreateKey("Software\\Old\\Deep"));
  SettingsStore store(path_);
  const Value one{ValueType::kDword, {1, 0, 0, 0}};
  // Each key shares a different part of its path with the one before it.
  const char* const keys[] = {
      "Software\\A\\B\\C", "software\\a\\b\\D", "SOFTWARE\\A",  "Software\\A\\X\\C",
      "Software\\Old\\Deep\\E", "Software\\A\\B\\C", "Other",         "Software\\old",
  };
  ASSERT_TRUE(store.WriteBatch([&](SettingsStore::Batch& batch) {
    for (const char* key : keys) {
      auto created = batch.CreateKey(key);
      if (!created || !batch.SetValue(*created, key, one)) return false;
    }
    return true;
  })) << store.LastError();
  EXPECT_EQ(store.SubKeys(""), (std::vector<std::string>{"Other", "Software"}));
  EXPECT_EQ(store.SubKeys("Software"), (std::vector<std::string>{"A", "Old"}));
  EXPECT_EQ(store.SubKeys("Software\\A"), (std::vector<std::string>{"B", "X"}));
  EXPECT_EQ(store.SubKeys("Software\\A\\B"), (std::vector<std::string>{"C", "D"}));
  EXPECT_EQ(store.SubKeys("Software\\Old\\Deep"), std::vector<std::string>{"E"});
  for (const char* key : keys) EXPECT_EQ(store.GetDword(key, key, 0), 1u) << key;
  EXPECT_EQ(QueryInt(path_, "SELECT count(*) FROM key_nodes"), 11);
}

TEST_F(SettingsStoreTest, StoreOpenToOthersIsMadePrivateOnceAndSaysSo) {
  struct Case {
    mode_t mode;
    mode_t after;
  };
  const Case cases[] = {{0644, 0600}, {0666, 0600}, {0640, 0600}, {0604, 0600},
                        {0444, 0400}, {0600, 0600}, {0400, 0400}, {0700, 0700}};
  for (const Case& c : cases) {
    char shown[8];
    std::snprintf(shown, sizeof shown, "%04o", static_cast<unsigned>(c.mode));
    SCOPED_TRACE(shown);
    const std::string file = dir_.File(std::string("mode") + shown + ".sqlite");
    {
      SettingsStore store(file);
      ASSERT_TRUE(store.SetDword(kKey, "v", 1));
    }
    ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
    {
      SettingsStore store(file);
      ASSERT_TRUE(store.IsUsable()) << store.Problem();
      if (c.mode != c.after) {
        EXPECT_NE(store.Notice().find(file), std::string::npos) << store.Notice();
        EXPECT_NE(store.Notice().find(std::string("mode ") + shown), std::string::npos)
            << store.Notice();
        EXPECT_EQ(store.Notice().find('\n'), std::string::npos);
      } else {
        EXPECT_EQ(store.Notice(), "");
      }
      EXPECT_EQ(Mode(file), c.after);
      // The journal files that opening made while the file was open to
      // others are closed to them too.
      for (const char* suffix : {"-wal", "-shm"}) {
        if (Exists(file + suffix)) {
          EXPECT_EQ(Mode(file + suffix) & 077, 0u) << suffix;
        }
      }
      EXPECT_EQ(store.GetDword(kKey, "v", 0), 1u);
    }
    SettingsStore again(file);
    EXPECT_EQ(again.Notice(), "") << "said once";
  }
  // Another user's file is not this user's to change; only root can make one.
  if (geteuid() == 0) {
    const std::string file = dir_.File("foreign-owner.sqlite");
    { SettingsStore store(file); }
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    SettingsStore store(file);
    EXPECT_TRUE(store.IsUsable()) << store.Problem();
    EXPECT_EQ(store.Notice(), "");
    EXPECT_EQ(Mode(file), 0644u);
  }
}

TEST(StoreLocationTest, FollowsTheVariablesInOrder) {
  EXPECT_EQ(UserStorePathFrom("/t/r.sqlite", "/x", "/h"), "/t/r.sqlite");
  EXPECT_EQ(UserStorePathFrom("", "/x", "/h"), "/x/zandor-tech/registry.sqlite");
  EXPECT_EQ(UserStorePathFrom(nullptr, "relative", "/h"),
            "/h/.config/zandor-tech/registry.sqlite");
  EXPECT_EQ(UserStorePathFrom(nullptr, nullptr, ""), "");
  EXPECT_EQ(SettingsStore::User().Path(), std::getenv(kRegistryFileVariable));
  EXPECT_EQ(&SettingsStore::User(), &SettingsStore::User());
}

}  // namespace
}  // namespace quarry::platform
