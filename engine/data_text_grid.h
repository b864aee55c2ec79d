// The grid of one table read straight from its data text: the same titles
// and cells as BuildTableGrid lays out, without a string per cell, so that
// showing or exporting a table costs memory in proportion to its data text
// (a few bytes per line) rather than to its rows times its columns.

#ifndef QUARRY_ENGINE_DATA_TEXT_GRID_H_
#define QUARRY_ENGINE_DATA_TEXT_GRID_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_grid.h"
#include "engine/table_data_reader.h"

namespace quarry {

// Lines and columns as TableDataReader reads them; with `has_header_line`
// and at least one line, line 0 titles the columns and the rows start at
// line 1. A row has exactly ColumnCount() cells: a short line gives empty
// cells, fields past the column count are not shown. As an ExportGrid it is
// a plain list (white, no extended header, left-aligned titles, natural
// column order, default cell formats).
//
// Reading the cells of a row in column order walks the line once; asking
// for columns out of order splits the row once and keeps its fields until
// another row is asked for. Not safe for use from several threads at once.
class DataTextGrid : public ExportGrid {
 public:
  // Takes the data text over.
  DataTextGrid(std::string data, bool has_header_line);

  // The cell's text; empty outside the grid. The view stays valid until
  // the grid is destroyed.
  std::string_view Cell(int row, int column) const;

  int ColumnCount() const override { return columns_; }
  std::vector<int> DisplayOrder() const override;
  std::optional<std::string> HeaderText(int column) const override;
  int32_t HeaderAlignment(int column) const override;
  uint32_t BackgroundColour() const override;
  bool ExtendedHeaderColours(uint32_t* background, uint32_t* text) const override;
  int RowCount() const override { return rows_; }
  std::string CellText(int row, int column) const override;
  CellFormat CellFormatAt(int row, int column) const override;
  // The row line's field count, up to the column count.
  int RowTextColumns(int row) const override;
  bool NaturalDisplayOrder() const override { return true; }
  std::optional<std::string_view> HeaderTextView(int column) const override;
  std::optional<std::string_view> CellTextView(int row, int column) const override;

 private:
  // Field `column` of line `line`.
  std::string_view Field(int line, int column) const;

  TableDataReader reader_;
  int columns_ = 0;
  int rows_ = 0;
  int first_row_line_ = 0;

  // The walk over the last line asked for.
  mutable int line_ = -1;
  mutable int next_column_ = 0;
  mutable std::optional<FieldCursor> cursor_;
  mutable std::vector<std::pair<uint32_t, uint32_t>> split_;  // values, when out of order
};

}  // namespace quarry

#endif  // QUARRY_ENGINE_DATA_TEXT_GRID_H_
