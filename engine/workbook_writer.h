// Writes a grid as an Office Open XML workbook (.xlsx) that spreadsheet
// programs open as what it is: one sheet named after the table, the header
// row bold and frozen when the first line titles the columns, numbers
// stored as numbers and column widths that fit the content.
//
// What is written is what the grid shows, as the other export formats
// write it: header and cell texts in display order, blanks trimmed from
// each cell. A column whose every non-empty cell reads as a number
// (ReadCellNumber) holds numbers, each formatted to look as the page wrote
// it; any other column holds text, so "007" in a column of codes stays
// "007". Texts are UTF-8 when well-formed and Latin-1 otherwise
// (PageBytesAsUtf8).
//
// A sheet holds at most kWorkbookMaxRows rows of kWorkbookMaxColumns
// columns and a cell at most kWorkbookMaxCellCharacters characters; a grid
// beyond those limits is refused with a reason rather than cut, and the
// target is left as it was.

#ifndef QUARRY_ENGINE_WORKBOOK_WRITER_H_
#define QUARRY_ENGINE_WORKBOOK_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/export_grid.h"
#include "engine/export_options.h"

namespace quarry {

inline constexpr int64_t kWorkbookMaxRows = 1048576;
inline constexpr int64_t kWorkbookMaxColumns = 16384;
inline constexpr size_t kWorkbookMaxCellCharacters = 32767;

// A sheet name for `name` (page bytes, see PageBytesAsUtf8): the characters
// a sheet name may not hold ([ ] : * ? / \ and control characters) become
// '_', it is cut to 31 characters, apostrophes and blanks at either end are
// dropped, and an empty result, or the name "History" that spreadsheet
// programs reserve, gives "Sheet1" or "History_".
std::string WorkbookSheetName(std::string_view name);

// Writes the grid to `path` as a workbook with one sheet named after
// options->sheet_name. With options->has_header the header texts form the
// first row, bold and frozen; without it they form a plain first row only
// when one of them is not empty. The file is written whole or not at all
// (see WriteFileReplacingWith): on failure an existing file is left as it
// was, nothing is created, and `*reason`, when given, says why. Returns
// true when the workbook was written; then, when the options ask for it,
// the file is handed to `open_after` (when given). Memory stays small
// whatever the grid's size: rows are written as they are read, through a
// temporary file in the system's temporary folder.
bool ExportListToWorkbook(const ExportGrid& grid, const std::string& path,
                          const ExportOptions* options, const OpenAfterExportHook& open_after = {},
                          std::string* reason = nullptr);

}  // namespace quarry

#endif  // QUARRY_ENGINE_WORKBOOK_WRITER_H_
