#include "framework/window_placement.h"

#include <gtest/gtest.h>

#include <limits>

namespace quarry {
namespace {

WindowPlacement Sample() {
  WindowPlacement p;
  p.flags = kPlacementRestoreToMaximized;
  p.show_state = kShowMaximized;
  p.min_x = -32000;
  p.min_y = -32000;
  p.max_x = -1;
  p.max_y = -1;
  p.left = -40;
  p.top = 25;
  p.right = 900;
  p.bottom = 700;
  return p;
}

TEST(WindowPlacementTest, RecordRoundTripsWithAFixedLayout) {
  std::vector<uint8_t> bytes = EncodePlacement(Sample());
  ASSERT_EQ(bytes.size(), kPlacementRecordSize);
  // The length field leads, little-endian; the show state is the third word.
  EXPECT_EQ(bytes[0], 44);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[8], kShowMaximized);
  // left = -40 in two's complement at offset 28.
  EXPECT_EQ(bytes[28], 0xD8);
  EXPECT_EQ(bytes[31], 0xFF);
  std::optional<WindowPlacement> back = DecodePlacement(bytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, Sample());
}

TEST(WindowPlacementTest, AnyOtherLengthIsIgnored) {
  std::vector<uint8_t> bytes = EncodePlacement(Sample());
  for (size_t size : {size_t{0}, size_t{4}, size_t{40}, size_t{43}}) {
    EXPECT_FALSE(DecodePlacement(std::span(bytes).first(size)).has_value()) << size;
  }
  bytes.push_back(0);
  EXPECT_FALSE(DecodePlacement(bytes).has_value());
}

TEST(WindowPlacementTest, EmptyOrInvertedRectanglesAreNotPlacements) {
  WindowPlacement p = Sample();
  p.right = p.left;
  EXPECT_FALSE(DecodePlacement(EncodePlacement(p)).has_value());
  p = Sample();
  p.bottom = p.top - 1;
  EXPECT_FALSE(DecodePlacement(EncodePlacement(p)).has_value());
  // Extremes must not overflow into a positive size.
  p = Sample();
  p.left = std::numeric_limits<int32_t>::max();
  p.right = std::numeric_limits<int32_t>::min();
  EXPECT_FALSE(DecodePlacement(EncodePlacement(p)).has_value());
  p = Sample();
  p.left = std::numeric_limits<int32_t>::min();
  p.right = std::numeric_limits<int32_t>::max();
  ASSERT_TRUE(DecodePlacement(EncodePlacement(p)).has_value());
  EXPECT_GT(DecodePlacement(EncodePlacement(p))->Width(), 0);
}

}  // namespace
}  // namespace quarry
