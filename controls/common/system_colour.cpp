#include "controls/common/system_colour.h"

#include <QGuiApplication>
#include <QPalette>

#include "framework/colour/colour_scheme.h"
#include "framework/qt_colour.h"

namespace quarry::controls {

COLORREF SysColour(SysColourIndex index) {
  if (index == SysColourIndex::kActiveCaption) return QtSystemColours().ActiveCaption();
  if (qGuiApp == nullptr) {
    switch (index) {
      case SysColourIndex::kGrayText:
        return 0x6D6D6D;
      case SysColourIndex::kWindow:
        return 0xFFFFFF;
      case SysColourIndex::kButtonFace:
        return 0xF0F0F0;
      case SysColourIndex::kButtonShadow:
        return 0xA0A0A0;
      case SysColourIndex::kButtonHighlight:
        return 0xFFFFFF;
      case SysColourIndex::kButtonDarkShadow:
        return 0x696969;
      default:
        return 0;
    }
  }
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case SysColourIndex::kGrayText: {
      // Half way from the text to the window colour: readable on the
      // tinted faces the controls sit on, whatever the desktop's theme
      // (whose own disabled text is often too faint for them).
      const COLORREF text = FromQColor(palette.color(QPalette::Active, QPalette::WindowText));
      const COLORREF window = FromQColor(palette.color(QPalette::Active, QPalette::Window));
      return CColourScheme::Blend(text, window, 0.45);
    }
    case SysColourIndex::kWindowText:
      return FromQColor(palette.color(QPalette::WindowText));
    case SysColourIndex::kWindow:
      return FromQColor(palette.color(QPalette::Base));
    case SysColourIndex::kButtonFace:
      return FromQColor(palette.color(QPalette::Button));
    case SysColourIndex::kButtonShadow:
      return FromQColor(palette.color(QPalette::Mid));
    case SysColourIndex::kButtonHighlight:
      return FromQColor(palette.color(QPalette::Light));
    case SysColourIndex::kButtonDarkShadow:
      return FromQColor(palette.color(QPalette::Dark));
    case SysColourIndex::kActiveCaption:
      break;
  }
  return 0;
}

}  // namespace quarry::controls
