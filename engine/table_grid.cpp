#include "engine/table_grid.h"

#include "engine/table_data_reader.h"

namespace quarry {

namespace {

// The first `columns` field values of `line`, empty ones for missing fields.
std::vector<std::string> Cells(const DelimitedDataParser& parser,
                               std::string_view line, int columns) {
  std::vector<std::string> cells(static_cast<size_t>(columns));
  // One walk over the line rather than a walk per column.
  std::vector<FieldSpan> fields = parser.Split(line, cells.size());
  for (size_t k = 0; k < fields.size(); ++k) {
    cells[k].assign(line.substr(fields[k].value_begin,
                                fields[k].value_end - fields[k].value_begin));
  }
  return cells;
}

}  // namespace

TableGrid BuildTableGrid(std::string_view data, bool has_header_line) {
  TableGrid grid;
  TableDataReader reader;
  reader.Read(data);
  if (reader.LineCount() == 0) return grid;

  grid.columns = reader.ColumnCount();
  grid.header = has_header_line;
  const int first_row = grid.header ? 1 : 0;
  grid.titles = grid.header
                    ? Cells(reader.parser(), reader.LineView(0), grid.columns)
                    : std::vector<std::string>(grid.columns);
  grid.rows.reserve(reader.LineCount() - first_row);
  for (int i = first_row; i < reader.LineCount(); ++i) {
    grid.rows.push_back(Cells(reader.parser(), reader.LineView(i), grid.columns));
  }
  return grid;
}

}  // namespace quarry
