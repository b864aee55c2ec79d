#include "tools/ztreg/settings_text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/testing/store_files.h"
#include "platform/testing/subprocess.h"

namespace quarry::ztreg {
namespace {

using platform::ValueType;
using quarry::testing::DeepKeyPath;
using quarry::testing::TempDir;

std::string Export(const SettingsStore& store, std::string_view key = "") {
  std::ostringstream out;
  std::string error;
  EXPECT_TRUE(ExportSettings(store, key, out, &error)) << error;
  return out.str();
}

TEST(SettingsTextTest, ExportAndImportReproduceTheStoreExactly) {
  TempDir dir;
  SettingsStore store(dir.File("a.sqlite"));
  std::string every_byte;
  for (int c = 1; c < 256; ++c) every_byte += static_cast<char>(c);
  const char* key = "Software\\Zandor Tech\\Quarry\\Settings";
  ASSERT_TRUE(store.SetDword(key, "AutoUpdateInterval", 15));
  ASSERT_TRUE(store.SetQword(key, "Q", UINT64_MAX));
  ASSERT_TRUE(store.SetString(key, every_byte, every_byte));
  ASSERT_TRUE(store.SetString(key, "", "default value", ValueType::kExpandSz));
  ASSERT_TRUE(store.SetBinary(key, "Empty", {}));
  ASSERT_TRUE(store.SetBinary(key, "Placement", std::vector<uint8_t>{0x2c, 0, 0xff}));
  ASSERT_TRUE(store.SetValue(key, "Multi", {static_cast<ValueType>(7), {'a', 0, 0}}));
  ASSERT_TRUE(store.SetValue(key, "Nul", {ValueType::kSz, {'a', 0, 'b'}}));
  ASSERT_TRUE(store.CreateKey("Software\\Zandor Tech\\Messages\\Empty Leaf"));
  ASSERT_TRUE(store.SetDword("Software\\Kestrane\\KspAutoUpdater", "Version", 304));

  const std::string text = Export(store);
  std::vector<ParsedKey> keys;
  std::string error;
  ASSERT_TRUE(ParseSettingsText(text, &keys, &error)) << error << "\n" << text;
  SettingsStore copy(dir.File("b.sqlite"));
  ASSERT_TRUE(ImportSettings(copy, text, &error)) << error;

  EXPECT_EQ(Export(copy), text);
  EXPECT_EQ(copy.Values(key), store.Values(key));
  EXPECT_TRUE(copy.KeyExists("Software\\Zandor Tech\\Messages\\Empty Leaf"));
  // Only the leaf needs a header of its own.
  EXPECT_EQ(text.find("[HKCU\\Software\\Zandor Tech]"), std::string::npos) << text;
  EXPECT_EQ(Export(store, "software\\kestrane"),
            "[HKCU\\Software\\Kestrane\\KspAutoUpdater]\n\"Version\" = dword 304\n\n");
}

TEST(SettingsTextTest, ReadsWhatPeopleWriteByHand) {
  const std::string text =
      "; a comment\r\n"
      "  # another\n"
      "\n"
      "[Software\\Zandor Tech\\ZtControls]\r\n"
      "  \"BaseColor\"=dword 0x339ADF  \r\n"
      "\"FaceName\"   =   string \"Sans\\tSerif\\x21\"\n"
      "\"Blob\" = binary 01,02:ff 10\n"
      "\"Raw\" = type 0\n";
  std::vector<ParsedKey> keys;
  std::string error;
  ASSERT_TRUE(ParseSettingsText(text, &keys, &error)) << error;
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].path, "Software\\Zandor Tech\\ZtControls");
  ASSERT_EQ(keys[0].values.size(), 4u);
  EXPECT_EQ(keys[0].values[0], (ValueEntry{"BaseColor", ValueType::kDword, {0xdf, 0x9a, 0x33, 0}}));
  EXPECT_EQ(keys[0].values[1],
            (ValueEntry{"FaceName", ValueType::kSz, {'S', 'a', 'n', 's', '\t', 'S', 'e', 'r', 'i', 'f', '!'}}));
  EXPECT_EQ(keys[0].values[2], (ValueEntry{"Blob", ValueType::kBinary, {1, 2, 0xff, 0x10}}));
  EXPECT_EQ(keys[0].values[3], (ValueEntry{"Raw", static_cast<ValueType>(0), {}}));
}

