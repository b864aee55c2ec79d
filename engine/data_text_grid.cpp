#include "engine/data_text_grid.h"

#include <utility>

namespace quarry {

DataTextGrid::DataTextGrid(std::string data, bool has_header_line) {
  reader_.ReadOwned(std::move(data));
  if (reader_.LineCount() == 0) return;
  columns_ = reader_.ColumnCount();
  first_row_line_ = has_header_line ? 1 : 0;
  rows_ = reader_.LineCount() - first_row_line_;
}

std::string_view DataTextGrid::Field(int line, int column) const {
  const std::string_view text = reader_.LineView(line);
  if (line != line_) {
    line_ = line;
    next_column_ = 0;
    cursor_.emplace(text, reader_.Delimiter());
    split_.clear();
  }
  if (!split_.empty() || column < next_column_) {
    if (split_.empty()) {
      // Out of order: the row's fields are split once and kept.
      FieldCursor all(text, reader_.Delimiter());
      FieldSpan field;
      for (int k = 0; k < columns_ && all.Next(&field); ++k) {
        split_.push_back({static_cast<uint32_t>(field.value_begin),
                          static_cast<uint32_t>(field.value_end)});
      }
    }
    if (static_cast<size_t>(column) >= split_.size()) return {};
    const auto [begin, end] = split_[static_cast<size_t>(column)];
    return text.substr(begin, end - begin);
  }
  FieldSpan field;
  while (next_column_ <= column) {
    if (!cursor_->Next(&field)) {
      next_column_ = columns_;  // the line has no more fields
      return {};
    }
    ++next_column_;
  }
  return text.substr(field.value_begin, field.value_end - field.value_begin);
}

std::string_view DataTextGrid::Cell(int row, int column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return {};
  return Field(row + first_row_line_, column);
}

std::vector<int> DataTextGrid::DisplayOrder() const {
  std::vector<int> order(static_cast<size_t>(columns_));
  for (int i = 0; i < columns_; ++i) order[static_cast<size_t>(i)] = i;
  return order;
}

std::optional<std::string> DataTextGrid::HeaderText(int column) const {
  if (column < 0 || column >= columns_) return std::nullopt;
  if (first_row_line_ == 0) return std::string();
  return std::string(Field(0, column));
}

int32_t DataTextGrid::HeaderAlignment(int) const { return kAlignLeft; }

uint32_t DataTextGrid::BackgroundColour() const { return kColourWhite; }

bool DataTextGrid::ExtendedHeaderColours(uint32_t*, uint32_t*) const { return false; }

std::optional<std::string_view> DataTextGrid::HeaderTextView(int column) const {
  if (column < 0 || column >= columns_) return std::nullopt;
  if (first_row_line_ == 0) return std::string_view();
  return Field(0, column);
}

std::optional<std::string_view> DataTextGrid::CellTextView(int row, int column) const {
  return Cell(row, column);
}

std::string DataTextGrid::CellText(int row, int column) const {
  return std::string(Cell(row, column));
}

CellFormat DataTextGrid::CellFormatAt(int, int) const { return CellFormat(); }

int DataTextGrid::RowTextColumns(int row) const {
  if (row < 0 || row >= rows_) return 0;
  // One more walk over the row's fields, as long as reading them.
  FieldCursor cursor(reader_.LineView(row + first_row_line_), reader_.Delimiter());
  FieldSpan field;
  int count = 0;
  while (count < columns_ && cursor.Next(&field)) ++count;
  return count;
}

}  // namespace quarry
