// CListCtrlExt: the report-style list both programs show tables and lists
// in. One row per item, one cell per column, a header, full-row single
// selection, a text drawn when the list is empty, and per-cell formats
// (bold, colours, links, percentage and drop-down cells) that the export
// writers read back through ExportGrid, so a file holds what the grid shows.
//
// Texts are QStrings. Page text goes in through the *Bytes calls: the list
// shows it through TextFromBytes and keeps the bytes, which the export hands
// to the writers unchanged. Text set as a QString (typed by the user) goes
// out as UTF-8.

#ifndef QUARRY_FRAMEWORK_LIST_CTRL_EXT_H_
#define QUARRY_FRAMEWORK_LIST_CTRL_EXT_H_

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/export_grid.h"
#include "framework/colour/colour_ref.h"

namespace quarry {

class CListModel;

// Where a point lies in the list. row and column are -1 when the point is
// on no item; over the header, row is -1, column the header item under the
// point (or -1 past the last one) and in_header true.
struct ListHitTest {
  int row = -1;
  int column = -1;
  bool in_header = false;

  bool operator==(const ListHitTest&) const = default;
};

class CListCtrlExt : public QTableView, public ExportGrid {
  Q_OBJECT

 public:
  // An empty list with no columns, white background, no extended header.
  // `parent` owns the list when given.
  explicit CListCtrlExt(QWidget* parent = nullptr);
  ~CListCtrlExt() override;

  // --- Columns. Indexes are the list's own order (as inserted), not the
  // order the user dragged them into; see GetColumnOrderArray.

  // Inserts a column before `index` (clamped to 0..column count) with a
  // width in pixels (below 1: a default width) and kAlignLeft, kAlignRight
  // or kAlignCenter. Existing cells move right with their columns. Returns
  // the new column's index.
  int InsertColumn(int index, const QString& title, int width = -1,
                   int alignment = kAlignLeft);
  // Removes the column and its cells; false when out of range.
  bool DeleteColumn(int index);
  // Removes every column and every cell text and format; rows stay (empty).
  void DeleteAllColumns();
  int GetColumnCount() const;
  QString GetColumnTitle(int column) const;  // empty when out of range
  bool SetColumnTitle(int column, const QString& title);
  // As InsertColumn and SetColumnTitle, for a title of page bytes: shown
  // through TextFromBytes, exported as `title` exactly.
  int InsertColumnBytes(int index, std::string title, int width = -1,
                        int alignment = kAlignLeft);
  bool SetColumnTitleBytes(int column, std::string title);
  int GetColumnAlignment(int column) const;  // kAlignLeft when out of range
  int GetColumnWidth(int column) const;      // 0 when out of range
  bool SetColumnWidth(int column, int width);

  // The columns as the user sees them, left to right.
  std::vector<int> GetColumnOrderArray() const;
  // Moves the columns into `order`, which must name each column exactly
  // once; false (nothing moved) otherwise.
  bool SetColumnOrderArray(const std::vector<int>& order);

  // --- Rows.

  // Inserts a row before `row` (clamped to 0..row count) whose first cell
  // holds `text`. Returns the new row's index. Appending is amortised
  // constant time, so lists of many thousand rows fill quickly.
  // A copy of everything the export writers read of this list (texts,
  // formats, column order and colours), so an export can run on another
  // thread while the list goes on changing. Costs one pass over the cells.
  std::unique_ptr<MemoryGrid> ExportSnapshot() const;

  // Replaces all columns and rows at once (see CListModel::SetTableBytes):
  // `columns` columns of `width` pixels each, titled by `titles` (empty:
  // untitled), filled with `rows`. Cheap for any width: no column is
  // measured or inserted one by one.
  void SetTableBytes(int columns, std::vector<std::string> titles,
                     std::vector<std::vector<std::string>> rows, int width);

  // The tool tip over every cell of `row` ("" for none).
  bool SetItemToolTip(int row, const QString& text);
  // Asked for the tool tip of a row without one of its own, when it is
  // about to show (CListModel::SetToolTipSource).
  void SetItemToolTipSource(std::function<QString(int row)> source);

