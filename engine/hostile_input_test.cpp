// The engine's work on hostile pages grows in proportion to the page: each
// family is parsed (and its largest table exported) at two sizes four
// times apart, and the work meter's count may grow about fourfold, not
// more. Work is counted, not timed, so a busy machine cannot fail it, and
// a step that turned quadratic would show sixteenfold.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/data_text_grid.h"
#include "engine/delimited_export.h"
#include "engine/html_writer.h"
#include "engine/page_parser.h"
#include "engine/testing/hostile_pages.h"
#include "engine/work_meter.h"

namespace quarry {
namespace {

// Discards what it is given.
class NullSink : public ExportSink {
 public:
  void Write(std::string_view) override {}
};

struct Work {
  uint64_t parse = 0;
  uint64_t csv = 0;
  uint64_t html = 0;
  size_t tables = 0;
};

Work Measure(const std::string& page, bool with_html) {
  Work work;
  uint64_t before = EngineWorkSteps();
  TableList tables = ParsePageText(page);
  work.parse = EngineWorkSteps() - before;
  work.tables = tables.size();
  if (tables.empty()) return work;
  const auto largest = std::max_element(tables.begin(), tables.end(), [](const auto& a, const auto& b) {
    return a.data.size() < b.data.size();
  });
  const DataTextGrid grid(std::move(largest->data), true);
  NullSink sink;
  before = EngineWorkSteps();
  WriteDelimitedText(grid, nullptr, kFileTypeCsv, sink);
  work.csv = EngineWorkSteps() - before;
  if (with_html) {
    before = EngineWorkSteps();
    WriteHtmlDocument(grid, nullptr, sink);
    work.html = EngineWorkSteps() - before;
  }
  return work;
}

// How much more work four times the page may take: four, and a margin for
// the pieces that do not scale (a page's frame, a table's header).
constexpr double kMostGrowth = 4.6;

TEST(HostileInputTest, WorkGrowsInProportionToThePage) {
  constexpr size_t kSmall = 48 << 10;
  for (const testing::HostileFamily& family : testing::HostileFamilies()) {
    // The HTML export of a sparse table writes every cell of its grid, a
    // rectangle far larger than the page: that grows with the grid.
    const bool with_html = family.name != "sparse_wide_table";
    const Work small = Measure(family.make(kSmall), with_html);
    const Work large = Measure(family.make(4 * kSmall), with_html);
    SCOPED_TRACE(std::string(family.name) + ": " + std::string(family.shape));
    EXPECT_GT(small.parse, kSmall / 2) << "the meter did not count the parse";
    EXPECT_LE(static_cast<double>(large.parse), kMostGrowth * static_cast<double>(small.parse))
        << "parse work " << small.parse << " -> " << large.parse;
    EXPECT_LE(static_cast<double>(large.csv), kMostGrowth * static_cast<double>(small.csv) + 64)
        << "CSV export work " << small.csv << " -> " << large.csv;
    EXPECT_LE(static_cast<double>(large.html), kMostGrowth * static_cast<double>(small.html) + 64)
        << "HTML export work " << small.html << " -> " << large.html;
    // Per byte, whatever the shape: a bound that the slowest family keeps
    // with room, and that a quadratic step would break at these sizes.
    EXPECT_LE(large.parse, 64 * 4 * kSmall) << "parse work per byte";
  }
}

}  // namespace
}  // namespace quarry
