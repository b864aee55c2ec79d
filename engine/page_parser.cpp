#include "engine/page_parser.h"

#include <string>
#include <utility>
#include <vector>

#include "engine/table_scanner.h"

namespace quarry {

TableList ParsePageText(std::string_view page, PageTextNotes* notes) {
  const PreparedPage prepared = PreparePageText(page);
  if (notes != nullptr) *notes = prepared.notes();

  std::vector<std::string> strings;
  SplitTables(prepared.text(), &strings);
  TableList tables;
  tables.reserve(strings.size());
  for (std::string& source : strings) {
    ExtractedTable table;
    if (!ParseTable(source, &table.data, &table, false, true, false)) {
      std::string().swap(source);
      continue;
    }
    table.data.shrink_to_fit();
    table.source_html = std::move(source);
    tables.push_back(std::move(table));
  }
  NameUnnamedTables(tables);
  return tables;
}

}  // namespace quarry
