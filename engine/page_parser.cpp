#include "engine/page_parser.h"

#include <string>
#include <utility>
#include <vector>

#include "engine/table_scanner.h"

namespace quarry {

TableList ParsePageText(std::string_view page) {
  // The download buffer is read as a C string: a zero byte ends the page.
  page = page.substr(0, page.find('\0'));

  std::vector<std::string> strings;
  SplitTables(page, &strings);
  TableList tables;
  tables.reserve(strings.size());
  for (std::string& source : strings) {
    ExtractedTable table;
    if (!ParseTable(source, &table.data, &table, false, true, false)) continue;
    table.source_html = std::move(source);
    tables.push_back(std::move(table));
  }
  NameUnnamedTables(tables);
  return tables;
}

}  // namespace quarry
