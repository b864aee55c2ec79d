// Page bytes as UTF-8.
//
// Table texts keep the page's own bytes: most pages are UTF-8, older ones
// Latin-1, and decoded character references 160-255 become single Latin-1
// bytes. Nothing says which, so a text is taken as UTF-8 when all of it is
// well-formed UTF-8 and as Latin-1 (one character per byte) otherwise, the
// same rule the window follows when it shows a text.

#ifndef QUARRY_PLATFORM_UTF8_TEXT_H_
#define QUARRY_PLATFORM_UTF8_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quarry {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF). The empty text is.
bool IsUtf8(std::string_view bytes);

// `bytes` unchanged when IsUtf8, else each byte read as the Latin-1
// character of the same value and written in UTF-8. Never fails.
std::string PageBytesAsUtf8(std::string_view bytes);

// The number of characters of well-formed UTF-8 `text` (its bytes that do
// not continue a sequence).
size_t Utf8Length(std::string_view text);

// The longest start of well-formed UTF-8 `text` that holds at most
// `characters` characters; never ends inside a sequence.
std::string_view Utf8Prefix(std::string_view text, size_t characters);

}  // namespace quarry

#endif  // QUARRY_PLATFORM_UTF8_TEXT_H_
