// What a list of tables shows of each table before it is opened: its size
// as the grid lays it out and the cells of its first lines.

#ifndef QUARRY_ENGINE_TABLE_SUMMARY_H_
#define QUARRY_ENGINE_TABLE_SUMMARY_H_

#include <string>
#include <string_view>
#include <vector>

namespace quarry {

struct TableSummary {
  int lines = 0;    // lines of the data text: the grid's rows without a header
  int columns = 0;  // the grid's columns
  // The first lines' cells, at most kSummaryLines lines of at most
  // kSummaryCells cells, each cut to kSummaryCellBytes bytes.
  std::vector<std::vector<std::string>> first_lines;

  bool operator==(const TableSummary&) const = default;
};

inline constexpr int kSummaryLines = 3;
inline constexpr int kSummaryCells = 8;
inline constexpr size_t kSummaryCellBytes = 80;

// Reads `data` as the grid would (TableDataReader) and sums it up. Linear
// in the data text; the cells kept are bounded whatever the table's size.
TableSummary SummarizeTable(std::string_view data);

}  // namespace quarry

#endif  // QUARRY_ENGINE_TABLE_SUMMARY_H_
