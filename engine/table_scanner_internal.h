// Pieces of the table scanner shared between its files and exposed to its
// tests.

#ifndef QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
#define QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_text.h"

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

  // Calls visit(table) for each table string, in page order; visit returns
  // false to stop. Linear in the page.
  template <typename Visit>
  void ForEach(const Visit& visit) const {
    ForEachTableString(text_, visit);
  }

  size_t Count() const {
    size_t count = 0;
    ForEach([&](std::string_view) { return ++count > 0; });
    return count;
  }

 private:
  std::string copy_;  // the flattened page, when it had nested tables
  std::string_view text_;
};

// CellHtmlToText of a cell as cut from a row, written to `out` (its earlier
// content is dropped, its storage reused; `html` must not point into it).
// With `join_lines`, the cell's line ends are first joined as ParseTable
// joins a row's ("\r\n", then "\n", become blanks).
void CellTextFrom(std::string_view html, bool join_lines, std::string& out);

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
