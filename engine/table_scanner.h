// The HTML table scanner: finds the tables of a page with plain substring
// searches (no document tree, no scripts) and turns each into the data text
// of an ExtractedTable.
//
// Positions are byte offsets; -1 means "not found". Texts are 8-bit and may
// hold any byte, zero included (a page is cut at its first zero byte before
// it gets here, see page_parser.h). None of these functions keeps state
// between calls; all are safe to call from several threads at once on
// different data. Work grows linearly with the input for ordinary pages.

#ifndef QUARRY_ENGINE_TABLE_SCANNER_H_
#define QUARRY_ENGINE_TABLE_SCANNER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/extracted_table.h"

namespace quarry {

// First position at or after `start` where `pattern` occurs written either
// all in lower case or all in upper case (ASCII letters; exact bytes
// otherwise), or -1. A tag written in mixed case ("Tr") is not found. A
// negative start searches from 0; a start past the end finds nothing.
int64_t FindTagNoCase(std::string_view text, std::string_view pattern, int64_t start);

// The value of the attribute `name_with_equals` (e.g. "width=") in the start
// tag text `tag`, found with FindTagNoCase; the first occurrence wins, also
// inside a longer attribute name. A value opening with a double quote ends
// at the next double quote, any other at the next blank, else at the tag's
// end; double quotes at both ends are removed. Single quotes are kept.
// Returns an empty text when the name is absent.
std::string GetAttributeValue(std::string_view tag, std::string_view name_with_equals);

// Turns a cell's HTML into plain text in place: decodes references
// (DecodeHtmlEntities), turns the UTF-8 right single quotation mark into
// "'", paragraph ends into CR LF, replaces tags by blanks as the scanner has
// always done (every occurrence of each tag text found, across the whole
// cell; a '>' before any '<' removes every copy of the text up to it; with
// no '>' left every '<' is dropped), and drops blanks that follow a CR LF.
void CellHtmlToText(std::string& text);

// One data-text line from a row's HTML ("<tr" ... "/tr>"): each cell's text
// (CellHtmlToText, white space trimmed, enclosed in double quotes when it
// holds a comma) joined by commas. An unclosed "<td" cell ends before the
// next "<td". Returns an empty line when the row has no recognisable first
// cell. `cell_count`, when not null, receives the number of cells taken.
// Always terminates: a cell start found inside the previous cell's own start
// tag ("<td<td") ends the row.
std::string ParseRow(std::string_view row, int* cell_count);

// Fills `*data` (emptied first) with one CR LF terminated line per row of
// the table string `html` that yields a non-empty line. With `pad_rows`,
// short rows get commas up to the widest row's cell count (and
// `only_full_rows` is ignored); with `only_full_rows`, only rows as wide as
// the widest are kept; with `skip_first_row`, the first row is left out.
// When `attributes` is not null, its class, id, width, cellpadding,
// cellspacing, border and width_is_percent are set from the start tag (all
// empty/0 when the html has no '>' or starts with one); its data and
// source_html are not touched. A null `data` is allowed (the lines are then
// only counted). Returns true when the data text is not empty.
bool ParseTable(std::string_view html, std::string* data, ExtractedTable* attributes,
                bool only_full_rows, bool pad_rows, bool skip_first_row);

// Lifts nested tables out of `copy`, a page text, and its lower-cased twin
// `twin` (searched for "<table" and "/table>"; both are edited in step):
// the innermost table is moved, complete, in front of the table that held
// it, until no table holds another. A table nested two deep ends up as
// innermost, middle, outer; sibling nested tables keep their order, in front
// of their outer table. Returns the number of tables moved. When the two
// texts differ in length, nothing is changed and 0 is returned.
int FlattenNestedTables(std::string& copy, std::string& twin);

// Cuts the page into table strings, each from its "<table" through the
// first "/table>" after it (letter case of the page kept, nested tables
// flattened first), appended to `*tables` after emptying it. Returns the
// number of strings; a null list returns 0.
int SplitTables(std::string_view page, std::vector<std::string>* tables);

}  // namespace quarry

#endif  // QUARRY_ENGINE_TABLE_SCANNER_H_
