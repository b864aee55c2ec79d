#include "app/command_line.h"

#include <filesystem>

#include <QFile>
#include <QUrl>

namespace quarry {

namespace {

// "name://" at the start, the name made of a letter and then letters,
// digits, "+", "-" or ".".
bool HasScheme(const std::string& text) {
  const size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && (i == 0 || !other)) return false;
  }
  return true;
}

}  // namespace

std::string AddressFromArgument(const std::string& arg, const std::string& folder) {
  namespace fs = std::filesystem;
  if (arg.empty() || HasScheme(arg)) return arg;
  std::error_code ec;
  fs::path path(arg);
  if (path.is_relative()) {
    if (folder.empty()) return arg;
    path = fs::path(folder) / path;
  }
  if (!fs::is_regular_file(path, ec)) return arg;
  const QString local = QFile::decodeName(path.lexically_normal().c_str());
  return QUrl::fromLocalFile(local).toString(QUrl::FullyEncoded).toStdString();
}

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
      } else if (arg == "--paths") {
        info.show_paths = true;
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
    std::error_code ec;
    info.address = AddressFromArgument(arg, std::filesystem::current_path(ec).string());
  }
  if (info.parse && info.address.empty() && !info.show_help && !info.show_version &&
      !info.show_paths) {
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
         "  --paths        show where the help pages, control modules and companion\n"
         "                 programs are found, and exit\n"
         "  -h, --help     show this help and exit\n"
         "  -v, --version  show the version and exit\n";
}

}  // namespace quarry
