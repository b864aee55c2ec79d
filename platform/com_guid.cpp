#include "platform/com_guid.h"

#include <cstdio>

namespace quarry::com {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at `*pos`, advancing it.
bool ReadHex(std::string_view text, size_t* pos, int digits, uint64_t* value) {
  if (text.size() - *pos < static_cast<size_t>(digits)) return false;
  uint64_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexDigit(text[*pos + i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint64_t>(d);
  }
  *pos += digits;
  *value = v;
  return true;
}

bool Expect(std::string_view text, size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

std::string FormatGuid(const Guid& g) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                g.data1, g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3],
                g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buffer;
}

std::optional<Guid> ParseGuid(std::string_view text) {
  const bool braced = !text.empty() && text.front() == '{';
  if (braced) {
    if (text.back() != '}') return std::nullopt;
    text = text.substr(1, text.size() - 2);
  }
  if (text.size() != 36) return std::nullopt;
  Guid g;
  size_t pos = 0;
  uint64_t v = 0;
  if (!ReadHex(text, &pos, 8, &v)) return std::nullopt;
  g.data1 = static_cast<uint32_t>(v);
  if (!Expect(text, &pos, '-') || !ReadHex(text, &pos, 4, &v)) return std::nullopt;
  g.data2 = static_cast<uint16_t>(v);
  if (!Expect(text, &pos, '-') || !ReadHex(text, &pos, 4, &v)) return std::nullopt;
  g.data3 = static_cast<uint16_t>(v);
  if (!Expect(text, &pos, '-')) return std::nullopt;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(text, &pos, '-')) return std::nullopt;
    if (!ReadHex(text, &pos, 2, &v)) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}

}  // namespace quarry::com
