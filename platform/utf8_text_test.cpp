#include "platform/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quarry {
namespace {

using namespace std::string_literals;

TEST(Utf8TextTest, WellFormedTextPassesAndAnythingElseIsLatin1) {
  struct Case {
    std::string bytes, utf8;
  };
  const Case cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9"},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {"a\0b"s, "a\0b"s},
      // A decoded "&#233;", alone and beside UTF-8: the whole text is Latin-1.
      {"Caf\xE9", "Caf\xC3\xA9"},
      {"\xC3\xA9 \xE9", "\xC3\x83\xC2\xA9 \xC3\xA9"},
      {"\xE6\x9D", "\xC3\xA6\xC2\x9D"},              // cut off at the end
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},              // overlong '/'
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},  // a surrogate
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // above U+10FFFF
      {"\xFF", "\xC3\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUtf8(c.bytes), c.bytes == c.utf8) << c.bytes;
    const std::string converted = PageBytesAsUtf8(c.bytes);
    EXPECT_EQ(converted, c.utf8) << c.bytes;
    EXPECT_TRUE(IsUtf8(converted)) << c.bytes;
  }
}

TEST(Utf8TextTest, LengthsAndPrefixesCountCharacters) {
  const std::string text = "a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80z";  // a é 東 😀 z
  EXPECT_EQ(Utf8Length(text), 5u);
  EXPECT_EQ(Utf8Prefix(text, 0), "");
  EXPECT_EQ(Utf8Prefix(text, 2), "a\xC3\xA9");
  EXPECT_EQ(Utf8Prefix(text, 4), "a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8Prefix(text, 9), text);
}

}  // namespace
}  // namespace quarry
