// The page pipeline of a parse: from a downloaded page's text to the named
// list of tables that the results view shows.

#ifndef QUARRY_ENGINE_PAGE_PARSER_H_
#define QUARRY_ENGINE_PAGE_PARSER_H_

#include <string_view>

#include "engine/extracted_table.h"

namespace quarry {

// Scans a downloaded page (its text up to the first zero byte) into the
// named table list: SplitTables, then ParseTable(source, &data, &attributes,
// false, true, false) for each table string; tables that yield no data text
// are dropped and the kept ones stay in page order without gaps; finally
// NameUnnamedTables. Each record's source_html is its table string. Returns
// an empty list when the page holds no complete table. Never fails.
TableList ParsePageText(std::string_view page);

}  // namespace quarry

#endif  // QUARRY_ENGINE_PAGE_PARSER_H_
