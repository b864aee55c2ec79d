#include "updater/app/ksp_auto_updater_app.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>
#include <cstdio>

#include "updater/app/ksp_auto_updater_auto_proxy.h"
#include "updater/app/ksp_auto_updater_dlg.h"
#include "updater/app/updater_artwork.h"
#include "updater/automation_names.h"

namespace quarry {

CKspAutoUpdaterApp::CKspAutoUpdaterApp(QStringList arguments)
    : arguments_(std::move(arguments)) {}

CKspAutoUpdaterApp::~CKspAutoUpdaterApp() {
  proxy_.reset();  // before the window it forwards to
  dialog_.reset();
}

int CKspAutoUpdaterApp::Run() {
  bool automation = false;
  for (const QString& arg : arguments_) {
    if (arg == QLatin1String(kAutomationOption)) {
      automation = true;
    } else {
      std::fprintf(stderr,
                   "usage: KspAutoUpdater [--automation | --regserver | --unregserver]\n");
      return 2;
    }
  }

  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(updater::UpdaterIcon());
  CKspAutoUpdaterDlg::Options options;
  options.automation = automation;
  dialog_ = std::make_unique<CKspAutoUpdaterDlg>(std::move(options));

  QDBusConnection bus = QDBusConnection::sessionBus();
  proxy_ = std::make_unique<CKspAutoUpdaterDlgAutoProxy>(dialog_.get(), bus);
  QString error;
  if (!proxy_->Register(&error)) {
    proxy_.reset();
    if (automation) {
      std::fprintf(stderr, "KspAutoUpdater: %s\n", qPrintable(error));
      return 1;
    }
    if (bus.isConnected() && bus.interface()->isServiceRegistered(
                                 QString::fromLatin1(kUpdaterServiceName))) {
      // The updater runs already: bring its window up instead.
      QDBusMessage show = QDBusMessage::createMethodCall(
          QString::fromLatin1(kUpdaterServiceName), QString::fromLatin1(kUpdaterObjectPath),
          QString::fromLatin1(kUpdaterInterface), QStringLiteral("ShowWindow"));
      show << 5u;
      bus.call(show, QDBus::Block, 5000);
      return 0;
    }
    // No bus: the user's own run works without the automation object.
  }

  if (automation && proxy_) {
    // Started for a client on this bus: without the bus no client can
    // reach it any more, so it ends with the bus.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"),
                dialog_.get(), SLOT(EndDialog()));
  }
  QObject::connect(dialog_.get(), &CKspAutoUpdaterDlg::closed, qApp, [bus]() mutable {
    // A round trip to the bus daemon makes sure the signals sent before it
    // have left; then the program may end.
    if (bus.isConnected()) bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  });
  return QApplication::exec();
}

}  // namespace quarry
