#include "controls/check/check_images.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "controls/common/imaging.h"
#include "framework/colour/colour_scheme.h"

namespace quarry::controls {

namespace {

constexpr COLORREF kDisabledRing = 0xC8C8C8;

bool Checked(CheckImage slot) { return slot == kCheckedEnabled || slot == kCheckedDisabled; }
bool Disabled(CheckImage slot) { return slot == kCheckedDisabled || slot == kUncheckedDisabled; }

// The picture scaled into a square of `side`, with the round lamp's clip
// and ring or the mark's fringe clean-up.
QImage Scale(const QImage& art, CheckImage slot, const CheckImageDesign& design) {
  const int side = std::max(design.side, 1);
  const int margin = static_cast<int>(0.05 * side);
  const int ring = LampRingWidth(side);
  QImage out(side, side, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF target(margin, margin, side - 2 * margin, side - 2 * margin);
  if (design.type == kCheckRound) {
    QPainterPath circle;
    circle.addEllipse(target.adjusted(ring - 1, ring - 1, 1 - ring, 1 - ring));
    painter.setClipPath(circle);
  }
  painter.drawImage(target, art);
  if (design.type == kCheckRound) {
    painter.setClipping(false);
    QPainterPath band;
    band.addEllipse(target);
    band.addEllipse(target.adjusted(ring, ring, -ring, -ring));  // odd-even: the ring only
    painter.fillPath(band, QColor(ToRgb(LampRingColour(slot, design))));
  }
  painter.end();
  if (design.type == kCheckMark) CleanFringe(&out);
  return out;
}

}  // namespace

QString CheckArtResource(int id) { return QStringLiteral(":/KsCheck/art/%1.png").arg(id); }

int CheckArtFor(CheckImage slot, const CheckImageDesign& design) {
  const bool mark = design.type == kCheckMark;
  if (Checked(slot)) return mark ? 206 : 203;
  if (mark) return 205;
  if (Disabled(slot)) return 204;
  // An off colour of its own lights the lamp in that colour.
  return design.on_colour == design.off_colour || design.keep_in_sync ? 204 : 203;
}

std::optional<COLORREF> CheckTintFor(CheckImage slot, const CheckImageDesign& design) {
  if (Disabled(slot)) return kDisabledTint;
  if (design.type == kCheckMark) return std::nullopt;
  return slot == kCheckedEnabled ? design.on_colour : design.off_colour;
}

int LampRingWidth(int side) { return std::clamp(static_cast<int>(0.1 * side), 1, 3); }

COLORREF LampRingColour(CheckImage slot, const CheckImageDesign& design) {
  if (Disabled(slot)) return kDisabledRing;
  if (slot == kCheckedEnabled) return CColourScheme::Blend(design.on_colour, kWhite, 0.36);
  return CColourScheme::Blend(design.off_colour, kWhite, 0.54);
}

std::array<QImage, 4> BuildCheckImages(const CheckImageDesign& design) {
  std::array<QImage, 4> images;
  for (int i = 0; i < 4; ++i) {
    const auto slot = static_cast<CheckImage>(i);
    QImage art = LoadArt(CheckArtResource(CheckArtFor(slot, design)));
    if (art.isNull()) continue;
    if (std::optional<COLORREF> tint = CheckTintFor(slot, design)) art = TintImage(art, *tint);
    if (design.auto_scale) {
      art = Scale(art, slot, design);
      images[i] = design.transparent ? WithTransparentColour(art, qRgb(255, 255, 255))
                                   : art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
      // The picture's corner lies outside its shape and keys the rest.
      images[i] = WithTransparentColour(art, art.pixel(0, 0));
    }
  }
  return images;
}

}  // namespace quarry::controls
