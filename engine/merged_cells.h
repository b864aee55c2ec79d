// Laying out merged cells as a browser does: a cell with colspan or rowspan
// covers that many columns or rows of the grid, and its text is repeated
// into every cell it covers, so that each column of the data text holds
// what the page shows in that column.
//
// The plain scan (ParseTable) ignores spans: a row with a merged cell comes
// out shorter and its later cells slide left. This is an opt-in second
// reading of a table's source HTML; the cells, their texts and the rows
// taken are exactly ParseTable's (pad_rows set), only their places differ.
//
// Layout rules, those of the HTML table model:
//  - colspan is read as a non-negative integer (leading blanks, digits;
//    anything else, and 0, mean 1), at most 1000; rowspan likewise, at
//    most 65534, where 0 means "to the end of the row group";
//  - a row group ends where the page opens or closes a thead, tbody or
//    tfoot between two rows; a rowspan never reaches past its group;
//  - each cell takes the first column of its row not covered from above;
//    where a wide cell runs into a cell covering from above (overlapping
//    cells), the cell from above keeps those slots;
//  - columns in which no cell begins (a colspan past every row's end) are
//    dropped, as a browser gives them no width;
//  - rows whose line comes out empty are dropped and short lines padded
//    with empty fields, as ParseTable does.

#ifndef QUARRY_ENGINE_MERGED_CELLS_H_
#define QUARRY_ENGINE_MERGED_CELLS_H_

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/extracted_table.h"

namespace quarry {

enum class MergedCells {
  kNone,      // no cell spans more than one column or row: nothing to do
  kExpanded,  // the data text was laid out with the spans
  kTooLarge,  // laid out, the table would outgrow its bound (below)
};

// The most bytes an expanded data text may have: kExpansionFactor times
// the table's HTML plus kExpansionAllowance. A text repeated into many
// cells could otherwise turn a small page into gigabytes.
inline constexpr size_t kExpansionFactor = 8;
inline constexpr size_t kExpansionAllowance = size_t{1} << 20;

// Reads the table string `html` with its spans laid out. Only with
// kExpanded is `*data` replaced (by the data text); otherwise it is left as
// it was. Work and memory stay within a small multiple of the bound above.
MergedCells ExpandMergedCells(std::string_view html, std::string* data);

// How many tables a list expansion changed, and how many it left as they
// were because they would have grown too large.
struct MergedCellsCount {
  int expanded = 0;
  int too_large = 0;
};

// Expands every table of the list from its source_html (its data text
// replaced where spans were laid out). When `cancel` (may be null) is set
// from another thread, stops before the next table.
MergedCellsCount ExpandMergedCells(TableList& tables,
                                   const std::atomic<bool>* cancel = nullptr);

}  // namespace quarry

#endif  // QUARRY_ENGINE_MERGED_CELLS_H_
