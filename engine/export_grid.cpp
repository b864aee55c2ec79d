#include "engine/export_grid.h"


#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"

namespace quarry {

// ---- MemoryGrid ------------------------------------------------------------

MemoryGrid::MemoryGrid(std::vector<std::string> titles,
                       std::vector<std::vector<std::string>> rows)
    : titles_(std::move(titles)), rows_(std::move(rows)) {
  size_t columns = titles_.size();
  for (const auto& row : rows_) columns = std::max(columns, row.size());
  columns_ = static_cast<int>(columns);
  header_alignment_.assign(columns, kAlignLeft);
}

int MemoryGrid::ColumnCount() const { return columns_; }

std::vector<int> MemoryGrid::DisplayOrder() const {
  if (order_) return *order_;
  std::vector<int> order(columns_);
  for (int i = 0; i < columns_; ++i) order[i] = i;
  return order;
}

std::optional<std::string> MemoryGrid::HeaderText(int column) const {
  if (!header_readable_ || column < 0 || column >= columns_) return std::nullopt;
  if (static_cast<size_t>(column) >= titles_.size()) return std::string();
  return titles_[column];
}

int32_t MemoryGrid::HeaderAlignment(int column) const {
  if (column < 0 || column >= columns_) return kAlignLeft;
  return header_alignment_[column];
}

uint32_t MemoryGrid::BackgroundColour() const { return background_; }

bool MemoryGrid::ExtendedHeaderColours(uint32_t* background,
                                       uint32_t* text) const {
  if (!has_extended_header_) return false;
  *background = header_background_;
  *text = header_text_;
  return true;
}

int MemoryGrid::RowCount() const { return static_cast<int>(rows_.size()); }

std::string MemoryGrid::CellText(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0) return std::string();
  const auto& cells = rows_[row];
  if (static_cast<size_t>(column) >= cells.size()) return std::string();
  return cells[column];
}

CellFormat MemoryGrid::CellFormatAt(int row, int column) const {
  if (formats_.empty() || row < 0 || row >= RowCount() || column < 0 ||
      column >= columns_) {
    return CellFormat();
  }
  return formats_[static_cast<size_t>(row) * columns_ + column];
}

void MemoryGrid::SetDisplayOrder(std::vector<int> order) {
  order_ = std::move(order);
}

void MemoryGrid::SetHeaderReadable(bool readable) {
  header_readable_ = readable;
}

void MemoryGrid::SetHeaderAlignment(int column, int32_t alignment) {
  if (column < 0 || column >= columns_) return;
  header_alignment_[column] = alignment;
}

void MemoryGrid::SetBackgroundColour(uint32_t colour) { background_ = colour; }

void MemoryGrid::SetExtendedHeader(uint32_t background, uint32_t text) {
  has_extended_header_ = true;
  header_background_ = background;
  header_text_ = text;
}

void MemoryGrid::ClearExtendedHeader() { has_extended_header_ = false; }

void MemoryGrid::SetCellFormat(int row, int column, CellFormat format) {
  if (row < 0 || row >= RowCount() || column < 0 || column >= columns_) return;
  if (formats_.empty()) formats_.resize(rows_.size() * columns_);
  formats_[static_cast<size_t>(row) * columns_ + column] = std::move(format);
}

// ---- Shared by the writers -------------------------------------------------

std::vector<int> ExportColumns(const ExportGrid& grid,
                               std::vector<int32_t> excluded) {
  std::sort(excluded.begin(), excluded.end());
  const int count = grid.ColumnCount();
  std::vector<bool> taken(count > 0 ? count : 0, false);
  std::vector<int> columns;
  for (int column : grid.DisplayOrder()) {
    if (column < 0 || column >= count || taken[column]) continue;
    taken[column] = true;
    if (std::binary_search(excluded.begin(), excluded.end(), column)) continue;
    columns.push_back(column);
  }
  return columns;
}

ExportColumnList::ExportColumnList(const ExportGrid& grid, std::vector<int32_t> excluded)
    : natural_(grid.NaturalDisplayOrder()), count_(std::max(grid.ColumnCount(), 0)) {
  if (natural_) {
    std::sort(excluded.begin(), excluded.end());
    excluded.erase(std::unique(excluded.begin(), excluded.end()), excluded.end());
    excluded_ = std::move(excluded);
    return;
  }
  columns_ = ExportColumns(grid, std::move(excluded));
  ascending_ = std::is_sorted(columns_.begin(), columns_.end());
}

std::string_view CellDisplayView(const ExportGrid& grid, int row, int column, std::string& scratch) {
  const CellFormat format = grid.CellFormatAt(row, column);
  if (!format.is_percent && !(format.is_dropdown && format.has_selection)) {
    if (std::optional<std::string_view> view = grid.CellTextView(row, column)) return *view;
  }
  scratch = CellDisplayText(grid, row, column);
  return scratch;
}

std::string CellDisplayText(const ExportGrid& grid, int row, int column) {
  CellFormat format = grid.CellFormatAt(row, column);
  if (format.is_percent) {
    // printf's "%f" follows LC_NUMERIC, which a GUI process sets from the
    // user's locale; a decimal comma would change the exported value.
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer) - 1,
                                   format.percent, std::chars_format::fixed, 2);
    if (ec != std::errc()) return "%";
    *end++ = '%';
    return std::string(buffer, end);
  }
  if (format.is_dropdown && format.has_selection) return format.selection;
  return grid.CellText(row, column);
}

// ---- Writing the file ------------------------------------------------------

namespace {

// Collects the pieces into a buffer and hands it to the file when full.
class FileSink : public ExportSink {
 public:
  explicit FileSink(platform::AtomicFileWriter* file) : file_(file) { buffer_.reserve(kBuffer); }

  void Write(std::string_view bytes) override {
    if (!ok_) return;
    if (buffer_.size() + bytes.size() > kBuffer) Flush();
    if (bytes.size() >= kBuffer) {
      ok_ = ok_ && file_->Write(bytes);
    } else {
      buffer_.append(bytes);
    }
  }

  bool ok() const override { return ok_; }

  bool Finish() {
    Flush();
    return ok_;
  }

 private:
  static constexpr size_t kBuffer = 1 << 16;

  void Flush() {
    if (ok_ && !buffer_.empty()) ok_ = file_->Write(buffer_);
    buffer_.clear();
  }

  platform::AtomicFileWriter* file_;
  std::string buffer_;
  bool ok_ = true;
};

}  // namespace

void StreamSink::Write(std::string_view bytes) {
  if (*out_) out_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool StreamSink::ok() const { return static_cast<bool>(*out_); }

bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string* reason) {
  return WriteFileReplacingWith(
      path, [bytes](ExportSink& sink) { sink.Write(bytes); }, reason);
}

bool WriteFileReplacingWith(const std::string& path,
                            const std::function<void(ExportSink&)>& produce,
                            std::string* reason) {
  platform::AtomicFileWriter file(path);
  if (file.ok()) {
    FileSink sink(&file);
    produce(sink);
    if (sink.Finish() && file.Commit()) return true;
  }
  if (reason != nullptr) *reason = file.Reason();
  return false;
}

}  // namespace quarry
