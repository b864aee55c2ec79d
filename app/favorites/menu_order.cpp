#include "app/favorites/menu_order.h"

#include <optional>

#include "app/favorites/favorite_record.h"

namespace quarry::favorites {

namespace {

// Offsets inside the value and inside one entry.
constexpr size_t kHeaderCountOffset = 16;
constexpr size_t kFirstEntryOffset = 20;
constexpr size_t kEntryOrderOffset = 4;
constexpr size_t kEntryFlagsOffset = 10;
constexpr size_t kEntryShortNameOffset = 22;
constexpr uint8_t kNamesFile = 0x02;

std::optional<uint32_t> ReadU32(std::span<const uint8_t> bytes, size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return std::nullopt;
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 |
         static_cast<uint32_t>(bytes[at + 3]) << 24;
}

std::optional<uint16_t> ReadU16(std::span<const uint8_t> bytes, size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return std::nullopt;
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The long name held in `bytes` (UTF-16LE, ending at a zero unit or the
// end), without its last four characters, as UTF-8; nullopt when it is
// shorter than that.
std::optional<std::string> LongNameTitle(std::span<const uint8_t> bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (unit == 0) break;
    units += unit;
  }
  if (units.size() < 4) return std::nullopt;
  units.resize(units.size() - 4);
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;  // an unpaired surrogate
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// The title an entry names; nullopt when it names no file or its name does
// not lie inside the entry.
std::optional<std::string> EntryTitle(std::span<const uint8_t> entry, int layout_version) {
  if (kEntryFlagsOffset >= entry.size() || !(entry[kEntryFlagsOffset] & kNamesFile)) {
    return std::nullopt;
  }
  size_t k = 0;
  while (true) {  // the short name, terminator included
    const size_t at = kEntryShortNameOffset + k;
    if (at >= entry.size()) return std::nullopt;
    ++k;
    if (entry[at] == 0) break;
  }
  k += k & 1;
  const std::optional<uint16_t> block = ReadU16(entry, kEntryShortNameOffset + k);
  if (!block) return std::nullopt;
  const size_t start = (layout_version < 6 ? 42 : 60) + k;
  const size_t overhead = layout_version < 6 ? 22 : 40;
  if (*block < overhead) return std::nullopt;
  const size_t length = *block - overhead;
  if (start > entry.size() || entry.size() - start < length) return std::nullopt;
  std::optional<std::string> title = LongNameTitle(entry.subspan(start, length));
  if (!title) return std::nullopt;
  return DoubleAmpersands(*title);
}

}  // namespace

std::string MenuOrderKey(std::string_view folder) {
  std::string key = kMenuOrderRootKey;
  for (char c : folder) key += c == '/' ? '\\' : c;
  return key;
}

std::vector<MenuOrderEntry> ParseMenuOrder(std::span<const uint8_t> value,
                                           int layout_version) {
  std::vector<MenuOrderEntry> entries;
  if (ReadU32(value, 0) != 8u || ReadU32(value, 4) != 2u) return entries;
  const std::optional<uint32_t> count = ReadU32(value, kHeaderCountOffset);
  if (!count) return entries;
  size_t offset = kFirstEntryOffset;
  for (uint32_t read = 0; read < *count && offset < value.size(); ++read) {
    const std::optional<uint32_t> length = ReadU32(value, offset);
    // A length that cannot hold the entry's own fields would stall the
    // walk or send it into the next entry; the rest cannot be trusted.
    if (!length || *length <= kEntryFlagsOffset || *length > value.size() - offset) break;
    const std::span<const uint8_t> entry = value.subspan(offset, *length);
    offset += *length;
    const std::optional<std::string> title = EntryTitle(entry, layout_version);
    if (!title) continue;
    entries.push_back({*title, static_cast<int32_t>(*ReadU32(entry, kEntryOrderOffset))});
  }
  return entries;
}

}  // namespace quarry::favorites
