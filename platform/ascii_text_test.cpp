#include "platform/ascii_text.h"

#include <gtest/gtest.h>

namespace quarry {
namespace {

TEST(AsciiTextTest, CaseIsIgnoredForAsciiLettersOnly) {
  EXPECT_TRUE(EqualsNoCase("FTP://Host", "ftp://host"));
  EXPECT_FALSE(EqualsNoCase("ab", "abc"));
  // Bytes from 0x80 up are never folded: "\xC9" (Latin-1 É) is not "\xE9".
  EXPECT_FALSE(EqualsNoCase("\xC9", "\xE9"));
  EXPECT_TRUE(StartsWithNoCase("HTTPS://x", "https://"));
  EXPECT_FALSE(StartsWithNoCase("http", "https://"));
  EXPECT_TRUE(ContainsNoCase("<FRAME SRC=\"a\">", "frame src=\""));
  EXPECT_FALSE(ContainsNoCase("frame", "frame src"));
}

TEST(AsciiTextTest, TrimmingAndEscaping) {
  EXPECT_EQ(Trimmed(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trimmed(" \t\r\n"), "");
  EXPECT_EQ(Trimmed("--x--", "-"), "x");
  EXPECT_EQ(EscapeControlBytes("a\x1b[2J\nb\x7f\xC3\xA9"), "a\\x1b[2J\\x0ab\\x7f\xC3\xA9");
}

}  // namespace
}  // namespace quarry
