// What the export writers read of a grid, and the plumbing they share.
//
// The writers never see a widget: the GUI's list control implements
// ExportGrid over its own rows, columns and per-cell formats; MemoryGrid
// implements it over plain vectors for the command-line tool and the tests.
// All texts are 8-bit, as the grid holds them.

#ifndef QUARRY_ENGINE_EXPORT_GRID_H_
#define QUARRY_ENGINE_EXPORT_GRID_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

// Colours are 0x00BBGGRR, red in the low byte.
inline constexpr uint32_t kColourWhite = 0xFFFFFF;
inline constexpr uint32_t kColourBlack = 0x000000;

// Header and cell alignments as the writers use them.
inline constexpr int32_t kAlignLeft = 0;
inline constexpr int32_t kAlignRight = 1;
inline constexpr int32_t kAlignCenter = 2;

// The per-cell format a list control keeps beside the cell's text.
struct CellFormat {
  bool bold = false;
  uint32_t background = kColourWhite;
  uint32_t text_colour = kColourBlack;
  bool is_link = false;        // the cell links to `link` (ignored when empty)
  std::string link;
  bool is_percent = false;     // the cell shows `percent` instead of its text
  double percent = 0;
  bool is_dropdown = false;    // the cell is a drop-down list; with a
  bool has_selection = false;  // selection it shows `selection`
  std::string selection;

  bool operator==(const CellFormat&) const = default;
};

// Read-only view of a report-style list control. Columns are identified by
// their index in the list's own order (0 .. ColumnCount()-1); rows by their
// index 0 .. RowCount()-1. Implementations must answer every query for any
// index in range; the writers never ask outside it. Calls happen on the
// exporting thread and the grid must not change during one export.
class ExportGrid {
 public:
  virtual ~ExportGrid() = default;

  virtual int ColumnCount() const = 0;

  // The columns as the user sees them, left to right (the list's column
  // order array). Entries outside 0 .. ColumnCount()-1 and repeats are
  // ignored by the writers.
  virtual std::vector<int> DisplayOrder() const = 0;

  // The header item's text, or nullopt when the list has no header control
  // or the item cannot be read (the writers then write an empty title).
  virtual std::optional<std::string> HeaderText(int column) const = 0;

  // The header item's alignment: kAlignCenter, kAlignRight or kAlignLeft.
  virtual int32_t HeaderAlignment(int column) const = 0;

  // The list's background colour.
  virtual uint32_t BackgroundColour() const = 0;

  // True when the list has an extended (owner-drawn) header; its colours
  // are then stored in *background and *text.
  virtual bool ExtendedHeaderColours(uint32_t* background,
                                     uint32_t* text) const = 0;

  virtual int RowCount() const = 0;

  // The list item's own text of a cell.
  virtual std::string CellText(int row, int column) const = 0;

  virtual CellFormat CellFormatAt(int row, int column) const = 0;

  // Optional fast paths for large grids; the defaults mean "not offered".

  // The first column from which on every cell of `row` shows nothing (no
  // text, default format), so that writers may skip them; ColumnCount()
  // when that is not known cheaply.
  virtual int RowTextColumns(int row) const {
    (void)row;
    return ColumnCount();
  }

  // True when DisplayOrder() is 0 .. ColumnCount()-1, so that writers need
  // not ask for it (a very wide grid's order is a large list).
  virtual bool NaturalDisplayOrder() const { return false; }

  // The header's and the cell's own text without a copy (the view stays
  // valid until the next call on the grid), or nullopt when not offered;
  // when offered, equal to HeaderText and CellText.
  virtual std::optional<std::string_view> HeaderTextView(int column) const {
    (void)column;
    return std::nullopt;
  }
  virtual std::optional<std::string_view> CellTextView(int row, int column) const {
    (void)row;
    (void)column;
    return std::nullopt;
  }
};

// A grid held in memory: white background, no extended header, every
// header left-aligned, every cell in the default format, display order the
// column order, until a setter says otherwise. The column count is the
// larger of the number of titles and the longest row; missing titles and
// cells read as empty texts.
class MemoryGrid : public ExportGrid {
 public:
  MemoryGrid(std::vector<std::string> titles,
             std::vector<std::vector<std::string>> rows);

  int ColumnCount() const override;
  std::vector<int> DisplayOrder() const override;
  std::optional<std::string> HeaderText(int column) const override;
  int32_t HeaderAlignment(int column) const override;
  uint32_t BackgroundColour() const override;
  bool ExtendedHeaderColours(uint32_t* background,
                             uint32_t* text) const override;
  int RowCount() const override;
  std::string CellText(int row, int column) const override;
  CellFormat CellFormatAt(int row, int column) const override;
  bool NaturalDisplayOrder() const override { return !order_; }

