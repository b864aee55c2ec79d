#include "framework/colour/colour_scheme.h"

#include <algorithm>

#include "framework/colour/scheme_settings.h"
#include "framework/colour/system_colours.h"
#include "platform/settings_store.h"

namespace quarry {

namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kWhite = 0xFFFFFF;

// Grey bases are shaded by blending towards black and white; a coloured
// base would drift in hue that way, so it is shaded per channel instead.
constexpr double kGreyDark1 = 0.8392;
constexpr double kGreyDark2 = 0.4616;
constexpr double kGreyLight1 = 0.1385;
constexpr double kGreyLight2 = 0.2434;
constexpr double kGreyLight3 = 0.347;

struct ChannelFactors {
  double red;
  double green;
  double blue;
};
constexpr ChannelFactors kDark1Factors{0.1794, 0.1104, 0.25};
constexpr ChannelFactors kDark2Factors{0.6547, 0.3831, 0.5};
constexpr ChannelFactors kLight1Factors{1.0673, 1.1818, 1.5294};
constexpr ChannelFactors kLight2Factors{1.1345, 1.3636, 2.0588};
constexpr ChannelFactors kLight3Factors{1.139, 1.5649, 3.1568};

// Bases darker than this get a pale accent of their own.
constexpr int kDarkBaseGrey = 75;
constexpr int kCaptionBlackFromGrey = 90;
constexpr int kContrastTolerance = 5;

std::uint8_t ScaleChannel(int channel, double factor) {
  // Truncation, not rounding: the shades must match the ones stored
  // colours and artwork were made with.
  const int scaled = static_cast<int>(channel * factor);
  return static_cast<std::uint8_t>(std::clamp(scaled, 0, 255));
}

COLORREF Scale(COLORREF c, const ChannelFactors& f) {
  return Rgb(ScaleChannel(RedOf(c), f.red), ScaleChannel(GreenOf(c), f.green),
             ScaleChannel(BlueOf(c), f.blue));
}

// The step from a towards b is truncated towards zero, not the sum: a
// darkening blend therefore stops one short of the floor, as the stored
// shades were made.
std::uint8_t BlendChannel(int a, int b, int hundredths) {
  const int step = static_cast<int>((b - a) / 100.0 * hundredths);
  return static_cast<std::uint8_t>(std::clamp(a + step, 0, 255));
}

bool WithinOf(COLORREF c, int centre, int tolerance) {
  const int lo = std::max(0, centre - tolerance);
  const int hi = std::min(255, centre + tolerance);
  for (int channel : {RedOf(c), GreenOf(c), BlueOf(c)}) {
    if (channel < lo || channel > hi) return false;
  }
  return true;
}

}  // namespace

CColourScheme::CColourScheme(double second_pale_factor,
                             double first_pale_factor, Sources sources)
    : sources_(sources),
      first_pale_factor_(first_pale_factor),
      second_pale_factor_(second_pale_factor) {}

void CColourScheme::Derive(std::optional<COLORREF> base) {
  const SystemColours& system = sources_.system != nullptr
                                    ? *sources_.system
                                    : SystemColours::Installed();
  if (!base) {
    const platform::SettingsStore& store =
        sources_.store != nullptr ? *sources_.store
                                  : platform::SettingsStore::User();
    base = SchemeBaseColour(store, system);
  }
  DeriveFrom(*base, system.ButtonFace());
}

void CColourScheme::EnsureDerived() {
  if (!derived_) Derive();
}

void CColourScheme::DeriveFrom(COLORREF base, COLORREF face) {
  if (IsGrey(base)) {
    dark1_ = Blend(base, kBlack, kGreyDark1);
    dark2_ = Blend(base, kBlack, kGreyDark2);
    light1_ = Blend(base, kWhite, kGreyLight1);
    light2_ = Blend(base, kWhite, kGreyLight2);
    light3_ = Blend(base, kWhite, kGreyLight3);
  } else {
    dark1_ = Scale(base, kDark1Factors);
    dark2_ = Scale(base, kDark2Factors);
    light1_ = Scale(base, kLight1Factors);
    light2_ = Scale(base, kLight2Factors);
    light3_ = Scale(base, kLight3Factors);
  }
  base_ = base;
  face_ = face;
  pale1_ = Blend(light1_, kWhite, first_pale_factor_);
  pale2_ = Blend(light1_, kWhite, second_pale_factor_);
  dark_base_accent_ = GreyValue(base) < kDarkBaseGrey ? pale2_ : 0;
  reserved_ = 0;
  accent_ = dark_base_accent_ != 0 ? dark_base_accent_ : light3_;
  contrast_flag_ =
      WithinOf(reserved_, GreyValue(dark_base_accent_), kContrastTolerance) ? 0
                                                                            : 1;
  derived_ = true;
}

COLORREF CColourScheme::Blend(COLORREF a, COLORREF b, double t) {
  if (t <= 0) return a;
  if (t >= 1) return b;
  const int hundredths = static_cast<int>(t * 100);
  return Rgb(BlendChannel(RedOf(a), RedOf(b), hundredths),
             BlendChannel(GreenOf(a), GreenOf(b), hundredths),
             BlendChannel(BlueOf(a), BlueOf(b), hundredths));
}

bool CColourScheme::IsGrey(COLORREF colour) {
  return WithinOf(colour, GreyValue(colour), 2);
}

COLORREF CColourScheme::CaptionTextColour(COLORREF background) {
  return GreyValue(background) >= kCaptionBlackFromGrey ? kBlack : kWhite;
}

FontChoice CColourScheme::DefaultCaptionFont() {
  return FontChoice{"Microsoft Sans Serif", 14, 400};
}

}  // namespace quarry
