#include "app/favorites/menu_order.h"

#include "app/favorites/favorites_test_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarry::favorites {
namespace {

using testing::Entry;
using testing::PutU32;
using testing::Value;

TEST(MenuOrderTest, ReadsBothLayouts) {
  for (int version : {5, 6}) {
    SCOPED_TRACE(version);
    const auto value = Value({Entry(3, "NEWS~1.URL", u"News & Weather.url", version),
                              Entry(1, "A.URL", u"A.url", version),
                              Entry(7, "CAFE.URL", u"Caf\u00e9 \U0001F600.url", version)});
    const std::vector<MenuOrderEntry> expected = {
        {"News && Weather", 3}, {"A", 1}, {"Caf\xC3\xA9 \xF0\x9F\x98\x80", 7}};
    EXPECT_EQ(ParseMenuOrder(value, version), expected);
  }
}

TEST(MenuOrderTest, TheWrongLayoutFindsNoMatchingNames) {
  const auto value = Value({Entry(3, "NEWS.URL", u"News.url", 6)});
  for (const MenuOrderEntry& e : ParseMenuOrder(value, 5)) EXPECT_NE(e.title, "News");
}

TEST(MenuOrderTest, OtherHeadersAreIgnored) {
  auto value = Value({Entry(3, "A.URL", u"A.url", 6)});
  auto wrong = value;
  PutU32(wrong, 0, 9);
  EXPECT_TRUE(ParseMenuOrder(wrong).empty());
  wrong = value;
  PutU32(wrong, 4, 3);
  EXPECT_TRUE(ParseMenuOrder(wrong).empty());
  EXPECT_TRUE(ParseMenuOrder({}).empty());
}

TEST(MenuOrderTest, SkipsEntriesThatNameNoFileOrAreTooShortToName) {
  const auto value = Value({Entry(1, "DIR", u"Folder", 6, /*flags=*/0x01),
                            Entry(2, "X.URL", u"url", 6),  // shorter than ".url"
                            Entry(4, "B.URL", u"B.url", 6)});
  EXPECT_EQ(ParseMenuOrder(value), (std::vector<MenuOrderEntry>{{"B", 4}}));
}

TEST(MenuOrderTest, StopsAtTheEntryCountAndTheValueEnd) {
  const auto a = Entry(1, "A.URL", u"A.url", 6);
  const auto b = Entry(2, "B.URL", u"B.url", 6);
  EXPECT_EQ(ParseMenuOrder(Value({a, b}, 1)).size(), 1u);
  EXPECT_EQ(ParseMenuOrder(Value({a, b}, 1000000)).size(), 2u);
}

// Damaged values: every prefix, lengths that lie, names that overrun.
// None may read outside the value (run under the sanitizer build to see
// it), loop for ever, or invent entries.
TEST(MenuOrderTest, DamagedValuesStayInBounds) {
  const auto a = Entry(1, "A.URL", u"A.url", 6);
  const auto b = Entry(2, "B.URL", u"Bee.url", 6);
  const auto whole = Value({a, b});
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    std::vector<uint8_t> prefix(whole.begin(), whole.begin() + cut);
    EXPECT_LE(ParseMenuOrder(prefix).size(), 2u);
  }

  auto zero_length = whole;
  PutU32(zero_length, 20, 0);
  EXPECT_TRUE(ParseMenuOrder(zero_length).empty());

  auto huge_length = whole;
  PutU32(huge_length, 20, 0xFFFFFFF0u);
  EXPECT_TRUE(ParseMenuOrder(huge_length).empty());

  // A block size pointing far past the entry.
  auto long_block = Value({a});
  const size_t k = 6;  // "A.URL" + NUL
  long_block[20 + 22 + k] = 0xFF;
  long_block[20 + 23 + k] = 0xFF;
  EXPECT_TRUE(ParseMenuOrder(long_block).empty());

  // A block size below the layout's overhead.
  auto small_block = Value({a});
  small_block[20 + 22 + k] = 10;
  small_block[20 + 23 + k] = 0;
  EXPECT_TRUE(ParseMenuOrder(small_block).empty());

  // A short name that never ends inside its entry, then a good entry.
  std::vector<uint8_t> runaway(30, 'X');
  PutU32(runaway, 0, 30);
  runaway[10] = 0x02;
  EXPECT_EQ(ParseMenuOrder(Value({runaway, b})), (std::vector<MenuOrderEntry>{{"Bee", 2}}));
}

TEST(MenuOrderTest, KeysFollowTheFolderPath) {
  EXPECT_EQ(MenuOrderKey(""), std::string(kMenuOrderRootKey));
  EXPECT_EQ(MenuOrderKey("News/Local"), std::string(kMenuOrderRootKey) + "News\\Local");
}

}  // namespace
}  // namespace quarry::favorites
