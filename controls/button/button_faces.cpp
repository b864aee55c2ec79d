#include "controls/button/button_faces.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "controls/common/imaging.h"
#include "framework/colour/colour_scheme.h"

namespace quarry::controls {

namespace {

constexpr int kTileWidth = 4;
constexpr int kDefaultButtonDarkening = 51;  // 0.2 x 255
constexpr double kHoverLightening = 0.10;

bool UsesLeftEnd(int alignment) { return alignment == 0 || alignment == 1; }
bool UsesRightEnd(int alignment) { return alignment == 0 || alignment == 2; }

// An image whose pixels of its own corner colour are transparent.
QImage Keyed(const QImage& piece, QPoint corner) {
  return WithTransparentColour(piece, piece.pixel(corner));
}

// The tinted piece with transparent pixels where the artwork has its
// corner's colour. Keyed on the artwork, not on the tint: a light face
// tints many inner pixels to the corner's tinted colour, which must not
// punch holes into the face.
QImage KeyedByArt(const QImage& tinted, const QImage& art, QPoint corner) {
  QImage out = tinted.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = art.pixel(corner);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    const auto* source = reinterpret_cast<const QRgb*>(art.constScanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      row[x] = source[x] == key ? 0 : (row[x] | 0xFF000000);
    }
  }
  return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// One face at strip height: the background, the ends without their
// transparent colour, the middle tiled between them, and the picture. Also
// where the shape lies: `mask` gets 255 inside it and 0 where an end piece
// was left out.
QImage Compose(const StripPieces& pieces, COLORREF colour, const FaceDesign& design, int width,
               const std::optional<QRect>& picture_at, QImage* mask) {
  const int h = pieces.left.height();
  QImage face(width, h, QImage::Format_RGB32);
  face.fill(ToRgb(design.background));
  *mask = QImage(width, h, QImage::Format_ARGB32_Premultiplied);
  mask->fill(Qt::white);
  QPainter painter(&face);
  QPainter shape(mask);
  const QImage left = TintImage(pieces.left, colour);
  const QImage middle = TintImage(pieces.middle, colour);
  const QImage right = TintImage(pieces.right, colour);
  const int left_width = UsesLeftEnd(design.alignment) ? left.width() : 0;
  const int right_width = UsesRightEnd(design.alignment) ? right.width() : 0;
  painter.setClipRect(left_width, 0, width - left_width - right_width, h);
  for (int x = left_width; x < width - right_width; x += middle.width()) {
    painter.drawImage(x, 0, middle);
  }
  painter.setClipping(false);
  // The mask of an end: black where the piece is transparent.
  auto end_mask = [](const QImage& keyed) {
    QImage m(keyed.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < keyed.height(); ++y) {
      for (int x = 0; x < keyed.width(); ++x) {
        m.setPixel(x, y, qAlpha(keyed.pixel(x, y)) == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
      }
    }
    return m;
  };
  if (left_width > 0) {
    const QImage keyed = KeyedByArt(left, pieces.left, QPoint(0, 0));
    painter.drawImage(0, 0, keyed);
    shape.drawImage(0, 0, end_mask(keyed));
  }
  if (right_width > 0) {
    const QImage keyed = KeyedByArt(right, pieces.right, QPoint(right.width() - 1, h - 1));
    painter.drawImage(width - right_width, 0, keyed);
    shape.drawImage(width - right_width, 0, end_mask(keyed));
  }
  if (picture_at && !design.picture.isNull()) {
    QImage picture = design.picture;
    if (!picture.hasAlphaChannel()) picture = Keyed(picture, QPoint(0, 0));
    painter.drawImage(picture_at->topLeft(), picture);
  }
  return face;
}

// `image` scaled to `size` with bilinear filtering onto `background`,
// through the rectangular shape's rounded clip when there is one.
QImage ScaleFace(const QImage& image, QSize size, int sides, int diameter, QRgb background) {
  QImage scaled(size, QImage::Format_RGB32);
  scaled.fill(background);
  QPainter painter(&scaled);
  if (sides == 1) {
    QPainterPath clip;
    clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), diameter / 2.0, diameter / 2.0);
    painter.setClipPath(clip);
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(QPoint(0, 0), size), image);
  return scaled;
}

// Where the picture goes in a composition of `width` x `h`.
QRect PicturePlace(const FaceDesign& design, int width, int h, int left_width, int right_width,
                   double scale_x) {
  const int pw = design.picture.width();
  const int ph = design.picture.height();
  const int y = (h - ph) / 2;
  const int caption = static_cast<int>(design.caption_width / scale_x);
  const int together = pw + 2 + caption;
  int x = 0;
  if (design.caption_width <= 0) {
    x = (width - pw) / 2;
  } else {
    switch (design.picture_alignment) {
      case 0:
      case 1:
        x = left_width / 2 + 2;
        break;
      case 2:
        x = width - right_width / 2 - pw - 2;
        break;
      case 4:
        x = width - (width - together) / 2 - pw;
        break;
      default:
        x = (width - together) / 2;
        break;
    }
  }
  return QRect(x, y, pw, ph);
}

}  // namespace

