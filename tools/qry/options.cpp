#include "tools/qry/options.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "engine/delimited_export.h"
#include "tools/qry/source.h"

namespace quarry::qry {

namespace {

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Splits "--name=value" into its parts; a bare "--name" has no value.
struct OptionWord {
  std::string name;
  std::optional<std::string> value;
};

OptionWord SplitOption(const std::string& arg) {
  if (arg.rfind("--", 0) == 0) {
    size_t eq = arg.find('=');
    if (eq != std::string::npos) return {arg.substr(0, eq), arg.substr(eq + 1)};
    return {arg, std::nullopt};
  }
  // "-oOUT" is "-o OUT".
  if (arg.size() > 2 && arg[0] == '-' && arg[1] == 'o') {
    return {"-o", arg.substr(2)};
  }
  return {arg, std::nullopt};
}

bool IsBlankOrControl(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 0x20 || b == 0x7F;
}

// The name of the format chosen for `tables`, for messages.
std::string FormatName(const Invocation& inv) {
  switch (inv.list_format) {
    case ListFormat::kText: return "text";
    case ListFormat::kJson: return "json";
    case ListFormat::kJsonLines: return "jsonl";
  }
  return "";
}

// Reads a `--format` value: text, json or jsonl for `tables`; csv, tsv,
// htm (html) or xlsx for `export --all`.
bool ParseFormat(const std::string& value, bool is_export, Invocation* out, std::string* error) {
  if (!is_export) {
    if (value == "text") {
      out->list_format = ListFormat::kText;
    } else if (value == "json") {
      out->list_format = ListFormat::kJson;
    } else if (value == "jsonl") {
      out->list_format = ListFormat::kJsonLines;
    } else {
      *error = "tables: --format '" + value + "': give text, json or jsonl";
      return false;
    }
    return true;
  }
  if (value == "csv") {
    out->batch_format = BatchFormat::kCsv;
  } else if (value == "tsv") {
    out->batch_format = BatchFormat::kTsv;
  } else if (value == "htm" || value == "html") {
    out->batch_format = BatchFormat::kHtml;
  } else if (value == "xlsx") {
    out->batch_format = BatchFormat::kWorkbook;
  } else {
    *error = "export: --format '" + value + "': give csv, tsv, htm or xlsx";
    return false;
  }
  return true;
}

// The rules of `export` once every argument is read.
bool CheckExport(const Invocation& inv, bool have_table, bool have_output, bool have_format,
                 std::string* error) {
  if (!have_output) {
    *error = inv.all ? "export: --all needs -o DIR, the folder to write into"
                     : "export: missing -o OUT (use -o - for standard output)";
    return false;
  }
  if (inv.all) {
    if (have_table) {
      *error = "export: give --table N|ID or --all, not both";
      return false;
    }
    if (inv.output == "-") {
      *error = "export: --all writes files; -o must name a folder";
      return false;
    }
    return true;
  }
  if (inv.sources.size() > 1) {
    *error = "export: several sources need --all and -o DIR";
    return false;
  }
  if (!have_table) {
    *error = "export: missing --table N|ID";
    return false;
  }
  if (have_format) {
    *error = "export: --format applies to --all; otherwise the extension of -o picks the format";
    return false;
  }
  if (inv.overwrite) {
    *error = "export: --overwrite applies to --all; a single -o file is always replaced";
    return false;
  }
  // Comma-separated text under a spreadsheet's name would not open.
  if (inv.output != "-" && FileTypeFromExtension(inv.output) == kFileTypeSpreadsheet) {
    *error = UnwrittenFormatReason(inv.output);
    return false;
  }
  return true;
}

}  // namespace

bool CheckProxy(const std::string& text, std::string* error) {
  std::string rest = text;
  const size_t scheme_end = rest.find("://");
  if (scheme_end != std::string::npos) rest.erase(0, scheme_end + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string host, port;
  bool has_port = false;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos) {
      *error = "--proxy '" + text + "': no ']' after the IPv6 address";
      return false;
    }
    host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') {
        *error = "--proxy '" + text + "': expected ':PORT' after ']'";
        return false;
      }
      has_port = true;
      port = after.substr(1);
    }
  } else {
    const size_t colon = rest.find(':');
    host = rest.substr(0, colon);
    if (colon != std::string::npos) {
      has_port = true;
      port = rest.substr(colon + 1);
    }
  }
  if (host.empty() || std::any_of(host.begin(), host.end(), IsBlankOrControl)) {
    *error = "--proxy needs HOST[:PORT]";
    return false;
  }
  if (has_port) {
    int value = 0;
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (!AllDigits(port) || ec != std::errc() || end != port.data() + port.size() ||
        value < 1 || value > 65535) {
      *error = "--proxy '" + text + "': the port must be a number from 1 to 65535";
      return false;
    }
  }
  return true;
}

