// What the results view shows for one table: its column titles and a grid
// of cell texts, made from the table's data text.

#ifndef QUARRY_ENGINE_TABLE_GRID_H_
#define QUARRY_ENGINE_TABLE_GRID_H_

#include <string>
#include <string_view>
#include <vector>

namespace quarry {

struct TableGrid {
  int columns = 0;      // the reader's column count
  bool header = false;  // true when the first line titles the columns
  // `columns` titles: the fields of line 0 when `header`, else empty texts.
  std::vector<std::string> titles;
  // One row per line (after the title line), each of exactly `columns`
  // cells; a line shorter than the column count gives empty cells.
  std::vector<std::vector<std::string>> rows;
};

// Reads `data` as TableDataReader does and lays it out as a grid. With
// `has_header_line` and at least one line, line 0 gives the titles and the
// rows start at line 1. A text without lines gives an empty grid (0
// columns, no titles, no rows). Linear in the text plus the number of cells,
// and a string per cell: a sparse table (one wide line over many short
// ones) has far more cells than its text has bytes. DataTextGrid
// (data_text_grid.h) gives the same cells read from the text as needed.
TableGrid BuildTableGrid(std::string_view data, bool has_header_line);

}  // namespace quarry

#endif  // QUARRY_ENGINE_TABLE_GRID_H_
