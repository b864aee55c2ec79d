#include "engine/page_parser.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/table_scanner.h"
#include "engine/table_scanner_internal.h"

namespace quarry {

namespace {

// The parse; `owner`, when not null, holds `page` and may be kept by the
// records for their HTML.
TableList Parse(std::string_view page, const std::shared_ptr<const std::string>* owner,
                PageTextNotes* notes, const std::atomic<bool>* cancel, TableSource source_kept) {
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

  // The records' HTML is kept in one text that they share: the flattened
  // copy of the page when the tables are most of it, else the table
  // strings laid end to end as the tables are made (room for all of them
  // taken once).
  const bool keep_source = source_kept == TableSource::kSourceKept;
  std::shared_ptr<const std::string> shared_text;
  std::shared_ptr<std::string> sources;
  if (keep_source) {
    const auto& copy = strings.FlattenedCopy();
    const bool mostly_tables = strings.TablesLength() >= strings.text().size() / 2;
    if (copy != nullptr && mostly_tables) {
      shared_text = copy;
    } else if (copy == nullptr && mostly_tables && owner != nullptr &&
               strings.text().data() == (*owner)->data()) {
      shared_text = *owner;
    } else {
      sources = std::make_shared<std::string>();
      sources->reserve(strings.TablesLength());
      shared_text = sources;
    }
  }
  strings.ForEach([&](std::string_view source, size_t from) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return false;
    ExtractedTable table;
    if (scanner.Parse(source, from, tags, &table.data, &table, false, true, false)) {
      // Written by doubling: slack beyond an eighth is given back (which
      // copies the text), less is not worth a copy.
      if (table.data.capacity() > table.data.size() + table.data.size() / 8) {
        table.data.shrink_to_fit();
      }
      if (sources != nullptr) {
        table.source_html = TableHtml(shared_text, sources->size(), source.size());
        sources->append(source);
      } else if (keep_source) {
        table.source_html = TableHtml(shared_text, from, source.size());
      }
      tables.push_back(std::move(table));
    }
    // The tags of the tables made are not needed again: their room goes
    // while the records grow.
    if (strings.ForgetTagsBefore(from + source.size())) tags.Restart();
    return true;
  });
  if (tables.capacity() > tables.size() + tables.size() / 8) tables.shrink_to_fit();
  // Tables without data left room unused; the records hold ranges, not
  // addresses, so the text may move.
  if (sources != nullptr && sources->capacity() > sources->size() + sources->size() / 8) {
    sources->shrink_to_fit();
  }
  NameUnnamedTables(tables);
  return tables;
}

}  // namespace

TableList ParsePageText(std::string_view page, PageTextNotes* notes,
                        const std::atomic<bool>* cancel, TableSource source) {
  return Parse(page, nullptr, notes, cancel, source);
}

TableList ParsePageText(const std::shared_ptr<const std::string>& page, PageTextNotes* notes,
                        const std::atomic<bool>* cancel, TableSource source) {
  if (page == nullptr) return {};
  return Parse(*page, &page, notes, cancel, source);
}

}  // namespace quarry
