#include "framework/colour/scheme_settings.h"

#include "framework/colour/system_colours.h"
#include "platform/settings_store.h"

namespace quarry {

COLORREF SchemeBaseColour(const platform::SettingsStore& store,
                          const SystemColours& system) {
  const std::uint32_t use_base = store.GetDword(
      appearance::kKey, appearance::kUseBaseColor,
      appearance::kUseBaseColorDefault);
  if (use_base != 1) return system.ActiveCaption() & 0x00FFFFFF;
  return store.GetDword(appearance::kKey, appearance::kBaseColor,
                        appearance::kBaseColorDefault) &
         0x00FFFFFF;
}

}  // namespace quarry
