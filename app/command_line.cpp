#include "app/command_line.h"

namespace quarry {

CommandLineInfo ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineInfo info;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
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
      } else if (arg.starts_with("--simulate-fault=")) {
        info.simulate_fault = arg.substr(17);
        if (info.simulate_fault != "read" && info.simulate_fault != "divide" &&
            info.simulate_fault != "abort") {
          info.error = "--simulate-fault takes read, divide or abort";
          return info;
        }
      } else if (arg == "--fault-report" || arg.starts_with("--fault-report=")) {
        if (arg.size() > 15) {
          info.fault_report = arg.substr(15);
        } else if (i + 1 < args.size()) {
          info.fault_report = args[++i];
        }
        if (info.fault_report.empty()) {
          info.error = "--fault-report needs a file";
          return info;
        }
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
         "  --simulate-fault=read|divide|abort\n"
         "                 once the window is up, read address 0, divide by 0 or\n"
         "                 stop on an uncaught exception, to try the fault report\n"
         "  --fault-report FILE\n"
         "                 show a fault report (kept in ~/.local/state/quarry/\n"
         "                 fault-reports) and exit\n"
         "  -h, --help     show this help and exit\n"
         "  -v, --version  show the version and exit\n";
}

}  // namespace quarry
