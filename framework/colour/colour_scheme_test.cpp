#include "framework/colour/colour_scheme.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/colour/scheme_settings.h"
#include "framework/colour/system_colours.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kFace = 0xECE9D8;

CColourScheme Derived(COLORREF base) {
  CColourScheme scheme(0.8, 0.6);
  scheme.DeriveFrom(base, kFace);
  return scheme;
}

TEST(ColourSchemeTest, ConstructionClearsColoursAndKeepsFactorsInCallOrder) {
  const CColourScheme scheme(0.8, 0.6);
  EXPECT_FALSE(scheme.IsDerived());
  EXPECT_DOUBLE_EQ(scheme.SecondPaleFactor(), 0.8);
  EXPECT_DOUBLE_EQ(scheme.FirstPaleFactor(), 0.6);
  EXPECT_EQ(scheme.HighlightDefault(), 0xA1F1FEu);
  for (COLORREF c : {scheme.Dark1(), scheme.Dark2(), scheme.Base(),
                     scheme.Light1(), scheme.Light2(), scheme.Light3(),
                     scheme.Face(), scheme.Pale1(), scheme.Pale2(),
                     scheme.Accent()}) {
    EXPECT_EQ(c, 0u);
  }
}

TEST(ColourSchemeTest, DefaultBaseIsShadedPerChannelExactly) {
  const COLORREF base = 0x339ADF;  // red 223, green 154, blue 51
  ASSERT_FALSE(CColourScheme::IsGrey(base));
  const CColourScheme s = Derived(base);

  EXPECT_EQ(s.Dark1(), Rgb(40, 17, 12));
  EXPECT_EQ(s.Dark2(), Rgb(145, 58, 25));
  EXPECT_EQ(s.Light1(), Rgb(238, 181, 77));
  EXPECT_EQ(s.Light2(), Rgb(252, 209, 104));
  EXPECT_EQ(s.Light3(), Rgb(253, 240, 160));
  EXPECT_EQ(s.Base(), base);
  EXPECT_EQ(s.Face(), kFace);
  // Light 1 moved 60 and 80 hundredths of the way to white.
  EXPECT_EQ(s.Pale1(), Rgb(248, 225, 183));
  EXPECT_EQ(s.Pale2(), Rgb(251, 240, 219));
  // A light base: no accent of its own, so light 3 and no contrast.
  EXPECT_EQ(s.DarkBaseAccent(), 0u);
  EXPECT_EQ(s.Accent(), s.Light3());
  EXPECT_EQ(s.Reserved(), 0u);
  EXPECT_EQ(s.ContrastFlag(), 0);
  EXPECT_TRUE(s.IsDerived());
}

TEST(ColourSchemeTest, ChannelProductsAboveWhiteAreCut) {
  // Light 3 multiplies blue by more than 3.
  const CColourScheme s = Derived(Rgb(250, 250, 100));
  EXPECT_EQ(s.Light3(), Rgb(255, 255, 255));
  EXPECT_EQ(s.Light1(), Rgb(255, 255, 152));
}

TEST(ColourSchemeTest, GreyBaseIsShadedByBlending) {
  const COLORREF grey = 0x808080;
  ASSERT_TRUE(CColourScheme::IsGrey(grey));
  const CColourScheme s = Derived(grey);
  EXPECT_EQ(s.Dark1(), CColourScheme::Blend(grey, kBlack, 0.8392));
  EXPECT_EQ(s.Dark2(), CColourScheme::Blend(grey, kBlack, 0.4616));
  EXPECT_EQ(s.Light1(), CColourScheme::Blend(grey, kWhite, 0.1385));
  EXPECT_EQ(s.Light2(), CColourScheme::Blend(grey, kWhite, 0.2434));
  EXPECT_EQ(s.Light3(), CColourScheme::Blend(grey, kWhite, 0.347));
  // 128 + trunc(-1.28 * 83) = 128 - 106: the step is truncated.
  EXPECT_EQ(s.Dark1(), Rgb(22, 22, 22));
  // A grey shade stays grey.
  EXPECT_TRUE(CColourScheme::IsGrey(s.Light3()));
}

TEST(ColourSchemeTest, GreyTestAllowsTwoEitherSideWithinTheChannelRange) {
  EXPECT_TRUE(CColourScheme::IsGrey(Rgb(100, 102, 98)));
  EXPECT_FALSE(CColourScheme::IsGrey(Rgb(100, 103, 97)));
  EXPECT_TRUE(CColourScheme::IsGrey(Rgb(0, 0, 2)));
  EXPECT_TRUE(CColourScheme::IsGrey(Rgb(255, 255, 252)));
  EXPECT_FALSE(CColourScheme::IsGrey(Rgb(255, 255, 250)));
  EXPECT_TRUE(CColourScheme::IsGrey(kBlack));
  EXPECT_TRUE(CColourScheme::IsGrey(kWhite));
}

