#include "engine/table_positions.h"

#include <climits>
#include <cstdint>
#include <string>

#include "engine/page_text.h"
#include "engine/scan_text.h"
#include "engine/table_scanner.h"
#include "engine/table_scanner_internal.h"

namespace quarry {

namespace {

// Each start tag is marked in a twin of the page, which the flattening
// moves in step with the page: a marker byte where the tag's '<' is, its
// position in the five bytes after it (the rest of the tag, so no other
// tag's mark can be overwritten). Every other byte of the twin is zero. A
// tag that is only spelt across the gap left by a lifted table begins with
// a '<' that started no tag, so its twin byte is zero.
constexpr char kMarker = 1;
constexpr size_t kPositionBytes = 5;

void Mark(std::string& twin, size_t at, uint64_t position) {
  twin[at] = kMarker;
  for (size_t i = 1; i <= kPositionBytes; ++i) {
    twin[at + i] = static_cast<char>(position & 0xFF);
    position >>= 8;
  }
}

int32_t MarkAt(const std::string& twin, size_t at) {
  if (at + kPositionBytes >= twin.size() || twin[at] != kMarker) return -1;
  uint64_t position = 0;
  for (size_t i = kPositionBytes; i >= 1; --i) {
    position = position << 8 | static_cast<unsigned char>(twin[at + i]);
  }
  return position > INT32_MAX ? -1 : static_cast<int32_t>(position);
}

// How much of a table's HTML is read for its key: plenty for the first
// rows of any ordinary table.
constexpr size_t kKeySourceBytes = 64 * 1024;

bool IsAsciiLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

TableTextKey TableKey(std::string_view source_html) {
  TableTextKey key;
  const bool cut = source_html.size() > kKeySourceBytes;
  std::string data;
  ParseTable(source_html.substr(0, kKeySourceBytes), &data, nullptr, false, true, false);
  for (size_t i = 0; i < data.size(); ++i) {
    const char c = data[i];
    if (c == '&') {
      // A reference the scanner leaves as it is, a browser decodes to
      // something else: its name's letters are not the table's.
      size_t end = i + 1;
      while (end < data.size() && end - i <= 32 && (IsAsciiLetterOrDigit(data[end]) || data[end] == '#')) {
        ++end;
      }
      if (end < data.size() && end > i + 1 && data[end] == ';') i = end;
      continue;
    }
    if (!IsAsciiLetterOrDigit(c)) continue;
    if (key.key.size() == kTableKeyLength) {
      key.complete = false;
      return key;
    }
    key.key += c;
  }
  // A cut table may have more after the rows that were read.
  key.complete = !cut;
  return key;
}

void NoteTablePositions(std::string_view page, TableList& tables) {
  for (ExtractedTable& table : tables) table.page_position = -1;
  if (tables.empty()) return;
  const PreparedPage prepared = PreparePageText(page);
  const std::string_view text = prepared.text();

  std::string copy(text);
  std::string twin(text.size(), '\0');
  scan::NoCaseFinder next_open(text, "<table");
  uint64_t position = 0;
  for (size_t at = next_open.Next(0); at != scan::kNpos; at = next_open.Next(at + 1)) {
    Mark(twin, at, position++);
  }
  FlattenNestedTables(copy, twin);

  // The parse kept the table strings that held data, in order: each record
  // is the next table string with its text.
  size_t next = 0;
  internal::ForEachTableString(copy, [&](std::string_view table) {
    if (tables[next].source_html == table) {
      tables[next].page_position = MarkAt(twin, static_cast<size_t>(table.data() - copy.data()));
      ++next;
    }
    return next < tables.size();
  });
}

}  // namespace quarry
