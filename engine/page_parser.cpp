#include "engine/page_parser.h"

#include <string>
#include <utility>
#include <vector>

#include "engine/table_scanner.h"
#include "engine/table_scanner_internal.h"

namespace quarry {

TableList ParsePageText(std::string_view page, PageTextNotes* notes,
                        const std::atomic<bool>* cancel, TableSource source_kept) {
  const PreparedPage prepared = PreparePageText(page);
  if (notes != nullptr) *notes = prepared.notes();

  // The tables are made one at a time from the page (or its flattened
  // copy), the list sized once: no list of table strings beside the
  // records, no slack in the list.
  internal::PageTables strings(prepared.text());
  TableList tables;
  tables.reserve(strings.Count());
  internal::TableScanner scanner;
  internal::TagIndex::Walker tags(strings.tags());
  strings.ForEach([&](std::string_view source, size_t from) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
    ExtractedTable table;
    if (scanner.Parse(source, from, tags, &table.data, &table, false, true, false)) {
      // Written by doubling: slack beyond an eighth is given back (which
      // copies the text), less is not worth a copy.
      if (table.data.capacity() > table.data.size() + table.data.size() / 8) {
        table.data.shrink_to_fit();
      }
      if (source_kept == TableSource::kSourceKept) table.source_html = source;
      tables.push_back(std::move(table));
    }
    // The tags of the tables made are not needed again: their room goes
    // while the records grow.
    if (strings.ForgetTagsBefore(from + source.size())) tags.Restart();
    return true;
  });
  if (tables.capacity() > tables.size() + tables.size() / 8) tables.shrink_to_fit();
  NameUnnamedTables(tables);
  return tables;
}

}  // namespace quarry
