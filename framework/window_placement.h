// The frame's saved place on the screen: a fixed-size binary record stored
// as the BINARY value "MainWndPos" in the program's "Settings" section.
//
// Layout (44 bytes, little-endian 32-bit fields, in this order):
//   length (always 44), flags, show state, minimised position x and y,
//   maximised position x and y, normal rectangle left, top, right, bottom.
// A stored value of any other length is not a placement record and is
// ignored, so that a damaged or foreign value never moves the window.

#ifndef QUARRY_FRAMEWORK_WINDOW_PLACEMENT_H_
#define QUARRY_FRAMEWORK_WINDOW_PLACEMENT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quarry {

inline constexpr char kMainWndPosValue[] = "MainWndPos";
inline constexpr uint32_t kPlacementRecordSize = 44;

// Show states as the record stores them.
inline constexpr uint32_t kShowNormal = 1;
inline constexpr uint32_t kShowMinimized = 2;
inline constexpr uint32_t kShowMaximized = 3;

// Flag: the window returns to the maximised state when restored.
inline constexpr uint32_t kPlacementRestoreToMaximized = 0x0002;

struct WindowPlacement {
  uint32_t flags = 0;
  uint32_t show_state = kShowNormal;
  int32_t min_x = -1, min_y = -1;
  int32_t max_x = -1, max_y = -1;
  // The window's rectangle in its normal (not maximised) state, in screen
  // pixels; right and bottom are exclusive.
  int32_t left = 0, top = 0, right = 0, bottom = 0;

  int64_t Width() const { return int64_t{right} - left; }
  int64_t Height() const { return int64_t{bottom} - top; }
  bool operator==(const WindowPlacement&) const = default;
};

// The record's stored bytes, exactly kPlacementRecordSize of them.
std::vector<uint8_t> EncodePlacement(const WindowPlacement& placement);

// The placement in `data`, or nullopt when `data` is not exactly
// kPlacementRecordSize bytes or its normal rectangle is empty (such a record
// cannot have come from a window and would make the frame vanish).
std::optional<WindowPlacement> DecodePlacement(std::span<const uint8_t> data);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_WINDOW_PLACEMENT_H_
