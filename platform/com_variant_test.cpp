#include "platform/com_variant.h"

#include <gtest/gtest.h>

#include <limits>

namespace quarry::com {
namespace {

TEST(VariantTest, IntegerConversionsRefuseWhatDoesNotFit) {
  struct Case {
    Variant v;
    std::optional<int32_t> as_int;
    std::optional<uint32_t> as_uint;
    std::optional<bool> as_bool;
  } cases[] = {
      {Variant::Int(-1), -1, 0xFFFFFFFFu, true},  // a colour of -1 keeps its bits
      {Variant::UInt(0xFFFFFFFFu), std::nullopt, 0xFFFFFFFFu, true},
      {Variant::UInt(0x7FFFFFFFu), 0x7FFFFFFF, 0x7FFFFFFFu, true},
      {Variant::Bool(true), 1, 1u, true},
      {Variant::Bool(false), 0, 0u, false},
      {Variant::Double(2.5), 3, 3u, true},
      {Variant::Double(-2.5), -3, 0xFFFFFFFDu, true},
      {Variant::Double(1e12), std::nullopt, std::nullopt, true},
      {Variant::Double(std::numeric_limits<double>::quiet_NaN()), std::nullopt, std::nullopt,
       std::nullopt},
      {Variant::String("12"), 12, 12u, true},
      {Variant::String("-7"), -7, 0xFFFFFFF9u, true},
      {Variant::String("0x28FEFC"), 0x28FEFC, 0x28FEFCu, true},
      {Variant::String("true"), std::nullopt, std::nullopt, true},
      {Variant::String("12 "), std::nullopt, std::nullopt, std::nullopt},
      {Variant::String(""), std::nullopt, std::nullopt, std::nullopt},
      {Variant::String("99999999999999999999"), std::nullopt, std::nullopt, std::nullopt},
      {Variant(), std::nullopt, std::nullopt, std::nullopt},
      {Variant::Bytes({1, 2}), std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.v.ToInt(), c.as_int) << c.v.Describe();
    EXPECT_EQ(c.v.ToUInt(), c.as_uint) << c.v.Describe();
    EXPECT_EQ(c.v.ToBool(), c.as_bool) << c.v.Describe();
  }
}

TEST(VariantTest, TextAndObjectsConvertOnlyWhereMeaningful) {
  EXPECT_EQ(Variant::Int(-5).ToString(), "-5");
  EXPECT_EQ(Variant::Double(0.25).ToString(), "0.25");
  EXPECT_EQ(Variant::String("3.5").ToDouble(), 3.5);
  EXPECT_FALSE(Variant::Font({}).ToString());
  EXPECT_FALSE(Variant::String("x").ToBytes());
  EXPECT_FALSE(Variant::Int(1).ToFont());
  FontDesc f{"DejaVu Sans", 9.5, 700, true, false, true, 238};
  EXPECT_EQ(Variant::Font(f).ToFont(), f);
  EXPECT_EQ(Variant::Font(f).Describe(), "Font \"DejaVu Sans\" 9.5pt weight 700");
  EXPECT_NE(Variant::Int(1), Variant::UInt(1));
  EXPECT_NE(Variant::Bool(true), Variant::Int(1));
}

}  // namespace
}  // namespace quarry::com
