#include "platform/utf8_text.h"

#include <cstdint>

namespace quarry {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed sequence at `text[i]`, or 0.
size_t SequenceLength(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || text.size() - i < length) return 0;
  uint32_t code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if (!IsContinuation(next)) return 0;
    code = code << 6 | (next & 0x3F);
  }
  constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = SequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string PageBytesAsUtf8(std::string_view bytes) {
  if (IsUtf8(bytes)) return std::string(bytes);
  std::string text;
  text.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      text.push_back(ch);
    } else {
      text.push_back(static_cast<char>(0xC0 | (b >> 6)));
      text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return text;
}

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (char ch : text) count += IsContinuation(static_cast<unsigned char>(ch)) ? 0 : 1;
  return count;
}

std::string_view Utf8Prefix(std::string_view text, size_t characters) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (seen == characters) return text.substr(0, i);
    ++seen;
  }
  return text;
}

}  // namespace quarry
