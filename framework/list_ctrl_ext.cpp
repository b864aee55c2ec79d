#include "framework/list_ctrl_ext.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "framework/byte_text.h"
#include "framework/list_model.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

constexpr int kDefaultColumnWidth = 100;
// Where a context menu asked for from the keyboard opens, from the list's
// top left corner.
constexpr int kKeyboardMenuOffset = 5;


// Paints percentage cells over a bar and drop-down cells with an arrow;
// every other cell as the style does.
class CellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QVariant percent = index.data(kPercentRole);
    if (percent.isValid()) {
      const QVariant background = index.data(Qt::BackgroundRole);
      if (background.canConvert<QBrush>()) {
        painter->fillRect(option.rect, background.value<QBrush>());
      }
      const double value = std::clamp(percent.toDouble(), 0.0, 100.0);
      QRect bar = option.rect.adjusted(2, 2, -2, -2);
      bar.setWidth(static_cast<int>(bar.width() * value / 100.0));
      painter->fillRect(bar, option.palette.color(QPalette::Highlight).lighter(160));
    }
    QStyledItemDelegate::paint(painter, option, index);
    if (index.data(kDropDownRole).toBool()) {
      // A small down arrow at the right edge says the cell offers a choice.
      const QRect r = option.rect;
      const int size = std::min(r.height() / 3, 6);
      const QPoint tip(r.right() - 4 - size, r.center().y() + size / 2);
      QPolygon arrow;
      arrow << QPoint(tip.x() - size, tip.y() - size)
            << QPoint(tip.x() + size, tip.y() - size) << tip;
      painter->save();
      painter->setRenderHint(QPainter::Antialiasing);
      painter->setPen(Qt::NoPen);
      painter->setBrush(option.palette.color(QPalette::Text));
      painter->drawPolygon(arrow);
      painter->restore();
    }
  }
};

}  // namespace

CListCtrlExt::CListCtrlExt(QWidget* parent)
    : QTableView(parent), model_(new CListModel(this)) {
  setModel(model_);
  setItemDelegate(new CellDelegate(this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Rows all share one height, so the view never measures thousands of
  // them one by one.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionsMovable(true);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  ApplyBackground();
  UpdateEmptyDescription();
  connect(model_, &QAbstractItemModel::rowsInserted, this,
          [this] { UpdateEmptyDescription(); });
  connect(model_, &QAbstractItemModel::rowsRemoved, this,
          [this] { UpdateEmptyDescription(); });
  connect(model_, &QAbstractItemModel::modelReset, this,
          [this] { UpdateEmptyDescription(); });
}

CListCtrlExt::~CListCtrlExt() = default;

// --- Columns.

int CListCtrlExt::InsertColumn(int index, const QString& title, int width,
                               int alignment) {
  const int at = model_->InsertColumn(index, title, alignment);
  horizontalHeader()->resizeSection(at, width > 0 ? width : kDefaultColumnWidth);
  return at;
}

bool CListCtrlExt::DeleteColumn(int index) { return model_->DeleteColumn(index); }

void CListCtrlExt::DeleteAllColumns() { model_->DeleteAllColumns(); }

int CListCtrlExt::GetColumnCount() const { return model_->Columns(); }

QString CListCtrlExt::GetColumnTitle(int column) const {
  return model_->ColumnTitle(column);
}

bool CListCtrlExt::SetColumnTitle(int column, const QString& title) {
  return model_->SetColumnTitle(column, title);
}

int CListCtrlExt::InsertColumnBytes(int index, std::string title, int width,
                                    int alignment) {
  const int at = InsertColumn(index, QString(), width, alignment);
  model_->SetColumnTitleBytes(at, std::move(title));
  return at;
}

bool CListCtrlExt::SetColumnTitleBytes(int column, std::string title) {
  return model_->SetColumnTitleBytes(column, std::move(title));
}

int CListCtrlExt::GetColumnAlignment(int column) const {
  return model_->ColumnAlignment(column);
}

int CListCtrlExt::GetColumnWidth(int column) const {
  if (column < 0 || column >= GetColumnCount()) return 0;
  return horizontalHeader()->sectionSize(column);
}

bool CListCtrlExt::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= GetColumnCount() || width < 0) return false;
  horizontalHeader()->resizeSection(column, width);
  return true;
}

