#include "tools/ztregsvr/ztregsvr.h"

#include <ostream>

#include "platform/component_loader.h"

namespace quarry::ztregsvr {

namespace {

constexpr char kUsage[] =
    "usage: ztregsvr [/u] [/s] MODULE...\n"
    "Registers component modules in the current user's settings store.\n"
    "  /u  remove the modules' registration instead\n"
    "  /s  silent: print nothing, report through the exit status only\n"
    "Exit status: 0 success, 1 bad command line, 3 a module did not load,\n"
    "4 it is not a component module, 5 its registration failed.\n";

bool IsOption(const std::string& arg, char letter) {
  return arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') &&
         (arg[1] == letter || arg[1] == letter - 'a' + 'A');
}

}  // namespace

int RunZtregsvr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool unregister = false;
  bool silent = false;
  std::vector<std::string> modules;
  for (const std::string& arg : args) {
    if (arg == "/?" || arg == "-h" || arg == "--help") {
      out << kUsage;
      return kExitOk;
    }
    if (IsOption(arg, 'u')) {
      unregister = true;
    } else if (IsOption(arg, 's')) {
      silent = true;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      err << "ztregsvr: unknown option " << arg << "\n" << kUsage;
      return kExitUsage;
    } else if (arg.size() == 2 && arg[0] == '/') {
      // "/i", "/n" and the like: options this tool does not have. A path
      // of two characters starting with "/" is no module either.
      err << "ztregsvr: unknown option " << arg << "\n" << kUsage;
      return kExitUsage;
    } else {
      modules.push_back(arg);
    }
  }
  if (modules.empty()) {
    if (!silent) err << "ztregsvr: no module given\n" << kUsage;
    return kExitUsage;
  }

  int status = kExitOk;
  for (const std::string& module : modules) {
    const com::RegistrationOutcome outcome = com::RunRegistration(module, unregister);
    if (!silent) (outcome.status == 0 ? out : err) << outcome.message << "\n";
    if (outcome.status != 0 && status == kExitOk) status = outcome.status;
  }
  return status;
}

}  // namespace quarry::ztregsvr
