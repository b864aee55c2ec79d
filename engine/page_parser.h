// The page pipeline of a parse: from a downloaded page's bytes to the named
// list of tables that the results view shows.

#ifndef QUARRY_ENGINE_PAGE_PARSER_H_
#define QUARRY_ENGINE_PAGE_PARSER_H_

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "engine/extracted_table.h"
#include "engine/page_text.h"

namespace quarry {

// Scans a downloaded page into the named table list: the page is prepared
// (PreparePageText: a UTF-16 page is converted to UTF-8, the text ends at
// its first zero byte), then SplitTables, then ParseTable(source, &data,
// &attributes, false, true, false) for each table string; tables that yield
// no data text are dropped and the kept ones stay in page order without
// gaps; finally NameUnnamedTables. Each record's source_html is its table
// string, as a range of one text that all the records of the list share
// (about as large as their tables together). Returns an empty list when the page holds no complete table.
// When `notes` is given it receives what the preparation did, so that the
// caller can say that the page was cut at a zero byte or was UTF-16.
// Never fails; a text of 4 GiB or more (far beyond any page limit) yields
// no tables, as the scanner's positions are 32-bit. Work and memory stay bounded per byte of the page: the
// working memory beyond the page and the returned tables is about one
// copy of the largest table. When `cancel` (may be null) is set from
// another thread, the parse stops before the next table and returns what
// it has; a caller that stops a parse drops that.
//
// A caller that never shows a table's HTML passes kSourceDropped: the
// records' source_html stay empty, which spares a copy of every table (as
// large as the page) and its memory; everything else is the same.
enum class TableSource { kSourceKept, kSourceDropped };
TableList ParsePageText(std::string_view page, PageTextNotes* notes = nullptr,
                        const std::atomic<bool>* cancel = nullptr,
                        TableSource source = TableSource::kSourceKept);

// The same for a page held in a shared string: when the tables are most of
// the page, the records' HTML are ranges of it and keep it alive, instead
// of a copy of them. A null page yields no tables.
TableList ParsePageText(const std::shared_ptr<const std::string>& page,
                        PageTextNotes* notes = nullptr,
                        const std::atomic<bool>* cancel = nullptr,
                        TableSource source = TableSource::kSourceKept);

}  // namespace quarry

#endif  // QUARRY_ENGINE_PAGE_PARSER_H_
