#include "engine/cell_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace quarry {
namespace {

TEST(CellNumberTest, NumbersAndTheFormatThatShowsThemAsWritten) {
  struct Case {
    std::string text;
    double value;
    std::string format;
  };
  const Case cases[] = {
      {"0", 0, ""},
      {"42", 42, ""},
      {"-17", -17, ""},
      {"+5", 5, ""},
      {" 12 ", 12, ""},
      {"\xA0" "12\xC2\xA0", 12, ""},  // no-break spaces, Latin-1 and UTF-8
      {"8.00", 8, "0.00"},
      {"0.5", 0.5, "0.0"},
      {".25", 0.25, "0.00"},
      {"-0.0", 0, "0.0"},
      {"1,234.5", 1234.5, "#,##0.0"},
      {"1,234,567", 1234567, "#,##0"},
      {"-12,000", -12000, "#,##0"},
      {"12.5%", 0.125, "0.0%"},
      {"100%", 1, "0%"},
      {"1,250.75%", 12.5075, "#,##0.00%"},
      {"999999999999999", 999999999999999, ""},  // 15 digits, held exactly
      {"0.000000000000001", 1e-15, "0.000000000000000"},
      {"$5", 5, "\"$\"0"},
      {"\xC2\xA3" "12.50", 12.5, "\"\xC2\xA3\"0.00"},
      {"\xA3" "1,200", 1200, "\"\xC2\xA3\"#,##0"},  // a Latin-1 pound sign
      {"-\xE2\x82\xAC" "3.5", -3.5, "\"\xE2\x82\xAC\"0.0"},
      {"$-7", -7, "\"$\"0"},
  };
  for (const Case& c : cases) {
    const std::optional<CellNumber> number = ReadCellNumber(c.text);
    ASSERT_TRUE(number.has_value()) << c.text;
    EXPECT_DOUBLE_EQ(number->value, c.value) << c.text;
    if (c.value == 0) {
      EXPECT_FALSE(std::signbit(number->value)) << c.text;
    }
    EXPECT_EQ(CellNumberFormat(*number), c.format) << c.text;
  }
}

TEST(CellNumberTest, WhatWouldChangeIfStoredAsANumberStaysText) {
  const std::string texts[] = {
      "",           "   ",         "-",         "+",          ".",         "%",
      "007",        "01234",       "00",        "0,123",      "-007",      "1.234,5",
      "1,5",        "12,34",       "1,2345",    ",123",       "123,",      "1,,234",
      "1e5",        "2E-3",        "NaN",       "nan",        "inf",       "-Infinity",
      "$",          "$007",        "$$5",       "$5%",        "5$",        "-$-5",
      "5 EUR",      "12 %",      "1.2.3",      "--5",       "5-",
      "0x1F",       "1 234",       "\xE2\x88\x92" "5",  // U+2212 minus sign
      "4111111111111111",          // 16 digits: a card number would lose its last digit
      "1234567890123456789",       "0.1234567890123456",
      "0." + std::string(25, '0') + "1",  // more decimals than a format shows
      std::string(100000, '1'),    // refused without looking at it all
  };
  for (const std::string& text : texts) {
    EXPECT_FALSE(ReadCellNumber(text).has_value()) << text.substr(0, 40);
  }
}

}  // namespace
}  // namespace quarry
