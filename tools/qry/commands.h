// qry's commands, runnable in-process so that tests can drive them with
// string streams. main() only hands over argv and the standard streams.

#ifndef QUARRY_TOOLS_QRY_COMMANDS_H_
#define QUARRY_TOOLS_QRY_COMMANDS_H_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/extracted_table.h"
#include "tools/qry/options.h"

namespace quarry::qry {

// Exit statuses of qry.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // unreadable page, failed download,
                                        // no such table, output not written
inline constexpr int kExitUsage = 2;    // bad arguments

// What qry takes from its process besides the arguments.
struct RunContext {
  // `err` is a terminal: a download shows its progress there as one
  // updating line, cleared when it ends.
  bool show_progress = false;
  // The value of QRY_PASSWORD, the password for `--user NAME`.
  std::optional<std::string> password;
};

// The context of this process: whether standard error is a terminal, and
// QRY_PASSWORD.
RunContext ContextFromProcess();

// Runs qry with the arguments that follow the program name. Results go to
// `out`; warnings and the one-line reason of a failure ("qry: ...") go to
// `err`. Returns the exit status. A failed export leaves no output file
// behind and no earlier file of that name changed. Reads the settings store
// the retrieval code uses (page size limit, offline switch, proxy).
int RunQry(const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err, const RunContext& context = RunContext());

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
