#include "platform/property_bag.h"

#include <gtest/gtest.h>

#include <string>

namespace quarry::com {
namespace {

PropertyBag SampleBag() {
  PropertyBag bag;
  bag.set_version(MakeVersion(3, 4));
  bag.Set("Transparent", Variant::Bool(true));
  bag.Set("Style", Variant::Int(-3));
  bag.Set("Color Button Face", Variant::UInt(0x339ADF));
  bag.Set("Scale", Variant::Double(1.85));
  bag.Set("Caption", Variant::String("Go\\nStart parsing"));
  bag.Set("Picture", Variant::Bytes({0x89, 'P', 'N', 'G', 0}));
  bag.Set("Font", Variant::Font({"DejaVu Sans", 8.25, 700, false, true, false, 161}));
  return bag;
}

std::vector<uint8_t> Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(PropertyBagTest, StoredFormRoundTripsEveryType) {
  const PropertyBag bag = SampleBag();
  const std::vector<uint8_t> stored = bag.Serialize();
  std::string error;
  std::optional<PropertyBag> back = PropertyBag::Parse(stored, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(*back, bag);
  EXPECT_EQ(back->version(), 0x30004u);
  // Names match in any case and keep their first spelling.
  ASSERT_NE(back->Find("color button FACE"), nullptr);
  EXPECT_TRUE(back->Set("STYLE", Variant::Int(2)));
  EXPECT_EQ(back->entries()[1].first, "Style");
  EXPECT_FALSE(back->Set("", Variant::Int(1)));
  EXPECT_FALSE(back->Set(std::string(256, 'n'), Variant::Int(1)));
}

TEST(PropertyBagTest, EveryTruncationIsRefusedWhole) {
  const std::vector<uint8_t> stored = SampleBag().Serialize();
  for (size_t size = 0; size < stored.size(); ++size) {
    std::string error;
    EXPECT_FALSE(PropertyBag::Parse(std::span(stored.data(), size), &error)) << size;
    EXPECT_FALSE(error.empty()) << size;
  }
}

TEST(PropertyBagTest, DamagedStatesAreRefusedWithAReason) {
  PropertyBag one;
  one.set_version(0x10000);
  one.Set("Name", Variant::String("ab"));
  const std::vector<uint8_t> good = one.Serialize();
  // Offsets in `good`: magic 0, format 4, version 6, count 10, name length
  // 14, name 15, type 19, string length 20, string 24.
  struct Case {
    const char* what;
    size_t offset;
    std::vector<uint8_t> replacement;
    const char* reason;
  } cases[] = {
      {"magic", 0, Bytes("ZTPX"), "not a stored control state"},
      {"format", 4, {2, 0}, "unknown format 2"},
      {"count", 10, {0x01, 0x10, 0, 0}, "more than 4096"},
      {"count beyond data", 10, {2, 0, 0, 0}, "ends early"},
      {"empty name", 14, {0}, "empty name"},
      {"type", 19, {9}, "unknown value type 9"},
      {"empty type", 19, {0}, "unknown value type 0"},
      {"string length", 20, {0xFF, 0xFF, 0xFF, 0x7F}, "longer than the state"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    std::copy(c.replacement.begin(), c.replacement.end(), bad.begin() + c.offset);
    std::string error;
    EXPECT_FALSE(PropertyBag::Parse(bad, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }

  std::vector<uint8_t> trailing = good;
  trailing.push_back(0);
  std::string error;
  EXPECT_FALSE(PropertyBag::Parse(trailing, &error));
  EXPECT_NE(error.find("bytes follow"), std::string::npos) << error;

  PropertyBag flag;
  flag.Set("B", Variant::Bool(true));
  std::vector<uint8_t> bad_bool = flag.Serialize();
  bad_bool.back() = 2;
  EXPECT_FALSE(PropertyBag::Parse(bad_bool, &error));

  // The same name twice, in another case: "Xame" rewritten as "NAME".
  PropertyBag twice;
  twice.Set("Name", Variant::Int(1));
  twice.Set("Xame", Variant::Int(2));
  std::vector<uint8_t> dup = twice.Serialize();
  const size_t second = std::string(dup.begin(), dup.end()).find("Xame");
  std::copy_n("NAME", 4, dup.begin() + static_cast<long>(second));
  EXPECT_FALSE(PropertyBag::Parse(dup, &error));
  EXPECT_NE(error.find("occurs twice"), std::string::npos) << error;
}

TEST(PropertyBagTest, OversizedInputIsRefusedBeforeReading) {
  std::vector<uint8_t> huge(PropertyBag::kMaxStoredSize + 1, 0);
  std::string error;
  EXPECT_FALSE(PropertyBag::Parse(huge, &error));
  EXPECT_NE(error.find("larger than"), std::string::npos);
}

TEST(PropExchangeTest, LoadingFallsBackToDefaultsAndSaysSo) {
  PropertyBag bag;
  bag.Set("Flag", Variant::Int(5));
  bag.Set("Wide", Variant::Int(70000));
  bag.Set("Text", Variant::Int(3));
  bag.Set("Colour", Variant::Int(-1));
  PropExchange px = PropExchange::Loading(bag);
  ASSERT_TRUE(px.IsLoading());

  bool flag = false;
  EXPECT_TRUE(px.Bool("flag", &flag, false));
  EXPECT_TRUE(flag);
  int16_t wide = 7;
  EXPECT_FALSE(px.Short("Wide", &wide, 1));  // does not fit 16 bits
  EXPECT_EQ(wide, 1);
  uint8_t byte = 0;
  EXPECT_FALSE(px.Byte("Wide", &byte, 204));
  EXPECT_EQ(byte, 204);
  std::string text = "x";
  EXPECT_FALSE(px.String("Text", &text, "def"));  // a number is no text
  EXPECT_EQ(text, "def");
  uint32_t colour = 0;
  EXPECT_TRUE(px.UInt("Colour", &colour, 0));
  EXPECT_EQ(colour, 0xFFFFFFFFu);
  int32_t missing = 9;
  EXPECT_FALSE(px.Int("Missing", &missing, 2));
  EXPECT_EQ(missing, 2);
  std::optional<FontDesc> font = FontDesc{"Kept", 9, 400};
  EXPECT_FALSE(px.Font("Font", &font));
  EXPECT_EQ(font->face, "Kept");  // no stored font: the one there stays
}

TEST(PropExchangeTest, SavingWritesTheVersionAndEveryMember) {
  PropertyBag bag;
  PropExchange px = PropExchange::Saving(&bag, MakeVersion(4, 2));
  EXPECT_FALSE(px.IsLoading());
  int16_t width = -2;
  EXPECT_TRUE(px.Short("Border Width", &width, 1));
  std::optional<FontDesc> none;
  EXPECT_TRUE(px.Font("Font", &none));
  EXPECT_EQ(bag.version(), 0x40002u);
  ASSERT_NE(bag.Find("Border Width"), nullptr);
  EXPECT_EQ(*bag.Find("Border Width"), Variant::Int(-2));
  EXPECT_EQ(bag.Find("Font"), nullptr);
}

}  // namespace
}  // namespace quarry::com
