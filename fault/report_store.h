// Where fault reports are kept: a folder of the user's state folder
// ($XDG_STATE_HOME, else ~/.local/state) named "quarry/fault-reports".
// It holds the raw records the fault handler writes ("fault-*.raw") until
// the reporter has turned them into readable reports
// ("quarry-fault-YYYYMMDD-HHMMSS-PID.txt"), so that a user without a mail
// program can still attach one to a mail. Only the newest kKeptReports of
// each kind are kept.

#ifndef QUARRY_FAULT_REPORT_STORE_H_
#define QUARRY_FAULT_REPORT_STORE_H_

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

inline constexpr size_t kKeptReports = 20;

// The folder; empty when neither variable gives an absolute path and no
// home folder is known.
std::string FaultReportFolder();
// The rule of FaultReportFolder() on given values (null for unset).
std::string FaultReportFolderFrom(const char* xdg_state_home, const char* home);

// The file name a report of a fault at `when` (local time) in process
// `pid` is kept under.
std::string ReportFileName(std::time_t when, int pid);

// Writes `report` whole (or not at all) as `folder`/ReportFileName(...),
// then removes the oldest reports beyond kKeptReports. The path on
// success; empty with a reason in *error otherwise.
std::string KeepReport(const std::string& folder, std::string_view report, std::time_t when,
                       int pid, std::string* error);

// Removes all but the newest `keep` files of `folder` whose names start
// with `prefix` and end with `suffix` (newest by name: the names sort by
// time). Returns the number removed.
size_t PruneFolder(const std::string& folder, std::string_view prefix, std::string_view suffix,
                   size_t keep);

// The kept reports, newest first.
std::vector<std::string> KeptReports(const std::string& folder);

}  // namespace quarry

#endif  // QUARRY_FAULT_REPORT_STORE_H_
