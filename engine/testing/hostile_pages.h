// Pages built to make a table scanner work hard: each family stretches one
// shape (a cell of unclosed tags, a row of a million cells, tables nested
// a thousand deep, ...) to the size asked for. The hostile-input tests run
// every family at two sizes and compare the engine's work; the benchmarks
// measure time and peak memory at 16 and 64 MiB.

#ifndef QUARRY_ENGINE_TESTING_HOSTILE_PAGES_H_
#define QUARRY_ENGINE_TESTING_HOSTILE_PAGES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::testing {

struct HostileFamily {
  std::string_view name;
  std::string_view shape;  // what the page holds, in a few words
  // A page of about `bytes` bytes (within a few per cent, never more than
  // a few hundred bytes over); the same size always gives the same page.
  std::string (*make)(size_t bytes);
};

// Every family; each scales a single shape with the size.
const std::vector<HostileFamily>& HostileFamilies();

}  // namespace quarry::testing

#endif  // QUARRY_ENGINE_TESTING_HOSTILE_PAGES_H_
