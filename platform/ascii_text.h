// Small helpers for 8-bit text that every layer shares: ASCII case folding,
// trimming and making untrusted bytes safe to print.
//
// They treat text as bytes: only 'A'..'Z' fold, and bytes from 0x80 up are
// compared and kept as they are, so they work alike on Latin-1 and UTF-8.

#ifndef QUARRY_PLATFORM_ASCII_TEXT_H_
#define QUARRY_PLATFORM_ASCII_TEXT_H_

#include <string>
#include <string_view>

namespace quarry {

// Blanks as most of our texts mean them: space, tab, CR and LF.
inline constexpr std::string_view kBlanks = " \t\r\n";

constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` with 'A'..'Z' lowered.
std::string AsciiLowered(std::string_view text);

// True when `a` and `b` are equal after ASCII case folding.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when `text` begins with `prefix`, ASCII case ignored.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// True when `text` holds `part`, ASCII case ignored. Linear in the sizes
// for the short parts callers look for (it folds `text` once).
bool ContainsNoCase(std::string_view text, std::string_view part);

// `text` without the bytes of `blanks` at either end.
std::string_view Trimmed(std::string_view text, std::string_view blanks = kBlanks);

// `text` with every control byte (below 0x20, and 0x7F) written as \xNN, so
// that a page, a server or a file name cannot send escape sequences to a
// terminal or break a one-line message. Other bytes pass unchanged.
std::string EscapeControlBytes(std::string_view text);

}  // namespace quarry

#endif  // QUARRY_PLATFORM_ASCII_TEXT_H_
