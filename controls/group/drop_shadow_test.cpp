#include "controls/group/drop_shadow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace quarry::controls {
namespace {

TEST(DropShadowTest, TheStampFallsOffWithDistance) {
  const ShadowParams usual{12, 4, 204, 0};       // R 12, no inner radius
  const ShadowParams wide{2, 6, 200, 0x0000FF};  // R 6, inner radius 4
  struct Case {
    const ShadowParams* params;
    double d;
    int alpha;
  } cases[] = {
      {&usual, 0, 204},   {&usual, 1, 188},   // 204 * 12/13 = 188.3
      {&usual, 6.5, 102}, {&usual, 12, 16},   // 204 / 13 = 15.7
      {&usual, 12.01, 0}, {&wide, 3.9, 200},  // inside the inner radius
      {&wide, 4, 200},    {&wide, 5, 133},    // 200 * (1 - 1/3)
      {&wide, 6, 67},     {&wide, 6.2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StampAlpha(c.d, *c.params), c.alpha) << "d " << c.d;
  }
  // A negative blur is taken as none rather than dividing by zero.
  EXPECT_EQ(StampAlpha(0, ShadowParams{-1, 0, 255, 0}), 255);
}

TEST(DropShadowTest, StampPixelsArePremultiplied) {
  EXPECT_EQ(StampPixel(255, 0x0000FF), 0xFFFF0000u);
  EXPECT_EQ(StampPixel(102, 0x0000FF), 0x66660000u);  // 255 * 102 / 255 = 102
  EXPECT_EQ(StampPixel(128, 0x204080), 0x80402010u);  // blue 128, green 32, red 16
  EXPECT_EQ(StampPixel(0, 0xFFFFFF), 0u);
}

TEST(DropShadowTest, ErosionNarrowsSpansAndFollowsTheirNeighbours) {
  std::vector<Span> spans = {{}, {2, 10}, {0, 12}, {3, 9}, {}};
  const std::vector<Span> once = Erode(spans);
  EXPECT_TRUE(once[0].empty());
  EXPECT_TRUE(once[1].empty());  // a neighbour is empty
  EXPECT_EQ(once[2], (Span{3, 9}));
  EXPECT_TRUE(once[3].empty());
  EXPECT_TRUE(Erode(once)[2].empty());
}

TEST(DropShadowTest, SpansComeFromTheShapeInsideTheShrunkRectangle) {
  // A 10 x 8 target, shape = the whole target: the spread keeps 2 px
  // free on every side.
  const std::vector<Span> spans = ShapeSpans(QSize(10, 8), 2, [](int, int) { return true; });
  ASSERT_EQ(spans.size(), 8u);
  EXPECT_TRUE(spans[0].empty());
  EXPECT_TRUE(spans[1].empty());
  EXPECT_EQ(spans[2], (Span{2, 7}));
  EXPECT_EQ(spans[5], (Span{2, 7}));
  EXPECT_TRUE(spans[6].empty());
}

// The stamp at every span pixel, keeping the larger value: what the
// nearest-pixel rendering must equal.
QImage NaiveStamp(QSize target, const std::vector<Span>& spans, const ShadowParams& p) {
  QImage image(target, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  const int radius = std::max(p.blur, p.spread);
  for (int y = 0; y < static_cast<int>(spans.size()); ++y) {
    if (spans[y].empty()) continue;
    for (int x = spans[y].left; x <= spans[y].right; ++x) {
      for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
          const int px = x + dx, py = y + dy;
          if (px < 0 || py < 0 || px >= target.width() || py >= target.height()) continue;
          const int alpha = StampAlpha(std::hypot(dx, dy), p);
          auto* pixel = reinterpret_cast<uint32_t*>(image.scanLine(py)) + px;
          if (alpha > static_cast<int>(*pixel >> 24)) *pixel = StampPixel(alpha, p.colour);
        }
      }
    }
  }
  return image;
}

TEST(DropShadowTest, RenderingEqualsStampingEverySpanPixel) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const QSize target(20 + static_cast<int>(random() % 20), 16 + static_cast<int>(random() % 20));
    std::vector<Span> spans(static_cast<size_t>(target.height()));
    for (Span& span : spans) {
      if (random() % 4 == 0) continue;
      const int a = static_cast<int>(random() % target.width());
      const int b = static_cast<int>(random() % target.width());
      span = Span{std::min(a, b), std::max(a, b)};
    }
    const ShadowParams params{static_cast<int>(random() % 6), static_cast<int>(random() % 6),
                              static_cast<int>(random() % 256), 0x336699};
    EXPECT_EQ(StampSpans(target, spans, params), NaiveStamp(target, spans, params))
        << "round " << round;
  }
}

TEST(DropShadowTest, AHugeBlurCostsNoMoreThanThePictureAndErodesEverything) {
  const ShadowParams huge{1000000, 0, 255, 0};
  const QImage shadow = RenderShadow(QSize(40, 30), huge, [](int, int) { return true; });
  ASSERT_EQ(shadow.size(), QSize(40, 30));
  EXPECT_EQ(shadow.pixel(20, 15), 0u);  // all spans eroded away
  EXPECT_EQ(ShadowShift(2, 4), QPoint(4, 4));
  EXPECT_EQ(ShadowShift(1, 4), QPoint(-4, -4));
}

}  // namespace
}  // namespace quarry::controls
