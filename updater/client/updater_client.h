// CUpdaterClient: how a program of the system drives the updater's
// automation object over the D-Bus session bus (automation_names.h).
// Connect() starts the updater through the bus when it is not running; the
// other calls only reach a running one (they fail once it has closed).
//
// Every call blocks the calling thread until the updater answers (or its
// time-out passes: 25 s, and 10 minutes for UpdateAvailable, which runs a
// whole check) and reports failure instead of throwing: nullopt or false,
// with LastError() saying why. The window messages the updater sends to the
// window named by SetParentWnd arrive there as posted messages.
//
// One object per client. Calls may come from any thread, one at a time or
// not (the bus connection is thread-safe and the object's own state is
// guarded); the thread the object lives in delivers the updater's messages,
// so it must run an event loop.

#ifndef QUARRY_UPDATER_CLIENT_UPDATER_CLIENT_H_
#define QUARRY_UPDATER_CLIENT_UPDATER_CLIENT_H_

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariant>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "platform/window_message.h"

namespace quarry {

class CUpdaterClient : public QObject {
  Q_OBJECT

 public:
  explicit CUpdaterClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);
  ~CUpdaterClient() override;

  // Makes sure the updater runs (starting it through the bus when needed)
  // and listens for its messages. False with LastError() when it cannot be
  // reached: no bus, no registered service, or a program that fails to
  // start.
  bool Connect();

  std::optional<int> NeedsUpdating();
  bool SetNeedsUpdating(int value);
  std::optional<int> FilesUpdated();
  bool SetFilesUpdated(int value);
  std::optional<int> UpdateWaiting();
  std::optional<int> UpdateAvailable(
      std::chrono::milliseconds timeout = std::chrono::minutes(10));
  std::optional<QString> UpdateWebsite();
  bool SetUpdateWebsite(const QString& address);
  bool ShowWindow(uint32_t command);
  // The updater's messages go to `window` from now on (posted on this
  // client's thread); kNoWindow stops them.
  bool SetParentWnd(platform::WindowHandle window);
  std::optional<int> ScanForFiles();
  bool CheckOnlineFiles(uint16_t pc, uint16_t pv);
  bool EndDialog();
  bool UpdateFiles();
  std::optional<int> DownloadFiles(uint32_t show);
  std::optional<double> Version();
  bool SetProductInfo(uint16_t code, int32_t version_x100, uint32_t config);
  // Drops this client's hold on the updater (see automation_names.h).
  bool Release();

  QString LastError() const;
  // The bus's name for the last failure ("org.freedesktop.DBus.Error.
  // ServiceUnknown", ...); empty when it had none.
  QString LastErrorName() const;

 private slots:
  void OnWindowMessage(qulonglong window, uint message, qulonglong wparam,
                       const QDBusMessage& signal);

 private:
  std::optional<QVariant> Call(const char* member, const QVariantList& args,
                               std::chrono::milliseconds timeout = std::chrono::seconds(25));
  std::optional<QVariant> GetProperty(const char* name);
  bool SetProperty(const char* name, const QVariant& value);
  // Clears the error and remembers which updater answered.
  void NoteAnswerFrom(const QDBusMessage& reply);
  void Fail(const QString& name, const QString& message);

  QDBusConnection bus_;
  mutable std::mutex mu_;  // guards what follows
  QString error_;
  QString error_name_;
  bool listening_ = false;
  platform::WindowHandle parent_ = platform::kNoWindow;
  QString updater_;  // unique bus name of the updater that last answered
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_CLIENT_UPDATER_CLIENT_H_
