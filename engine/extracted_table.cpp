#include "engine/extracted_table.h"

#include <algorithm>
#include <ostream>
#include <utility>

namespace quarry {

TableHtml::TableHtml(std::string_view html)
    : text_(html.empty() ? nullptr : std::make_shared<const std::string>(html)),
      offset_(0),
      length_(static_cast<uint32_t>(html.size())) {}

TableHtml::TableHtml(std::shared_ptr<const std::string> text, size_t offset, size_t length)
    : text_(std::move(text)),
      offset_(static_cast<uint32_t>(offset)),
      length_(static_cast<uint32_t>(length)) {}

std::ostream& operator<<(std::ostream& out, const TableHtml& html) { return out << html.view(); }

const std::string& TableName(const ExtractedTable& table) { return table.id; }

void RenameTable(ExtractedTable& table, std::string name) {
  table.id = std::move(name);
}

void NameUnnamedTables(TableList& tables) {
  for (size_t i = 0; i < tables.size(); ++i) {
    if (tables[i].id.empty()) tables[i].id = "Table " + std::to_string(i + 1);
  }
}

int DeleteTables(TableList& tables, std::vector<int> positions) {
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()),
                  positions.end());
  // Highest position first, so the lower positions still name the same rows.
  int removed = 0;
  for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
    if (*it < 0 || static_cast<size_t>(*it) >= tables.size()) continue;
    tables.erase(tables.begin() + *it);
    ++removed;
  }
  return removed;
}

}  // namespace quarry
