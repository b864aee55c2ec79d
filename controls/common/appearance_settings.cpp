#include "controls/common/appearance_settings.h"

#include "framework/colour/scheme_settings.h"
#include "platform/env_expand.h"
#include "platform/settings_store.h"

namespace quarry::controls {

uint32_t ReadAppearanceDword(const platform::SettingsStore& store, std::string_view name,
                             uint32_t def) {
  return store.GetDword(appearance::kKey, name, def);
}

uint16_t ReadAppearanceWord(const platform::SettingsStore& store, std::string_view name,
                            uint16_t def) {
  return static_cast<uint16_t>(store.GetDword(appearance::kKey, name, def) & 0xFFFF);
}

std::string ReadAppearanceString(const platform::SettingsStore& store, std::string_view name,
                                 std::string def) {
  std::string text = store.GetString(appearance::kKey, name, std::move(def));
  if (text.find('%') != std::string::npos) text = platform::ExpandEnvironmentReferences(text);
  return text;
}

bool UseCustomControls(const platform::SettingsStore& store) {
  return ReadAppearanceDword(store, kUseCustomControls, 1) != 0;
}

uint16_t FontWeightSetting(const platform::SettingsStore& store) {
  return ReadAppearanceWord(store, kFontWeight, 700);
}

uint16_t FontCharSetSetting(const platform::SettingsStore& store) {
  return ReadAppearanceWord(store, kFontCharSet, 0);
}

uint32_t ButtonStyleSetting(const platform::SettingsStore& store) {
  const uint32_t style = ReadAppearanceDword(store, kButtonStyle, kButtonStyleNotSet);
  if (style != kButtonStyleNotSet) return style;
  return ReadAppearanceDword(store, kButtonType, 0);
}

ControlStyleSettings ReadControlStyleSettings(const platform::SettingsStore& store) {
  ControlStyleSettings s;
  s.button_style = ButtonStyleSetting(store);
  s.button_sides = ReadAppearanceDword(store, kButtonSides, 0);
  s.slider_button = ReadAppearanceDword(store, kSliderButton, 0);
  s.check_scheme = ReadAppearanceDword(store, kCheckScheme, 0);
  s.group_style = ReadAppearanceDword(store, kGroupStyle, 1);
  return s;
}

int ControlFontWeight(bool use_custom_controls, uint16_t font_weight_setting) {
  if (use_custom_controls) return 400;
  return font_weight_setting != 0 ? font_weight_setting : 700;
}

}  // namespace quarry::controls
