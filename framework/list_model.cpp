#include "framework/list_model.h"

#include <QBrush>
#include <QFont>
#include <algorithm>

#include "framework/byte_text.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

Qt::Alignment ToQtAlignment(int alignment) {
  switch (alignment) {
    case kAlignRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case kAlignCenter:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

}  // namespace

CListModel::CellKind CListModel::Row::KindOf(size_t column) const {
  if (column >= cells.size()) return CellKind::kUnset;
  return kinds.empty() ? CellKind::kBytes : kinds[column];
}

void CListModel::Row::Put(size_t column, std::string value, CellKind kind) {
  if (kinds.empty() && (kind != CellKind::kBytes || column > cells.size())) {
    kinds.assign(cells.size(), CellKind::kBytes);
  }
  if (column >= cells.size()) {
    cells.resize(column + 1);
    if (!kinds.empty()) kinds.resize(column + 1, CellKind::kUnset);
  }
  cells[column] = std::move(value);
  if (!kinds.empty()) kinds[column] = kind;
}

void CListModel::Row::InsertUnset(size_t column) {
  if (column > cells.size()) return;
  if (kinds.empty()) kinds.assign(cells.size(), CellKind::kBytes);
  cells.insert(cells.begin() + static_cast<ptrdiff_t>(column), std::string());
  kinds.insert(kinds.begin() + static_cast<ptrdiff_t>(column), CellKind::kUnset);
}

void CListModel::Row::Erase(size_t column) {
  if (column >= cells.size()) return;
  cells.erase(cells.begin() + static_cast<ptrdiff_t>(column));
  if (!kinds.empty()) kinds.erase(kinds.begin() + static_cast<ptrdiff_t>(column));
}

CListModel::CListModel(QObject* parent) : QAbstractTableModel(parent) {}
CListModel::~CListModel() = default;

int CListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Rows();
}

int CListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Columns();
}

const CListModel::CellExtra* CListModel::Extra(int row, int column) const {
  if (!InRange(row, column)) return nullptr;
  const auto& extras = rows_[row].extras;
  if (!extras || column >= static_cast<int>(extras->size())) return nullptr;
  return &(*extras)[column];
}

CListModel::CellExtra* CListModel::MutableExtra(int row, int column) {
  if (!InRange(row, column)) return nullptr;
  auto& extras = rows_[row].extras;
  if (!extras) extras = std::make_unique<std::vector<CellExtra>>();
  if (static_cast<int>(extras->size()) < Columns()) extras->resize(Columns());
  return &(*extras)[column];
}

QVariant CListModel::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  const int column = index.column();
  if (!index.isValid() || !InRange(row, column)) return {};
  const CellExtra* extra = Extra(row, column);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return DisplayText(row, column);
    case Qt::TextAlignmentRole:
      if (extra != nullptr && extra->format.is_percent) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
      }
      return QVariant::fromValue(ToQtAlignment(columns_[column].alignment));
    case Qt::FontRole: {
      if (extra == nullptr) return {};
      const bool link = extra->format.is_link && !extra->format.link.empty();
      if (!extra->format.bold && !link) return {};
      QFont font;
      font.setBold(extra->format.bold);
      font.setUnderline(link);
      return font;
    }
    case Qt::BackgroundRole:
      if (extra == nullptr || extra->format.background == kColourWhite) return {};
      return QBrush(ToQColor(extra->format.background));
    case Qt::ForegroundRole:
      if (extra == nullptr) return {};
      if (extra->format.text_colour != kColourBlack) {
        return QBrush(ToQColor(extra->format.text_colour));
      }
      if (extra->format.is_link && !extra->format.link.empty()) {
        return QBrush(QColor(0, 0, 0xCC));
      }
      return {};
    case Qt::ToolTipRole:
      if (!rows_[row].tool_tip.isEmpty()) return rows_[row].tool_tip;
      if (tool_tip_source_) {
        QString tip = tool_tip_source_(row);
        if (!tip.isEmpty()) return tip;
      }
      return {};
    case kPercentRole:
      if (extra == nullptr || !extra->format.is_percent) return {};
      return extra->format.percent;
    case kDropDownRole:
      return extra != nullptr && extra->format.is_dropdown;
    case kLinkRole:
      if (extra == nullptr || !extra->format.is_link || extra->format.link.empty()) {
        return {};
      }
      return TextFromBytes(extra->format.link);
    default:
      return {};
  }
}