std::optional<StripPieces> SplitStrip(const QImage& strip) {
  const int h = strip.height();
  if (strip.isNull() || h <= 0 || strip.width() != 2 * h + kTileWidth) return std::nullopt;
  const QImage rgb = strip.convertToFormat(QImage::Format_RGB32);
  return StripPieces{rgb.copy(0, 0, h, h), rgb.copy(h, 0, kTileWidth, h),
                     rgb.copy(h + kTileWidth, 0, h, h)};
}

StripIds StripsFor(int style, int sides) {
  const bool rectangle = sides == 1;
  switch (style) {
    case 0:
      return rectangle ? StripIds{229, 230} : StripIds{219, 220};
    case 1:
      return rectangle ? StripIds{221, 222} : StripIds{223, 224};
    default:
      return rectangle ? StripIds{225, 226} : StripIds{227, 228};
  }
}

QString StripResource(int id) { return QStringLiteral(":/KsButton/art/%1.png").arg(id); }

COLORREF EffectiveFaceColour(COLORREF face_colour, bool default_button) {
  face_colour &= 0xFFFFFF;
  return default_button ? Darken(face_colour, kDefaultButtonDarkening) : face_colour;
}

int CompositionWidth(int button_width, int button_height, int strip_height, int alignment) {
  const int ends =
      (UsesLeftEnd(alignment) ? strip_height : 0) + (UsesRightEnd(alignment) ? strip_height : 0);
  const double scale = static_cast<double>(button_height) / strip_height;
  const int available = button_width - ends;
  if (available <= 0 || scale <= 0) return ends;
  const int tiles = static_cast<int>(std::ceil(available / scale / kTileWidth));
  return ends + tiles * kTileWidth;
}

int RectangleCornerDiameter(int width, int height) {
  return std::min(std::max(height / 6, 3), std::max(static_cast<int>(width * 0.0643087), 3));
}

std::optional<BuiltFaces> BuildFaces(const FaceDesign& design, const QImage& normal_strip,
                                     const QImage& pressed_strip) {
  if (design.size.isEmpty()) return std::nullopt;
  std::optional<StripPieces> normal = SplitStrip(normal_strip);
  std::optional<StripPieces> pressed = SplitStrip(pressed_strip);
  if (!normal || !pressed || pressed->left.height() != normal->left.height()) return std::nullopt;

  const int h = normal->left.height();
  const int width = CompositionWidth(design.size.width(), design.size.height(), h, design.alignment);
  const int left_width = UsesLeftEnd(design.alignment) ? h : 0;
  const int right_width = UsesRightEnd(design.alignment) ? h : 0;
  const double scale_x = static_cast<double>(design.size.width()) / width;
  const double scale_y = static_cast<double>(design.size.height()) / h;

  BuiltFaces built;
  std::optional<QRect> picture_at;
  if (!design.picture.isNull()) {
    picture_at = PicturePlace(design, width, h, left_width, right_width, scale_x);
    const QRect& p = *picture_at;
    built.picture_rect = QRect(static_cast<int>(p.x() * scale_x), static_cast<int>(p.y() * scale_y),
                               static_cast<int>(std::ceil(p.width() * scale_x)),
                               static_cast<int>(std::ceil(p.height() * scale_y)));
  }
  const std::optional<QRect> pressed_at =
      picture_at ? std::optional<QRect>(picture_at->translated(1, 1)) : std::nullopt;

  const COLORREF face = EffectiveFaceColour(design.face_colour, design.default_button);
  const COLORREF hover = CColourScheme::Blend(face, kWhite, kHoverLightening);
  const int diameter = RectangleCornerDiameter(design.size.width(), design.size.height());
  struct Recipe {
    FaceIndex index;
    const StripPieces* pieces;
    COLORREF colour;
    const std::optional<QRect>* picture;
  } recipes[] = {
      {kFaceNormal, &*normal, face, &picture_at},
      {kFaceFocus, &*normal, face, &picture_at},
      {kFaceHover, &*normal, hover, &picture_at},
      {kFacePressed, &*pressed, face, &pressed_at},
      {kFaceDisabled, &*normal, kDisabledTint, &picture_at},
  };
  for (const Recipe& r : recipes) {
    QImage mask;
    const QImage composed = Compose(*r.pieces, r.colour, design, width, *r.picture, &mask);
    QImage scaled = ScaleFace(composed, design.size, design.sides, diameter, qRgb(255, 255, 255));
    const QImage coverage = ScaleFace(mask, design.size, design.sides, diameter, qRgb(0, 0, 0));
    CleanFringe(&scaled, &coverage);
    built.faces[r.index] = scaled;
  }
  return built;
}

}  // namespace quarry::controls
