#include "updater/app/service_registration.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "updater/automation_names.h"
#include "platform/atomic_file.h"

namespace quarry::updater {

namespace {

// Single quotes keep everything but a single quote, which ends the quote,
// is escaped, and starts a new one.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

std::string ServiceFilePath() {
  std::string data;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    data = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  return data + "/dbus-1/services/" + kUpdaterServiceName + ".service";
}

std::string ServiceFileText(const std::string& program) {
  return std::string("[D-BUS Service]\nName=") + kUpdaterServiceName + "\nExec=" +
         Quoted(program) + " " + kAutomationOption + "\n";
}

bool RegisterServer(const std::string& program, std::string* error) {
  const std::string path = ServiceFilePath();
  if (path.empty()) {
    *error = "no folder for the service file (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    *error = "cannot create " + std::filesystem::path(path).parent_path().string() + ": " +
             ec.message();
    return false;
  }
  std::string reason;
  if (platform::WriteFileAtomically(path, ServiceFileText(program), &reason)) return true;
  *error = "cannot write " + reason;
  return false;
}

bool UnregisterServer(std::string* error) {
  const std::string path = ServiceFilePath();
  if (path.empty()) return true;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  if (ec) {
    *error = "cannot remove " + path + ": " + ec.message();
    return false;
  }
  return true;
}

std::optional<int> RunRegistrationOption(const std::string& option) {
  std::string error;
  bool ok = false;
  if (option == kRegServerOption) {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
      error = "cannot tell where this program is: " + ec.message();
    } else {
      ok = RegisterServer(program.string(), &error);
    }
  } else if (option == kUnregServerOption) {
    ok = UnregisterServer(&error);
  } else {
    return std::nullopt;
  }
  if (!ok) std::fprintf(stderr, "KspAutoUpdater: %s\n", error.c_str());
  return ok ? 0 : 1;
}

}  // namespace quarry::updater
