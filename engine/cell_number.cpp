#include "engine/cell_number.h"

#include <charconv>
#include <system_error>

namespace quarry {

namespace {

// Far more than any number of at most 15 significant digits and 20
// decimals needs; a longer text is not looked at.
constexpr size_t kMaxNumberText = 48;
constexpr int kMaxSignificantDigits = 15;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// `text` without blanks and no-break spaces at either end.
std::string_view TrimSpaces(std::string_view text) {
  for (;;) {
    if (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                          text.front() == '\n' || text.front() == '\xA0')) {
      text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '\xC2' && text[1] == '\xA0') {
      text.remove_prefix(2);
    } else {
      break;
    }
  }
  for (;;) {
    if (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                          text.back() == '\n')) {
      text.remove_suffix(1);
    } else if (text.size() >= 2 && text[text.size() - 2] == '\xC2' && text.back() == '\xA0') {
      text.remove_suffix(2);
    } else if (!text.empty() && text.back() == '\xA0') {
      text.remove_suffix(1);
    } else {
      break;
    }
  }
  return text;
}

// The currency signs a number may start with, as UTF-8 and as Latin-1
// bytes, and the sign's UTF-8 form.
struct CurrencySign {
  std::string_view bytes;
  std::string_view utf8;
};
constexpr CurrencySign kCurrencySigns[] = {
    {"$", "$"},
    {"\xC2\xA3", "\xC2\xA3"}, {"\xA3", "\xC2\xA3"},  // pound
    {"\xE2\x82\xAC", "\xE2\x82\xAC"},                // euro
    {"\xC2\xA5", "\xC2\xA5"}, {"\xA5", "\xC2\xA5"},  // yen
};

// Takes a currency sign off the front of `text` into `*currency`.
void TakeCurrencySign(std::string_view& text, std::string* currency) {
  for (const CurrencySign& sign : kCurrencySigns) {
    if (text.substr(0, sign.bytes.size()) == sign.bytes) {
      text.remove_prefix(sign.bytes.size());
      *currency = sign.utf8;
      return;
    }
  }
}

}  // namespace

std::optional<CellNumber> ReadCellNumber(std::string_view text) {
  text = TrimSpaces(text);
  if (text.empty() || text.size() > kMaxNumberText) return std::nullopt;
  CellNumber number;
  if (text.back() == '%') {
    number.percent = true;
    text.remove_suffix(1);
  }
  // "$-5" and "-$5" alike; a percentage has no currency.
  if (!number.percent) TakeCurrencySign(text, &number.currency);
  // The digits alone, with the sign and the point, for from_chars.
  char plain[kMaxNumberText + 1];
  size_t length = 0;
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') plain[length++] = '-';
    ++i;
    if (!number.percent && number.currency.empty()) {
      text.remove_prefix(i);
      i = 0;
      TakeCurrencySign(text, &number.currency);
    }
  }

  // The integer part: plain digits, or groups of three after a first group
  // of one to three.
  const size_t integer_start = i;
  size_t group = 0;  // digits in the current group
  int integer_digits = 0;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      plain[length++] = text[i];
      ++group;
      ++integer_digits;
    } else if (text[i] == ',') {
      // A comma follows one to three digits, or a full group after an
      // earlier comma.
      if (group == 0 || group > 3 || (number.thousands && group != 3)) return std::nullopt;
      number.thousands = true;
      group = 0;
    } else {
      break;
    }
  }
  if (number.thousands && group != 3) return std::nullopt;
  if (integer_digits > 1 && text[integer_start] == '0') return std::nullopt;

  if (i < text.size() && text[i] == '.') {
    plain[length++] = '.';
    for (++i; i < text.size() && IsDigit(text[i]); ++i) {
      plain[length++] = text[i];
      ++number.decimals;
    }
  }
  if (i != text.size() || integer_digits + number.decimals == 0) return std::nullopt;
  if (number.decimals > kMaxCellNumberDecimals) return std::nullopt;

  // Significant digits: all of them after the leading zeros.
  int significant = 0;
  bool leading = true;
  for (size_t k = 0; k < length; ++k) {
    if (!IsDigit(plain[k]) || (leading && plain[k] == '0')) continue;
    leading = false;
    ++significant;
  }
  if (significant > kMaxSignificantDigits) return std::nullopt;

  double value = 0;
  const auto [end, ec] = std::from_chars(plain, plain + length, value);
  if (ec != std::errc() || end != plain + length) return std::nullopt;
  if (value == 0) value = 0;  // no negative zero
  number.value = number.percent ? value / 100 : value;
  return number;
}

std::string CellNumberFormat(const CellNumber& number) {
  if (!number.thousands && number.decimals == 0 && !number.percent && number.currency.empty()) {
    return std::string();
  }
  // The sign is quoted: a format shows quoted text as it is.
  std::string format = number.currency.empty() ? "" : "\"" + number.currency + "\"";
  format += number.thousands ? "#,##0" : "0";
  if (number.decimals > 0) format += "." + std::string(static_cast<size_t>(number.decimals), '0');
  if (number.percent) format += '%';
  return format;
}

}  // namespace quarry
