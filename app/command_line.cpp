#include "app/command_line.h"

namespace quarry {

CommandLineInfo ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineInfo info;
  bool options_done = false;
  for (const std::string& arg : args) {
    if (!options_done && arg == "--") {
      options_done = true;
      continue;
    }
    if (!options_done && arg.size() > 1 && arg[0] == '-') {
      if (arg == "-h" || arg == "--help") {
        info.show_help = true;
      } else if (arg == "-v" || arg == "--version") {
        info.show_version = true;
      } else if (arg == "--parse") {
        info.parse = true;
      } else {
        info.error = "unknown option \"" + arg + "\"";
        return info;
      }
      continue;
    }
    if (!info.address.empty()) {
      info.error = "only one address can be given";
      return info;
    }
    if (arg.empty()) continue;
    info.address = arg;
  }
  if (info.parse && info.address.empty() && !info.show_help && !info.show_version) {
    info.error = "--parse needs an address";
  }
  return info;
}

std::string CommandLineUsage() {
  return "Usage: Quarry [--parse] [ADDRESS]\n"
         "Pulls the tables out of web pages.\n"
         "\n"
         "  ADDRESS        a web address to open in the Web Browser view\n"
         "  --parse        also parse that page: once it has loaded, or at once\n"
         "                 when the browser cannot show it or is slow to\n"
         "  -h, --help     show this help and exit\n"
         "  -v, --version  show the version and exit\n";
}

}  // namespace quarry