QVariant CListModel::headerData(int section, Qt::Orientation orientation,
                                int role) const {
  if (orientation != Qt::Horizontal) {
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
      return section + 1;
    }
    return {};
  }
  if (section < 0 || section >= Columns()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return columns_[section].title;
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(ToQtAlignment(columns_[section].alignment));
    default:
      return {};
  }
}

Qt::ItemFlags CListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int CListModel::InsertColumn(int index, const QString& title, int alignment) {
  index = std::clamp(index, 0, Columns());
  if (alignment != kAlignRight && alignment != kAlignCenter) alignment = kAlignLeft;
  beginInsertColumns(QModelIndex(), index, index);
  // A row given before the first column keeps its first text there: only
  // cells of existing columns move right.
  const int old_columns = Columns();
  columns_.insert(columns_.begin() + index, Column{title, alignment, std::nullopt});
  for (Row& row : rows_) {
    if (index < old_columns && index < static_cast<int>(row.cells.size())) {
      row.InsertUnset(static_cast<size_t>(index));
    }
    if (row.extras && index < static_cast<int>(row.extras->size())) {
      row.extras->insert(row.extras->begin() + index, CellExtra());
    }
  }
  endInsertColumns();
  return index;
}

bool CListModel::DeleteColumn(int index) {
  if (index < 0 || index >= Columns()) return false;
  beginRemoveColumns(QModelIndex(), index, index);
  columns_.erase(columns_.begin() + index);
  for (Row& row : rows_) {
    row.Erase(static_cast<size_t>(index));
    if (row.extras && index < static_cast<int>(row.extras->size())) {
      row.extras->erase(row.extras->begin() + index);
    }
  }
  endRemoveColumns();
  return true;
}

void CListModel::DeleteAllColumns() {
  beginResetModel();
  columns_.clear();
  for (Row& row : rows_) {
    row.cells.clear();
    row.kinds.clear();
    row.extras.reset();
  }
  endResetModel();
}

QString CListModel::ColumnTitle(int column) const {
  if (column < 0 || column >= Columns()) return {};
  return columns_[column].title;
}

bool CListModel::SetColumnTitle(int column, const QString& title) {
  if (column < 0 || column >= Columns()) return false;
  columns_[column].title = title;
  columns_[column].title_bytes.reset();
  emit headerDataChanged(Qt::Horizontal, column, column);
  return true;
}

bool CListModel::SetColumnTitleBytes(int column, std::string bytes) {
  if (column < 0 || column >= Columns()) return false;
  columns_[column].title = TextFromBytes(bytes);
  columns_[column].title_bytes = std::move(bytes);
  emit headerDataChanged(Qt::Horizontal, column, column);
  return true;
}

std::optional<std::string> CListModel::ColumnTitleBytes(int column) const {
  if (column < 0 || column >= Columns()) return std::nullopt;
  return columns_[column].title_bytes;
}

int CListModel::ColumnAlignment(int column) const {
  if (column < 0 || column >= Columns()) return kAlignLeft;
  return columns_[column].alignment;
}

void CListModel::SetTableBytes(int columns, std::vector<std::string> titles,
                               std::vector<std::vector<std::string>> rows) {
  beginResetModel();
  columns_.assign(static_cast<size_t>(std::max(columns, 0)), Column());
  for (size_t k = 0; k < titles.size() && k < columns_.size(); ++k) {
    columns_[k].title = TextFromBytes(titles[k]);
    columns_[k].title_bytes = std::move(titles[k]);
  }
  rows_.clear();
  rows_.resize(rows.size());
  for (size_t r = 0; r < rows.size(); ++r) rows_[r].cells = std::move(rows[r]);
  endResetModel();
}

int CListModel::InsertRow(int row, const QString& text) {
  return InsertRowCell(row, BytesFromText(text), CellKind::kText);
}

int CListModel::InsertRowBytes(int row, std::string bytes) {
  return InsertRowCell(row, std::move(bytes), CellKind::kBytes);
}

