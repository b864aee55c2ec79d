// Reading a cell's text as a number the way a spreadsheet should store it.
//
// Only forms that cannot mean anything else are numbers: an optional sign,
// digits with an optional decimal point, thousands grouped by commas in
// threes ("1,234.5"), and either a trailing percent sign ("12.5%") or a
// leading currency sign ($, £, € or ¥, before or after the minus: "£12.50",
// "-$5"). The rest stays text, because turning it into a number would
// change it:
// - a leading zero ("007", a postal code "01234") would be lost;
// - "1.234,5" and "1,5" read differently by locale, so neither is guessed;
// - exponents ("1e5"), "NaN", "inf" and units ("5 kg") are usually codes
//   or words in web tables;
// - more than 15 significant digits ("4111111111111111") cannot be kept
//   exactly: a spreadsheet shows 15 digits and a double holds no more.

#ifndef QUARRY_ENGINE_CELL_NUMBER_H_
#define QUARRY_ENGINE_CELL_NUMBER_H_

#include <optional>
#include <string>
#include <string_view>

namespace quarry {

struct CellNumber {
  double value = 0;        // a percentage as its fraction: "12.5%" gives 0.125
  int decimals = 0;        // digits after the decimal point, as written
  bool thousands = false;  // written with thousands separators
  bool percent = false;
  std::string currency;    // the currency sign in UTF-8; empty: none

  bool operator==(const CellNumber&) const = default;
};

// The most digits after the point a number may have.
inline constexpr int kMaxCellNumberDecimals = 20;

// The number `text` shows, after blanks and no-break spaces (U+00A0, as a
// Latin-1 byte or in UTF-8) around it are dropped; nullopt when it is text
// (see above) or empty. Bounded work: a long text is refused at once.
std::optional<CellNumber> ReadCellNumber(std::string_view text);

// The spreadsheet number format that shows the number as written: "0.00"
// for "8.00", "#,##0.0" for "1,234.5", "0.0%" for "12.5%", "\"£\"0.00" for
// "£12.50"; empty for a plain integer, which the default format shows as it
// is.
std::string CellNumberFormat(const CellNumber& number);

}  // namespace quarry

#endif  // QUARRY_ENGINE_CELL_NUMBER_H_
