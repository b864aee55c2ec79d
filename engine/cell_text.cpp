// A cell's HTML turned into plain text (CellHtmlToText), each step done in
// place: the text only ever shrinks, so no step needs a second copy.

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/entity_decoder.h"
#include "engine/scan_text.h"
#include "engine/table_scanner.h"
#include "engine/table_scanner_internal.h"
#include "engine/tag_removal.h"

namespace quarry {

namespace {

using scan::FindByte;
using scan::kNpos;

// Which of the bytes that the steps look for a text holds.
enum : unsigned { kEscapeByte = 1, kE2Byte = 2, kLtByte = 4, kCrByte = 8, kLfByte = 16 };

unsigned ByteKinds(std::string_view text) {
  static const auto kKinds = [] {
    std::array<unsigned char, 256> kinds{};
    kinds['&'] = kinds['%'] = kEscapeByte;
    kinds[0xE2] = kE2Byte;
    kinds['<'] = kLtByte;
    kinds['\r'] = kCrByte;
    kinds['\n'] = kLfByte;
    return kinds;
  }();
  unsigned found = 0;
  for (char c : text) found |= kKinds[static_cast<unsigned char>(c)];
  AddEngineWork(text.size());
  return found;
}

// The row's line ends become blanks: "\r\n" first, then every "\n" left.
void JoinLines(std::string_view source, std::string& out) {
  out.clear();
  out.reserve(source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') {
      out += ' ';
      ++i;
    } else {
      out += source[i] == '\n' ? ' ' : source[i];
    }
  }
  AddEngineWork(source.size());
}

// Fast form for the usual cell, whose '<' and '>' strictly alternate
// ("a<b>c</b>d"): every round then removes one tag kind and the result is
// each "<...>" replaced by a blank. Returns false, changing nothing, for any
// other cell.
bool RemoveAlternatingTags(std::string& text) {
  const std::string_view view(text);
  // Each '<' must be followed by a '>' before the next '<', and no '>' may
  // come before the first '<' or between a '>' and the next '<'.
  size_t lt = FindByte(view, '<', 0);
  if (FindByte(view, '>', 0) < lt) return false;
  // First a check without writing, so that a cell that fails is unchanged.
  for (size_t at = lt; at != kNpos;) {
    const size_t gt = FindByte(view, '>', at + 1);
    if (gt == kNpos) return false;
    const size_t next_lt = FindByte(view, '<', at + 1);
    if (next_lt < gt) return false;
    if (FindByte(view, '>', gt + 1) < next_lt) return false;
    at = next_lt;
  }
  size_t write = lt;
  size_t read = lt;
  while (lt != kNpos) {
    const size_t gt = FindByte(view, '>', lt + 1);
    std::memmove(&text[write], &text[read], lt - read);
    write += lt - read;
    text[write++] = ' ';
    read = gt + 1;
    lt = FindByte(view, '<', read);
  }
  std::memmove(&text[write], &text[read], text.size() - read);
  text.resize(write + text.size() - read);
  return true;
}

void RemoveTags(std::string& text) {
  if (FindByte(text, '<', 0) == kNpos) return;
  if (RemoveAlternatingTags(text)) return;
  RemoveTagsInRounds(text);
}

// The fixed point of replacing "\r\n " by "\r\n": every run of blanks right
// after a CR LF goes.
void DropBlanksAfterLineBreaks(std::string& text) {
  if (text.find("\r\n ") == std::string::npos) return;
  size_t write = 0;
  for (size_t read = 0; read < text.size(); ++read) {
    const char c = text[read];
    if (c == ' ' && write >= 2 && text[write - 2] == '\r' && text[write - 1] == '\n') continue;
    text[write++] = c;
  }
  AddEngineWork(text.size());
  text.resize(write);
}

// The steps after decoding; `found` tells which bytes the text holds.
void FinishCellText(std::string& text, unsigned found) {
  if (found & kE2Byte) scan::ReplaceAllInPlace(text, "\xE2\x80\x99", "'");
  if (found & kLtByte) {
    if (text.find("</p>") != std::string::npos) {
      scan::ReplaceAllInPlace(text, "</p><p>", "\r\n\r\n");
      scan::ReplaceAllInPlace(text, "</p>", "\r\n");
      found |= kCrByte;
    }
    RemoveTags(text);
  }
  if (found & kCrByte) DropBlanksAfterLineBreaks(text);
}

}  // namespace

namespace internal {

void CellTextFrom(std::string_view html, bool join_lines, std::string& out) {
  const unsigned found = ByteKinds(html);
  if (join_lines && (found & kLfByte)) {
    JoinLines(html, out);
    if ((found & kEscapeByte) && !DecodeHtmlEntitiesUnlessChained(out)) {
      JoinLines(html, out);
      DecodeHtmlEntitiesChained(out);
    }
  } else if (found & kEscapeByte) {
    DecodeHtmlEntitiesFrom(html, out);
  } else {
    out.assign(html);
    FinishCellText(out, found);
    return;
  }
  FinishCellText(out, ByteKinds(out));
}

}  // namespace internal

void CellHtmlToText(std::string& text) {
  unsigned found = ByteKinds(text);
  if (found & kEscapeByte) {
    DecodeHtmlEntities(text);
    found = ByteKinds(text);
  }
  FinishCellText(text, found);
}

}  // namespace quarry
