// The picture arithmetic the controls share: grey-scale artwork tinted
// with a face colour, colours lightened and darkened per channel, smooth
// scaling onto white, the clean-up of the near-white fringe such scaling
// leaves along curved edges, and white as the transparent colour.
//
// Images are QImage::Format_RGB32 unless said otherwise; colours are
// COLORREF (0x00BBGGRR).

#ifndef QUARRY_CONTROLS_COMMON_IMAGING_H_
#define QUARRY_CONTROLS_COMMON_IMAGING_H_

#include <QImage>
#include <QRgb>
#include <QString>

#include "framework/colour/colour_ref.h"

namespace quarry::controls {

inline constexpr COLORREF kWhite = 0xFFFFFF;
// The colour disabled faces and pieces are tinted with.
inline constexpr COLORREF kDisabledTint = 0x7F7F7F;

inline QRgb ToRgb(COLORREF c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
inline COLORREF FromRgb(QRgb c) {
  return Rgb(static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)),
             static_cast<uint8_t>(qBlue(c)));
}

// Each channel raised (or lowered) by `amount`, clamped to 0..255.
COLORREF Lighten(COLORREF c, int amount);
COLORREF Darken(COLORREF c, int amount);

// The colour a grey-scale pixel of brightness b (0..255) takes: the face
// colour blended towards white by b / 255, in whole hundredths; pure white
// is kept as 0xFEFEFE, so that white stays free to mean "transparent". A
// face of exactly white is taken as 0xFDFDFD.
COLORREF TintColour(COLORREF face, int brightness);
// The image with every pixel tinted by its brightness ((R + G + B) / 3).
QImage TintImage(const QImage& art, COLORREF face);

// `src` scaled to `size` with bilinear filtering, composed onto white.
QImage ScaleOntoWhite(const QImage& src, QSize size);

// In every row: from the left, while the pixel's brightness is above 220,
// set it to pure white; if that stopped inside the row, do the same from
// the right end leftwards.
//
// With `coverage` (a grey picture of the same size: 255 where a pixel lies
// wholly inside the shape, less where the shape's edge crosses it, 0
// outside), the walks also stop at the first pixel wholly inside: only the
// edge's fringe is cleaned, never a light face or a bright highlight,
// which would otherwise turn transparent.
void CleanFringe(QImage* image, const QImage* coverage = nullptr);

// A copy (ARGB32, premultiplied) in which pixels of `transparent` are fully
// transparent and all others opaque.
QImage WithTransparentColour(const QImage& src, QRgb transparent);

// A grey-scale artwork image of the module, as RGB32; null when missing.
QImage LoadArt(const QString& resource);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_IMAGING_H_
