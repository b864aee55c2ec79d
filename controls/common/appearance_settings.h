// The per-user appearance settings of the custom controls, under
// "Software\\Zandor Tech\\ZtControls". No part of the system writes them;
// users set them with ztreg. Every reader reads one value at a time from
// the store and never writes: a missing key, a missing value or a value of
// another type gives the default.
//
//   UseCustomControls  DWORD 1     1: the controls draw their own look
//   UseBaseColor       DWORD 1     host scheme from BaseColor (else the caption colour)
//   BaseColor          DWORD 0x339ADF
//   GroupStyle         DWORD 1     group style of the host's group boxes
//   ButtonStyle        DWORD 2000  button style; 2000 means "not set", see ButtonStyle()
//   ButtonType         DWORD 0     older name of ButtonStyle
//   ButtonSides        DWORD 0     button edge shape
//   CheckScheme        DWORD 0     check box scheme index
//   SliderButton       DWORD 0     slider button style index
//   FontWeight         DWORD 700   font weight when UseCustomControls is 0
//   FontHeight         DWORD 8     points
//   FontItalic, FontUnderline, FontStrikeOut  DWORD 0
//   FaceName           string "Microsoft Sans Serif"
//   FontCharSet        DWORD 0     character set forced on a control's font
//
// The font values are 16-bit quantities: only the low word of a stored
// DWORD counts.

#ifndef QUARRY_CONTROLS_COMMON_APPEARANCE_SETTINGS_H_
#define QUARRY_CONTROLS_COMMON_APPEARANCE_SETTINGS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quarry::platform {
class SettingsStore;
}  // namespace quarry::platform

namespace quarry::controls {

inline constexpr std::string_view kUseCustomControls = "UseCustomControls";
inline constexpr std::string_view kGroupStyle = "GroupStyle";
inline constexpr std::string_view kButtonStyle = "ButtonStyle";
inline constexpr std::string_view kButtonType = "ButtonType";
inline constexpr std::string_view kButtonSides = "ButtonSides";
inline constexpr std::string_view kCheckScheme = "CheckScheme";
inline constexpr std::string_view kSliderButton = "SliderButton";
inline constexpr std::string_view kFontWeight = "FontWeight";
inline constexpr std::string_view kFontHeight = "FontHeight";
inline constexpr std::string_view kFontItalic = "FontItalic";
inline constexpr std::string_view kFontUnderline = "FontUnderline";
inline constexpr std::string_view kFontStrikeOut = "FontStrikeOut";
inline constexpr std::string_view kFaceName = "FaceName";
inline constexpr std::string_view kFontCharSet = "FontCharSet";

// "ButtonStyle" holds this when the user has not chosen a style.
inline constexpr uint32_t kButtonStyleNotSet = 2000;

// One DWORD value of the settings key, or `def`.
uint32_t ReadAppearanceDword(const platform::SettingsStore& store, std::string_view name,
                             uint32_t def);
// The low 16 bits of a DWORD value, or `def`.
uint16_t ReadAppearanceWord(const platform::SettingsStore& store, std::string_view name,
                            uint16_t def);
// A string value; environment references in it are expanded when it
// contains a "%" (whatever its stored type), as the settings were always
// read.
std::string ReadAppearanceString(const platform::SettingsStore& store, std::string_view name,
                                 std::string def);

// What the controls read at construction. "UseCustomControls" is defined
// for 0 and 1; any other value counts as 1, the look the controls are made
// for.
bool UseCustomControls(const platform::SettingsStore& store);
uint16_t FontWeightSetting(const platform::SettingsStore& store);   // default 700
uint16_t FontCharSetSetting(const platform::SettingsStore& store);  // default 0

// "ButtonStyle", or "ButtonType" (default 0) when it reads 2000.
uint32_t ButtonStyleSetting(const platform::SettingsStore& store);

// The four style values the host pushes to its controls, read together
// when a dialog is built and again when the system colours change.
struct ControlStyleSettings {
  uint32_t button_style = 0;
  uint32_t button_sides = 0;
  uint32_t slider_button = 0;
  uint32_t check_scheme = 0;
  uint32_t group_style = 1;

  bool operator==(const ControlStyleSettings&) const = default;
};
ControlStyleSettings ReadControlStyleSettings(const platform::SettingsStore& store);

// The weight a control gives its font when a character set is forced on
// load: 400 in the custom look; otherwise "FontWeight", 700 where that is
// 0.
int ControlFontWeight(bool use_custom_controls, uint16_t font_weight_setting);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_APPEARANCE_SETTINGS_H_
