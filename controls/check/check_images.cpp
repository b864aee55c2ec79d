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
QImage Scale(const QImage& art, CheckImage slot, const CheckImageSpec& spec) {
  const int side = std::max(spec.side, 1);
  const int margin = static_cast<int>(0.05 * side);
  const int ring = LampRingWidth(side);
  QImage out(side, side, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF target(margin, margin, side - 2 * margin, side - 2 * margin);
  if (spec.type == kCheckRound) {
    QPainterPath circle;
    circle.addEllipse(target.adjusted(ring - 1, ring - 1, 1 - ring, 1 - ring));
    painter.setClipPath(circle);
  }
  painter.drawImage(target, art);
  if (spec.type == kCheckRound) {
    painter.setClipping(false);
    QPainterPath band;
    band.addEllipse(target);
    band.addEllipse(target.adjusted(ring, ring, -ring, -ring));  // odd-even: the ring only
    painter.fillPath(band, QColor(ToRgb(LampRingColour(slot, spec))));
  }
  painter.end();
  if (spec.type == kCheckMark) CleanFringe(&out);
  return out;
}

}  // namespace

QString CheckArtResource(int id) { return QStringLiteral(":/KsCheck/art/%1.png").arg(id); }

int CheckArtFor(CheckImage slot, const CheckImageSpec& spec) {
  const bool mark = spec.type == kCheckMark;
  if (Checked(slot)) return mark ? 206 : 203;
  if (mark) return 205;
  if (Disabled(slot)) return 204;
  // An off colour of its own lights the lamp in that colour.
  return spec.on_colour == spec.off_colour || spec.keep_in_sync ? 204 : 203;
}

std::optional<COLORREF> CheckTintFor(CheckImage slot, const CheckImageSpec& spec) {
  if (Disabled(slot)) return kDisabledTint;
  if (spec.type == kCheckMark) return std::nullopt;
  return slot == kCheckedEnabled ? spec.on_colour : spec.off_colour;
}

int LampRingWidth(int side) { return std::clamp(static_cast<int>(0.1 * side), 1, 3); }

COLORREF LampRingColour(CheckImage slot, const CheckImageSpec& spec) {
  if (Disabled(slot)) return kDisabledRing;
  if (slot == kCheckedEnabled) return CColourScheme::Blend(spec.on_colour, kWhite, 0.36);
  return CColourScheme::Blend(spec.off_colour, kWhite, 0.54);
}

std::array<QImage, 4> BuildCheckImages(const CheckImageSpec& spec) {
  std::array<QImage, 4> images;
  for (int i = 0; i < 4; ++i) {
    const auto slot = static_cast<CheckImage>(i);
    QImage art = LoadArt(CheckArtResource(CheckArtFor(slot, spec)));
    if (art.isNull()) continue;
    if (std::optional<COLORREF> tint = CheckTintFor(slot, spec)) art = TintImage(art, *tint);
    if (spec.auto_scale) {
      art = Scale(art, slot, spec);
      images[i] = spec.transparent ? WithTransparentColour(art, qRgb(255, 255, 255))
                                   : art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
      // The picture's corner lies outside its shape and keys the rest.
      images[i] = WithTransparentColour(art, art.pixel(0, 0));
    }
  }
  return images;
}

}  // namespace quarry::controls
