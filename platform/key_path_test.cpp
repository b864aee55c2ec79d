#include "platform/key_path.h"

#include <gtest/gtest.h>

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

TEST(KeyPathTest, ValueNamesMayBeEmptyButNotHoldNul) {
  std::string error;
  EXPECT_TRUE(CheckValueName("", &error));
  EXPECT_TRUE(CheckValueName("with\\backslash and = sign", &error));
  EXPECT_FALSE(CheckValueName(std::string("a\0b", 3), &error));
  EXPECT_FALSE(CheckValueName(std::string(kMaxValueNameLength + 1, 'v'), &error));
}

}  // namespace
}  // namespace quarry::platform