std::vector<int> CListCtrlExt::GetColumnOrderArray() const {
  const QHeaderView* header = horizontalHeader();
  std::vector<int> order;
  order.reserve(static_cast<size_t>(GetColumnCount()));
  for (int visual = 0; visual < GetColumnCount(); ++visual) {
    order.push_back(header->logicalIndex(visual));
  }
  return order;
}

bool CListCtrlExt::SetColumnOrderArray(const std::vector<int>& order) {
  const int count = GetColumnCount();
  if (static_cast<int>(order.size()) != count) return false;
  std::vector<bool> seen(static_cast<size_t>(count), false);
  for (int column : order) {
    if (column < 0 || column >= count || seen[column]) return false;
    seen[column] = true;
  }
  QHeaderView* header = horizontalHeader();
  for (int visual = 0; visual < count; ++visual) {
    header->moveSection(header->visualIndex(order[visual]), visual);
  }
  return true;
}

// --- Rows.

int CListCtrlExt::InsertItem(int row, const QString& text) {
  return model_->InsertRow(row, text);
}

bool CListCtrlExt::SetItemText(int row, int column, const QString& text) {
  return model_->SetText(row, column, text);
}

QString CListCtrlExt::GetItemText(int row, int column) const {
  return model_->Text(row, column);
}

int CListCtrlExt::InsertItemBytes(int row, std::string bytes) {
  return model_->InsertRowBytes(row, std::move(bytes));
}

bool CListCtrlExt::SetItemBytes(int row, int column, std::string bytes) {
  return model_->SetBytes(row, column, std::move(bytes));
}

std::optional<std::string> CListCtrlExt::GetItemBytes(int row, int column) const {
  return model_->Bytes(row, column);
}

bool CListCtrlExt::DeleteItem(int row) { return model_->DeleteRow(row); }

void CListCtrlExt::DeleteAllItems() { model_->DeleteAllRows(); }

bool CListCtrlExt::SetItemToolTip(int row, const QString& text) {
  return model_->SetRowToolTip(row, text);
}

void CListCtrlExt::SetItemToolTipSource(std::function<QString(int row)> source) {
  model_->SetToolTipSource(std::move(source));
}

void CListCtrlExt::AppendItemsBytes(std::vector<std::vector<std::string>> rows) {
  model_->AppendRowsBytes(std::move(rows));
}

void CListCtrlExt::SetTableBytes(int columns, std::vector<std::string> titles,
                                 std::vector<std::vector<std::string>> rows, int width) {
  QHeaderView* header = horizontalHeader();
  // Sections take the default size when the model resets: one setting for
  // every column instead of one resize each.
  header->setDefaultSectionSize(width > 0 ? width : kDefaultColumnWidth);
  model_->SetTableBytes(columns, std::move(titles), std::move(rows));
}

int CListCtrlExt::GetItemCount() const { return model_->Rows(); }

int CListCtrlExt::GetSelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void CListCtrlExt::SetSelectedRow(int row) {
  if (row < 0 || row >= GetItemCount() || GetColumnCount() == 0) {
    clearSelection();
    return;
  }
  selectRow(row);
}

// --- Empty text.

void CListCtrlExt::SetEmptyText(const QString& text) {
  empty_text_ = text;
  UpdateEmptyDescription();
  viewport()->update();
}

bool CListCtrlExt::ShowsEmptyText() const {
  return GetItemCount() == 0 && !empty_text_.isEmpty();
}

void CListCtrlExt::UpdateEmptyDescription() {
  // A screen reader cannot see the drawn text; say it instead.
  QString description = ShowsEmptyText() ? empty_text_ : QString();
  description.replace(QLatin1Char('\n'), QLatin1Char(' '));
  setAccessibleDescription(description);
}

void CListCtrlExt::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (!ShowsEmptyText()) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  // Centred across the list, a line below the header, as list controls
  // show their empty texts.
  const int line = fontMetrics().height();
  const QRect area = viewport()->rect().adjusted(line / 2, line, -line / 2, 0);
  painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                   empty_text_);
}