TEST(SettingsTextTest, RefusesMalformedLinesNamingTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"v\" = dword 1", "line 1: a value comes before"},
      {"[A]\n\"v\" dword 1", "line 2: expected '='"},
      {"[A]\n\n\"v\" = float 1", "line 3: unknown type"},
      {"[A]\n\"v\" = dword 4294967296", "too large"},
      {"[A]\n\"v\" = qword -1", "negative"},
      {"[A]\n\"v\" = string \"abc", "no closing quote"},
      {"[A]\n\"v\" = string \"a\" b", "after the closing quote"},
      {"[A]\n\"v\\q\" = dword 1", "unknown escape"},
      {"[A]\n\"v\" = string \"\\x4\"", "two hex digits"},
      {"[A]\n\"v\" = binary 0", "odd number"},
      {"[A]\n\"v\" = binary 01 02,", "separator"},
      {"[A]\nv = dword 1", "line 2: expected [KEY]"},
      {"[A", "line 1: a key line must end"},
      {"[HKLM\\Software]", "HKLM"},
      {"[HKCU]", "root"},
      {"[A\\\\B]", "empty key name"},
      {"[A]\n\"v\" = dword 1\n\"a\\x00b\" = string \"x\"", "line 3: the value name contains a NUL"},
      {"[A]\n\"v\" = type 4 01 02", "type 4 needs 4 bytes"},
      {"[A]\n\"v\" = type 11 01 02 03 04", "type 11 needs 8 bytes"},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<ParsedKey> keys;
    std::string error;
    EXPECT_FALSE(ParseSettingsText(text, &keys, &error)) << text;
    EXPECT_NE(error.find(expected), std::string::npos) << text << " -> " << error;
  }
  std::vector<ParsedKey> keys;
  std::string error;
  EXPECT_FALSE(ParseSettingsText("[" + DeepKeyPath(513, "a") + "]", &keys, &error));
  EXPECT_NE(error.find("line 1: the key path has 513 levels"), std::string::npos) << error;
}

TEST(SettingsTextTest, ImportStoresAllOrNothing) {
  // The store itself refuses one value, by a trigger planted for the test,
  // so that a write fails after others of the import succeeded.
  constexpr char kRefuse[] =
      "CREATE TRIGGER refuse BEFORE INSERT ON key_values WHEN new.name = 'Poison' "
      "BEGIN SELECT RAISE(ABORT, 'refused by the test'); END;";
  const std::string good = "[HKCU\\Software\\A]\n\"x\" = dword 1\n[Software\\B\\C]\n";
  struct Case {
    const char* name;
    std::string text;
    const char* error;  // null when the import is kept
  };
  const Case cases[] = {
      {"whole text", good + "\"y\" = string \"z\"\n", nullptr},
      {"bad last line", good + "\"y\" = string \"z\"\n\"w\" = dword x\n", "line 5"},
      {"refused value", good + "\"y\" = string \"z\"\n\"Poison\" = dword 1\n",
       "cannot store \"Poison\" in HKCU\\Software\\B\\C: storing the value: refused by the test"},
      {"refused first value", "[A]\n\"Poison\" = dword 1\n" + good, "refused by the test"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".sqlite");
    {
      SettingsStore store(path);
      ASSERT_TRUE(store.SetDword("Software\\Kept", "v", 1));
    }
    ASSERT_EQ(quarry::testing::RunSql(path, kRefuse), "");
    SettingsStore store(path);
    const std::string before = Export(store);
    std::string error;
    bool imported = ImportSettings(store, c.text, &error);
    EXPECT_EQ(imported, c.error == nullptr) << error;
    if (c.error == nullptr) {
      EXPECT_EQ(store.GetDword("Software\\A", "x", 0), 1u);
      EXPECT_EQ(store.GetString("Software\\B\\C", "y", ""), "z");
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_EQ(Export(store), before) << "a failed import leaves the store as it was";
    }
  }
}

TEST(SettingsTextTest, NumbersAndHexAreStrict) {
  uint64_t n = 0;
  std::string error;
  EXPECT_TRUE(ParseNumber("4294967295", UINT32_MAX, &n, &error));
  EXPECT_EQ(n, 4294967295u);
  EXPECT_TRUE(ParseNumber("0XfFfFfFfF", UINT32_MAX, &n, &error));
  EXPECT_EQ(n, 0xffffffffu);
  EXPECT_TRUE(ParseNumber("0", UINT32_MAX, &n, &error));
  for (const char* bad : {"", "-0", "+1", " 1", "1 ", "0x", "0x-1", "1e3", "99999999999999999999",
                          "4294967296", "0x1ffffffff"}) {
    EXPECT_FALSE(ParseNumber(bad, UINT32_MAX, &n, &error)) << bad;
  }
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ParseHexBytes("DeadBEEF", &bytes, &error));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xde, 0xad, 0xbe, 0xef}));
  EXPECT_TRUE(ParseHexBytes("", &bytes, &error));
  EXPECT_TRUE(bytes.empty());
  for (const char* bad : {"0", "0 1", " 01", "01 ", "0x01", "zz", "012"}) {
    EXPECT_FALSE(ParseHexBytes(bad, &bytes, &error)) << bad;
  }
}

}  // namespace
}  // namespace quarry::ztreg
