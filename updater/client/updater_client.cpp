#include "updater/client/updater_client.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

#include "updater/automation_names.h"

namespace quarry {

namespace {

QString Service() { return QString::fromLatin1(kUpdaterServiceName); }

// A call to the updater that Connect() reached. It never starts another
// one: an updater that has closed meanwhile (a call that follows
// EndDialog, say) must fail the call, not come back with nobody to close it.
QDBusMessage UpdaterCall(const QString& interface, const QString& member) {
  QDBusMessage call = QDBusMessage::createMethodCall(Service(), QString::fromLatin1(kUpdaterObjectPath),
                                                     interface, member);
  call.setAutoStartService(false);
  return call;
}
QString Path() { return QString::fromLatin1(kUpdaterObjectPath); }
QString Interface() { return QString::fromLatin1(kUpdaterInterface); }

}  // namespace

CUpdaterClient::CUpdaterClient(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

CUpdaterClient::~CUpdaterClient() {
  std::lock_guard lock(mu_);
  if (listening_) {
    bus_.disconnect(QString(), Path(), Interface(), QString::fromLatin1(kUpdaterMessageSignal),
                    this, SLOT(OnWindowMessage(qulonglong, uint, qulonglong, QDBusMessage)));
  }
}

QString CUpdaterClient::LastError() const {
  std::lock_guard lock(mu_);
  return error_;
}

QString CUpdaterClient::LastErrorName() const {
  std::lock_guard lock(mu_);
  return error_name_;
}

void CUpdaterClient::Fail(const QString& name, const QString& message) {
  std::lock_guard lock(mu_);
  error_name_ = name;
  error_ = message;
}

bool CUpdaterClient::Connect() {
  if (!bus_.isConnected()) {
    Fail(bus_.lastError().name(),
         QStringLiteral("no session bus: %1").arg(bus_.lastError().message()));
    return false;
  }
  QDBusConnectionInterface* daemon = bus_.interface();
  if (!daemon->isServiceRegistered(Service()).value()) {
    const QDBusReply<void> started = daemon->startService(Service());
    if (!started.isValid()) {
      Fail(started.error().name(), started.error().message());
      return false;
    }
  }
  std::lock_guard lock(mu_);
  if (!listening_) {
    // Matched by any sender, and the sender checked on arrival: a match on
    // the service name would depend on the bus library having learnt the
    // name's owner first, and could drop the updater's first messages.
    listening_ = bus_.connect(QString(), Path(), Interface(),
                              QString::fromLatin1(kUpdaterMessageSignal), this,
                              SLOT(OnWindowMessage(qulonglong, uint, qulonglong, QDBusMessage)));
  }
  return true;
}

std::optional<QVariant> CUpdaterClient::Call(const char* member, const QVariantList& args,
                                             std::chrono::milliseconds timeout) {
  QDBusMessage call = UpdaterCall(Interface(), QString::fromLatin1(member));
  call.setArguments(args);
  const QDBusMessage reply = bus_.call(call, QDBus::Block, static_cast<int>(timeout.count()));
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Fail(reply.errorName(), reply.errorMessage().isEmpty() ? QStringLiteral("%1 failed").arg(member)
                                                           : reply.errorMessage());
    return std::nullopt;
  }
  NoteAnswerFrom(reply);
  return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first();
}

std::optional<QVariant> CUpdaterClient::GetProperty(const char* name) {
  QDBusMessage call = UpdaterCall(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << Interface() << QString::fromLatin1(name);
  const QDBusMessage reply = bus_.call(call, QDBus::Block, 25000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    Fail(reply.errorName(), reply.errorMessage().isEmpty()
                                ? QStringLiteral("reading %1 failed").arg(name)
                                : reply.errorMessage());
    return std::nullopt;
  }
  NoteAnswerFrom(reply);
  return reply.arguments().first().value<QDBusVariant>().variant();
}

bool CUpdaterClient::SetProperty(const char* name, const QVariant& value) {
  QDBusMessage call = UpdaterCall(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
  call << Interface() << QString::fromLatin1(name) << QVariant::fromValue(QDBusVariant(value));
  const QDBusMessage reply = bus_.call(call, QDBus::Block, 25000);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Fail(reply.errorName(), reply.errorMessage());
    return false;
  }
  NoteAnswerFrom(reply);
  return true;
}

void CUpdaterClient::NoteAnswerFrom(const QDBusMessage& reply) {
  std::lock_guard lock(mu_);
  error_.clear();
  error_name_.clear();
  // The sender of a reply is the unique name of the updater that answered.
  if (!reply.service().isEmpty()) updater_ = reply.service();
}

namespace {

std::optional<int> AsInt(const std::optional<QVariant>& v) {
  if (!v) return std::nullopt;
  return v->toInt();
}

}  // namespace

std::optional<int> CUpdaterClient::NeedsUpdating() { return AsInt(GetProperty("NeedsUpdating")); }
bool CUpdaterClient::SetNeedsUpdating(int value) { return SetProperty("NeedsUpdating", value); }
std::optional<int> CUpdaterClient::FilesUpdated() { return AsInt(GetProperty("FilesUpdated")); }
bool CUpdaterClient::SetFilesUpdated(int value) { return SetProperty("FilesUpdated", value); }
std::optional<int> CUpdaterClient::UpdateWaiting() { return AsInt(GetProperty("UpdateWaiting")); }

std::optional<int> CUpdaterClient::UpdateAvailable(std::chrono::milliseconds timeout) {
  return AsInt(Call("UpdateAvailable", {}, timeout));
}

std::optional<QString> CUpdaterClient::UpdateWebsite() {
  const auto v = GetProperty("UpdateWebsite");
  if (!v) return std::nullopt;
  return v->toString();
}

bool CUpdaterClient::SetUpdateWebsite(const QString& address) {
  return SetProperty("UpdateWebsite", address);
}

bool CUpdaterClient::ShowWindow(uint32_t command) {
  return Call("ShowWindow", {QVariant::fromValue(uint(command))}).has_value();
}

bool CUpdaterClient::SetParentWnd(platform::WindowHandle window) {
  {
    std::lock_guard lock(mu_);
    parent_ = window;
  }
  return Call("SetParentWnd", {QVariant::fromValue(qulonglong(window))}).has_value();
}

std::optional<int> CUpdaterClient::ScanForFiles() { return AsInt(Call("ScanForFiles", {})); }

bool CUpdaterClient::CheckOnlineFiles(uint16_t pc, uint16_t pv) {
  return Call("CheckOnlineFiles", {QVariant::fromValue(ushort(pc)), QVariant::fromValue(ushort(pv))})
      .has_value();
}

bool CUpdaterClient::EndDialog() { return Call("EndDialog", {}).has_value(); }
bool CUpdaterClient::UpdateFiles() { return Call("UpdateFiles", {}).has_value(); }

std::optional<int> CUpdaterClient::DownloadFiles(uint32_t show) {
  return AsInt(Call("DownloadFiles", {QVariant::fromValue(uint(show))}));
}

std::optional<double> CUpdaterClient::Version() {
  const auto v = GetProperty("Version");
  if (!v) return std::nullopt;
  return v->toDouble();
}

bool CUpdaterClient::SetProductInfo(uint16_t code, int32_t version_x100, uint32_t config) {
  return Call("SetProductInfo", {QVariant::fromValue(ushort(code)), QVariant::fromValue(int(version_x100)),
                                 QVariant::fromValue(uint(config))})
      .has_value();
}

bool CUpdaterClient::Release() { return Call("Release", {}).has_value(); }

void CUpdaterClient::OnWindowMessage(qulonglong window, uint message, qulonglong wparam,
                                     const QDBusMessage& signal) {
  // Only the window this client named, and only from the updater that took
  // that window: its unique name came with its answer to SetParentWnd. The
  // name is not asked of the bus here, since the updater gives up its
  // well-known name straight after its last message (WM_UPDATER_CLOSED),
  // and a question asked on arrival would find no owner and drop it.
  {
    std::lock_guard lock(mu_);
    if (window == 0 || window != parent_) return;
    if (updater_.isEmpty() || signal.service() != updater_) return;
  }
  platform::PostMessage(static_cast<platform::WindowHandle>(window), message,
                        static_cast<uintptr_t>(wparam));
}

}  // namespace quarry