// --- Hit testing.

ListHitTest CListCtrlExt::SubItemHitTest(const QPoint& pos) const {
  ListHitTest hit;
  const QHeaderView* header = horizontalHeader();
  if (!header->isHidden() && header->geometry().contains(pos)) {
    hit.in_header = true;
    const int x = header->mapFrom(this, pos).x();
    hit.column = header->logicalIndexAt(x);
    return hit;
  }
  if (!viewport()->geometry().contains(pos)) return hit;
  const QModelIndex index = indexAt(viewport()->mapFrom(this, pos));
  if (index.isValid()) {
    hit.row = index.row();
    hit.column = index.column();
  }
  return hit;
}

ListHitTest CListCtrlExt::HitTestGlobal(const QPoint& global_pos) const {
  return SubItemHitTest(mapFromGlobal(global_pos));
}

// --- Notifications.

void CListCtrlExt::mousePressEvent(QMouseEvent* event) {
  press_inside_ = event->button() == Qt::LeftButton;
  QTableView::mousePressEvent(event);
}

void CListCtrlExt::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !press_inside_) return;
  press_inside_ = false;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid()) {
    emit clicked(index.row(), index.column());
  } else {
    emit clicked(-1, -1);
  }
}

void CListCtrlExt::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  emit doubleClicked(index.isValid() ? index.row() : -1,
                     index.isValid() ? index.column() : -1);
}

void CListCtrlExt::keyPressEvent(QKeyEvent* event) {
  emit keyPressed(event->key());
  QTableView::keyPressEvent(event);
}

void CListCtrlExt::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) {
    emit contextMenuRequested(
        mapToGlobal(QPoint(kKeyboardMenuOffset, kKeyboardMenuOffset)), true);
  } else {
    emit contextMenuRequested(event->globalPos(), false);
  }
  event->accept();
}

// --- Cell formats.

bool CListCtrlExt::SetCellFormat(int row, int column, const CellFormat& format) {
  return model_->SetFormat(row, column, format);
}

CellFormat CListCtrlExt::GetCellFormat(int row, int column) const {
  return model_->Format(row, column);
}

bool CListCtrlExt::SetCellBold(int row, int column, bool bold) {
  if (!model_->InRange(row, column)) return false;
  CellFormat format = model_->Format(row, column);
  format.bold = bold;
  return model_->SetFormat(row, column, format);
}

bool CListCtrlExt::SetCellBackground(int row, int column, COLORREF colour) {
  if (!model_->InRange(row, column)) return false;
  CellFormat format = model_->Format(row, column);
  format.background = colour & 0xFFFFFF;
  return model_->SetFormat(row, column, format);
}

bool CListCtrlExt::SetCellTextColour(int row, int column, COLORREF colour) {
  if (!model_->InRange(row, column)) return false;
  CellFormat format = model_->Format(row, column);
  format.text_colour = colour & 0xFFFFFF;
  return model_->SetFormat(row, column, format);
}

bool CListCtrlExt::SetCellLink(int row, int column, const QString& address) {
  if (!model_->InRange(row, column)) return false;
  CellFormat format = model_->Format(row, column);
  format.is_link = !address.isEmpty();
  format.link = BytesFromText(address);
  return model_->SetFormat(row, column, format);
}

bool CListCtrlExt::SetCellPercent(int row, int column, double value) {
  if (!model_->InRange(row, column)) return false;
  CellFormat format = model_->Format(row, column);
  format.is_percent = true;
  format.percent = value;
  return model_->SetFormat(row, column, format);
}

bool CListCtrlExt::SetCellDropDown(int row, int column,
                                   const QStringList& entries, int selection) {
  if (!model_->InRange(row, column)) return false;
  CellFormat format = model_->Format(row, column);
  format.is_dropdown = true;
  format.has_selection = selection >= 0 && selection < entries.size();
  format.selection = format.has_selection ? BytesFromText(entries[selection]) : std::string();
  model_->SetDropDownEntries(row, column, entries);
  return model_->SetFormat(row, column, format);
}

