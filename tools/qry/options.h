// qry's command line, parsed into what to do.

#ifndef QUARRY_TOOLS_QRY_OPTIONS_H_
#define QUARRY_TOOLS_QRY_OPTIONS_H_

#include <string>
#include <vector>

namespace quarry::qry {

enum class Action {
  kHelp,     // qry --help
  kVersion,  // qry --version
  kTables,   // qry tables FILE [--json]
  kExport,   // qry export FILE --table SEL [--header] -o OUT
};

// How `--table` picks a table. A value of digits only is a position counted
// from 1; anything else is an id. "id:NAME" always means the id NAME, so that
// a table whose id is all digits can still be chosen by its id.
struct TableSelector {
  bool by_position = false;
  int position = 0;  // from 1; meaningful when by_position
  std::string id;    // meaningful when !by_position
};

struct Invocation {
  Action action = Action::kHelp;
  std::string source;  // the page to read (FILE)
  bool json = false;   // tables: records as JSON instead of a listing
  TableSelector table;
  bool header = false;  // export: line 0 gives the column titles
  std::string output;   // export: the file to write, "-" for standard output
};

// Parses the arguments that follow the program name. Returns true and fills
// `*out` when they form a complete command; otherwise returns false with a
// one-line reason in `*error` (without the "qry: " prefix), and `*out` is
// unspecified.
bool ParseArguments(const std::vector<std::string>& args, Invocation* out,
                    std::string* error);

// Reads a `--table` value. Returns false with a reason when it cannot name
// any table (empty, "0", a position too large for an int, "id:" alone).
bool ParseTableSelector(const std::string& text, TableSelector* out,
                        std::string* error);

// The text that `qry --help` prints.
std::string UsageText();

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_OPTIONS_H_
