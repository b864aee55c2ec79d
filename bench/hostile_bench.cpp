// Time and peak memory of the engine on hostile pages (see
// engine/testing/hostile_pages.h), each family at 16 and 64 MiB: the parse
// of the page, then the export of its largest table.
//
// Peak memory is the process's resident high-water mark, reset right
// before each measured step (Linux: "5" written to /proc/self/clear_refs)
// and read after it; the page itself, resident before the reset, is added
// back, so "parse_peak_x" is the parse's peak over the page counting the
// page once, and "export_peak_x" the export's peak over the exported
// table's data text counting that text once. Each measurement runs once:
// these are minutes of work, not microbenchmarks.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "engine/data_text_grid.h"
#include "engine/delimited_export.h"
#include "engine/html_writer.h"
#include "engine/page_parser.h"
#include "engine/testing/hostile_pages.h"

namespace quarry::bench {
namespace {

// Resident sizes of this process, in bytes, from /proc/self/status.
size_t StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::stoul(line.substr(prefix.size())) * 1024;
  }
  return 0;
}

// Starts a peak measurement: returns the resident size to measure from.
size_t ResetPeak() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusBytes("VmRSS");
}

class CountingSink : public ExportSink {
 public:
  void Write(std::string_view bytes) override { written += bytes.size(); }
  size_t written = 0;
};

// Args: family index, page size in MiB.
void BM_Hostile(benchmark::State& state) {
  const testing::HostileFamily& family =
      testing::HostileFamilies()[static_cast<size_t>(state.range(0))];
  state.SetLabel(std::string(family.name));
  // Held as the window holds a downloaded page: shared, so that the
  // records may keep it for their HTML.
  auto page_text = std::make_shared<std::string>(family.make(static_cast<size_t>(state.range(1)) << 20));
  page_text->shrink_to_fit();
  const std::shared_ptr<const std::string> shared_page = page_text;
  const std::string& page = *page_text;
  for (auto _ : state) {
    size_t base = ResetPeak();
    const auto start = std::chrono::steady_clock::now();
    TableList tables = ParsePageText(shared_page);
    const double parse_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t parse_peak = StatusBytes("VmHWM") - base + page.size();
    state.counters["parse_s"] = parse_seconds;
    state.counters["parse_peak_MB"] = static_cast<double>(parse_peak) / (1 << 20);
    state.counters["parse_peak_x"] = static_cast<double>(parse_peak) / static_cast<double>(page.size());
    state.counters["tables"] = static_cast<double>(tables.size());
    if (tables.empty()) continue;

    auto largest = std::max_element(tables.begin(), tables.end(), [](const auto& a, const auto& b) {
      return a.data.size() < b.data.size();
    });
    std::string data = std::move(largest->data);
    const double data_size = static_cast<double>(std::max<size_t>(data.size(), 1));
    tables.clear();
    tables.shrink_to_fit();
    base = ResetPeak();
    const auto export_start = std::chrono::steady_clock::now();
    {
      const DataTextGrid grid(std::move(data), true);
      CountingSink sink;
      // The HTML document of a sparse table is its grid's area: the CSV,
      // which leaves trailing empty fields out, stands in for it.
      if (family.name == "sparse_wide_table") {
        WriteDelimitedText(grid, nullptr, kFileTypeCsv, sink);
      } else {
        WriteHtmlDocument(grid, nullptr, sink);
      }
      state.counters["export_MB"] = static_cast<double>(sink.written) / (1 << 20);
    }
    state.counters["export_s"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - export_start).count();
    const size_t export_peak = StatusBytes("VmHWM") - base + static_cast<size_t>(data_size);
    state.counters["export_peak_x"] = static_cast<double>(export_peak) / data_size;
  }
  state.SetBytesProcessed(static_cast<int64_t>(page.size()) * state.iterations());
}

void Families(benchmark::internal::Benchmark* bench) {
  for (size_t i = 0; i < testing::HostileFamilies().size(); ++i) {
    for (int mib : {16, 64}) bench->Args({static_cast<int64_t>(i), mib});
  }
}
BENCHMARK(BM_Hostile)->Apply(Families)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quarry::bench
