// What settings_store_helper writes, shared with the tests that check it.

#ifndef QUARRY_PLATFORM_SETTINGS_STORE_HELPER_H_
#define QUARRY_PLATFORM_SETTINGS_STORE_HELPER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/settings_store.h"

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

// The string value the read-only tests put under kSharedKey.
inline constexpr char kReadOnlyValueName[] = "Seen";

// How the store at `path` serves someone who reads and then tries to
// write, in four lines: "usable" or "unusable: PROBLEM"; "read-only" or
// "writable"; "value: TEXT" (kReadOnlyValueName, "-" when missing); "write:
// ok" or "write: REASON".
inline std::string DescribeUse(const std::string& path) {
  SettingsStore store(path);
  std::string text = store.IsUsable() ? "usable\n" : "unusable: " + store.Problem() + "\n";
  text += store.IsReadOnly() ? "read-only\n" : "writable\n";
  text += "value: " + store.GetString(kSharedKey, kReadOnlyValueName, "-") + "\n";
  bool wrote = store.SetDword(kSharedKey, "Written", 1);
  return text + "write: " + (wrote ? "ok" : store.LastError()) + "\n";
}

}  // namespace quarry::platform::helper

#endif  // QUARRY_PLATFORM_SETTINGS_STORE_HELPER_H_
