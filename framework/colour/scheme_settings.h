// The per-user appearance values the host colour scheme reads. They live
// with the custom controls' appearance settings; no part of the programs
// writes them (users set them with ztreg), so every reader falls back to the
// default when a value is missing or of another type.

#ifndef QUARRY_FRAMEWORK_COLOUR_SCHEME_SETTINGS_H_
#define QUARRY_FRAMEWORK_COLOUR_SCHEME_SETTINGS_H_

#include <cstdint>
#include <string_view>

#include "framework/colour/colour_ref.h"

namespace quarry {

namespace platform {
class SettingsStore;
}  // namespace platform

class SystemColours;

namespace appearance {

inline constexpr std::string_view kKey = "Software\\Zandor Tech\\ZtControls";

inline constexpr std::string_view kUseBaseColor = "UseBaseColor";
inline constexpr std::uint32_t kUseBaseColorDefault = 1;
inline constexpr std::string_view kBaseColor = "BaseColor";
inline constexpr COLORREF kBaseColorDefault = 0x339ADF;  // 3381983

}  // namespace appearance

// The colour a scheme derives from when the caller names none: the stored
// "BaseColor" when "UseBaseColor" is 1, else the system's active-caption
// colour. Only the three colour bytes of a stored value are kept; a stray
// top byte would otherwise travel into every shade that copies the base.
COLORREF SchemeBaseColour(const platform::SettingsStore& store,
                          const SystemColours& system);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_COLOUR_SCHEME_SETTINGS_H_