void CListModel::AppendRowsBytes(std::vector<std::vector<std::string>> rows) {
  if (rows.empty()) return;
  const int first = Rows();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  rows_.reserve(rows_.size() + rows.size());
  for (std::vector<std::string>& cells : rows) {
    Row fresh;
    fresh.cells = std::move(cells);  // no kinds: every cell holds bytes
    rows_.push_back(std::move(fresh));
  }
  endInsertRows();
}

int CListModel::InsertRowCell(int row, std::string first, CellKind kind) {
  row = std::clamp(row, 0, Rows());
  beginInsertRows(QModelIndex(), row, row);
  Row fresh;
  // A row keeps its first text even while the list has no columns yet, as
  // an item does; it shows once a column exists.
  fresh.Put(0, std::move(first), kind);
  rows_.insert(rows_.begin() + row, std::move(fresh));
  endInsertRows();
  return row;
}

bool CListModel::SetText(int row, int column, const QString& text) {
  if (!InRange(row, column)) return false;
  rows_[row].Put(static_cast<size_t>(column), BytesFromText(text), CellKind::kText);
  CellChanged(row, column);
  return true;
}

bool CListModel::SetBytes(int row, int column, std::string bytes) {
  if (!InRange(row, column)) return false;
  rows_[row].Put(static_cast<size_t>(column), std::move(bytes), CellKind::kBytes);
  CellChanged(row, column);
  return true;
}

QString CListModel::Text(int row, int column) const {
  if (!InRange(row, column)) return {};
  const Row& cells = rows_[row];
  if (cells.KindOf(static_cast<size_t>(column)) == CellKind::kUnset) return {};
  return TextFromBytes(cells.cells[column]);
}

std::optional<std::string> CListModel::Bytes(int row, int column) const {
  if (!InRange(row, column)) return std::nullopt;
  const Row& cells = rows_[row];
  if (cells.KindOf(static_cast<size_t>(column)) != CellKind::kBytes) return std::nullopt;
  return cells.cells[column];
}

bool CListModel::DeleteRow(int row) {
  if (row < 0 || row >= Rows()) return false;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

void CListModel::DeleteAllRows() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

bool CListModel::SetRowToolTip(int row, const QString& text) {
  if (row < 0 || row >= Rows()) return false;
  rows_[row].tool_tip = text;
  return true;
}

void CListModel::SetToolTipSource(std::function<QString(int row)> source) {
  tool_tip_source_ = std::move(source);
}

bool CListModel::SetFormat(int row, int column, const CellFormat& format) {
  CellExtra* extra = MutableExtra(row, column);
  if (extra == nullptr) return false;
  extra->format = format;
  CellChanged(row, column);
  return true;
}

CellFormat CListModel::Format(int row, int column) const {
  const CellExtra* extra = Extra(row, column);
  return extra != nullptr ? extra->format : CellFormat();
}

bool CListModel::SetDropDownEntries(int row, int column,
                                    const QStringList& entries) {
  CellExtra* extra = MutableExtra(row, column);
  if (extra == nullptr) return false;
  extra->entries = entries;
  CellChanged(row, column);
  return true;
}

QStringList CListModel::DropDownEntries(int row, int column) const {
  const CellExtra* extra = Extra(row, column);
  return extra != nullptr ? extra->entries : QStringList();
}

void CListModel::ClearAllFormats() {
  for (Row& row : rows_) row.extras.reset();
  if (Rows() > 0 && Columns() > 0) {
    emit dataChanged(index(0, 0), index(Rows() - 1, Columns() - 1));
  }
}

QString CListModel::DisplayText(int row, int column) const {
  const CellExtra* extra = Extra(row, column);
  if (extra != nullptr && extra->format.is_percent) {
    // The same text the export writes, whatever the locale.
    return QString::number(extra->format.percent, 'f', 2) + QLatin1Char('%');
  }
  if (extra != nullptr && extra->format.is_dropdown &&
      extra->format.has_selection) {
    return TextFromBytes(extra->format.selection);
  }
  return Text(row, column);
}

void CListModel::CellChanged(int row, int column) {
  const QModelIndex at = index(row, column);
  emit dataChanged(at, at);
}

}  // namespace quarry
