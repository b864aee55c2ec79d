// KspAutoUpdater: keeps the maker's installed files current.

#include <QApplication>

#include "updater/app/ksp_auto_updater_app.h"
#include "updater/app/service_registration.h"

int main(int argc, char** argv) {
  // Registering needs no display.
  if (argc == 2) {
    if (const auto status = quarry::updater::RunRegistrationOption(argv[1])) return *status;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KspAutoUpdater"));
  QApplication::setOrganizationName(QStringLiteral("Kestrane"));
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  quarry::CKspAutoUpdaterApp updater(arguments);
  return updater.Run();
}
