#include "app/external_browser.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/child_process.h"
#include "platform/ascii_text.h"

namespace quarry {

namespace fs = std::filesystem;

namespace {

// How long the desktop gets to name its default browser.
constexpr int kLookupTimeoutMs = 5000;

}  // namespace

std::string DefaultBrowserEntry() {
  if (!ProgramExists("xdg-settings")) return {};
  QProcess process;
  process.start(QStringLiteral("xdg-settings"),
                {QStringLiteral("get"), QStringLiteral("default-web-browser")});
  if (!process.waitForFinished(kLookupTimeoutMs)) {
    process.kill();
    process.waitForFinished(1000);
    return {};
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return {};
  return std::string(Trimmed(process.readAllStandardOutput().toStdString()));
}

std::optional<std::string> DesktopEntryExec(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::string line;
  bool in_entry = false;
  while (std::getline(in, line)) {
    line = std::string(Trimmed(line));
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      in_entry = line == "[Desktop Entry]";
      continue;
    }
    if (!in_entry) continue;
    const size_t eq = line.find('=');
    if (eq != std::string::npos && Trimmed(std::string_view(line).substr(0, eq)) == "Exec") {
      return std::string(Trimmed(std::string_view(line).substr(eq + 1)));
    }
  }
  return std::nullopt;
}

std::vector<std::string> ExecCommand(std::string_view exec, const std::string& address) {
  // Split into arguments first; field codes are looked for per argument.
  std::vector<std::string> args;
  std::string current;
  bool in_arg = false, quoted = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size()) {
        current += exec[++i];
      } else {
        current += c;
      }
    } else if (c == '"') {
      quoted = in_arg = true;
    } else if (c == ' ' || c == '\t') {
      if (in_arg) args.push_back(std::move(current));
      current.clear();
      in_arg = false;
    } else {
      current += c;
      in_arg = true;
    }
  }
  if (quoted) return {};
  if (in_arg) args.push_back(std::move(current));

  std::vector<std::string> command;
  bool placed = false;
  for (const std::string& arg : args) {
    if (arg == "%u" || arg == "%U" || arg == "%f" || arg == "%F") {
      if (!placed) command.push_back(address);
      placed = true;
      continue;
    }
    std::string out;
    bool dropped = false;
    for (size_t i = 0; i < arg.size(); ++i) {
      if (arg[i] != '%' || i + 1 >= arg.size()) {
        out += arg[i];
        continue;
      }
      const char code = arg[++i];
      if (code == '%') {
        out += '%';
      } else if ((code == 'u' || code == 'U' || code == 'f' || code == 'F') && !placed) {
        out += address;
        placed = true;
      } else {
        dropped = true;  // %i %c %k and deprecated codes
      }
    }
    if (!out.empty() || !dropped) command.push_back(out);
  }
  if (command.empty()) return {};
  if (!placed) command.push_back(address);
  return command;
}

std::optional<fs::path> FindDesktopEntry(const std::string& id) {
  if (id.empty() || id.find('/') != std::string::npos) return std::nullopt;
  std::vector<fs::path> dirs;
  if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home) {
    dirs.emplace_back(home);
  } else if (const char* user = std::getenv("HOME"); user && *user) {
    dirs.push_back(fs::path(user) / ".local" / "share");
  }
  std::string data_dirs = "/usr/local/share:/usr/share";
  if (const char* xdg = std::getenv("XDG_DATA_DIRS"); xdg && *xdg) data_dirs = xdg;
  std::istringstream split(data_dirs);
  for (std::string dir; std::getline(split, dir, ':');) {
    if (!dir.empty()) dirs.emplace_back(dir);
  }
  std::error_code ec;
  for (const fs::path& dir : dirs) {
    const fs::path file = dir / "applications" / id;
    if (fs::is_regular_file(file, ec)) return file;
  }
  return std::nullopt;
}

ExternalBrowser& ExternalBrowser::Shared() {
  static ExternalBrowser* shared = new ExternalBrowser();
  return *shared;
}

std::vector<std::string> ExternalBrowser::CommandFor(const std::string& address) {
  if (StartsWithNoCase(address, "http")) {
    std::lock_guard<std::mutex> lock(lookup_mu_);
    if (!looked_up_) {
      looked_up_ = true;
      if (std::optional<fs::path> entry = FindDesktopEntry(default_entry_())) {
        std::ifstream in(*entry, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        browser_exec_ = DesktopEntryExec(text.str()).value_or(std::string());
      }
    }
    if (!browser_exec_.empty()) {
      std::vector<std::string> command = ExecCommand(browser_exec_, address);
      if (!command.empty()) return command;
    }
  }
  return {"xdg-open", address};
}

}  // namespace quarry
