// Helpers shared by the favourites tests: temporary folders and shortcut
// files.

#ifndef QUARRY_APP_FAVORITES_FAVORITES_TEST_UTIL_H_
#define QUARRY_APP_FAVORITES_FAVORITES_TEST_UTIL_H_

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace quarry::favorites::testing {

// A fresh folder under the temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quarry-fav-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A shortcut to `address` at `relative` ("News/Paper.url") under `root`.
inline void WriteShortcut(const std::filesystem::path& root, const std::string& relative,
                          const std::string& address) {
  WriteFile(root / relative, "[InternetShortcut]\r\nURL=" + address + "\r\n");
}

inline void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  if (bytes.size() < at + 4) bytes.resize(at + 4);
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// One entry of a saved-order value as the shell lays it out for `version`.
inline std::vector<uint8_t> Entry(int32_t order, const std::string& short_name,
                           const std::u16string& long_name, int version,
                           uint8_t flags = 0x02) {
  std::vector<uint8_t> e(22, 0);
  PutU32(e, 4, static_cast<uint32_t>(order));
  e[10] = flags;
  for (char c : short_name) e.push_back(static_cast<uint8_t>(c));
  e.push_back(0);
  if (e.size() % 2) e.push_back(0);
  const size_t k = e.size() - 22;
  const size_t start = (version < 6 ? 42 : 60) + k;
  const size_t overhead = version < 6 ? 22 : 40;
  const size_t name_bytes = (long_name.size() + 1) * 2;
  const uint16_t w = static_cast<uint16_t>(overhead + name_bytes);
  e.resize(start, 0xEE);  // the block's other fields
  e[22 + k] = static_cast<uint8_t>(w);
  e[23 + k] = static_cast<uint8_t>(w >> 8);
  for (char16_t c : long_name) {
    e.push_back(static_cast<uint8_t>(c));
    e.push_back(static_cast<uint8_t>(c >> 8));
  }
  e.push_back(0);
  e.push_back(0);
  PutU32(e, 0, static_cast<uint32_t>(e.size()));
  return e;
}

inline std::vector<uint8_t> Value(const std::vector<std::vector<uint8_t>>& entries,
                           uint32_t count_override = UINT32_MAX) {
  std::vector<uint8_t> v(20, 0);
  PutU32(v, 0, 8);
  PutU32(v, 4, 2);
  PutU32(v, 16, count_override == UINT32_MAX ? static_cast<uint32_t>(entries.size())
                                             : count_override);
  for (const auto& e : entries) v.insert(v.end(), e.begin(), e.end());
  return v;
}

}  // namespace quarry::favorites::testing

#endif  // QUARRY_APP_FAVORITES_FAVORITES_TEST_UTIL_H_
