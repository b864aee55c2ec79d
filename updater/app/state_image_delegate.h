// Paints a row's state picture in the file list's first column, in place
// of that cell's text. The text stays the cell's accessible text, so
// screen readers say what the picture shows.

#ifndef QUARRY_UPDATER_APP_STATE_IMAGE_DELEGATE_H_
#define QUARRY_UPDATER_APP_STATE_IMAGE_DELEGATE_H_

#include <QStyledItemDelegate>
#include <functional>

namespace quarry::updater {

class StateImageDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  // `state_of` gives the state (updater_artwork.h) of a row.
  StateImageDelegate(std::function<int(int row)> state_of, QObject* parent);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  std::function<int(int row)> state_of_;
};

}  // namespace quarry::updater

#endif  // QUARRY_UPDATER_APP_STATE_IMAGE_DELEGATE_H_
