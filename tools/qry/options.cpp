#include "tools/qry/options.h"

#include <algorithm>
#include <charconv>
#include <optional>

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
  if (positional.size() > 1) {
    *error = command + ": unexpected argument '" + positional[1] + "'";
    return false;
  }
  out->source = positional[0];
  if (have_render_timeout && !out->render) {
    *error = "option --render-timeout needs --render";
    return false;
  }
  if (is_export && !have_table) {
    *error = "export: missing --table N|ID";
    return false;
  }
  if (is_export && !have_output) {
    *error = "export: missing -o OUT (use -o - for standard output)";
    return false;
  }
  return true;
}

std::string UsageText() {
  return
      "Usage: qry tables SOURCE [--json] [--render] [--spans] [WEB OPTIONS]\n"
      "       qry export SOURCE --table N|ID [--header] -o OUT [--render] [--spans]\n"
      "                  [WEB OPTIONS]\n"
      "       qry --help | --version\n"
      "\n"
      "Lists the tables of a web page and exports one of them. SOURCE is a\n"
      "saved page (a file path) or an address starting with http://,\n"
      "https://, ftp:// or file://, which is downloaded afresh.\n"
      "\n"
      "Commands:\n"
      "  tables SOURCE      list the tables found in SOURCE: position (from 1),\n"
      "                     id, and size as rows x columns\n"
      "  export SOURCE      write one table as the results grid shows it\n"
      "\n"
      "Options:\n"
      "  --json             (tables) print every table record as a JSON array;\n"
      "                     each byte of a text is written as the character\n"
      "                     U+0000-U+00FF of the same code, and\n"
      "                     width_is_percent is a JSON boolean\n"
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
      "                     the format: .htm/.html HTML, .txt tab-separated,\n"
      "                     anything else comma-separated; - writes\n"
      "                     comma-separated values to standard output\n"
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
      "Exit status: 0 success, 1 failure (unreadable page, failed download,\n"
      "no such table, output not written), 2 bad arguments.\n";
}

}  // namespace quarry::qry