TEST(ColourSchemeTest, DarkBaseGetsPaleAccentAndContrast) {
  const CColourScheme dark = Derived(0x202020);  // grey value 32
  EXPECT_NE(dark.Pale2(), 0u);
  EXPECT_EQ(dark.DarkBaseAccent(), dark.Pale2());
  EXPECT_EQ(dark.Accent(), dark.Pale2());
  EXPECT_EQ(dark.ContrastFlag(), 1);

  // The boundary: 74 is dark, 75 is not.
  const CColourScheme at74 = Derived(Rgb(74, 74, 74));
  EXPECT_EQ(at74.Accent(), at74.Pale2());
  EXPECT_EQ(at74.ContrastFlag(), 1);
  const CColourScheme at75 = Derived(Rgb(75, 75, 75));
  EXPECT_EQ(at75.DarkBaseAccent(), 0u);
  EXPECT_EQ(at75.Accent(), at75.Light3());
  EXPECT_EQ(at75.ContrastFlag(), 0);
}

TEST(ColourSchemeTest, DerivingAgainReplacesEveryShade) {
  CColourScheme s = Derived(0x202020);
  s.DeriveFrom(0x339ADF, 0x123456);
  const CColourScheme fresh = Derived(0x339ADF);
  EXPECT_EQ(s.Dark1(), fresh.Dark1());
  EXPECT_EQ(s.Light3(), fresh.Light3());
  EXPECT_EQ(s.DarkBaseAccent(), 0u);  // not left over from the dark base
  EXPECT_EQ(s.Accent(), fresh.Light3());
  EXPECT_EQ(s.ContrastFlag(), 0);
  EXPECT_EQ(s.Face(), 0x123456u);
}

TEST(ColourSchemeTest, BlendTruncatesTheStepNotTheSum) {
  struct Case {
    COLORREF a, b;
    double t;
    COLORREF expected;
  };
  for (const Case& c : {Case{kBlack, kWhite, 0.5, 0x7F7F7F}, Case{kWhite, kBlack, 0.5, 0x808080},
                        // 0x33 - 0x33 * 0.25 = 38.25: darkening stops at 39
                        Case{0x333333, kBlack, 0.25, 0x272727},
                        Case{0x333333, kWhite, 0.25, 0x666666}}) {
    EXPECT_EQ(CColourScheme::Blend(c.a, c.b, c.t), c.expected)
        << std::hex << c.a << " to " << c.b << " by " << c.t;
  }
}

TEST(ColourSchemeTest, BlendEndpointsReturnTheEndsUnchanged) {
  const std::vector<COLORREF> colours = {0x000000, 0xFFFFFF, 0x339ADF,
                                         0x808080, 0x010203, 0xFF000000};
  for (COLORREF a : colours) {
    for (COLORREF b : colours) {
      EXPECT_EQ(CColourScheme::Blend(a, b, 0.0), a);
      EXPECT_EQ(CColourScheme::Blend(a, b, -0.5), a);
      EXPECT_EQ(CColourScheme::Blend(a, b, 1.0), b);
      EXPECT_EQ(CColourScheme::Blend(a, b, 7.0), b);
    }
  }
}

TEST(ColourSchemeTest, BlendMovesInWholeHundredthsAndTruncates) {
  EXPECT_EQ(CColourScheme::Blend(kBlack, kWhite, 0.5), 0x7F7F7Fu);
  EXPECT_EQ(CColourScheme::Blend(kWhite, kBlack, 0.5), 0x808080u);
  // 0.999 is 99 hundredths: 2.55 * 99 = 252.45.
  EXPECT_EQ(CColourScheme::Blend(kBlack, kWhite, 0.999), Rgb(252, 252, 252));
  // 0.004 is no hundredth at all.
  EXPECT_EQ(CColourScheme::Blend(kBlack, kWhite, 0.004), kBlack);
  // The step is truncated, not the sum: 201 + trunc(-100.5) gives 101.
  EXPECT_EQ(CColourScheme::Blend(Rgb(201, 201, 201), kBlack, 0.5),
            Rgb(101, 101, 101));
  // Channels move independently, each its own way.
  EXPECT_EQ(CColourScheme::Blend(Rgb(0, 200, 100), Rgb(100, 0, 100), 0.25),
            Rgb(25, 150, 100));
  // A stray top byte does not survive a blend.
  EXPECT_EQ(CColourScheme::Blend(0xFF000000, 0xFF000000, 0.5), 0u);
}