bool ParseTableSelector(const std::string& text, TableSelector* out,
                        std::string* error) {
  *out = TableSelector();
  if (text.rfind("id:", 0) == 0) {
    out->id = text.substr(3);
    if (out->id.empty()) {
      *error = "--table id: needs a name after the colon";
      return false;
    }
    return true;
  }
  if (text.empty()) {
    *error = "--table needs a position or an id";
    return false;
  }
  if (!AllDigits(text)) {
    out->id = text;
    return true;
  }
  int position = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(),
                                   position);
  if (ec != std::errc() || end != text.data() + text.size()) {
    *error = "table position '" + text + "' is too large";
    return false;
  }
  if (position < 1) {
    *error = "table positions count from 1";
    return false;
  }
  out->by_position = true;
  out->position = position;
  return true;
}

bool ParseArguments(const std::vector<std::string>& args, Invocation* out,
                    std::string* error) {
  *out = Invocation();
  // --help and --version win wherever they stand, so that "qry export --help"
  // helps rather than complaining about the missing file.
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      out->action = Action::kHelp;
      return true;
    }
    if (arg == "--version" || arg == "-V") {
      out->action = Action::kVersion;
      return true;
    }
  }
  if (args.empty()) {
    *error = "missing command (try 'qry --help')";
    return false;
  }
  const std::string& command = args[0];
  if (command == "tables") {
    out->action = Action::kTables;
  } else if (command == "export") {
    out->action = Action::kExport;
  } else {
    *error = "unknown command '" + command + "' (try 'qry --help')";
    return false;
  }
  const bool is_export = out->action == Action::kExport;

  std::vector<std::string> positional;
  bool have_table = false;
  bool have_output = false;
  bool have_user = false;
  bool have_render_timeout = false;
  bool have_format = false;
  bool have_jobs = false;
  bool options_done = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg == "-" || arg.empty() || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    OptionWord word = SplitOption(arg);
    // Takes the option's value from "--name=value" or the next argument.
    auto take_value = [&](std::string* value) {
      if (word.value) {
        *value = *word.value;
        return true;
      }
      if (i + 1 >= args.size()) {
        *error = "option " + word.name + " needs a value";
        return false;
      }
      *value = args[++i];
      return true;
    };
    auto applies = [&](bool ok) {
      if (!ok) *error = "option " + word.name + " does not apply to " + command;
      return ok;
    };
    auto takes_no_value = [&]() {
      if (word.value) *error = "option " + word.name + " takes no value";
      return !word.value;
    };

    if (word.name == "--json") {
      if (!applies(!is_export) || !takes_no_value()) return false;
      out->json = true;
    } else if (word.name == "--format") {
      if (have_format) {
        *error = "option --format given twice";
        return false;
      }
      std::string value;
      if (!take_value(&value)) return false;
      if (!ParseFormat(value, is_export, out, error)) return false;
      have_format = true;
    } else if (word.name == "--jobs" || word.name == "-j") {
      if (have_jobs) {
        *error = "option --jobs given twice";
        return false;
      }
      std::string value;
      if (!take_value(&value)) return false;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out->jobs);
      if (!AllDigits(value) || ec != std::errc() || end != value.data() + value.size() ||
          out->jobs < 1 || out->jobs > kMaxJobs) {
        *error = "--jobs '" + value + "': give a number from 1 to " + std::to_string(kMaxJobs);
        return false;
      }
      have_jobs = true;
    } else if (word.name == "--all") {
      if (!applies(is_export) || !takes_no_value()) return false;
      out->all = true;
    } else if (word.name == "--overwrite") {
      if (!applies(is_export) || !takes_no_value()) return false;
      out->overwrite = true;
    } else if (word.name == "--header") {
      if (!applies(is_export) || !takes_no_value()) return false;
      out->header = true;
    } else if (word.name == "--render") {
      if (!takes_no_value()) return false;
      out->render = true;
    } else if (word.name == "--render-timeout") {
      if (have_render_timeout) {
        *error = "option --render-timeout given twice";
        return false;
      }
      std::string value;
      if (!take_value(&value)) return false;
      int seconds = 0;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (!AllDigits(value) || ec != std::errc() || end != value.data() + value.size() ||
          seconds < 1 || seconds > kMostRenderSeconds) {
        *error = "--render-timeout needs seconds from 1 to " + std::to_string(kMostRenderSeconds);
        return false;
      }
      out->render_seconds = seconds;
      have_render_timeout = true;
    } else if (word.name == "--spans") {
      if (!takes_no_value()) return false;
      out->spans = true;
    } else if (word.name == "--table") {
      if (!applies(is_export)) return false;
      if (have_table) {
        *error = "option --table given twice";
        return false;
      }
      std::string value;
      if (!take_value(&value)) return false;
      if (!ParseTableSelector(value, &out->table, error)) return false;
      have_table = true;
    } else if (word.name == "-o" || word.name == "--output") {
      if (!applies(is_export)) return false;
      if (have_output) {
        *error = "option " + word.name + " given twice";
        return false;
      }
      if (!take_value(&out->output)) return false;
      if (out->output.empty()) {
        *error = "option " + word.name + " needs a file name or -";
        return false;
      }
      have_output = true;
    } else if (word.name == "--proxy") {
      if (out->proxy) {
        *error = "option --proxy given twice";
        return false;
      }
      std::string value;
      if (!take_value(&value)) return false;
      if (!CheckProxy(value, error)) return false;
      out->proxy = value;
    } else if (word.name == "--user") {
      if (have_user) {
        *error = "option --user given twice";
        return false;
      }
      std::string value;
      if (!take_value(&value)) return false;
      // The name cannot hold a colon (Basic credentials are "name:password"),
      // the password may: split at the first one.
      const size_t colon = value.find(':');
      out->user_name = value.substr(0, colon);
      if (out->user_name.empty()) {
        *error = "--user needs NAME[:PASSWORD]";
        return false;
      }
      if (colon == std::string::npos) {
        out->password_from_environment = true;
      } else {
        out->password = value.substr(colon + 1);
        // Credentials with an empty password are never sent; say so rather
        // than fail later with a bare 401.
        if (out->password.empty()) {
          *error = "--user " + out->user_name +
                   ": empty password (give NAME:PASSWORD, or NAME with the "
                   "password in " + kPasswordVariable + ")";
          return false;
        }
      }
      have_user = true;
    } else {
      *error = "unknown option '" + word.name + "' (try 'qry --help')";
      return false;
    }
  }

  if (positional.empty()) {
    *error = command + ": missing FILE or URL";
    return false;
  }
  out->sources = positional;
  out->source = positional[0];
  if (have_render_timeout && !out->render) {
    *error = "option --render-timeout needs --render";
    return false;
  }
  if (!is_export) {
    if (out->json && have_format && out->list_format != ListFormat::kJson) {
      *error = "tables: --json and --format " + FormatName(*out) + " disagree";
      return false;
    }
    if (out->json) out->list_format = ListFormat::kJson;
    if (out->list_format == ListFormat::kJson && positional.size() > 1) {
      *error = "tables: --json reads one source; use --format jsonl for several";
      return false;
    }
    return true;
  }
  return CheckExport(*out, have_table, have_output, have_format, error);
}

