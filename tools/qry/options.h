// qry's command line, parsed into what to do.

#ifndef QUARRY_TOOLS_QRY_OPTIONS_H_
#define QUARRY_TOOLS_QRY_OPTIONS_H_

#include <optional>
#include <string>
#include <vector>

namespace quarry::qry {

enum class Action {
  kHelp,     // qry --help
  kVersion,  // qry --version
  kTables,   // qry tables SOURCE [--json]
  kExport,   // qry export SOURCE --table SEL [--header] -o OUT
};

// How `--table` picks a table. A value of digits only is a position counted
// from 1; anything else is an id. "id:NAME" always means the id NAME, so that
// a table whose id is all digits can still be chosen by its id.
struct TableSelector {
  bool by_position = false;
  int position = 0;  // from 1; meaningful when by_position
  std::string id;    // meaningful when !by_position
};

// The time limit of `--render`, in seconds: the default and the most.
inline constexpr int kDefaultRenderSeconds = 30;
inline constexpr int kMostRenderSeconds = 600;

struct Invocation {
  Action action = Action::kHelp;
  std::string source;  // the page to read: a file path or a web address
  bool json = false;   // tables: records as JSON instead of a listing
  TableSelector table;
  bool header = false;  // export: line 0 gives the column titles
  // --render: the page as a browser shows it once its scripts have run,
  // loaded within `render_seconds`.
  bool render = false;
  int render_seconds = kDefaultRenderSeconds;
  // --spans: merged cells laid out as a browser lays them out.
  bool spans = false;
  std::string output;   // export: the file to write, "-" for standard output

  // --proxy HOST[:PORT]; nullopt: the stored proxy settings apply.
  std::optional<std::string> proxy;
  // --user NAME[:PASSWORD], split at the first colon. Without a colon the
  // password is to come from the environment (QRY_PASSWORD), which the
  // parser does not read: password_from_environment says so.
  std::string user_name;  // empty: no --user
  std::string password;
  bool password_from_environment = false;
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

// Checks a `--proxy` value: HOST, HOST:PORT or [IPV6]:PORT, optionally
// after a "scheme://" the proxy speaks, with PORT 1 to 65535. Returns false
// with a reason otherwise.
bool CheckProxy(const std::string& text, std::string* error);

// The environment variable that holds the password for `--user NAME`.
inline constexpr char kPasswordVariable[] = "QRY_PASSWORD";

// The text that `qry --help` prints.
std::string UsageText();

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_OPTIONS_H_
