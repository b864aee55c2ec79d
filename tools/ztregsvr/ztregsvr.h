// The ztregsvr command: registers component modules in the current user's
// settings store, or removes their registration, by loading each module
// and calling its own DllRegisterServer or DllUnregisterServer.
//
//   ztregsvr [/u] [/s] MODULE...
//
// Options may also be written -u, -s, and in either case. Every module on
// the line is processed; the exit status is that of the first failure.

#ifndef QUARRY_TOOLS_ZTREGSVR_ZTREGSVR_H_
#define QUARRY_TOOLS_ZTREGSVR_ZTREGSVR_H_

#include <iosfwd>
#include <string>
#include <vector>

namespace quarry::ztregsvr {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;        // bad command line or no module
inline constexpr int kExitLoadFailed = 3;   // the file is missing or no loadable module
inline constexpr int kExitNoEntry = 4;      // the module lacks the entry point
inline constexpr int kExitEntryFailed = 5;  // the entry point reported failure

// Runs one command line (`args` excludes the program name). One line per
// module goes to `out` on success and to `err` on failure; /s silences
// both, leaving only the exit status.
int RunZtregsvr(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quarry::ztregsvr

#endif  // QUARRY_TOOLS_ZTREGSVR_ZTREGSVR_H_
