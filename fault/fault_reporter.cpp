#include "fault/fault_reporter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <QApplication>

#include "app/app_icons.h"
#include "fault/fault_record.h"
#include "fault/fault_report.h"
#include "fault/program_error_dlg.h"
#include "fault/report_store.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxShownReport = 1 << 20;

bool HasDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

PreparedReport PrepareFaultReport(const std::string& path) {
  PreparedReport prepared;
  FaultRecord record;
  std::string error;
  if (ReadFaultRecord(path, &record, &error)) {
    prepared.message = ExceptionFromRecord(record).OneLineMessage();
    prepared.report = BuildFaultReport(record, ReadSystemInfoSection());
    const std::string folder = fs::path(path).parent_path().string();
    std::string keep_error;
    prepared.saved_path =
        KeepReport(folder, prepared.report, static_cast<std::time_t>(record.raw.fault_time),
                   record.raw.pid, &keep_error);
    if (!prepared.saved_path.empty()) {
      std::error_code ignored;
      fs::remove(path, ignored);
    } else {
      std::fprintf(stderr, "Quarry: the fault report could not be kept: %s\n", keep_error.c_str());
    }
    // Records whose reporter never ran stay, but not without end.
    PruneFolder(folder, "fault-", ".raw", kKeptReports);
    return prepared;
  }
  // A kept report is shown as it is.
  std::ifstream in(path, std::ios::binary);
  std::string text(kMaxShownReport, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (!in.bad() && text.starts_with("Date/Time:")) {
    prepared.message = "A fault report kept earlier.";
    prepared.report = text;
    prepared.saved_path = path;
    return prepared;
  }
  prepared.error = error;
  return prepared;
}

int RunFaultReporter(const std::string& path, int argc, char** argv) {
  const PreparedReport prepared = PrepareFaultReport(path);
  if (!prepared.error.empty()) {
    std::fprintf(stderr, "Quarry: %s: %s\n", path.c_str(), prepared.error.c_str());
    return 1;
  }
  std::fprintf(stderr, "Quarry: %s\n", prepared.message.c_str());
  if (!prepared.saved_path.empty()) {
    std::fprintf(stderr, "Quarry: the fault report is kept in %s\n", prepared.saved_path.c_str());
  }
  if (!HasDisplay()) return 0;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quarry"));
  QApplication::setOrganizationName(QStringLiteral("Zandor Tech"));
  QApplication::setDesktopFileName(QString::fromLatin1(quarry::kDesktopEntryName));
  QApplication::setWindowIcon(AppIcon());
  InstallDesktopSystemColours();
  CProgramErrorDlg dialog(QString::fromStdString(prepared.message),
                          QString::fromStdString(prepared.report),
                          QString::fromStdString(prepared.saved_path));
  dialog.exec();
  return 0;
}

}  // namespace quarry