QStringList CListCtrlExt::GetCellDropDownEntries(int row, int column) const {
  return model_->DropDownEntries(row, column);
}

void CListCtrlExt::ClearAllFormats() { model_->ClearAllFormats(); }

// --- Colours.

void CListCtrlExt::SetBkColour(COLORREF colour) {
  background_ = colour & 0xFFFFFF;
  ApplyBackground();
}

void CListCtrlExt::ApplyBackground() {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, ToQColor(background_));
  setPalette(pal);
}

void CListCtrlExt::SetExtendedHeaderColours(COLORREF background, COLORREF text) {
  has_extended_header_ = true;
  header_background_ = background & 0xFFFFFF;
  header_text_ = text & 0xFFFFFF;
  QHeaderView* header = horizontalHeader();
  QPalette pal = header->palette();
  pal.setColor(QPalette::Button, ToQColor(header_background_));
  pal.setColor(QPalette::ButtonText, ToQColor(header_text_));
  pal.setColor(QPalette::Window, ToQColor(header_background_));
  pal.setColor(QPalette::WindowText, ToQColor(header_text_));
  header->setPalette(pal);
}

void CListCtrlExt::ClearExtendedHeader() {
  has_extended_header_ = false;
  horizontalHeader()->setPalette(QPalette());
}

// --- ExportGrid.

int CListCtrlExt::ColumnCount() const { return GetColumnCount(); }

std::vector<int> CListCtrlExt::DisplayOrder() const { return GetColumnOrderArray(); }

std::optional<std::string> CListCtrlExt::HeaderText(int column) const {
  if (column < 0 || column >= GetColumnCount()) return std::nullopt;
  if (auto bytes = model_->ColumnTitleBytes(column)) return bytes;
  return BytesFromText(GetColumnTitle(column));
}

int32_t CListCtrlExt::HeaderAlignment(int column) const {
  return GetColumnAlignment(column);
}

uint32_t CListCtrlExt::BackgroundColour() const { return background_; }

bool CListCtrlExt::ExtendedHeaderColours(uint32_t* background,
                                         uint32_t* text) const {
  if (!has_extended_header_) return false;
  if (background != nullptr) *background = header_background_;
  if (text != nullptr) *text = header_text_;
  return true;
}

int CListCtrlExt::RowCount() const { return GetItemCount(); }

std::string CListCtrlExt::CellText(int row, int column) const {
  if (auto bytes = model_->Bytes(row, column)) return std::move(*bytes);
  return BytesFromText(GetItemText(row, column));
}

CellFormat CListCtrlExt::CellFormatAt(int row, int column) const {
  return GetCellFormat(row, column);
}

std::unique_ptr<MemoryGrid> CListCtrlExt::ExportSnapshot() const {
  const int columns = ColumnCount();
  const int rows = RowCount();
  std::vector<std::string> titles;
  bool readable = true;
  for (int k = 0; k < columns; ++k) {
    std::optional<std::string> title = HeaderText(k);
    readable = readable && title.has_value();
    titles.push_back(title.value_or(std::string()));
  }
  std::vector<std::vector<std::string>> cells(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    cells[r].reserve(static_cast<size_t>(columns));
    for (int k = 0; k < columns; ++k) cells[r].push_back(CellText(r, k));
  }
  auto grid = std::make_unique<MemoryGrid>(std::move(titles), std::move(cells));
  grid->SetHeaderReadable(readable);
  grid->SetDisplayOrder(DisplayOrder());
  grid->SetBackgroundColour(BackgroundColour());
  uint32_t header_background = 0, header_text = 0;
  if (ExtendedHeaderColours(&header_background, &header_text)) {
    grid->SetExtendedHeader(header_background, header_text);
  }
  const CellFormat plain;
  for (int k = 0; k < columns; ++k) {
    grid->SetHeaderAlignment(k, HeaderAlignment(k));
    for (int r = 0; r < rows; ++r) {
      const CellFormat format = CellFormatAt(r, k);
      if (!(format == plain)) grid->SetCellFormat(r, k, format);
    }
  }
  return grid;
}

}  // namespace quarry
