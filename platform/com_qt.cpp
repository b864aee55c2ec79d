#include "platform/com_qt.h"

#include <algorithm>
#include <cmath>

namespace quarry::com {

FontDesc FontDescFromQFont(const QFont& font, int charset) {
  FontDesc desc;
  desc.face = font.family().toStdString();
  desc.points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
  desc.weight = static_cast<int>(font.weight());
  desc.italic = font.italic();
  desc.underline = font.underline();
  desc.strikeout = font.strikeOut();
  desc.charset = charset;
  return desc;
}

QFont QFontFromDesc(const FontDesc& desc) {
  QFont font;
  if (!desc.face.empty()) font.setFamily(QString::fromStdString(desc.face));
  // Sizes outside what a dialog can show (a damaged state) fall back to the
  // default instead of asking the font engine for a 0 or 10000 point face.
  if (std::isfinite(desc.points) && desc.points >= 1 && desc.points <= 400) {
    font.setPointSizeF(desc.points);
  }
  // 0 is "any weight" in stored fonts: the normal one.
  font.setWeight(desc.weight > 0 ? static_cast<QFont::Weight>(std::clamp(desc.weight, 1, 1000))
                                 : QFont::Normal);
  font.setItalic(desc.italic);
  font.setUnderline(desc.underline);
  font.setStrikeOut(desc.strikeout);
  return font;
}

}  // namespace quarry::com
