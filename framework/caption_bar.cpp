#include "framework/caption_bar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

#include "framework/dialog_units.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

constexpr int kHeightInDialogUnits = 11;
// Room between the text and the bar's edges.
constexpr int kTextPaddingX = 8;
constexpr int kTextPaddingY = 2;

// Assistive technology sees the bar as static text named by its caption,
// not as an anonymous custom widget.
class CaptionBarAccessible final : public QAccessibleWidget {
 public:
  explicit CaptionBarAccessible(QWidget* widget)
      : QAccessibleWidget(widget, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      return static_cast<const CCaptionBar*>(widget())->Text();
    }
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* CaptionBarAccessibleFactory(const QString& class_name,
                                                  QObject* object) {
  if (class_name == QLatin1String(CCaptionBar::staticMetaObject.className()) &&
      object != nullptr && object->isWidgetType()) {
    return new CaptionBarAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

void InstallAccessibleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(&CaptionBarAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace

CCaptionBar::CCaptionBar(QWidget* parent) : QWidget(parent) {
  InstallAccessibleFactory();
  InstallDesktopSystemColours();
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  FontChoice font_choice = CColourScheme::DefaultCaptionFont();
  font_choice.weight = 700;
  QWidget::setFont(FontFromChoice(font_choice));

  CColourScheme scheme;
  scheme.EnsureDerived();
  SetColours(scheme);
}

CCaptionBar::~CCaptionBar() = default;

void CCaptionBar::SetText(const QString& text) {
  if (text == text_ && accessibleName() == text) return;
  text_ = text;
  setAccessibleName(text);
  updateGeometry();
  update();
}

void CCaptionBar::SetColours(COLORREF start, COLORREF end) {
  start_ = ToQColor(start);
  end_ = ToQColor(end);
  if (!text_colour_fixed_) {
    text_colour_ = ToQColor(CColourScheme::CaptionTextColour(start));
  }
  update();
}

void CCaptionBar::SetColours(const CColourScheme& scheme) {
  start_ = ToQColor(scheme.Base());
  end_ = ToQColor(scheme.Light3());
  if (!text_colour_fixed_) text_colour_ = ToQColor(scheme.CaptionTextColour());
  update();
}

void CCaptionBar::SetTextColour(COLORREF colour) {
  text_colour_ = ToQColor(colour);
  text_colour_fixed_ = true;
  update();
}

void CCaptionBar::SetFont(const QFont& font) {
  QWidget::setFont(font);
  updateGeometry();
  update();
}

QSize CCaptionBar::sizeHint() const {
  const QFont dialog_font =
      parentWidget() != nullptr ? parentWidget()->font() : QApplication::font();
  const int bar = DialogYToPixels(kHeightInDialogUnits, BaseUnitsOf(dialog_font));
  const QFontMetrics metrics(font());
  const int height = std::max(bar, metrics.height() + 2 * kTextPaddingY);
  const int width = metrics.horizontalAdvance(text_) + 2 * kTextPaddingX;
  return QSize(width, height);
}

QSize CCaptionBar::minimumSizeHint() const {
  return QSize(2 * kTextPaddingX, sizeHint().height());
}

void CCaptionBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(0, 0, width(), 0);
  gradient.setColorAt(0.0, start_);
  gradient.setColorAt(1.0, end_);
  painter.fillRect(rect(), gradient);

  // A hairline along the bottom edge keeps the bar apart from a view of
  // nearly the same colour.
  painter.setPen(start_.darker(125));
  painter.drawLine(0, height() - 1, width() - 1, height() - 1);

  painter.setFont(font());
  painter.setPen(text_colour_);
  const QRect text_rect = rect().adjusted(kTextPaddingX, 0, -kTextPaddingX, -1);
  const QString shown = painter.fontMetrics().elidedText(
      text_, Qt::ElideRight, text_rect.width());
  painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

}  // namespace quarry
