// Synthetic web pages for the benchmarks: many tables, some nested three
// deep, cells with character references, links, numbers with commas and
// long text, in the proportions of real listing and layout pages.

#ifndef QUARRY_BENCH_PAGE_GENERATOR_H_
#define QUARRY_BENCH_PAGE_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarry::bench {

// Returns a page of about `target_bytes` bytes (within a few per cent)
// holding exactly `table_count` tables, each with at least one row of data.
// Every tenth group of tables is an outer table holding a middle one holding
// an inner one. The same arguments always give the same page.
std::string GeneratePage(size_t target_bytes, int table_count,
                         uint32_t seed = 1);

// Returns the data text of one table of `rows` lines of `columns` fields
// each, as the scanner writes it: some fields quoted because they hold a
// comma, CR LF after every line.
std::string GenerateDataText(int rows, int columns, uint32_t seed = 1);

// Returns `bytes` bytes of cell text in which about one word in four is a
// character reference or an escape that the decoder replaces.
std::string GenerateEntityText(size_t bytes, uint32_t seed = 1);

}  // namespace quarry::bench

#endif  // QUARRY_BENCH_PAGE_GENERATOR_H_
