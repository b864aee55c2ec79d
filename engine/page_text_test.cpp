#include "engine/page_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/page_parser.h"

namespace quarry {
namespace {

// UTF-16 code units as bytes in the given order.
std::string Utf16(const std::vector<uint16_t>& units, bool big_endian) {
  std::string bytes;
  for (uint16_t u : units) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

std::vector<uint16_t> Units(std::string_view ascii) {
  return std::vector<uint16_t>(ascii.begin(), ascii.end());
}

std::vector<uint16_t> operator+(std::vector<uint16_t> a, const std::vector<uint16_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(PageTextTest, PreparesPagesAndSaysWhatItDid) {
  const std::string zero("ab\0cd", 5);
  struct Case {
    const char* name;
    std::string page;
    std::string text;
    bool utf16;
    bool big_endian;
    std::optional<size_t> zero_at;
  };
  const std::vector<Case> cases = {
      {"plain", "<p>x</p>", "<p>x</p>", false, false, std::nullopt},
      {"empty", "", "", false, false, std::nullopt},
      {"zero byte", zero, "ab", false, false, 2},
      {"zero first", std::string("\0<table>", 8), "", false, false, 0},
      {"all zeros are no text", std::string(6, '\0'), "", false, false, 0},
      {"zeros in some odd places only", std::string("a\0bc\0", 5), "a", false, false, 1},
      {"little endian with mark", "\xFF\xFE" + Utf16(Units("<b>"), false), "<b>", true, false,
       std::nullopt},
      {"big endian with mark", "\xFE\xFF" + Utf16(Units("<b>"), true), "<b>", true, true,
       std::nullopt},
      {"little endian by its zeros", Utf16(Units("<table>"), false), "<table>", true, false,
       std::nullopt},
      {"big endian by its zeros", Utf16(Units("<table>"), true), "<table>", true, true,
       std::nullopt},
      {"beyond ASCII", "\xFF\xFE" + Utf16({0x00E9, 0x20AC}, false), "\xC3\xA9\xE2\x82\xAC", true,
       false, std::nullopt},
      {"surrogate pair", "\xFF\xFE" + Utf16({0xD83D, 0xDE00}, false), "\xF0\x9F\x98\x80", true,
       false, std::nullopt},
      {"lone high surrogate", "\xFF\xFE" + Utf16({0xD83D, 'x'}, false), "\xEF\xBF\xBDx", true,
       false, std::nullopt},
      {"lone low surrogate", "\xFE\xFF" + Utf16({'x', 0xDE00}, true), "x\xEF\xBF\xBD", true, true,
       std::nullopt},
      {"high surrogate at the end", "\xFF\xFE" + Utf16({'x', 0xD800}, false), "x\xEF\xBF\xBD",
       true, false, std::nullopt},
      {"half a code unit at the end", "\xFF\xFE" + Utf16(Units("ab"), false) + "c",
       "ab\xEF\xBF\xBD", true, false, std::nullopt},
      {"zero code unit", "\xFF\xFE" + Utf16(Units("ab") + std::vector<uint16_t>{0} + Units("cd"),
                                            false),
       "ab", true, false, 6},
  };
  for (const Case& c : cases) {
    const PreparedPage prepared = PreparePageText(c.page);
    EXPECT_EQ(prepared.text(), c.text) << c.name;
    EXPECT_EQ(prepared.notes().converted_from_utf16, c.utf16) << c.name;
    if (c.utf16) {
      EXPECT_EQ(prepared.notes().big_endian, c.big_endian) << c.name;
    }
    EXPECT_EQ(prepared.notes().zero_byte_offset, c.zero_at) << c.name;
  }
}

TEST(PageTextTest, OnlyTheFirstKilobyteDecidesAnUnmarkedPage) {
  // Zeros in every odd position of the first kilobyte, then 8-bit text.
  std::string page = Utf16(std::vector<uint16_t>(512, 'a'), false) + "bb";
  EXPECT_TRUE(PreparePageText(page).notes().converted_from_utf16);
  // One byte too many that is not zero within the first kilobyte.
  page[1001] = 'z';
  const PreparedPage bytes = PreparePageText(page);
  EXPECT_FALSE(bytes.notes().converted_from_utf16);
  EXPECT_EQ(bytes.notes().zero_byte_offset, 1u);
}

TEST(PageTextTest, AMovedPageStillReadsItsText) {
  const std::string page = "\xFF\xFE" + Utf16(Units("<table>"), false);
  PreparedPage first = PreparePageText(page);
  PreparedPage second = std::move(first);
  PreparedPage third;
  third = std::move(second);
  EXPECT_EQ(third.text(), "<table>");
  const std::string plain = "<p>";
  PreparedPage bytes = PreparePageText(plain);
  third = std::move(bytes);
  EXPECT_EQ(third.text().data(), plain.data());
}

TEST(PageTextTest, ParsingReportsTheNotes) {
  const std::string table = "<table id=t><tr><td>caf\xC3\xA9</td></tr></table>";
  PageTextNotes notes;
  notes.zero_byte_offset = 99;  // overwritten
  TableList tables = ParsePageText(table + std::string(1, '\0') + table, &notes);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(notes.zero_byte_offset, table.size());
  EXPECT_FALSE(notes.converted_from_utf16);
  EXPECT_EQ(ZeroByteWarning(notes), "the page holds a zero byte at offset " +
                                        std::to_string(table.size()) +
                                        "; the text after it was not read");

  std::vector<uint16_t> units = Units("<table id=t><tr><td>caf") + std::vector<uint16_t>{0xE9} +
                                Units("</td></tr></table>");
  tables = ParsePageText(Utf16(units, true), &notes);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].data, "caf\xC3\xA9\r\n");
  EXPECT_TRUE(notes.converted_from_utf16);
  EXPECT_EQ(notes.zero_byte_offset, std::nullopt);
  EXPECT_EQ(ZeroByteWarning(notes), "");
  EXPECT_EQ(ParsePageText(table).size(), 1u);  // notes are optional
}

}  // namespace
}  // namespace quarry
