// Pointing at a parsed table in the page the browser shows: the scripts
// that find its element, outline it and scroll it into view, and take the
// outline off again.
//
// The element is found by the table's position among the page's table
// elements (document order, as the parse counts "<table" start tags), and
// checked by its text key (TableKey): the letters and digits of its own
// cells, nested tables and its caption left out. When the element at that
// position does not match (the page has changed, or a tag the scanner
// counted is no element, such as "<table" in a script), the one table whose
// key matches is taken; with none or several, nothing is marked. So a
// wrong table is never marked.
//
// The scripts run in a world of their own: the page's scripts cannot see
// or change them, only the outline they put on the element.

#ifndef QUARRY_APP_PAGE_MARKER_H_
#define QUARRY_APP_PAGE_MARKER_H_

#include <QString>
#include <QVariant>

#include "engine/table_positions.h"

namespace quarry {

// The script that marks the table at `position` (-1: unknown) whose key is
// `key`, removing any earlier mark first. Its result is read by
// ReadMarkResult.
QString MarkTableScript(int position, const TableTextKey& key);

// The script that removes the mark, if any.
QString ClearMarkScript();

// What a mark script reported.
struct MarkResult {
  bool marked = false;
  bool by_position = false;  // with marked: the element at the position matched
  int index = -1;            // with marked: the element's index among the tables
  int tables = 0;            // the page's table elements
};

// Reads a mark script's result; a result of any other shape (the page went
// away meanwhile) is "not marked".
MarkResult ReadMarkResult(const QVariant& result);

}  // namespace quarry

#endif  // QUARRY_APP_PAGE_MARKER_H_
