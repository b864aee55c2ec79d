// Colours as the rest of the system stores and exchanges them: 32-bit
// values laid out 0x00BBGGRR, red in the low byte. Stored settings
// ("BaseColor", the gradient colours) keep this layout, so it stays.

#ifndef QUARRY_FRAMEWORK_COLOUR_COLOUR_REF_H_
#define QUARRY_FRAMEWORK_COLOUR_COLOUR_REF_H_

#include <cstdint>

namespace quarry {

using COLORREF = std::uint32_t;

// The colour with the given channels; the top byte is 0.
constexpr COLORREF Rgb(std::uint8_t red, std::uint8_t green,
                       std::uint8_t blue) {
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
         (static_cast<COLORREF>(blue) << 16);
}

constexpr int RedOf(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

// The integer average of the three channels, rounded down; the top byte
// plays no part.
constexpr int GreyValue(COLORREF c) {
  return (RedOf(c) + GreenOf(c) + BlueOf(c)) / 3;
}

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_COLOUR_COLOUR_REF_H_
