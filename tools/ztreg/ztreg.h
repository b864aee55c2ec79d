// The ztreg command: lists, sets, deletes, exports and imports the values
// of the per-user settings store from the command line.

#ifndef QUARRY_TOOLS_ZTREG_ZTREG_H_
#define QUARRY_TOOLS_ZTREG_ZTREG_H_

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace quarry::ztreg {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // missing key or value, unusable store, failed write
inline constexpr int kExitUsage = 2;   // bad command line: command, key, type or data

// The most that "import" reads, from a file or a pipe.
inline constexpr size_t kMaxImportBytes = 64 << 20;

// Runs one command; `args` excludes the program name. Results go to `out`,
// errors to `err` as one line each. The store file at `store_path` is
// opened only once the command line has been checked, so a bad command
// line creates nothing. "import -" reads the descriptor `in_fd` (which
// stays open); a note from opening the store (store permissions tightened)
// goes to `err` too.
int RunZtreg(const std::vector<std::string>& args, const std::string& store_path, int in_fd,
             std::ostream& out, std::ostream& err);

}  // namespace quarry::ztreg

#endif  // QUARRY_TOOLS_ZTREG_ZTREG_H_
