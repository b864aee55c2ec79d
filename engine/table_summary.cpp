#include "engine/table_summary.h"

#include <algorithm>

#include "engine/table_data_reader.h"

namespace quarry {

TableSummary SummarizeTable(std::string_view data) {
  TableSummary summary;
  TableDataReader reader;
  if (!reader.Read(data)) return summary;
  summary.lines = reader.LineCount();
  summary.columns = reader.ColumnCount();
  const int lines = std::min(summary.lines, kSummaryLines);
  const int cells = std::min(summary.columns, kSummaryCells);
  for (int i = 0; i < lines; ++i) {
    const std::string_view line = reader.LineView(i);
    std::vector<std::string>& kept = summary.first_lines.emplace_back();
    for (int k = 0; k < cells; ++k) {
      std::string field = reader.Field(line, k);
      if (field.size() > kSummaryCellBytes) field.resize(kSummaryCellBytes);
      kept.push_back(std::move(field));
    }
  }
  return summary;
}

}  // namespace quarry
