#include "controls/common/imaging.h"

#include <QPainter>
#include <algorithm>

#include "framework/colour/colour_scheme.h"

namespace quarry::controls {

namespace {

constexpr int kFringeBrightness = 220;

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

int Brightness(QRgb c) { return (qRed(c) + qGreen(c) + qBlue(c)) / 3; }

}  // namespace

COLORREF Lighten(COLORREF c, int amount) {
  return Rgb(Clamp(RedOf(c) + amount), Clamp(GreenOf(c) + amount), Clamp(BlueOf(c) + amount));
}

COLORREF Darken(COLORREF c, int amount) { return Lighten(c, -amount); }

COLORREF TintColour(COLORREF face, int brightness) {
  face &= 0xFFFFFF;
  if (face == kWhite) face = 0xFDFDFD;
  const COLORREF tinted = CColourScheme::Blend(face, kWhite, brightness / 255.0);
  return tinted == kWhite ? 0xFEFEFE : tinted;
}

QImage TintImage(const QImage& art, COLORREF face) {
  QImage out = art.convertToFormat(QImage::Format_RGB32);
  // 256 brightness levels: work out each colour once.
  QRgb table[256];
  for (int b = 0; b < 256; ++b) table[b] = ToRgb(TintColour(face, b));
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) row[x] = table[Brightness(row[x])];
  }
  return out;
}

QImage ScaleOntoWhite(const QImage& src, QSize size) {
  QImage out(size, QImage::Format_RGB32);
  out.fill(Qt::white);
  if (src.isNull() || size.isEmpty()) return out;
  QPainter painter(&out);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(QPoint(0, 0), size), src);
  return out;
}

void CleanFringe(QImage* image, const QImage* coverage) {
  if (image->format() != QImage::Format_RGB32) {
    *image = image->convertToFormat(QImage::Format_RGB32);
  }
  QImage cover;
  if (coverage != nullptr && coverage->size() == image->size()) {
    cover = coverage->convertToFormat(QImage::Format_Grayscale8);
  }
  const QRgb white = qRgb(255, 255, 255);
  for (int y = 0; y < image->height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image->scanLine(y));
    const uchar* inside = cover.isNull() ? nullptr : cover.constScanLine(y);
    auto fringe = [&](int x) {
      return Brightness(row[x]) > kFringeBrightness && (inside == nullptr || inside[x] < 255);
    };
    const int width = image->width();
    int x = 0;
    for (; x < width && fringe(x); ++x) row[x] = white;
    if (x >= width) continue;
    for (int r = width - 1; r > x && fringe(r); --r) row[r] = white;
  }
}

QImage WithTransparentColour(const QImage& src, QRgb transparent) {
  QImage out = src.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = transparent & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      row[x] = (row[x] & 0xFFFFFF) == key ? 0 : (row[x] | 0xFF000000);
    }
  }
  return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage LoadArt(const QString& resource) {
  QImage art(resource);
  if (art.isNull()) return art;
  return art.convertToFormat(QImage::Format_RGB32);
}

}  // namespace quarry::controls
