// The colour scheme: one base colour turned into a fixed set of darker and
// lighter shades, so that frames, caption bars, dialogs and lists all follow
// a single per-user choice. Also the blend that gradients and highlights use.

#ifndef QUARRY_FRAMEWORK_COLOUR_COLOUR_SCHEME_H_
#define QUARRY_FRAMEWORK_COLOUR_COLOUR_SCHEME_H_

#include <optional>
#include <string>

#include "framework/colour/colour_ref.h"

namespace quarry {

namespace platform {
class SettingsStore;
}  // namespace platform

class SystemColours;

// A font described without a toolkit: face name, height in pixels, weight
// (400 normal, 700 bold).
struct FontChoice {
  std::string face;
  int pixel_height = 0;
  int weight = 400;

  bool operator==(const FontChoice&) const = default;
};

// Where a colour scheme's Derive() without a base colour looks. A null
// member means the process-wide default: SystemColours::Installed() and
// platform::SettingsStore::User(). The pointed-to objects are not owned and
// must outlive the scheme's derivations.
struct ColourSchemeSources {
  const SystemColours* system = nullptr;
  const platform::SettingsStore* store = nullptr;
};

// Not thread-safe; a scheme belongs to the window that paints with it.
// Copyable: a copy is a snapshot of the shades and shares the sources.
class CColourScheme {
 public:
  // The pale factors every window of the programs uses.
  static constexpr double kSecondPaleFactor = 0.8;
  static constexpr double kFirstPaleFactor = 0.6;
  static constexpr COLORREF kHighlightDefault = 0xA1F1FE;  // a pale yellow

  using Sources = ColourSchemeSources;

  // Stores the factors and the highlight default; every colour is 0 and
  // the scheme is not derived until Derive() runs. (The second factor
  // comes first, as every caller has always passed them.)
  CColourScheme(double second_pale_factor = kSecondPaleFactor,
                double first_pale_factor = kFirstPaleFactor,
                Sources sources = {});

  // Computes every shade from `base`, or without one from the user's
  // appearance settings (SchemeBaseColour), taking the face colour from the
  // system colours as they are now, and marks the scheme derived.
  void Derive(std::optional<COLORREF> base = std::nullopt);

  // Derives from the settings unless already derived.
  void EnsureDerived();

  // The same computation with both inputs given; touches nothing outside.
  void DeriveFrom(COLORREF base, COLORREF face);

  // Moves from a towards b by the fraction t, in whole hundredths: t <= 0
  // gives a, t >= 1 gives b; otherwise each channel is
  // a + trunc((b - a) / 100 * floor(t * 100)): the step is truncated
  // towards zero, not the sum, so Blend(black, white, 0.5) is 0x7F7F7F,
  // Blend(white, black, 0.5) is 0x808080 (and the top byte is 0).
  static COLORREF Blend(COLORREF a, COLORREF b, double t);

  // Whether each channel lies within 2 of the colour's grey value; grey
  // bases are shaded by blending, coloured ones channel by channel.
  static bool IsGrey(COLORREF colour);

  // Black on backgrounds whose grey value is 90 or more, white below.
  static COLORREF CaptionTextColour(COLORREF background);
  // The caption text colour for this scheme's base.
  COLORREF CaptionTextColour() const { return CaptionTextColour(base_); }

  // The font a caption gets when it has none: "Microsoft Sans Serif",
  // 14 pixels, weight 400. Toolkits substitute a face that is missing.
  static FontChoice DefaultCaptionFont();

  COLORREF Dark1() const { return dark1_; }
  COLORREF Dark2() const { return dark2_; }
  COLORREF Base() const { return base_; }
  COLORREF Light1() const { return light1_; }
  COLORREF Light2() const { return light2_; }
  COLORREF Light3() const { return light3_; }
  COLORREF Face() const { return face_; }
  COLORREF Pale1() const { return pale1_; }
  COLORREF Pale2() const { return pale2_; }
  // Pale 2 when the base is dark (grey value below 75), else 0.
  COLORREF DarkBaseAccent() const { return dark_base_accent_; }
  COLORREF Reserved() const { return reserved_; }
  // The dark-base accent when there is one, else light 3.
  COLORREF Accent() const { return accent_; }
  COLORREF HighlightDefault() const { return highlight_default_; }
  // 0 when the dark-base accent is (nearly) black, i.e. the base is light
  // and accents fall back to light 3; 1 otherwise.
  int ContrastFlag() const { return contrast_flag_; }
  double FirstPaleFactor() const { return first_pale_factor_; }
  double SecondPaleFactor() const { return second_pale_factor_; }
  bool IsDerived() const { return derived_; }

 private:
  Sources sources_;

  COLORREF dark1_ = 0;
  COLORREF dark2_ = 0;
  COLORREF base_ = 0;
  COLORREF light1_ = 0;
  COLORREF light2_ = 0;
  COLORREF light3_ = 0;
  COLORREF face_ = 0;
  COLORREF pale1_ = 0;
  COLORREF pale2_ = 0;
  COLORREF dark_base_accent_ = 0;
  COLORREF reserved_ = 0;
  COLORREF accent_ = 0;
  COLORREF highlight_default_ = kHighlightDefault;
  int contrast_flag_ = 0;
  double first_pale_factor_;
  double second_pale_factor_;
  bool derived_ = false;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_COLOUR_COLOUR_SCHEME_H_