  int InsertItem(int row, const QString& text);
  // Cells outside the rows or columns are refused (false).
  bool SetItemText(int row, int column, const QString& text);
  // The cell's own text (not what a percentage or drop-down cell shows);
  // empty when out of range.
  QString GetItemText(int row, int column) const;
  // As InsertItem and SetItemText, for page bytes: the cell shows
  // TextFromBytes(bytes) and exports `bytes` exactly. A later SetItemText
  // replaces both.
  int InsertItemBytes(int row, std::string bytes);
  // Appends rows of page bytes in one insertion (CListModel::AppendRowsBytes).
  void AppendItemsBytes(std::vector<std::vector<std::string>> rows);
  bool SetItemBytes(int row, int column, std::string bytes);
  // The bytes a cell was set from; nullopt for a cell set as a QString, an
  // empty cell or one out of range.
  std::optional<std::string> GetItemBytes(int row, int column) const;
  bool DeleteItem(int row);
  void DeleteAllItems();
  int GetItemCount() const;

  // The selected row, or -1. SetSelectedRow(-1) clears the selection;
  // neither emits clicked().
  int GetSelectedRow() const;
  void SetSelectedRow(int row);

  // --- The text drawn centred when the list has no rows; "\n" breaks
  // lines. It is also the list's accessible description while empty.
  void SetEmptyText(const QString& text);
  QString GetEmptyText() const { return empty_text_; }
  // True when the list would draw its empty text now.
  bool ShowsEmptyText() const;

  // --- Hit testing. `pos` is in this widget's coordinates (header
  // included); HitTestGlobal takes a screen point.
  ListHitTest SubItemHitTest(const QPoint& pos) const;
  ListHitTest HitTestGlobal(const QPoint& global_pos) const;

  // --- Per-cell formats. Setters on cells outside the rows or columns
  // return false and change nothing. Formats move with their rows when
  // rows are inserted or deleted, and go with their cells.
  bool SetCellFormat(int row, int column, const CellFormat& format);
  CellFormat GetCellFormat(int row, int column) const;  // default when none
  bool SetCellBold(int row, int column, bool bold);
  bool SetCellBackground(int row, int column, COLORREF colour);
  bool SetCellTextColour(int row, int column, COLORREF colour);
  // An empty address makes the cell an ordinary one again.
  bool SetCellLink(int row, int column, const QString& address);
  // The cell shows `value` as "%0.2f%%", centred, over a bar.
  bool SetCellPercent(int row, int column, double value);
  // The cell is a drop-down list of `entries`; with `selection` in range it
  // shows that entry, otherwise its own text.
  bool SetCellDropDown(int row, int column, const QStringList& entries,
                       int selection);
  QStringList GetCellDropDownEntries(int row, int column) const;
  // Every cell back to the default format (texts stay).
  void ClearAllFormats();

  // --- Colours. The list's background (white by default) and, once set,
  // the colours of an extended header, which the export also uses.
  void SetBkColour(COLORREF colour);
  COLORREF GetBkColour() const { return background_; }
  void SetExtendedHeaderColours(COLORREF background, COLORREF text);
  void ClearExtendedHeader();

  // --- ExportGrid: what the writers read. Call on the user-interface
  // thread; the list must not change during one export. Texts are the
  // bytes a cell or title was set from, else its text as UTF-8.
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

 signals:
  // A left click released on the list body: the row and column under the
  // point, -1 for none (a click on empty space). Keyboard moves of the
  // selection never emit it.
  void clicked(int row, int column);
  void doubleClicked(int row, int column);
  // A key pressed while the list has the focus (Qt::Key), before the list
  // itself moves the selection.
  void keyPressed(int key);
  // The user asked for a context menu, by the right button (global_pos is
  // the point) or from the keyboard (global_pos is the list's top left
  // corner plus 5 pixels each way).
  void contextMenuRequested(const QPoint& global_pos, bool from_keyboard);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void UpdateEmptyDescription();
  void ApplyBackground();

  CListModel* model_;  // owned through QObject parenting
  QString empty_text_;
  COLORREF background_ = 0xFFFFFF;
  bool has_extended_header_ = false;
  COLORREF header_background_ = 0xFFFFFF;
  COLORREF header_text_ = 0;
  bool press_inside_ = false;  // a left press on the body started a click
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_LIST_CTRL_EXT_H_
