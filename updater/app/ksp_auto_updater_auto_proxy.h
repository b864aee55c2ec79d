// CKspAutoUpdaterDlgAutoProxy: the updater's automation object on the
// D-Bus session bus (automation_names.h). Every member forwards to the
// window on the window's thread; the window's messages to its client go
// out as the WindowMessage signal, to that client alone.
//
// The proxy lives as long as the window it forwards to, and must be
// destroyed before it.

#ifndef QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_AUTO_PROXY_H_
#define QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_AUTO_PROXY_H_

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

#include "updater/automation_names.h"

namespace quarry {

class CKspAutoUpdaterDlg;

class CKspAutoUpdaterDlgAutoProxy : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.Kestrane.KspAutoUpdater.Application")
  Q_PROPERTY(int NeedsUpdating READ NeedsUpdating WRITE SetNeedsUpdating)
  Q_PROPERTY(int FilesUpdated READ FilesUpdated WRITE SetFilesUpdated)
  Q_PROPERTY(int UpdateWaiting READ UpdateWaiting)
  Q_PROPERTY(QString UpdateWebsite READ UpdateWebsite WRITE SetUpdateWebsite)
  Q_PROPERTY(double Version READ Version)

 public:
  // `dialog` is not owned and must outlive the proxy.
  CKspAutoUpdaterDlgAutoProxy(CKspAutoUpdaterDlg* dialog, QDBusConnection bus);
  ~CKspAutoUpdaterDlgAutoProxy() override;

  // Exports the object, then takes the service name (in that order, so that
  // a client started by the name finds the object). False with *error when
  // either fails; a name owned by another updater is such a failure.
  bool Register(QString* error);

  int NeedsUpdating() const;
  void SetNeedsUpdating(int value);
  int FilesUpdated() const;
  void SetFilesUpdated(int value);
  int UpdateWaiting() const;
  QString UpdateWebsite() const;
  void SetUpdateWebsite(const QString& address);
  double Version() const;

 public slots:
  int UpdateAvailable();
  void ShowWindow(uint command);
  void SetParentWnd(qulonglong window);
  int ScanForFiles();
  void CheckOnlineFiles(ushort pc, ushort pv);
  void EndDialog();
  void UpdateFiles();
  int DownloadFiles(uint show);
  void SetProductInfo(ushort code, int version, uint config);
  void Release();

 private:
  CKspAutoUpdaterDlg* dialog_;
  QDBusConnection bus_;
  bool registered_ = false;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_APP_KSP_AUTO_UPDATER_AUTO_PROXY_H_
