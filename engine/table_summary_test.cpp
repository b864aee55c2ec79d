#include "engine/table_summary.h"

#include <gtest/gtest.h>

namespace quarry {
namespace {

TEST(TableSummaryTest, SizeAsTheGridLaysItOutAndABoundedPreview) {
  struct Case {
    std::string data;
    int lines, columns;
    std::vector<std::vector<std::string>> first;
  };
  const std::string long_cell(200, 'x');
  for (const Case& c : {
           Case{"", 0, 0, {}},
           // Columns are counted from the first line's delimiters, quotes
           // and all, exactly as the grid counts them.
           Case{"a,\"b,c\",d\r\n1,2,3\r\n", 2, 4, {{"a", "b,c", "d", ""}, {"1", "2", "3", ""}}},
           // The first line decides the columns, as in the grid.
           Case{"a,b\r\n1,2,3,4\r\n5\r\n6\r\n", 4, 2, {{"a", "b"}, {"1", "2"}, {"5", ""}}},
           Case{long_cell + "\r\n", 1, 1, {{std::string(kSummaryCellBytes, 'x')}}},
       }) {
    SCOPED_TRACE(c.data.substr(0, 40));
    const TableSummary summary = SummarizeTable(c.data);
    EXPECT_EQ(summary.lines, c.lines);
    EXPECT_EQ(summary.columns, c.columns);
    EXPECT_EQ(summary.first_lines, c.first);
  }
  // A very wide table keeps only a few cells of each line.
  std::string wide;
  for (int k = 0; k < 1000; ++k) wide += (k ? "," : "") + std::to_string(k);
  const TableSummary summary = SummarizeTable(wide + "\r\n");
  EXPECT_EQ(summary.columns, 1000);
  ASSERT_EQ(summary.first_lines.size(), 1u);
  EXPECT_EQ(summary.first_lines[0].size(), static_cast<size_t>(kSummaryCells));
}

}  // namespace
}  // namespace quarry
