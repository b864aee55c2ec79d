#include "updater/app/ksp_auto_updater_auto_proxy.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "updater/app/ksp_auto_updater_dlg.h"

namespace quarry {

CKspAutoUpdaterDlgAutoProxy::CKspAutoUpdaterDlgAutoProxy(CKspAutoUpdaterDlg* dialog,
                                                         QDBusConnection bus)
    : dialog_(dialog), bus_(std::move(bus)) {}

CKspAutoUpdaterDlgAutoProxy::~CKspAutoUpdaterDlgAutoProxy() {
  if (!registered_) return;
  bus_.unregisterService(QString::fromLatin1(kUpdaterServiceName));
  bus_.unregisterObject(QString::fromLatin1(kUpdaterObjectPath));
}

bool CKspAutoUpdaterDlgAutoProxy::Register(QString* error) {
  if (!bus_.isConnected()) {
    *error = QStringLiteral("no session bus: %1").arg(bus_.lastError().message());
    return false;
  }
  if (!bus_.registerObject(QString::fromLatin1(kUpdaterObjectPath), this,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)) {
    *error = QStringLiteral("cannot export the automation object");
    return false;
  }
  if (!bus_.registerService(QString::fromLatin1(kUpdaterServiceName))) {
    bus_.unregisterObject(QString::fromLatin1(kUpdaterObjectPath));
    *error = QStringLiteral("another updater owns %1").arg(QString::fromLatin1(kUpdaterServiceName));
    return false;
  }
  registered_ = true;
  return true;
}

int CKspAutoUpdaterDlgAutoProxy::NeedsUpdating() const { return dialog_->NeedsUpdating(); }
void CKspAutoUpdaterDlgAutoProxy::SetNeedsUpdating(int value) { dialog_->SetNeedsUpdating(value); }
int CKspAutoUpdaterDlgAutoProxy::FilesUpdated() const { return dialog_->FilesUpdated(); }
void CKspAutoUpdaterDlgAutoProxy::SetFilesUpdated(int value) { dialog_->SetFilesUpdated(value); }
int CKspAutoUpdaterDlgAutoProxy::UpdateWaiting() const { return dialog_->UpdateWaiting(); }
QString CKspAutoUpdaterDlgAutoProxy::UpdateWebsite() const { return dialog_->UpdateWebsite(); }
void CKspAutoUpdaterDlgAutoProxy::SetUpdateWebsite(const QString& address) {
  dialog_->SetUpdateWebsite(address);
}
double CKspAutoUpdaterDlgAutoProxy::Version() const { return dialog_->Version(); }

int CKspAutoUpdaterDlgAutoProxy::UpdateAvailable() {
  if (!calledFromDBus()) return 0;
  // The answer waits for the check, which runs on a worker; the bus call
  // is answered when it ends, and the window stays responsive meanwhile.
  setDelayedReply(true);
  QDBusMessage request = message();
  QDBusConnection bus = connection();
  dialog_->UpdateAvailable([request, bus](int needs_updating) mutable {
    bus.send(request.createReply(needs_updating));
  });
  return 0;
}

void CKspAutoUpdaterDlgAutoProxy::ShowWindow(uint command) { dialog_->ShowWindowCommand(command); }

void CKspAutoUpdaterDlgAutoProxy::SetParentWnd(qulonglong window) {
  if (!calledFromDBus()) return;
  const QString client = message().service();  // the caller's unique name
  QDBusConnection bus = connection();
  if (window == 0) {
    dialog_->SetParentWnd(nullptr);
    return;
  }
  dialog_->SetParentWnd([client, bus, window](uint32_t msg, uintptr_t wparam) mutable {
    // A client that has left the bus has no windows any more.
    if (!bus.interface()->isServiceRegistered(client).value()) return false;
    QDBusMessage signal = QDBusMessage::createTargetedSignal(
        client, QString::fromLatin1(kUpdaterObjectPath), QString::fromLatin1(kUpdaterInterface),
        QString::fromLatin1(kUpdaterMessageSignal));
    signal << window << uint(msg) << qulonglong(wparam);
    return bus.send(signal);
  });
}

int CKspAutoUpdaterDlgAutoProxy::ScanForFiles() { return dialog_->ScanForFiles(); }

void CKspAutoUpdaterDlgAutoProxy::CheckOnlineFiles(ushort pc, ushort pv) {
  dialog_->CheckOnlineFiles(pc, pv);
}

void CKspAutoUpdaterDlgAutoProxy::EndDialog() { dialog_->EndDialog(); }

void CKspAutoUpdaterDlgAutoProxy::UpdateFiles() { dialog_->UpdateFiles(); }

int CKspAutoUpdaterDlgAutoProxy::DownloadFiles(uint show) { return dialog_->DownloadFiles(show); }

void CKspAutoUpdaterDlgAutoProxy::SetProductInfo(ushort code, int version, uint config) {
  dialog_->SetProductInfo(code, version, config);
}

void CKspAutoUpdaterDlgAutoProxy::Release() { dialog_->ClientReleased(); }

}  // namespace quarry
