#include "framework/dialog_units.h"

#include <QFontMetrics>
#include <algorithm>

namespace quarry {

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRound(int a, int b, int c) {
  const long long num = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(num >= 0 ? (num + half) / c : -((-num + half) / c));
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogBaseUnits base;
  base.x = std::max(1, (letters / 26 + 1) / 2);
  base.y = std::max(1, metrics.height());
  return base;
}

int DialogXToPixels(int units, const DialogBaseUnits& base) {
  return MulDivRound(units, base.x, 4);
}

int DialogYToPixels(int units, const DialogBaseUnits& base) {
  return MulDivRound(units, base.y, 8);
}

QRect MapDialogRect(const QRect& units, const DialogBaseUnits& base) {
  // QRect::right() is left + width - 1; work with the exclusive edge.
  const int left = DialogXToPixels(units.left(), base);
  const int top = DialogYToPixels(units.top(), base);
  const int right = DialogXToPixels(units.left() + units.width(), base);
  const int bottom = DialogYToPixels(units.top() + units.height(), base);
  return QRect(left, top, right - left, bottom - top);
}

QSize MapDialogSize(const QSize& units, const DialogBaseUnits& base) {
  return QSize(DialogXToPixels(units.width(), base),
               DialogYToPixels(units.height(), base));
}

}  // namespace quarry
