#include "framework/tree_ctrl_ext.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidgetItemIterator>

#include "framework/qt_colour.h"

namespace quarry {

namespace {

constexpr int kDataRole = Qt::UserRole + 1;
constexpr int kFolderRole = Qt::UserRole + 2;
constexpr int kIconSize = 16;

QIcon DrawnFolder() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QColor(0x9A, 0x7B, 0x2E));
  p.setBrush(QColor(0xF2, 0xCF, 0x6B));
  p.drawRect(1, 3, 6, 2);    // tab
  p.drawRect(1, 5, 13, 9);   // body
  return QIcon(pixmap);
}

QIcon DrawnPage() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QColor(0x60, 0x60, 0x60));
  p.setBrush(Qt::white);
  p.drawRect(3, 1, 10, 13);
  p.setPen(QColor(0x33, 0x66, 0xCC));
  for (int y = 4; y <= 11; y += 2) p.drawLine(5, y, 11, y);
  return QIcon(pixmap);
}

}  // namespace

CTreeCtrlExt::CTreeCtrlExt(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setRootIsDecorated(true);  // buttons and lines reach the root items
  setItemsExpandable(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(kIconSize, kIconSize));
  setUniformRowHeights(true);
  setExpandsOnDoubleClick(true);
  // Keep the selection visible when the focus leaves the tree.
  QPalette pal = palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);
  ApplyColours();
  // Selection, not the current item: focus alone moves the current item
  // without selecting anything.
  connect(this, &QTreeWidget::itemSelectionChanged, this,
          [this] { OnCurrentChanged(GetSelectedItem()); });
}

CTreeCtrlExt::~CTreeCtrlExt() = default;

QTreeWidgetItem* CTreeCtrlExt::InsertFolder(QTreeWidgetItem* parent,
                                            const QString& name) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent)
                                 : new QTreeWidgetItem(this);
  item->setText(0, name);
  item->setData(0, kFolderRole, true);
  item->setData(0, kDataRole, QVariant::fromValue<qulonglong>(0));
  if (images_shown_) item->setIcon(0, FolderIcon());
  return item;
}

QTreeWidgetItem* CTreeCtrlExt::InsertItem(QTreeWidgetItem* parent,
                                          const QString& text, uintptr_t data) {
  auto* item = parent != nullptr ? new QTreeWidgetItem(parent)
                                 : new QTreeWidgetItem(this);
  item->setText(0, text);
  item->setData(0, kFolderRole, false);
  SetItemData(item, data);
  if (images_shown_) item->setIcon(0, PageIcon());
  return item;
}

void CTreeCtrlExt::DeleteAllItems() {
  const QSignalBlocker blocker(this);
  clear();
}

uintptr_t CTreeCtrlExt::GetItemData(const QTreeWidgetItem* item) {
  if (item == nullptr) return 0;
  return static_cast<uintptr_t>(item->data(0, kDataRole).toULongLong());
}

void CTreeCtrlExt::SetItemData(QTreeWidgetItem* item, uintptr_t data) {
  if (item == nullptr) return;
  item->setData(0, kDataRole, QVariant::fromValue<qulonglong>(data));
}

bool CTreeCtrlExt::IsFolder(const QTreeWidgetItem* item) {
  return item != nullptr && item->data(0, kFolderRole).toBool();
}

int CTreeCtrlExt::GetCount() const {
  int count = 0;
  for (QTreeWidgetItemIterator it(const_cast<CTreeCtrlExt*>(this)); *it; ++it) {
    ++count;
  }
  return count;
}

void CTreeCtrlExt::SelectItem(QTreeWidgetItem* item) {
  mouse_selecting_ = false;
  if (item == nullptr) {
    setCurrentItem(nullptr);
    clearSelection();
    return;
  }
  setCurrentItem(item);
}

QTreeWidgetItem* CTreeCtrlExt::GetSelectedItem() const {
  const QList<QTreeWidgetItem*> items = selectedItems();
  return items.isEmpty() ? nullptr : items.first();
}

void CTreeCtrlExt::SetBkColour(COLORREF colour) {
  background_ = colour & 0xFFFFFF;
  ApplyColours();
}

