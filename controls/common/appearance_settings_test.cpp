#include "controls/common/appearance_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "framework/colour/scheme_settings.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry::controls {
namespace {

class AppearanceSettingsTest : public ::testing::Test {
 protected:
  bool Set(std::string_view name, uint32_t value) {
    return store_.SetDword(appearance::kKey, name, value);
  }
  quarry::testing::TempDir dir_;
  platform::SettingsStore store_{dir_.File("registry.db")};
};

TEST_F(AppearanceSettingsTest, AnEmptyStoreGivesTheCustomLookAndTheDefaults) {
  EXPECT_TRUE(UseCustomControls(store_));
  EXPECT_EQ(FontWeightSetting(store_), 700);
  EXPECT_EQ(FontCharSetSetting(store_), 0);
  EXPECT_EQ(ButtonStyleSetting(store_), 0u);
  EXPECT_EQ(ReadAppearanceString(store_, kFaceName, "Microsoft Sans Serif"),
            "Microsoft Sans Serif");
  EXPECT_EQ(ReadControlStyleSettings(store_), ControlStyleSettings{});
  EXPECT_FALSE(store_.KeyExists(appearance::kKey));  // reading writes nothing
}

TEST_F(AppearanceSettingsTest, ButtonStyleFallsBackToTheOlderNameOnlyWhenNotSet) {
  struct Case {
    std::optional<uint32_t> style;
    std::optional<uint32_t> type;
    uint32_t expected;
  } cases[] = {
      {std::nullopt, std::nullopt, 0},
      {std::nullopt, 3, 3},
      {2000, 4, 4},
      {2000, std::nullopt, 0},
      {1, 4, 1},
      {0, 4, 0},
  };
  for (const Case& c : cases) {
    store_.DeleteKey(appearance::kKey);
    if (c.style) {
      ASSERT_TRUE(Set(kButtonStyle, *c.style));
    }
    if (c.type) {
      ASSERT_TRUE(Set(kButtonType, *c.type));
    }
    EXPECT_EQ(ButtonStyleSetting(store_), c.expected)
        << c.style.value_or(-1) << " " << c.type.value_or(-1);
  }
}

TEST_F(AppearanceSettingsTest, FontValuesAreSixteenBitAndOtherTypesReadAsDefaults) {
  ASSERT_TRUE(Set(kFontWeight, 0x10258));  // low word 600
  ASSERT_TRUE(Set(kFontCharSet, 0xFFFF00EE));
  EXPECT_EQ(FontWeightSetting(store_), 600);
  EXPECT_EQ(FontCharSetSetting(store_), 0xEE);
  ASSERT_TRUE(store_.SetString(appearance::kKey, kFontWeight, "900"));
  EXPECT_EQ(FontWeightSetting(store_), 700);

  // Values other than 0 and 1 count as the custom look.
  for (auto [value, custom] : {std::pair{0u, false}, {1u, true}, {2u, true}}) {
    ASSERT_TRUE(Set(kUseCustomControls, value));
    EXPECT_EQ(UseCustomControls(store_), custom) << value;
  }
  EXPECT_EQ(ControlFontWeight(true, 600), 400);
  EXPECT_EQ(ControlFontWeight(false, 600), 600);
  EXPECT_EQ(ControlFontWeight(false, 0), 700);
}

TEST_F(AppearanceSettingsTest, StringsWithAPercentAreExpandedWhateverTheirType) {
  setenv("QUARRY_TEST_FACE", "DejaVu Sans", 1);
  ASSERT_TRUE(store_.SetString(appearance::kKey, kFaceName, "%QUARRY_TEST_FACE%"));
  EXPECT_EQ(ReadAppearanceString(store_, kFaceName, ""), "DejaVu Sans");
  ASSERT_TRUE(store_.SetString(appearance::kKey, kFaceName, "$QUARRY_TEST_FACE"));
  EXPECT_EQ(ReadAppearanceString(store_, kFaceName, ""), "$QUARRY_TEST_FACE");
  unsetenv("QUARRY_TEST_FACE");
}

}  // namespace
}  // namespace quarry::controls
