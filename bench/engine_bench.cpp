// Throughput of the table engine on generated pages.
//
// The page pipeline must stay linear in the page size: compare the MB/s of
// the three page sizes, which keep the same density of tables.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/page_generator.h"
#include "engine/entity_decoder.h"
#include "engine/page_parser.h"
#include "engine/table_data_reader.h"
#include "engine/table_grid.h"
#include "engine/table_scanner.h"

namespace quarry::bench {
namespace {

// Pages are generated once per (size, tables) and shared by the benchmarks.
const std::string& Page(size_t bytes, int tables) {
  static std::map<std::pair<size_t, int>, std::string> pages;
  auto [it, added] = pages.try_emplace({bytes, tables});
  if (added) it->second = GeneratePage(bytes, tables);
  return it->second;
}

// Args: page size in KiB, number of tables.
void BM_ParsePageText(benchmark::State& state) {
  const std::string& page =
      Page(static_cast<size_t>(state.range(0)) << 10,
           static_cast<int>(state.range(1)));
  size_t found = 0;
  for (auto _ : state) {
    TableList tables = ParsePageText(page);
    found = tables.size();
    benchmark::DoNotOptimize(tables.data());
  }
  if (found != static_cast<size_t>(state.range(1))) {
    state.SkipWithError("the page did not yield the tables it was made with");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
  state.counters["tables"] = static_cast<double>(found);
}
// The same density of tables (one per 4 KiB) at three sizes, so that the
// MB/s figures show whether time grows linearly; and a small page dense
// with tables.
BENCHMARK(BM_ParsePageText)
    ->Args({250, 62})
    ->Args({2048, 500})
    ->Args({10240, 2500})
    ->Args({250, 250})
    ->Unit(benchmark::kMillisecond);

void BM_SplitTables(benchmark::State& state) {
  const std::string& page =
      Page(static_cast<size_t>(state.range(0)) << 10,
           static_cast<int>(state.range(1)));
  std::vector<std::string> tables;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SplitTables(page, &tables));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_SplitTables)
    ->Args({2048, 500})
    ->Args({10240, 2500})
    ->Unit(benchmark::kMillisecond);

// Arg 0: bytes of text. Arg 1: 1 when the text holds references, 0 for
// plain text (the fast path).
void BM_DecodeHtmlEntities(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  std::string source = GenerateEntityText(bytes);
  if (state.range(1) == 0) {
    for (char& c : source) {
      if (c == '&' || c == '%') c = 'x';
    }
  }
  std::string text;
  for (auto _ : state) {
    text = source;
    DecodeHtmlEntities(text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_DecodeHtmlEntities)
    ->Args({64, 1})
    ->Args({64, 0})
    ->Args({4096, 1})
    ->Args({1 << 20, 1})
    ->Args({1 << 20, 0});

// Arg 0: rows; 8 columns each (about 100 bytes a line).
void BM_TableDataReader(benchmark::State& state) {
  const std::string data =
      GenerateDataText(static_cast<int>(state.range(0)), 8);
  for (auto _ : state) {
    TableDataReader reader;
    reader.Read(data);
    // Every field, as showing the table in the grid reads them.
    size_t total = 0;
    for (int i = 0; i < reader.LineCount(); ++i) {
      const std::string line = reader.Line(i);
      for (int k = 0; k < reader.ColumnCount(); ++k) {
        total += reader.Field(line, k).size();
      }
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_TableDataReader)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_BuildTableGrid(benchmark::State& state) {
  const std::string data =
      GenerateDataText(static_cast<int>(state.range(0)), 8);
  for (auto _ : state) {
    TableGrid grid = BuildTableGrid(data, true);
    benchmark::DoNotOptimize(grid.rows.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_BuildTableGrid)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quarry::bench
