#include "platform/key_path.h"

#include <gtest/gtest.h>

#include "platform/testing/store_files.h"

namespace quarry::platform {
namespace {

std::vector<std::string> Parse(std::string_view text) {
  std::vector<std::string> names;
  std::string error;
  EXPECT_TRUE(ParseKeyPath(text, &names, &error)) << text << ": " << error;
  return names;
}

std::string Refusal(std::string_view text) {
  std::vector<std::string> names;
  std::string error;
  EXPECT_FALSE(ParseKeyPath(text, &names, &error)) << text;
  return error;
}

TEST(KeyPathTest, AcceptsOwnHivePrefixesAndOneTrailingBackslash) {
  using Names = std::vector<std::string>;
  const Names expected = {"Software", "Zandor Tech", "Globals"};
  EXPECT_EQ(Parse("Software\\Zandor Tech\\Globals"), expected);
  EXPECT_EQ(Parse("HKCU\\Software\\Zandor Tech\\Globals"), expected);
  EXPECT_EQ(Parse("hkey_current_user\\Software\\Zandor Tech\\Globals\\"), expected);
  EXPECT_EQ(Parse(""), Names{});
  EXPECT_EQ(Parse("HKCU"), Names{});
  EXPECT_EQ(Parse("HKCU\\"), Names{});
  // Only the first element names a hive; slashes are ordinary characters.
  EXPECT_EQ(Parse("A\\HKLM\\b/c"), (Names{"A", "HKLM", "b/c"}));
  EXPECT_EQ(JoinKeyPath(expected), "Software\\Zandor Tech\\Globals");
}

TEST(KeyPathTest, RefusesOtherHivesEmptyNamesAndUnprintableNames) {
  EXPECT_NE(Refusal("HKLM\\Software").find("HKLM"), std::string::npos);
  Refusal("HKEY_CLASSES_ROOT\\CLSID");
  Refusal("hku\\x");
  Refusal("\\");
  Refusal("\\Software");
  Refusal("Software\\\\Zandor Tech");
  Refusal("Software\\Zandor Tech\\\\");
  Refusal("HKCU\\\\Software");
  Refusal("Soft\nware");
  Refusal(std::string("Soft\0ware", 9));
  Refusal(std::string(256, 'k'));
  Parse(std::string(255, 'k'));
}

std::string DeepPath(size_t levels, const std::string& name, const std::string& prefix = "") {
  return prefix + quarry::testing::DeepKeyPath(levels, name);
}

TEST(KeyPathTest, PathsKeepToTheDepthAndLengthLimits) {
  const std::string n255(255, 'n');
  struct Case {
    const char* what;
    std::string text;
    const char* refusal;  // null when accepted
  };
  const Case cases[] = {
      {"512 levels", DeepPath(512, "a"), nullptr},
      {"512 levels behind the hive", DeepPath(512, "a", "HKEY_CURRENT_USER\\"), nullptr},
      {"512 levels and a trailing backslash", DeepPath(512, "a") + "\\", nullptr},
      {"513 levels", DeepPath(513, "a"), "513 levels; at most 512"},
      {"16383 characters", DeepPath(64, n255), nullptr},
      {"16384 characters", DeepPath(63, n255) + "\\" + std::string(254, 'n') + "\\n",
       "16384 characters long; at most 16383"},
      {"512 names of 31", DeepPath(512, std::string(31, 'k')), nullptr},
      {"512 names of 32", DeepPath(512, std::string(32, 'k')), "characters long; at most 16383"},
      {"20000 levels", DeepPath(20000, "a", "HKCU\\"), "40004 characters long"},
      {"a name of 256 in a short path", "A\\" + std::string(256, 'k'), "longer than 255"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> names;
    std::string error;
    bool parsed = ParseKeyPath(c.text, &names, &error);
    if (c.refusal == nullptr) {
      EXPECT_TRUE(parsed) << error;
      EXPECT_LE(JoinKeyPath(names).size(), kMaxKeyPathLength);
      EXPECT_LE(names.size(), kMaxKeyDepth);
    } else {
      EXPECT_FALSE(parsed);
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos);
    }
  }
}

TEST(KeyPathTest, QuotesForMessagesOnOneShortLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"Software\\A", "\"Software\\A\""},
      {"a\nb\x7f\tc", "\"a\\x0ab\\x7f\\x09c\""},
      {std::string("a\0b", 3), "\"a\\x00b\""},
      {std::string(120, 'x'), "\"" + std::string(120, 'x') + "\""},
      {std::string(121, 'x'), "\"" + std::string(120, 'x') + "\"..."},
      // Cut before a character that would straddle the limit.
      {std::string(119, 'x') + "\xc3\xa9", "\"" + std::string(119, 'x') + "\"..."},
      {std::string(100000, '\n'), "\"" + [] {
         std::string s;
         for (int i = 0; i < 120; ++i) s += "\\x0a";
         return s;
       }() + "\"..."},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(QuoteForMessage(text), quoted);
}

TEST(KeyPathTest, ValueNamesMayBeEmptyButNotHoldNul) {
  std::string error;
  EXPECT_TRUE(CheckValueName("", &error));
  EXPECT_TRUE(CheckValueName("with\\backslash and = sign", &error));
  EXPECT_FALSE(CheckValueName(std::string("a\0b", 3), &error));
  EXPECT_FALSE(CheckValueName(std::string(kMaxValueNameLength + 1, 'v'), &error));
}

}  // namespace
}  // namespace quarry::platform
