// qry's commands, runnable in-process so that tests can drive them with
// string streams. main() only hands over argv and the standard streams.

#ifndef QUARRY_TOOLS_QRY_COMMANDS_H_
#define QUARRY_TOOLS_QRY_COMMANDS_H_

#include <ostream>
#include <string>
#include <vector>

#include "engine/extracted_table.h"
#include "tools/qry/options.h"

namespace quarry::qry {

// Exit statuses of qry.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // unreadable page, no such table,
                                        // output not written
inline constexpr int kExitUsage = 2;    // bad arguments

// Runs qry with the arguments that follow the program name. Results go to
// `out`; warnings and the one-line reason of a failure ("qry: ...") go to
// `err`. Returns the exit status. A failed export leaves no output file
// behind and no earlier file of that name changed.
int RunQry(const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err);

// Returns the list index of the table that `selector` names, or -1: a
// position counts from 1; an id selects the first table with exactly that id
// (ids are compared byte for byte, after unnamed tables got "Table %i").
int FindTable(const TableList& tables, const TableSelector& selector);

// Writes one line per table (position from 1, id, rows x columns as the
// results grid would show them) under a heading line, in aligned columns.
// Control characters in ids are shown as \xNN so a page cannot send escape
// sequences to the terminal. Writes nothing for an empty list.
void WriteTableListing(const TableList& tables, std::ostream& out);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_COMMANDS_H_
