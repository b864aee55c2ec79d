#include "controls/button/button_faces.h"

#include <gtest/gtest.h>

#include "controls/common/imaging.h"

namespace quarry::controls {
namespace {

TEST(ButtonFacesTest, EveryStripIsGreyAndTwiceItsHeightPlusATileWide) {
  for (int style = 0; style < 5; ++style) {
    for (int sides = 0; sides < 2; ++sides) {
      const StripIds ids = StripsFor(style, sides);
      for (int id : {ids.normal, ids.pressed}) {
        const QImage strip = LoadArt(StripResource(id));
        ASSERT_FALSE(strip.isNull()) << id;
        EXPECT_EQ(strip.height(), style == 0 ? 23 : 20) << id;
        EXPECT_EQ(strip.width(), 2 * strip.height() + 4) << id;
        EXPECT_TRUE(strip.allGray()) << id;
        // The corners lie outside the shape: they key the ends' transparency.
        EXPECT_EQ(strip.pixel(0, 0), qRgb(255, 255, 255)) << id;
        EXPECT_TRUE(SplitStrip(strip).has_value()) << id;
      }
    }
  }
  EXPECT_EQ(StripsFor(1, 0).normal, 223);
  EXPECT_EQ(StripsFor(4, 1).pressed, 226);
  // A strip of another width is not cut into pieces.
  EXPECT_FALSE(SplitStrip(QImage(45, 20, QImage::Format_RGB32)));
  EXPECT_FALSE(SplitStrip(QImage()));
}

TEST(ButtonFacesTest, TheDefaultButtonIsDarkerByFiftyOnePerChannel) {
  EXPECT_EQ(EffectiveFaceColour(0x339ADF, false), 0x339ADFu);
  EXPECT_EQ(EffectiveFaceColour(0x339ADF, true), 0x0067ACu);
  EXPECT_EQ(EffectiveFaceColour(0xFF000000 | 0x202020, true), 0u);
}

TEST(ButtonFacesTest, CompositionRunsWholeTilesBetweenTheEnds) {
  struct Case {
    int width, height, strip, alignment, expected;
  } cases[] = {
      {92, 23, 23, 0, 94},  // both ends 46; 46 px of middle -> 12 tiles
      {92, 26, 23, 0, 90},  // scale 1.13: 46 / 1.13 = 40.7 -> 11 tiles
      {92, 26, 23, 1, 87},  // one end: 69 / 1.13 = 61.0 -> 16 tiles
      {92, 26, 23, 3, 84},  // no ends: 92 / 1.13 = 81.4 -> 21 tiles
      {30, 23, 23, 0, 46},  // narrower than both ends: no middle
      {75, 20, 20, 2, 76},  // 55 / 1 -> 14 tiles
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompositionWidth(c.width, c.height, c.strip, c.alignment), c.expected)
        << c.width << "x" << c.height << " alignment " << c.alignment;
  }
}

TEST(ButtonFacesTest, TheRectangularClipsCornerGrowsWithTheButtonWithinBounds) {
  EXPECT_EQ(RectangleCornerDiameter(75, 23), 3);    // min(max(3, 3), max(4, 3)) = 3
  EXPECT_EQ(RectangleCornerDiameter(200, 60), 10);  // min(10, 12)
  EXPECT_EQ(RectangleCornerDiameter(90, 60), 5);    // min(10, 5)
  EXPECT_EQ(RectangleCornerDiameter(10, 10), 3);
}

TEST(ButtonFacesTest, FacesShowTheirStatesAndAWhiteFaceNeverTurnsTransparent) {
  const StripIds ids = StripsFor(0, 0);
  const QImage normal = LoadArt(StripResource(ids.normal));
  const QImage pressed = LoadArt(StripResource(ids.pressed));
  FaceDesign design;
  design.size = QSize(90, 23);
  design.face_colour = 0x0000C0;  // red
  std::optional<BuiltFaces> faces = BuildFaces(design, normal, pressed);
  ASSERT_TRUE(faces);
  const QPoint middle(45, 17);
  const QRgb n = faces->faces[kFaceNormal].pixel(middle);
  EXPECT_GT(qRed(n), qGreen(n) + 60);
  EXPECT_EQ(faces->faces[kFaceFocus], faces->faces[kFaceNormal]);
  // Hover is lighter, the disabled face grey, the pressed face another picture.
  const QRgb h = faces->faces[kFaceHover].pixel(middle);
  EXPECT_GT(qGreen(h), qGreen(n));
  const QRgb d = faces->faces[kFaceDisabled].pixel(middle);
  EXPECT_EQ(qRed(d), qGreen(d));
  EXPECT_NE(faces->faces[kFacePressed].pixel(QPoint(45, 5)),
            faces->faces[kFaceNormal].pixel(QPoint(45, 5)));
  // Corners are cleaned to white: the transparent colour.
  EXPECT_EQ(faces->faces[kFaceNormal].pixel(0, 0), qRgb(255, 255, 255));

  design.face_colour = 0xFFFFFF;
  faces = BuildFaces(design, normal, pressed);
  ASSERT_TRUE(faces);
  const QImage& white_face = faces->faces[kFaceNormal];
  // Inside the shape (away from the cleaned ends) nothing is pure white.
  for (int y = 3; y < 20; ++y) {
    for (int x = 20; x < 70; ++x)
      EXPECT_NE(white_face.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  }

  EXPECT_FALSE(BuildFaces(FaceDesign{}, normal, pressed));                // empty size
  EXPECT_FALSE(BuildFaces(design, normal, LoadArt(StripResource(221))));  // heights differ
}

}  // namespace
}  // namespace quarry::controls
