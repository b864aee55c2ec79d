#include "controls/check/check_images.h"

#include <gtest/gtest.h>

namespace quarry::controls {
namespace {

TEST(CheckImagesTest, ArtworkFollowsTypeStateAndColours) {
  struct Case {
    int type;
    bool sync;
    COLORREF off;
    int checked_enabled, unchecked_enabled, checked_disabled, unchecked_disabled;
  } cases[] = {
      {kCheckRound, true, 0x00FF00, 203, 204, 203, 204},
      {kCheckRound, false, 0x0000FF, 203, 203, 203, 204},  // its own off colour: lit
      {kCheckRound, false, 0x339ADF, 203, 204, 203, 204},  // the same colour: unlit
      {kCheckSquare, true, 0x339ADF, 203, 204, 203, 204},
      {kCheckMark, false, 0x0000FF, 206, 205, 206, 205},
  };
  for (const Case& c : cases) {
    CheckImageDesign design;
    design.type = c.type;
    design.on_colour = 0x339ADF;
    design.off_colour = c.off;
    design.keep_in_sync = c.sync;
    EXPECT_EQ(CheckArtFor(kCheckedEnabled, design), c.checked_enabled) << c.type;
    EXPECT_EQ(CheckArtFor(kUncheckedEnabled, design), c.unchecked_enabled) << c.type;
    EXPECT_EQ(CheckArtFor(kCheckedDisabled, design), c.checked_disabled) << c.type;
    EXPECT_EQ(CheckArtFor(kUncheckedDisabled, design), c.unchecked_disabled) << c.type;
  }
}

TEST(CheckImagesTest, TintsAndRingsUseTheOnOffAndDisabledColours) {
  CheckImageDesign design;
  design.on_colour = 0x00C000;
  design.off_colour = 0x0000C0;
  EXPECT_EQ(CheckTintFor(kCheckedEnabled, design), 0x00C000u);
  EXPECT_EQ(CheckTintFor(kUncheckedEnabled, design), 0x0000C0u);
  EXPECT_EQ(CheckTintFor(kUncheckedDisabled, design), 0x7F7F7Fu);
  design.type = kCheckMark;
  EXPECT_EQ(CheckTintFor(kCheckedEnabled, design), std::nullopt);  // the mark stays as drawn
  EXPECT_EQ(CheckTintFor(kCheckedDisabled, design), 0x7F7F7Fu);

  // On: 36 % towards white (192 + 63/100*36 = 214.68); off: 54 %.
  EXPECT_EQ(LampRingColour(kCheckedEnabled, design), 0x5BD65Bu);
  EXPECT_EQ(LampRingColour(kUncheckedEnabled, design), 0x8989E2u);
  EXPECT_EQ(LampRingColour(kCheckedDisabled, design), 0xC8C8C8u);
  EXPECT_EQ(LampRingWidth(9), 1);
  EXPECT_EQ(LampRingWidth(25), 2);
  EXPECT_EQ(LampRingWidth(80), 3);
}

TEST(CheckImagesTest, ScaledLampsFitTheSideWithAClearOutside) {
  CheckImageDesign design;
  design.on_colour = 0x339ADF;
  design.off_colour = 0x339ADF;
  design.auto_scale = true;
  design.side = 20;
  const std::array<QImage, 4> images = BuildCheckImages(design);
  for (const QImage& image : images) {
    ASSERT_EQ(image.size(), QSize(20, 20));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);      // outside the circle
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 255);  // the lamp
  }
  // The ring at the lamp's left edge (margin 1, ring 2): the on colour
  // lightened by 36 %.
  const QRgb ring = images[kCheckedEnabled].pixel(2, 10);
  EXPECT_NEAR(qRed(ring), 0xDF + (255 - 0xDF) * 36 / 100, 3);
  // Unscaled pictures are the 12 x 12 artwork.
  design.auto_scale = false;
  EXPECT_EQ(BuildCheckImages(design)[kCheckedEnabled].size(), QSize(12, 12));
}

}  // namespace
}  // namespace quarry::controls