std::string UsageText() {
  return
      "Usage: qry tables SOURCE... [--json | --format text|json|jsonl] [--jobs N]\n"
      "                  [--render] [--spans]\n"
      "       qry export SOURCE --table N|ID [--header] -o OUT [--render] [--spans]\n"
      "       qry export SOURCE... --all [--header] -o DIR [--format FMT]\n"
      "                  [--overwrite] [--jobs N] [--render] [--spans]\n"
      "       qry --help | --version\n"
      "(each command also takes the WEB OPTIONS below)\n"
      "\n"
      "Lists the tables of web pages and exports them. A SOURCE is a saved\n"
      "page (a file path) or an address starting with http://, https://,\n"
      "ftp:// or file://, which is downloaded afresh.\n"
      "\n"
      "Commands:\n"
      "  tables SOURCE...   list the tables found in each SOURCE: position (from\n"
      "                     1), id, and size as rows x columns\n"
      "  export SOURCE      write one table as the results grid shows it\n"
      "  export SOURCE... --all\n"
      "                     write every table of every SOURCE into a folder\n"
      "\n"
      "Options:\n"
      "  --json             (tables) print every table record as a JSON array;\n"
      "                     each byte of a text is written as the character\n"
      "                     U+0000-U+00FF of the same code, and\n"
      "                     width_is_percent is a JSON boolean\n"
      "  --format jsonl     (tables) one JSON object a line per table, with\n"
      "                     \"source\" and \"position\" before the record's keys\n"
      "  --table N|ID       (export) the table at position N (digits only,\n"
      "                     from 1), else the first table whose id is ID;\n"
      "                     --table id:NAME always selects by id, also when\n"
      "                     NAME is all digits\n"
      "  --header           (export) the table's first line gives the column\n"
      "                     titles\n"
      "  --render           read the page as a browser shows it, after its\n"
      "                     scripts have run (tables built by scripts are\n"
      "                     found): it is loaded by the helper quarry-render,\n"
      "                     which waits until the page stops changing\n"
      "  --render-timeout SECONDS\n"
      "                     (with --render) give up on a page that has not\n"
      "                     loaded after this long (default " + std::to_string(kDefaultRenderSeconds) + ", at most " + std::to_string(kMostRenderSeconds) + ");\n"
      "                     a page still changing then is read as it stands\n"
      "  --spans            lay out merged cells (colspan, rowspan) as a\n"
      "                     browser does, repeating a merged cell's text in\n"
      "                     every cell it covers\n"
      "  -o, --output OUT   (export) the file to write; its extension picks\n"
      "                     the format: .xlsx a workbook, .htm/.html HTML,\n"
      "                     .txt/.tsv tab-separated, anything else but .xls\n"
      "                     and .ods comma-separated; - writes comma-separated\n"
      "                     values to standard output\n"
      "  --all              (export) every table; -o names the folder to write\n"
      "                     into (made when missing), the files are named\n"
      "                     PAGE-TABLE.EXT after the page and the table's id,\n"
      "                     with -2, -3, ... when names clash, and their paths\n"
      "                     are printed one a line\n"
      "  --format csv|tsv|htm|xlsx\n"
      "                     (export --all) the files' format; csv by default\n"
      "  --overwrite        (export --all) replace files already in DIR; without\n"
      "                     it such a table is not written and counts as failed\n"
      "  -j, --jobs N       read up to N sources at once (1 to " + std::to_string(kMaxJobs) +
      ", default " + std::to_string(kDefaultJobs) + ");\n"
      "                     results come in the order of the sources; with\n"
      "                     --render one page is loaded at a time\n"
      "  -h, --help         show this help\n"
      "  -V, --version      show the version\n"
      "\n"
      "Web options (addresses only):\n"
      "  --proxy HOST[:PORT]\n"
      "                     go through this proxy (port 80 when none is\n"
      "                     given); without it the proxy stored in the\n"
      "                     settings (UseProxy, ProxyServer, ProxyPort under\n"
      "                     HKCU\\Software\\Zandor Tech\\Quarry\\Online) applies\n"
      "  --user NAME[:PASSWORD]\n"
      "                     credentials for a server (or proxy) that asks\n"
      "                     for them; with NAME alone the password is taken\n"
      "                     from the environment variable " + std::string(kPasswordVariable) + ",\n"
      "                     which keeps it out of the shell's history\n"
      "\n"
      "Pages larger than the stored MaxPageSize (default " +
      std::to_string(kDefaultMaxSourceBytes >> 20) +
      " MiB) are cut at that\nsize, with a warning. A page is read up to its first zero byte, "
      "also with a\nwarning; a UTF-16 page (byte-order mark, or zero bytes in every other\n"
      "position) is converted to UTF-8 first. While the offline switch "
      "is on, addresses other\nthan file:// fail at once.\n"
      "A source that fails does not stop the others: its reason is one line on\n"
      "standard error.\n"
      "Exit status: 0 success, 1 failure (an unreadable page, failed download,\n"
      "no such table or output not written, for any source), 2 bad arguments.\n";
}

}  // namespace quarry::qry
