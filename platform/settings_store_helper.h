// What settings_store_helper writes, shared with the tests that check it.

#ifndef QUARRY_PLATFORM_SETTINGS_STORE_HELPER_H_
#define QUARRY_PLATFORM_SETTINGS_STORE_HELPER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarry::platform::helper {

// Every writer uses one shared key, so that writers contend for the same
// rows, and names its values after itself.
inline constexpr char kSharedKey[] = "Software\\Zandor Tech\\StoreTest\\Shared";

inline std::string ValueName(int writer, int index) {
  return "w" + std::to_string(writer) + "-" + std::to_string(index);
}

// The bytes of value `index` of `writer`: distinct per value, so a value
// that landed under the wrong name or was torn shows.
inline std::vector<uint8_t> Payload(int writer, int index, size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t j = 0; j < size; ++j) {
    data[j] = static_cast<uint8_t>(writer * 31 + index * 7 + j * 13);
  }
  if (size >= 8) {
    for (int b = 0; b < 4; ++b) data[b] = static_cast<uint8_t>(index >> (8 * b));
    for (int b = 0; b < 4; ++b) data[4 + b] = static_cast<uint8_t>(writer >> (8 * b));
  }
  return data;
}

}  // namespace quarry::platform::helper

#endif  // QUARRY_PLATFORM_SETTINGS_STORE_HELPER_H_
