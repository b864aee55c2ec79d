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
  kTables,   // qry tables SOURCE... [--json | --format FMT]
  kExport,   // qry export SOURCE --table SEL [--header] -o OUT, or
             // qry export SOURCE... --all [--header] -o DIR [--format FMT]
};

// How `tables` prints what it found.
enum class ListFormat {
  kText,       // aligned columns under a heading line
  kJson,       // one JSON array of the records (one source only)
  kJsonLines,  // one JSON object a line, each with its source
};

// The file format of `export --all`, which names files itself.
enum class BatchFormat { kCsv, kTsv, kHtml, kWorkbook };

// `--jobs`: how many sources are read at once, at most.
inline constexpr int kDefaultJobs = 4;
inline constexpr int kMaxJobs = 16;

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
  // The pages to read, in order: file paths or web addresses; `source` is
  // the first.
  std::vector<std::string> sources;
  std::string source;
  bool json = false;  // tables: records as JSON instead of a listing
  ListFormat list_format = ListFormat::kText;  // tables; kJson when `json`
  TableSelector table;
  bool header = false;  // export: line 0 gives the column titles
  // --render: the page as a browser shows it once its scripts have run,
  // loaded within `render_seconds`.
  bool render = false;
  int render_seconds = kDefaultRenderSeconds;
  // --spans: merged cells laid out as a browser lays them out.
  bool spans = false;
  // export: the file to write, "-" for standard output; with `all` the
  // folder to write into (made when missing).
  std::string output;
  bool all = false;  // export: every table of every source into `output`
  BatchFormat batch_format = BatchFormat::kCsv;  // export --all
  bool overwrite = false;  // export --all: replace files already there
  int jobs = kDefaultJobs;  // sources read at once, 1 to kMaxJobs

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
