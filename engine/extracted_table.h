// The in-memory form of one table found in a page, and the operations on
// the list of them that the table results view owns.
//
// A table's cells are not held as a grid of objects but as one delimited
// "data text": one CR LF terminated line per row, fields separated by a
// comma, a field that holds a comma enclosed in double quotes (nothing is
// escaped inside). TableDataReader reads it back. All texts are 8-bit: the
// page's own bytes, with Latin-1 bytes for decoded character references.

#ifndef QUARRY_ENGINE_EXTRACTED_TABLE_H_
#define QUARRY_ENGINE_EXTRACTED_TABLE_H_

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

// A table's HTML as cut from its page: a range of a text that the tables of
// one parse share, so that a page of many small tables keeps their HTML in
// one block rather than in a string (and an allocation) each. Copies share
// the text, which lives as long as any of them; the range never changes.
// Reads are safe from any number of threads.
class TableHtml {
 public:
  TableHtml() = default;
  // A text of its own: a copy of `html`.
  TableHtml(std::string_view html);  // NOLINT: stands in for a string
  TableHtml(const char* html) : TableHtml(std::string_view(html)) {}
  // `length` bytes of `text` from `offset`, which must lie inside it.
  TableHtml(std::shared_ptr<const std::string> text, size_t offset, size_t length);

  std::string_view view() const {
    return text_ ? std::string_view(*text_).substr(offset_, length_) : std::string_view();
  }
  operator std::string_view() const { return view(); }  // NOLINT
  size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }

  friend bool operator==(const TableHtml& a, const TableHtml& b) { return a.view() == b.view(); }
  friend bool operator==(const TableHtml& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const TableHtml& a, const char* b) { return a.view() == b; }

 private:
  std::shared_ptr<const std::string> text_;
  uint32_t offset_ = 0;  // texts are cut from pages far below 4 GiB
  uint32_t length_ = 0;
};

// The texts come first and the numbers after them, so that the record has
// no padding: a page of many small tables holds one per few dozen bytes.
struct ExtractedTable {
  std::string class_name;  // the start tag's class attribute, empty when absent
  std::string id;          // the start tag's id attribute; named at listing time
  std::string data;        // the cells as data text
  TableHtml source_html;   // "<table" through "/table>" as cut from the page
  int32_t width = 0;       // leading number of the width attribute, 0 when absent
  int32_t cellpadding = 0;
  int32_t cellspacing = 0;
  int32_t border = 0;
  int32_t width_is_percent = 0;  // 1 when the width attribute's text holds "%"
  // Which "<table" start tag of the page (0-based, in page order, nested
  // tables counted where they stand) this table began with; -1 when not
  // known. Set by NoteTablePositions (table_positions.h), so that a page
  // shown in a browser can point at the table's element.
  int32_t page_position = -1;

  bool operator==(const ExtractedTable&) const = default;
};

// Writes the HTML's bytes (for test messages).
std::ostream& operator<<(std::ostream& out, const TableHtml& html);

// Records in page order; list row i of the results view shows record i.
using TableList = std::vector<ExtractedTable>;

// The name the list shows for a table: its id.
const std::string& TableName(const ExtractedTable& table);

// Sets the table's id to `name`, taken as typed (an empty name is allowed).
void RenameTable(ExtractedTable& table, std::string name);

// Gives every record whose id is empty the display name "Table %i", with its
// 1-based position in the list. Named records keep their names.
void NameUnnamedTables(TableList& tables);

// Removes the records at the given list positions and compacts the list so
// that the survivors keep their order without gaps. Positions outside the
// list and repeated positions are ignored. Returns the number removed.
int DeleteTables(TableList& tables, std::vector<int> positions);

}  // namespace quarry

#endif  // QUARRY_ENGINE_EXTRACTED_TABLE_H_
