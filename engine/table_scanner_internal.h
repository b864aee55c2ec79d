// Pieces of the table scanner shared between its files and exposed to its
// tests.

#ifndef QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
#define QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/extracted_table.h"
#include "engine/scan_text.h"
#include "engine/tag_index.h"

// The tag removal of CellHtmlToText, round by round (without the shortcut
// for cells whose '<' and '>' alternate): internal::RemoveTagsByRounds.
#include "engine/tag_removal.h"

namespace quarry::internal {

// The cutting of a text whose nested tables are already lifted out: each
// table string runs from a "<table" through the first "/table>" after it,
// and the next starts after that. Calls visit(table), a view into `text`,
// for each, in order; visit returns false to stop. Linear in the text.
template <typename Visit>
void ForEachTableString(std::string_view text, const Visit& visit) {
  scan::NoCaseFinder next_open(text, "<table"), next_close(text, "/table>");
  size_t open = next_open.Next(0);
  while (open != scan::kNpos) {
    const size_t close = next_close.Next(open);
    if (close == scan::kNpos) return;
    const std::string_view table = text.substr(open, close - open + 7);
    AddEngineWork(table.size());
    if (!visit(table)) return;
    open = next_open.Next(close);
  }
}

// A page's table strings as SplitTables cuts them, visited one at a time
// instead of gathered, so that a caller can turn each into its record and
// let it go. Nested tables are flattened into an own copy of the page when
// the page has any; views given to a visitor point into that copy or into
// the page, which must outlive this object.
class PageTables {
 public:
  explicit PageTables(std::string_view page);

  // Calls visit(table, from) for each table string, in page order, with
  // where it starts in text(); visit returns false to stop.
  template <typename Visit>
  void ForEach(const Visit& visit) const {
    for (const Span& span : tables_) {
      const std::string_view table = text_.substr(span.from, span.length);
      AddEngineWork(table.size());
      if (!visit(table, span.from)) return;
    }
  }

  size_t Count() const { return tables_.size(); }
  // The table strings' lengths added up.
  size_t TablesLength() const { return tables_length_; }

  // The flattened copy that text() is, shared, so that what is cut from it
  // can keep it; null when text() is the page itself.
  const std::shared_ptr<const std::string>& FlattenedCopy() const { return copy_; }

  // The text the tables are cut from (the page, or its flattened copy), and
  // its index, for the tables' rows and cells: the any-case table tags,
  // used up by the cutting, are dropped from it.
  std::string_view text() const { return text_; }
  const TagIndex& tags() const { return tags_; }

  // TagIndex::ForgetBefore on that index: for a caller that makes the
  // tables in order, after each one.
  bool ForgetTagsBefore(size_t before) { return tags_.ForgetBefore(before); }

 private:
  struct Span {  // 32-bit, as the index's positions
    uint32_t from;
    uint32_t length;
  };

  std::shared_ptr<const std::string> copy_;  // the flattened page, when it had nested tables
  std::string_view text_;
  TagIndex tags_;
  std::vector<Span> tables_;
  size_t tables_length_ = 0;
};

// ParseTable for many tables in turn, keeping its working storage from one
// table to the next. Holds no data between calls that a result depends on.
// Not for use from several threads at once.
class TableScanner {
 public:
  TableScanner();
  ~TableScanner();
  TableScanner(const TableScanner&) = delete;
  TableScanner& operator=(const TableScanner&) = delete;

  // ParseTable, exactly.
  bool Parse(std::string_view html, std::string* data, ExtractedTable* attributes,
             bool only_full_rows, bool pad_rows, bool skip_first_row);

  // The same for a table string that starts at `from` of a text that
  // `tags` walks the index of (tables are best given in text order).
  bool Parse(std::string_view html, size_t from, TagIndex::Walker& tags, std::string* data,
             ExtractedTable* attributes, bool only_full_rows, bool pad_rows, bool skip_first_row);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A data text written line by line and cell by cell: its string is kept
// longer than what was written (growing by doubling), so that a writer can
// ask for room without the string filling that room first. The string is
// cut to what was written at Done(), or when the buffer goes.
class LineBuffer {
 public:
  explicit LineBuffer(std::string& text) : text_(text), size_(text.size()) {}
  ~LineBuffer() { Done(); }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  size_t size() const { return size_; }
  char back() const { return text_[size_ - 1]; }

  // Room for `count` more bytes after what was written, valid until the
  // next call; Grow() then keeps what was put there.
  char* Room(size_t count) {
    if (text_.size() - size_ < count) text_.resize(std::max(2 * text_.size(), size_ + count + 64));
    return text_.data() + size_;
  }
  void Grow(size_t count) { size_ += count; }
  void Cut(size_t size) { size_ = size; }

  void Append(std::string_view bytes) {
    if (!bytes.empty()) std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
    size_ += bytes.size();
  }
  void Append(char c) {
    *Room(1) = c;
    ++size_;
  }

  // Cuts the string to what was written; the buffer takes no more.
  void Done() {
    if (!done_) text_.resize(size_);
    done_ = true;
  }

 private:
  std::string& text_;
  size_t size_;
  bool done_ = false;
};

// CellHtmlToText of a cell as cut from a row, written to `out` (its earlier
// content is dropped, its storage reused; `html` must not point into it).
// With `join_lines`, the cell's line ends are first joined as ParseTable
// joins a row's ("\r\n", then "\n", become blanks).
void CellTextFrom(std::string_view html, bool join_lines, std::string& out);

// Appends the cell's part of a row's line: CellTextFrom (html, join_lines),
// white space trimmed at both ends, enclosed in double quotes when it holds
// a comma, then a comma. The usual cell is written in one pass straight
// into `line`; others go through CellTextFrom in `scratch` (its content is
// dropped, its storage reused; `html` must not point into it or `line`).
void AppendCellText(std::string_view html, bool join_lines, std::string& scratch,
                    LineBuffer& line);

// One cell as ParseTable reads it: its HTML as cut from the row (start tag
// included) and its text (CellTextFrom, white space trimmed, not quoted).
struct TableCell {
  std::string_view html;
  std::string text;
};

// The rows that ParseTable(html, data, attributes, false, true, false)
// reads, in order, each with its HTML ("<tr" through "/tr>", a view into
// `html`) and its cells as that call takes them (line ends joined as it
// joins them). Rows that yield no cell are visited too, with none. The
// cells' storage is reused from row to row. Linear in the table.
void ForEachTableRow(
    std::string_view html,
    const std::function<void(std::string_view row, const std::vector<TableCell>& cells)>& visit);

}  // namespace quarry::internal

#endif  // QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