TEST(ColourSchemeTest, CaptionTextIsBlackFromGreyNinety) {
  EXPECT_EQ(CColourScheme::CaptionTextColour(Rgb(90, 90, 90)), kBlack);
  EXPECT_EQ(CColourScheme::CaptionTextColour(Rgb(89, 90, 90)), kWhite);
  EXPECT_EQ(CColourScheme::CaptionTextColour(Rgb(0, 0, 255)), kWhite);
  EXPECT_EQ(Derived(0x339ADF).CaptionTextColour(), kBlack);
  EXPECT_EQ(Derived(0x202020).CaptionTextColour(), kWhite);

  const FontChoice font = CColourScheme::DefaultCaptionFont();
  EXPECT_EQ(font, (FontChoice{"Microsoft Sans Serif", 14, 400}));
}

// Derive() without a base reads the user's appearance settings.
class ColourSchemeSettingsTest : public ::testing::Test {
 protected:
  CColourScheme Scheme() {
    return CColourScheme(0.8, 0.6, {&system_, &store_});
  }

  testing::TempDir dir_;
  platform::SettingsStore store_{dir_.File("registry.db")};
  FixedSystemColours system_{0xD4D0C8, Rgb(10, 36, 106)};
};

TEST_F(ColourSchemeSettingsTest, EmptyStoreGivesTheDefaultBase) {
  CColourScheme s = Scheme();
  s.EnsureDerived();
  EXPECT_EQ(s.Base(), 0x339ADFu);
  EXPECT_EQ(s.Face(), 0xD4D0C8u);
  EXPECT_EQ(s.Dark1(), Rgb(40, 17, 12));
}

TEST_F(ColourSchemeSettingsTest, StoredBaseColourIsUsedWhenSwitchedOn) {
  ASSERT_TRUE(store_.SetDword(appearance::kKey, "BaseColor", 0x00556677));
  CColourScheme s = Scheme();
  s.Derive();
  EXPECT_EQ(s.Base(), 0x00556677u);

  // Only the colour bytes of a stored value count.
  ASSERT_TRUE(store_.SetDword(appearance::kKey, "basecolor", 0x80556677));
  s.Derive();
  EXPECT_EQ(s.Base(), 0x00556677u);
}

TEST_F(ColourSchemeSettingsTest, WithoutUseBaseColorTheActiveCaptionIsTheBase) {
  ASSERT_TRUE(store_.SetDword(appearance::kKey, "BaseColor", 0x00556677));
  ASSERT_TRUE(store_.SetDword(appearance::kKey, "UseBaseColor", 0));
  CColourScheme s = Scheme();
  s.Derive();
  EXPECT_EQ(s.Base(), Rgb(10, 36, 106));
  // Only 1 switches the stored colour on.
  ASSERT_TRUE(store_.SetDword(appearance::kKey, "UseBaseColor", 2));
  s.Derive();
  EXPECT_EQ(s.Base(), Rgb(10, 36, 106));
}

TEST_F(ColourSchemeSettingsTest, ExplicitBaseWinsAndEnsureDerivedKeepsIt) {
  ASSERT_TRUE(store_.SetDword(appearance::kKey, "BaseColor", 0x00556677));
  CColourScheme s = Scheme();
  s.Derive(0x202020);
  s.EnsureDerived();
  EXPECT_EQ(s.Base(), 0x202020u);
  EXPECT_EQ(s.Face(), 0xD4D0C8u);
}

TEST_F(ColourSchemeSettingsTest, ValueOfAnotherTypeReadsAsTheDefault) {
  ASSERT_TRUE(store_.SetString(appearance::kKey, "BaseColor", "red"));
  CColourScheme s = Scheme();
  s.Derive();
  EXPECT_EQ(s.Base(), 0x339ADFu);
}

TEST(SystemColoursTest, InstalledFallsBackToClassicValues) {
  const FixedSystemColours mine(0x010101, 0x020202);
  SystemColours::Install(&mine);
  EXPECT_EQ(SystemColours::Installed().ButtonFace(), 0x010101u);
  SystemColours::Install(nullptr);
  EXPECT_EQ(SystemColours::Installed().ButtonFace(),
            FixedSystemColours::kClassicButtonFace);
  EXPECT_EQ(SystemColours::Installed().ActiveCaption(),
            FixedSystemColours::kClassicActiveCaption);
}

}  // namespace
}  // namespace quarry
