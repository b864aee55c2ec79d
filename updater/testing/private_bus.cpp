#include "updater/testing/private_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMap>

#include "updater/automation_names.h"

namespace quarry::testing {

namespace {

QDBusMessage DaemonCall(const char* member) {
  return QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(member));
}

}  // namespace

bool ReloadBusServices() {
  const QDBusMessage reply =
      QDBusConnection::sessionBus().call(DaemonCall("ReloadConfig"), QDBus::Block, 5000);
  return reply.type() == QDBusMessage::ReplyMessage;
}

bool SetActivationVariable(const std::string& name, const std::string& value) {
  qDBusRegisterMetaType<QMap<QString, QString>>();
  QDBusMessage update = DaemonCall("UpdateActivationEnvironment");
  QMap<QString, QString> variables;
  variables.insert(QString::fromStdString(name), QString::fromStdString(value));
  update << QVariant::fromValue(variables);
  const QDBusMessage reply = QDBusConnection::sessionBus().call(update, QDBus::Block, 5000);
  return reply.type() == QDBusMessage::ReplyMessage;
}

bool UpdaterRunning() {
  return QDBusConnection::sessionBus()
      .interface()
      ->isServiceRegistered(QString::fromLatin1(kUpdaterServiceName))
      .value();
}

}  // namespace quarry::testing