  // Replaces the display order; it is handed to the writers as given.
  void SetDisplayOrder(std::vector<int> order);
  // false: behaves like a list without a header control.
  void SetHeaderReadable(bool readable);
  // Out-of-range columns are ignored.
  void SetHeaderAlignment(int column, int32_t alignment);
  void SetBackgroundColour(uint32_t colour);
  void SetExtendedHeader(uint32_t background, uint32_t text);
  void ClearExtendedHeader();
  // Out-of-range cells are ignored.
  void SetCellFormat(int row, int column, CellFormat format);

 private:
  std::vector<std::string> titles_;
  std::vector<std::vector<std::string>> rows_;
  int columns_ = 0;
  std::optional<std::vector<int>> order_;  // nullopt: natural order
  bool header_readable_ = true;
  std::vector<int32_t> header_alignment_;
  uint32_t background_ = kColourWhite;
  bool has_extended_header_ = false;
  uint32_t header_background_ = kColourWhite;
  uint32_t header_text_ = kColourBlack;
  // Row-major, allocated on the first SetCellFormat.
  std::vector<CellFormat> formats_;
};

// The columns to write, in display order: entries of the grid's display
// order that are in range, not repeated and not in `excluded` (list-order
// indexes; their order does not matter).
std::vector<int> ExportColumns(const ExportGrid& grid,
                               std::vector<int32_t> excluded);

// The same columns, held as a range less the excluded ones when the grid's
// order is natural, so that a grid of millions of columns needs no list of
// them.
class ExportColumnList {
 public:
  ExportColumnList(const ExportGrid& grid, std::vector<int32_t> excluded);

  // Calls visit(column) for each column to write, in order; visit returns
  // false to stop.
  template <typename Visit>
  void ForEach(const Visit& visit) const {
    if (!natural_) {
      for (int column : columns_) {
        if (!visit(column)) return;
      }
      return;
    }
    size_t skip = 0;
    for (int column = 0; column < count_; ++column) {
      if (skip < excluded_.size() && excluded_[skip] == column) {
        ++skip;
        continue;
      }
      if (!visit(column)) return;
    }
  }

  // Whether the columns come in increasing order.
  bool Ascending() const { return ascending_; }

 private:
  bool natural_ = false;
  bool ascending_ = true;
  int count_ = 0;
  std::vector<int32_t> excluded_;  // sorted, without repeats
  std::vector<int> columns_;       // when not natural
};

// The text a cell shows (CellDisplayText) without a copy when the grid
// offers its cell's view and the cell's format does not replace its text;
// otherwise the text is made in `scratch` and the view points there.
std::string_view CellDisplayView(const ExportGrid& grid, int row, int column, std::string& scratch);

// What a cell shows: a percentage cell its value as "%0.2f%%" (always with
// a decimal point, whatever the process locale), a drop-down cell with a
// selection the selected entry, any other cell its text.
std::string CellDisplayText(const ExportGrid& grid, int row, int column);

// Where a writer sends its text, piece by piece, so that a large export
// never needs the whole document in memory. A sink that fails (a full
// disk) ignores further pieces and reports it from ok().
class ExportSink {
 public:
  virtual ~ExportSink() = default;
  virtual void Write(std::string_view bytes) = 0;
  virtual bool ok() const { return true; }
};

// A sink that appends to a string owned by the caller.
class StringSink : public ExportSink {
 public:
  explicit StringSink(std::string* text) : text_(text) {}
  void Write(std::string_view bytes) override { text_->append(bytes); }

 private:
  std::string* text_;
};

// A sink that writes to a stream owned by the caller; ok() follows the
// stream's state.
class StreamSink : public ExportSink {
 public:
  explicit StreamSink(std::ostream* out) : out_(out) {}
  void Write(std::string_view bytes) override;
  bool ok() const override;

 private:
  std::ostream* out_;
};

// Writes what `produce` sends to its sink to `path`, whole or not at all,
// through the one atomic writer (platform/atomic_file.h: a link is followed
// and stays, an existing file keeps its permission bits, anything but a
// regular file is refused). The text goes to the file in pieces as it is
// produced; at most a small buffer of it is in memory at once. Returns
// false when the file could not be written, with the cause in `*reason`
// (may be null), and the file left as it was.
bool WriteFileReplacingWith(const std::string& path,
                            const std::function<void(ExportSink&)>& produce,
                            std::string* reason = nullptr);

// The same for bytes already in memory.
bool WriteFileReplacing(const std::string& path, std::string_view bytes,
                        std::string* reason = nullptr);

// Opening an exported file with the program the desktop associates with
// it, given to the export calls by the GUI (headless callers give none).
// Called on the exporting thread once the file is written; it should start
// the opening and return.
using OpenAfterExportHook = std::function<void(const std::string& path)>;

}  // namespace quarry

#endif  // QUARRY_ENGINE_EXPORT_GRID_H_
