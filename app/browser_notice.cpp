#include "app/browser_notice.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace quarry {

namespace {

// A pale amber that reads as "take note" on light and dark themes alike,
// with the theme's own text colour kept legible on it.
constexpr QRgb kBackground = qRgb(0xFF, 0xF1, 0xC8);
constexpr QRgb kBorder = qRgb(0xD8, 0xA8, 0x38);
constexpr QRgb kText = qRgb(0x20, 0x20, 0x20);

}  // namespace

CBrowserNotice::CBrowserNotice(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("browserNotice"));
  setAccessibleName(QStringLiteral("Notice"));
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(kBackground));
  colours.setColor(QPalette::WindowText, QColor(kText));
  colours.setColor(QPalette::Light, QColor(kBorder));
  colours.setColor(QPalette::Dark, QColor(kBorder));
  colours.setColor(QPalette::Mid, QColor(kBorder));
  setPalette(colours);

  icon_ = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
  icon_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                       .pixmap(side, side));
  icon_->setAccessibleName(QStringLiteral("Warning"));

  text_ = new QLabel(this);
  text_->setWordWrap(true);
  text_->setTextFormat(Qt::PlainText);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  action_ = new QPushButton(this);
  action_->setAccessibleName(QStringLiteral("Notice action"));  // until Show() names it
  action_->setAutoDefault(true);  // Enter presses it, as Space does
  connect(action_, &QPushButton::clicked, this, &CBrowserNotice::actionTriggered);

  close_ = new QToolButton(this);
  close_->setAutoRaise(true);
  close_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton, nullptr, this));
  close_->setText(QStringLiteral("Close"));
  close_->setToolTip(QStringLiteral("Close this notice"));
  close_->setAccessibleName(QStringLiteral("Close the notice"));
  close_->setFocusPolicy(Qt::StrongFocus);
  connect(close_, &QToolButton::clicked, this, &QWidget::hide);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(8, 4, 4, 4);
  row->addWidget(icon_, 0, Qt::AlignTop);
  row->addWidget(text_, 1);
  row->addWidget(action_, 0, Qt::AlignVCenter);
  row->addWidget(close_, 0, Qt::AlignVCenter);
  hide();
}

CBrowserNotice::~CBrowserNotice() = default;

void CBrowserNotice::Show(const QString& text, const QString& action) {
  text_->setText(text);
  text_->setAccessibleName(text);
  setAccessibleDescription(text);
  action_->setText(action);
  if (!action.isEmpty()) action_->setAccessibleName(action);
  action_->setVisible(!action.isEmpty());
  show();
  raise();
  // Screen readers announce it as they would a message box.
  QAccessibleEvent alert(this, QAccessible::Alert);
  QAccessible::updateAccessibility(&alert);
}

void CBrowserNotice::SetActionEnabled(bool enabled) { action_->setEnabled(enabled); }

QString CBrowserNotice::Text() const { return text_->text(); }

int CBrowserNotice::heightForWidth(int width) const {
  return layout()->totalHeightForWidth(width);
}

}  // namespace quarry
