// The grid's editing commands, each applied to a table's data text in place.
//
// A command works on whole lines as TableDataReader sees them (maximal runs
// of bytes other than CR and LF), never on pieces of lines, and leaves every
// line end and every other line as it was. Identical lines change together:
// the data text cannot tell them apart. A rebuilt line keeps each carried
// field's own text, so it reads back into exactly the fields the command
// describes, joined by the delimiter the reader settled on.
//
// A line is taken as max(column count, its own field count) fields: fields
// past the column count (which the grid does not show) are kept, fields the
// line lacks count as empty. A rebuilt line ends with as many empty fields
// as give it the delimiter count of the column count that the command
// leaves (one less after Remove Column), counting delimiters inside quoted
// fields as the reader does; so a rebuilt first line keeps the table's
// columns, unless its non-empty fields alone hold more delimiters.
//
// What the data text cannot say, and so no command can keep:
//  - a line of one empty field (the reader drops empty lines), so a line
//    emptied by a command vanishes from the table;
//  - a first line without the delimiter but with the other one of comma
//    and tab: the next reading switches delimiter.
//
// `line` is a line index as TableDataReader counts lines, `column` a column
// index below the reader's column count. Each command returns false, leaving
// the text untouched, when that position does not exist; otherwise it
// returns true (the text may come out byte for byte the same when the
// command moves nothing, as Shift Left on column 0).

#ifndef QUARRY_ENGINE_GRID_COMMANDS_H_
#define QUARRY_ENGINE_GRID_COMMANDS_H_

#include <string>

namespace quarry {

// Removes every line equal to line `line`, each with the line end that
// follows it (CR LF, or a lone LF or CR).
bool RemoveLine(std::string& data, int line);

// Removes field `column` from every line. A line left without text can no
// longer be read (the reader drops empty lines); its line end stays.
bool RemoveColumn(std::string& data, int column);

// In every line equal to line `line`, moves the fields from `column` on one
// place right over the visible columns and puts an empty field at `column`;
// the field in the last visible column drops off (for the last column: it
// empties, and the line keeps an empty field there).
bool ShiftRight(std::string& data, int line, int column);

// In every line equal to line `line`, drops the field left of `column` and
// moves the fields from `column` on one place left over the visible
// columns, leaving an empty field in the last visible column. Column 0 has
// nothing on its left: the text stays as it is.
bool ShiftLeft(std::string& data, int line, int column);

}  // namespace quarry

#endif  // QUARRY_ENGINE_GRID_COMMANDS_H_
