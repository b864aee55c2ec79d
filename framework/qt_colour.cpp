#include "framework/qt_colour.h"

#include <algorithm>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>

namespace quarry {

QColor ToQColor(COLORREF c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

COLORREF FromQColor(const QColor& c) {
  const QColor rgb = c.toRgb();
  return Rgb(static_cast<std::uint8_t>(rgb.red()),
             static_cast<std::uint8_t>(rgb.green()),
             static_cast<std::uint8_t>(rgb.blue()));
}

namespace {

COLORREF PaletteColour(QPalette::ColorRole role, COLORREF fallback) {
  if (qGuiApp == nullptr) return fallback;
  return FromQColor(QGuiApplication::palette().color(QPalette::Active, role));
}

}  // namespace

COLORREF QtSystemColours::ButtonFace() const {
  return PaletteColour(QPalette::Button,
                       FixedSystemColours::kClassicButtonFace);
}

COLORREF QtSystemColours::ActiveCaption() const {
  return PaletteColour(QPalette::Highlight,
                       FixedSystemColours::kClassicActiveCaption);
}

void InstallDesktopSystemColours() {
  // Never destroyed: the scheme may be derived during static destruction.
  static const QtSystemColours* const colours = [] {
    auto* c = new QtSystemColours;
    SystemColours::Install(c);
    return c;
  }();
  (void)colours;
}

QFont FontFromChoice(const FontChoice& font_choice) {
  QFont font;
  const QString face = QString::fromStdString(font_choice.face);
  if (!face.isEmpty() && QFontDatabase::hasFamily(face)) {
    font.setFamily(face);
  } else {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  }
  if (font_choice.pixel_height > 0) font.setPixelSize(font_choice.pixel_height);
  // Weight 0 means "don't care" to stored fonts; Qt wants 1..1000.
  const int weight = font_choice.weight <= 0 ? 400 : std::min(font_choice.weight, 1000);
  font.setWeight(static_cast<QFont::Weight>(weight));
  return font;
}

}  // namespace quarry
