#include "controls/common/imaging.h"

#include <gtest/gtest.h>

namespace quarry::controls {
namespace {

TEST(ImagingTest, TintBlendsTheFaceTowardsWhiteInWholeHundredths) {
  struct Case {
    COLORREF face;
    int brightness;
    COLORREF expected;
  } cases[] = {
      {0x339ADF, 0, 0x339ADF},    // black takes the face colour
      {0x339ADF, 255, 0xFEFEFE},  // white is kept off pure white
      {0x000000, 128, 0x7F7F7F},  // 0.50 of the way: 255 / 100 * 50 = 127.5
      {0x0000FF, 51, 0x3333FF},   // red 255; green/blue 0 + 255/100*20 = 51
      {0xFFFFFF, 0, 0xFDFDFD},    // a white face is taken as 0xFDFDFD
      {0xFFFFFF, 255, 0xFEFEFE}, {0x7F7F7F, 200, 0xE2E2E2},  // 127 + 128/100*78 = 226.84
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TintColour(c.face, c.brightness), c.expected)
        << std::hex << c.face << " at " << std::dec << c.brightness;
  }
}

TEST(ImagingTest, LightenAndDarkenClampEachChannel) {
  EXPECT_EQ(Lighten(0x28FEFC, 51), 0x5BFFFFu);
  EXPECT_EQ(Darken(0x339ADF, 51), 0x0067ACu);
  EXPECT_EQ(Darken(0x101010, 51), 0u);
}

TEST(ImagingTest, TintedArtKeepsItsSizeAndMapsEveryPixelByBrightness) {
  QImage art(3, 1, QImage::Format_RGB32);
  art.setPixel(0, 0, qRgb(0, 0, 0));
  art.setPixel(1, 0, qRgb(255, 0, 0));  // brightness 85
  art.setPixel(2, 0, qRgb(255, 255, 255));
  const QImage tinted = TintImage(art, 0x0000FF);
  ASSERT_EQ(tinted.size(), art.size());
  EXPECT_EQ(FromRgb(tinted.pixel(0, 0)), 0x0000FFu);
  EXPECT_EQ(FromRgb(tinted.pixel(1, 0)), TintColour(0x0000FF, 85));
  EXPECT_EQ(FromRgb(tinted.pixel(2, 0)), 0xFEFEFEu);
}

TEST(ImagingTest, TheFringeIsCleanedFromBothEndsOnly) {
  // Row: near-white, near-white, dark, near-white (inside), dark, near-white.
  const int greys[] = {240, 221, 100, 230, 90, 250};
  QImage row(6, 2, QImage::Format_RGB32);
  for (int x = 0; x < 6; ++x) {
    row.setPixel(x, 0, qRgb(greys[x], greys[x], greys[x]));
    row.setPixel(x, 1, qRgb(225, 225, 225));  // all light: all white
  }
  CleanFringe(&row);
  const int expected[] = {255, 255, 100, 230, 90, 255};
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(qRed(row.pixel(x, 0)), expected[x]) << x;
    EXPECT_EQ(row.pixel(x, 1), qRgb(255, 255, 255)) << x;
  }
  // 220 itself is not above the bound.
  QImage edge(1, 1, QImage::Format_RGB32);
  edge.setPixel(0, 0, qRgb(220, 220, 220));
  CleanFringe(&edge);
  EXPECT_EQ(qRed(edge.pixel(0, 0)), 220);
}

TEST(ImagingTest, OnlyTheKeyColourBecomesTransparent) {
  QImage image(2, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(255, 255, 255));
  image.setPixel(1, 0, qRgb(254, 254, 254));
  const QImage keyed = WithTransparentColour(image, qRgb(255, 255, 255));
  EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(keyed.pixel(1, 0)), 255);
}

}  // namespace
}  // namespace quarry::controls
