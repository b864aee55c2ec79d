#include "updater/app/state_image_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include "updater/app/updater_artwork.h"

namespace quarry::updater {

StateImageDelegate::StateImageDelegate(std::function<int(int row)> state_of, QObject* parent)
    : QStyledItemDelegate(parent), state_of_(std::move(state_of)) {}

void StateImageDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  opt.text.clear();  // the picture speaks for it
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
  const QPixmap image = StateImage(state_of_ ? state_of_(index.row()) : kStateNone);
  if (image.isNull()) return;
  const QSize size = image.size() / image.devicePixelRatio();
  painter->drawPixmap(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, option.rect)
                          .topLeft(),
                      image);
}

}  // namespace quarry::updater
