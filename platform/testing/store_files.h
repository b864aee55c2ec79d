// Store files made and looked into behind the store's back, for its tests:
// files of the first format as earlier versions left them, and plain SQL.

#ifndef QUARRY_PLATFORM_TESTING_STORE_FILES_H_
#define QUARRY_PLATFORM_TESTING_STORE_FILES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::testing {

// `levels` copies of `name` joined with backslashes: a key path that deep.
std::string DeepKeyPath(size_t levels, std::string_view name);

// A value of a first-format store: its key's path in stored spelling.
struct FirstFormatValue {
  std::string key;
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// Writes a new store file of the first format at `path`, where every key
// row held its whole path: the keys of `keys` (paths in stored spelling)
// with all their ancestors, and `values`. False on any failure.
bool WriteFirstFormatStore(const std::string& path, const std::vector<std::string>& keys,
                           const std::vector<FirstFormatValue>& values);

// Runs SQL on `path` with a plain connection; empty, or SQLite's message.
std::string RunSql(const std::string& path, const std::string& sql);

// The first column of the first row of a query, as an integer; -1 when the
// query fails or gives no row.
int64_t QueryInt(const std::string& path, const std::string& sql);

}  // namespace quarry::testing

#endif  // QUARRY_PLATFORM_TESTING_STORE_FILES_H_
