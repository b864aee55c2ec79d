// CKspAutoUpdaterApp: the updater program. Reads its options, registers or
// removes its bus service file when asked to, and otherwise creates the
// window and the automation object and runs until the window closes.
//
//   KspAutoUpdater                 run for the user: show, scan, check
//   KspAutoUpdater --automation    started by the bus for a client
//   KspAutoUpdater --regserver     write the bus's service file and exit
//   KspAutoUpdater --unregserver   remove it and exit
//
// Only one updater runs per session: a second one started by the user asks
// the first to show its window and exits.

#ifndef QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_APP_H_
#define QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_APP_H_

#include <QStringList>
#include <memory>

namespace quarry {

class CKspAutoUpdaterDlg;
class CKspAutoUpdaterDlgAutoProxy;

class CKspAutoUpdaterApp {
 public:
  // A QApplication must exist.
  explicit CKspAutoUpdaterApp(QStringList arguments);
  ~CKspAutoUpdaterApp();

  // Runs the program; returns its exit status (0 success, 1 failure, 2 bad
  // options).
  int Run();

 private:
  QStringList arguments_;
  std::unique_ptr<CKspAutoUpdaterDlg> dialog_;
  std::unique_ptr<CKspAutoUpdaterDlgAutoProxy> proxy_;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_APP_H_
