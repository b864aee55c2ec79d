// The reporting process: what a fresh start of Quarry does when the fault
// handler of a crashed one starts it with a fault record
// ("Quarry --fault-report FILE"). It builds the readable report, keeps it
// in the report folder (the newest kKeptReports), removes the record, says
// on standard error where the report is, and shows it in CProgramErrorDlg
// when there is a display. Given a kept report instead of a record, it
// shows that report.

#ifndef QUARRY_FAULT_FAULT_REPORTER_H_
#define QUARRY_FAULT_FAULT_REPORTER_H_

#include <string>

namespace quarry {

// The report and where it was kept, from a record or a kept report.
struct PreparedReport {
  std::string message;     // the one-line message, or a description
  std::string report;      // CR LF line ends
  std::string saved_path;  // empty when it could not be kept
  std::string error;       // why nothing could be shown; the rest is empty
};
PreparedReport PrepareFaultReport(const std::string& path);

// Runs the reporting process; returns its exit status. argc and argv go to
// the QApplication it makes.
int RunFaultReporter(const std::string& path, int argc, char** argv);

}  // namespace quarry

#endif  // QUARRY_FAULT_FAULT_REPORTER_H_
