// Pieces of the table scanner shared between its files and exposed to its
// tests.

#ifndef QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
#define QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_

#include <string>
#include <string_view>

// The tag removal of CellHtmlToText, round by round (without the shortcut
// for cells whose '<' and '>' alternate): internal::RemoveTagsByRounds.
#include "engine/tag_removal.h"

namespace quarry::internal {

// CellHtmlToText of a cell as cut from a row, written to `out` (its earlier
// content is dropped, its storage reused; `html` must not point into it).
// With `join_lines`, the cell's line ends are first joined as ParseTable
// joins a row's ("\r\n", then "\n", become blanks).
void CellTextFrom(std::string_view html, bool join_lines, std::string& out);

}  // namespace quarry::internal

#endif  // QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
