// The faces of the button: five pictures (normal, disabled, focus, hover,
// pressed) built from a grey-scale strip tinted with the face colour,
// composed at the strip's own height and scaled to the button.
//
// A strip is h pixels high and 2h + 4 wide: a left end piece h x h, a
// middle tile 4 x h and a right end piece h x h. Each end piece's corner
// pixel (top-left of the left piece, bottom-right of the right piece)
// names its transparent colour.

#ifndef QUARRY_CONTROLS_BUTTON_BUTTON_FACES_H_
#define QUARRY_CONTROLS_BUTTON_BUTTON_FACES_H_

#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <optional>

#include "framework/colour/colour_ref.h"

namespace quarry::controls {

// Face indexes, in the order the faces are kept.
enum FaceIndex {
  kFaceNormal = 0,
  kFaceDisabled = 1,
  kFaceFocus = 2,
  kFaceHover = 3,
  kFacePressed = 4
};

struct StripPieces {
  QImage left;
  QImage middle;
  QImage right;
};

// The pieces of a strip; nullopt when its width is not 2h + 4.
std::optional<StripPieces> SplitStrip(const QImage& strip);

// The resource numbers of the normal and pressed strips of a style
// (0-4) and edge shape (0 capsule, 1 rectangle).
struct StripIds {
  int normal;
  int pressed;
};
StripIds StripsFor(int style, int sides);
// The resource path of a strip.
QString StripResource(int id);

// What a face build needs to know.
struct FaceDesign {
  QSize size;                // the button, in pixels
  COLORREF face_colour = 0;  // ColorBtnFace
  bool default_button = false;
  int alignment = 0;               // 0 both ends, 1 left end, 2 right end, 3 none
  int sides = 0;                   // 0 capsule, 1 rectangle
  COLORREF background = 0xFFFFFF;  // white when transparent
  // The picture and where it goes (in button pixels, before scaling
  // takes the composition to the button's size); no picture when null.
  QImage picture;
  int picture_alignment = 3;
  int caption_width = 0;  // for centring picture and caption together
};

// The built faces, in FaceIndex order, each the button's size; and where
// the picture was put (in button pixels) when there is one.
struct BuiltFaces {
  std::array<QImage, 5> faces;
  std::optional<QRect> picture_rect;
};

// The colour the faces are tinted with: ColorBtnFace, darkened by 51 per
// channel for the default button.
COLORREF EffectiveFaceColour(COLORREF face_colour, bool default_button);

// The width of the composition at strip height h: the end pieces in use
// plus the middle run, which is the rest of the button's width divided by
// the vertical scale, rounded up to whole tiles.
int CompositionWidth(int button_width, int button_height, int strip_height, int alignment);

// The corner diameter of the rectangular shape's clip.
int RectangleCornerDiameter(int width, int height);

// Builds the five faces from the given strips; nullopt when the size is
// empty or a strip is missing or malformed.
std::optional<BuiltFaces> BuildFaces(const FaceDesign& design, const QImage& normal_strip,
                                     const QImage& pressed_strip);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_BUTTON_BUTTON_FACES_H_
