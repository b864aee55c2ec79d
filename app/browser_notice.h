// CBrowserNotice: a strip laid over the top of the embedded browser that
// says why the page is not shown (the browser cannot show its address, the
// page is too large for it, or the browser's page process ended) and offers
// the one thing to do about it ("Reload", "Show Anyway"), beside a button
// that closes the strip.
//
// Assistive technology hears the text as an alert when the strip appears;
// both buttons take the keyboard focus like any other control, and Enter or
// Space presses the focused one.

#ifndef QUARRY_APP_BROWSER_NOTICE_H_
#define QUARRY_APP_BROWSER_NOTICE_H_

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;

namespace quarry {

class CBrowserNotice : public QFrame {
  Q_OBJECT

 public:
  // Hidden until Show(); owned by `parent` (Qt ownership).
  explicit CBrowserNotice(QWidget* parent);
  ~CBrowserNotice() override;

  // Shows `text` and, unless `action` is empty, a button labelled `action`
  // whose press emits actionTriggered(). Replaces what was shown before.
  void Show(const QString& text, const QString& action = QString());
  // Whether the action button can be pressed (it stays visible).
  void SetActionEnabled(bool enabled);

  QString Text() const;
  QPushButton* ActionButton() const { return action_; }
  QToolButton* CloseButton() const { return close_; }

  // The height the strip needs at `width`, its text wrapped.
  int heightForWidth(int width) const override;
  bool hasHeightForWidth() const override { return true; }

 signals:
  void actionTriggered();

 private:
  QLabel* icon_ = nullptr;
  QLabel* text_ = nullptr;
  QPushButton* action_ = nullptr;
  QToolButton* close_ = nullptr;
};

}  // namespace quarry

#endif  // QUARRY_APP_BROWSER_NOTICE_H_
