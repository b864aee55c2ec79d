// The rows, columns and cell formats behind CListCtrlExt, as a Qt table
// model. Kept apart from the widget so the storage stays plain: one vector
// of rows, each with its cell texts and, only when a cell of it has one, its
// formats. Views read it through the usual item roles, screen readers
// through DisplayRole / AccessibleTextRole and the header data.
//
// A cell or column title set from bytes (page text) keeps those bytes beside
// the text it shows, so they can be written back exactly; one set from a
// QString has none.

#ifndef QUARRY_FRAMEWORK_LIST_MODEL_H_
#define QUARRY_FRAMEWORK_LIST_MODEL_H_

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/export_grid.h"

namespace quarry {

// Custom roles the list's delegate paints from.
inline constexpr int kPercentRole = Qt::UserRole + 1;   // double or invalid
inline constexpr int kDropDownRole = Qt::UserRole + 2;  // bool
inline constexpr int kLinkRole = Qt::UserRole + 3;      // QString or invalid

class CListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CListModel(QObject* parent = nullptr);
  ~CListModel() override;

  // QAbstractTableModel.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The operations CListCtrlExt offers; same contracts.
  int InsertColumn(int index, const QString& title, int alignment);
  bool DeleteColumn(int index);
  void DeleteAllColumns();
  QString ColumnTitle(int column) const;
  bool SetColumnTitle(int column, const QString& title);
  // Shows TextFromBytes(bytes) as the title and keeps `bytes`.
  bool SetColumnTitleBytes(int column, std::string bytes);
  // The bytes the title was set from; nullopt when it was set as a QString
  // or the column is out of range.
  std::optional<std::string> ColumnTitleBytes(int column) const;
  int ColumnAlignment(int column) const;

  // Replaces every column and row in one reset, so that a table of any
  // width or length costs one pass: `columns` left-aligned columns titled
  // by `titles` (kept as bytes; missing titles are empty, an empty vector
  // leaves the columns untitled), then `rows`, each cell kept as bytes and
  // decoded only when shown. Formats are cleared.
  void SetTableBytes(int columns, std::vector<std::string> titles,
                     std::vector<std::vector<std::string>> rows);

  // Appends `rows` in one insertion, every cell kept as SetBytes keeps it:
  // a list of many rows costs one pass instead of a change per row.
  void AppendRowsBytes(std::vector<std::vector<std::string>> rows);

  int InsertRow(int row, const QString& text);
  // As InsertRow, the first cell set as SetBytes sets it (kept also while
  // the list has no columns).
  int InsertRowBytes(int row, std::string bytes);
  bool SetText(int row, int column, const QString& text);
  QString Text(int row, int column) const;
  // Shows TextFromBytes(bytes) in the cell and keeps `bytes`.
  bool SetBytes(int row, int column, std::string bytes);
  // The bytes the cell was set from; nullopt when it was set as a QString,
  // never set, or out of range.
  std::optional<std::string> Bytes(int row, int column) const;
  bool DeleteRow(int row);
  void DeleteAllRows();
  int Rows() const { return static_cast<int>(rows_.size()); }
  int Columns() const { return static_cast<int>(columns_.size()); }

  // The tool tip shown over every cell of `row` ("" for none).
  bool SetRowToolTip(int row, const QString& text);
  // Asked for the tool tip of a row that has none of its own, when one is
  // about to show (an empty function: none). A list of many rows then
  // keeps no text per row that is seldom read.
  void SetToolTipSource(std::function<QString(int row)> source);

  bool SetFormat(int row, int column, const CellFormat& format);
  CellFormat Format(int row, int column) const;
  bool SetDropDownEntries(int row, int column, const QStringList& entries);
  QStringList DropDownEntries(int row, int column) const;
  void ClearAllFormats();

  // What a cell shows: its percentage, its drop-down selection or its text.
  QString DisplayText(int row, int column) const;

  bool InRange(int row, int column) const {
    return row >= 0 && row < Rows() && column >= 0 && column < Columns();
  }

 private:
  struct Column {
    QString title;
    int alignment = kAlignLeft;
    std::optional<std::string> title_bytes;
  };
  struct CellExtra {
    CellFormat format;
    QStringList entries;  // drop-down entries
  };
  // How a cell got its value. Every value is kept as bytes: page text as
  // given, a QString as UTF-8 (TextFromBytes gives it back unchanged).
  enum class CellKind : uint8_t { kUnset, kText, kBytes };
  struct Row {
    // May be shorter than the column count. Decoded only when shown, so a
    // large table costs nothing until it is looked at.
    std::vector<std::string> cells;
    // One per cell; empty means every cell in `cells` holds bytes (a table
    // set whole), so such rows move in without touching their cells.
    std::vector<CellKind> kinds;
    // One per column once any cell of the row has a format.
    std::unique_ptr<std::vector<CellExtra>> extras;
    QString tool_tip;

    CellKind KindOf(size_t column) const;
    // Makes room for `column` (new cells unset) and sets its kind.
    void Put(size_t column, std::string value, CellKind kind);
    void InsertUnset(size_t column);
    void Erase(size_t column);
  };

  const CellExtra* Extra(int row, int column) const;
  CellExtra* MutableExtra(int row, int column);
  void CellChanged(int row, int column);
  int InsertRowCell(int row, std::string first, CellKind kind);

  std::vector<Column> columns_;
  std::vector<Row> rows_;
  std::function<QString(int row)> tool_tip_source_;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_LIST_MODEL_H_
