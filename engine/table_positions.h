// Where in its page each table of a parse began: which of the page's
// "<table" start tags opened it. A browser showing the same page lists its
// table elements in the same order (document order is start-tag order,
// nested tables where they stand), so the position names the element to
// point at, even though the scanner lists a nested table before the table
// that held it.

#ifndef QUARRY_ENGINE_TABLE_POSITIONS_H_
#define QUARRY_ENGINE_TABLE_POSITIONS_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/extracted_table.h"

namespace quarry {

// Sets `page_position` of each record of `tables`, the list that
// ParsePageText(page) returned (or part of it, in the same order), to the
// 0-based position among the page's "<table" start tags (any letter case)
// of the tag its table string began with; -1 for a record whose table
// string is not one of the page's (matched by source_html, in order) or
// whose start tag was only spelt by lifting a nested table out ("<tab" +
// "le" meeting across the gap). Other fields are not touched.
//
// Linear in the page; the working memory is about two copies of the page.
void NoteTablePositions(std::string_view page, TableList& tables);

// What a table's text starts with, for telling its element among a page's
// tables: the ASCII letters and digits of its cells (as ParseTable reads
// `source_html`), in order, at most kTableKeyLength of them. Everything
// else (blanks, punctuation, other scripts, and references such as
// "&hellip;" that the scanner leaves undecoded) is left out: that is where a
// browser and the scanner differ.
// `complete` tells whether the key holds all of the table's letters and
// digits. Only the start of a very long table is read: the cost is bounded
// whatever the table's size.
inline constexpr size_t kTableKeyLength = 200;
struct TableTextKey {
  std::string key;
  bool complete = true;

  bool operator==(const TableTextKey&) const = default;
};
TableTextKey TableKey(std::string_view source_html);

}  // namespace quarry

#endif  // QUARRY_ENGINE_TABLE_POSITIONS_H_
