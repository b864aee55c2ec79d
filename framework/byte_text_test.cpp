#include "framework/byte_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quarry {
namespace {

using namespace std::string_literals;

TEST(ByteTextTest, WellFormedUtf8IsShownDecoded) {
  EXPECT_EQ(TextFromBytes(""), QString());
  EXPECT_EQ(TextFromBytes("plain, text"), QStringLiteral("plain, text"));
  EXPECT_EQ(TextFromBytes("Caf\xC3\xA9"), QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(TextFromBytes("\xE6\x9D\xB1\xE4\xBA\xAC"), QStringLiteral("\u6771\u4eac"));
  // Outside the basic plane: one character, two UTF-16 units.
  EXPECT_EQ(TextFromBytes("\xF0\x9F\x98\x80"), QString::fromUcs4(U"\U0001F600", 1));
  // A zero byte is a character like any other, not the end.
  EXPECT_EQ(TextFromBytes("a\0\xC3\xA9"s), QString::fromUcs4(U"a\0\u00e9", 3));
  // The byte-order mark stays visible in what is shown.
  EXPECT_EQ(TextFromBytes("\xEF\xBB\xBFx"), QString(QChar(0xFEFF)) + QLatin1Char('x'));
}

TEST(ByteTextTest, AnythingElseIsShownOneCharacterPerByte) {
  // A decoded "&#233;" on its own, and beside UTF-8 of the same letter.
  EXPECT_EQ(TextFromBytes("Caf\xE9"), QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(TextFromBytes("\xC3\xA9 \xE9"), QStringLiteral("\u00c3\u00a9 \u00e9"));
  const std::string malformed[] = {
      "\xE6\x9D",          // cut off at the end
      "\xC0\xAF",          // overlong '/'
      "\xED\xA0\x80",      // a surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "\x80x",             // a continuation byte with no lead
      "\xFF",
  };
  for (const std::string& bytes : malformed) {
    EXPECT_FALSE(IsUtf8(bytes)) << bytes;
    const QString shown = TextFromBytes(bytes);
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(bytes.size())) << bytes;
    for (size_t i = 0; i < bytes.size(); ++i) {
      EXPECT_EQ(shown[i].unicode(), static_cast<unsigned char>(bytes[i])) << bytes;
    }
  }
  EXPECT_TRUE(IsUtf8(""));
  EXPECT_TRUE(IsUtf8("\xE6\x9D\xB1"));
}

TEST(ByteTextTest, TypedTextBecomesUtf8AndShowsAgainUnchanged) {
  const QString typed[] = {QStringLiteral("\u6771\u4eac"), QStringLiteral("Caf\u00e9"),
                           QStringLiteral(" Costs "), QString()};
  for (const QString& text : typed) {
    const std::string bytes = BytesFromText(text);
    EXPECT_TRUE(IsUtf8(bytes));
    EXPECT_EQ(TextFromBytes(bytes), text);
  }
  EXPECT_EQ(BytesFromText(QStringLiteral("\u6771\u4eac")), "\xE6\x9D\xB1\xE4\xBA\xAC");
}

}  // namespace
}  // namespace quarry