void CTreeCtrlExt::SetTextColour(COLORREF colour) {
  text_ = colour & 0xFFFFFF;
  ApplyColours();
}

void CTreeCtrlExt::SetLineColour(COLORREF colour) {
  line_ = colour & 0xFFFFFF;
  viewport()->update();
}

void CTreeCtrlExt::SetInsertMarkColour(COLORREF colour) {
  insert_mark_ = colour & 0xFFFFFF;
}

void CTreeCtrlExt::ApplyColours() {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, ToQColor(background_));
  pal.setColor(QPalette::Text, ToQColor(text_));
  setPalette(pal);
}

void CTreeCtrlExt::SetImagesShown(bool shown) {
  images_shown_ = shown;
  for (QTreeWidgetItemIterator it(this); *it; ++it) {
    (*it)->setIcon(0, !shown ? QIcon() : IsFolder(*it) ? FolderIcon() : PageIcon());
  }
}

QIcon CTreeCtrlExt::FolderIcon() {
  static const QIcon icon = QIcon::fromTheme(QStringLiteral("folder"), DrawnFolder());
  return icon;
}

QIcon CTreeCtrlExt::PageIcon() {
  static const QIcon icon =
      QIcon::fromTheme(QStringLiteral("text-html"), DrawnPage());
  return icon;
}

void CTreeCtrlExt::mousePressEvent(QMouseEvent* event) {
  // The press moves the current item inside the base handler; the flag
  // tells OnCurrentChanged who moved it.
  mouse_selecting_ = true;
  QTreeWidget::mousePressEvent(event);
  mouse_selecting_ = false;
}

void CTreeCtrlExt::OnCurrentChanged(QTreeWidgetItem* current) {
  if (current == nullptr) return;
  const uintptr_t data = GetItemData(current);
  if (mouse_selecting_) {
    emit selectionChangedByMouse(data, current);
  } else {
    emit selectionChangedOther(data, current);
  }
}

bool CTreeCtrlExt::viewportEvent(QEvent* event) {
  // No tool tips: a clipped favourite title is not repeated in a bubble.
  if (event->type() == QEvent::ToolTip) return true;
  return QTreeWidget::viewportEvent(event);
}

void CTreeCtrlExt::drawBranches(QPainter* painter, const QRect& rect,
                                const QModelIndex& index) const {
  // Dotted lines in the line colour and a boxed plus or minus on items with
  // children, at every level including the root.
  painter->save();
  painter->fillRect(rect, palette().color(QPalette::Base));
  QPen pen(ToQColor(line_));
  pen.setStyle(Qt::DotLine);
  painter->setPen(pen);
  const int step = indentation();
  const int mid_y = rect.center().y();

  // Vertical lines of the ancestors that have siblings below them.
  int level = 0;
  for (QModelIndex i = index.parent(); i.isValid(); i = i.parent()) ++level;
  QModelIndex ancestor = index.parent();
  for (int l = level - 1; l >= 0; --l, ancestor = ancestor.parent()) {
    const int x = rect.left() + l * step + step / 2;
    const QModelIndex below = ancestor.sibling(ancestor.row() + 1, 0);
    if (below.isValid()) painter->drawLine(x, rect.top(), x, rect.bottom());
  }

  const int x = rect.left() + level * step + step / 2;
  const bool has_below = index.sibling(index.row() + 1, 0).isValid();
  const bool has_above = index.row() > 0 || index.parent().isValid();
  painter->drawLine(x, has_above ? rect.top() : mid_y, x,
                    has_below ? rect.bottom() : mid_y);
  painter->drawLine(x, mid_y, rect.left() + (level + 1) * step - 2, mid_y);

  if (model()->hasChildren(index)) {
    const int half = 4;
    const QRect box(x - half, mid_y - half, 2 * half, 2 * half);
    painter->setPen(ToQColor(line_ == 0xFFFFFF ? 0x808080 : line_));
    painter->setBrush(palette().color(QPalette::Base));
    painter->drawRect(box);
    painter->setPen(palette().color(QPalette::Text));
    painter->drawLine(x - 2, mid_y, x + 2, mid_y);
    if (!isExpanded(index)) painter->drawLine(x, mid_y - 2, x, mid_y + 2);
  }
  painter->restore();
}

}  // namespace quarry
