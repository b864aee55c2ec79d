#include "framework/window_placement.h"

namespace quarry {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(std::span<const uint8_t> data, size_t field) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    v |= static_cast<uint32_t>(data[field * 4 + i]) << (8 * i);
  }
  return v;
}

int32_t GetI32(std::span<const uint8_t> data, size_t field) {
  return static_cast<int32_t>(GetU32(data, field));
}

}  // namespace

std::vector<uint8_t> EncodePlacement(const WindowPlacement& p) {
  std::vector<uint8_t> out;
  out.reserve(kPlacementRecordSize);
  PutU32(out, kPlacementRecordSize);
  PutU32(out, p.flags);
  PutU32(out, p.show_state);
  for (int32_t v : {p.min_x, p.min_y, p.max_x, p.max_y, p.left, p.top,
                    p.right, p.bottom}) {
    PutU32(out, static_cast<uint32_t>(v));
  }
  return out;
}

std::optional<WindowPlacement> DecodePlacement(std::span<const uint8_t> data) {
  if (data.size() != kPlacementRecordSize) return std::nullopt;
  WindowPlacement p;
  p.flags = GetU32(data, 1);
  p.show_state = GetU32(data, 2);
  p.min_x = GetI32(data, 3);
  p.min_y = GetI32(data, 4);
  p.max_x = GetI32(data, 5);
  p.max_y = GetI32(data, 6);
  p.left = GetI32(data, 7);
  p.top = GetI32(data, 8);
  p.right = GetI32(data, 9);
  p.bottom = GetI32(data, 10);
  if (p.Width() <= 0 || p.Height() <= 0) {
    return std::nullopt;
  }
  return p;
}

}  // namespace quarry
