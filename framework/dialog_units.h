// Dialog units: layout measures relative to the dialog's font, so that a
// template drawn once fits any font size. Horizontally a unit is a quarter
// of the font's average character width, vertically an eighth of its
// height.

#ifndef QUARRY_FRAMEWORK_DIALOG_UNITS_H_
#define QUARRY_FRAMEWORK_DIALOG_UNITS_H_

#include <QFont>
#include <QRect>
#include <QSize>

namespace quarry {

// The font's average character width and height in pixels.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;

  bool operator==(const DialogBaseUnits&) const = default;
};

// Measured as the classic desktop does: the average character width is the
// width of the 52 Latin letters over 26, halved and rounded; the height is
// the font's full line height. Never below 1 in either direction.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels, rounding to the nearest pixel (halves away from
// zero), so negative distances mirror positive ones.
int DialogXToPixels(int units, const DialogBaseUnits& base);
int DialogYToPixels(int units, const DialogBaseUnits& base);

// Converts each edge separately, as templates are laid out, so adjacent
// controls stay adjacent in pixels.
QRect MapDialogRect(const QRect& units, const DialogBaseUnits& base);
QSize MapDialogSize(const QSize& units, const DialogBaseUnits& base);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_DIALOG_UNITS_H_
