// Showing 8-bit page text in the window and getting typed text back as bytes.
//
// Tables keep the page's own bytes: most pages are UTF-8, older ones are
// Latin-1 or a similar 8-bit set, and decoded character references 160-255
// become single Latin-1 bytes. Nothing says which, so a text is shown as
// UTF-8 when all of it is well-formed UTF-8 and as Latin-1 (one character
// per byte) otherwise. Showing is one-way: callers that must write a page's
// text back keep its bytes beside the shown text (see CListCtrlExt's *Bytes
// calls) instead of converting the shown text back.

#ifndef QUARRY_FRAMEWORK_BYTE_TEXT_H_
#define QUARRY_FRAMEWORK_BYTE_TEXT_H_

#include <QString>
#include <string>
#include <string_view>

#include "platform/utf8_text.h"  // IsUtf8

namespace quarry {

// The text to show for `bytes`: decoded as UTF-8 when IsUtf8, else each byte
// as the character of the same value. Never fails; a leading byte-order mark
// is shown (as U+FEFF) rather than dropped.
QString TextFromBytes(std::string_view bytes);

// The bytes of text the user typed: its UTF-8 form, so no character is lost.
// TextFromBytes(BytesFromText(t)) == t for every t without lone surrogates.
std::string BytesFromText(const QString& text);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_BYTE_TEXT_H_
