// CSupportDlg: the user writes to the maker's support mailbox ("Report
// Bug") or suggestions mailbox ("Submit a Suggestion"). With an outgoing
// mail server in the settings the message goes out by SMTP; without one,
// or when the server does not take it, it is handed to the user's mail
// program. The sender's name and address and the server settings are
// edited here and written to the settings when the message is sent.
//
// Sending runs on a worker thread; the dialog stays responsive and its
// Cancel button stops the send (every wait of the mailer ends within a
// quarter of a second). Closing the dialog stops it too.

#ifndef QUARRY_FAULT_SUPPORT_DLG_H_
#define QUARRY_FAULT_SUPPORT_DLG_H_

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/help_links.h"
#include "fault/mail_program.h"
#include "fault/smtp_message.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSpinBox;

namespace quarry {

class CAppSettings;
class CKsButtonCtrl;

// What one send needs, taken from the dialog on the user-interface thread.
struct SupportMailJob {
  SupportMode mode = SupportMode::kSupport;
  CSMTPMessage smtp;           // the message for the mail server
  std::vector<std::string> files;  // attachment paths (read on the worker)
  std::string server;
  int port = 25;
  bool authenticate = false;
  std::string user_name;
  std::string password;
  bool allow_plain_login = false;
  MailProgramMessage fallback;  // the same message for the mail program
};

struct SupportMailOutcome {
  bool ok = false;
  bool by_server = false;    // delivered by SMTP
  std::string server_error;  // why SMTP failed, when it was tried
  std::string error;         // why the mail program failed
};

// Runs a send: SMTP when a server is given, else (or after an SMTP
// failure) the mail program. Blocking; honours `stop`.
SupportMailOutcome SendSupportMail(const SupportMailJob& job, std::stop_token stop);

class CSupportDlg : public QDialog {
  Q_OBJECT

 public:
  // The value under "Settings" that allows a login without encryption.
  static constexpr char kAllowPlainLoginValue[] = "SMTPAllowPlainLogin";
  // Attachments may add up to this many bytes.
  static constexpr qint64 kMaxAttachmentBytes = 10 * 1024 * 1024;

  // `settings` (may be null in tests) gives and keeps the mail settings.
  CSupportDlg(SupportMode mode, CAppSettings* settings, QWidget* parent = nullptr);
  ~CSupportDlg() override;

  SupportMode Mode() const { return mode_; }
  // The subject and recipient name the mode calls for.
  static QString ModeTitle(SupportMode mode);

  // The job the current fields describe.
  SupportMailJob Job() const;
  // Adds a file to send along; false (and a message) when it cannot be
  // read or would make the attachments too large.
  bool AddAttachment(const QString& path);

  // Replaces the sending (tests).
  using Sender = std::function<SupportMailOutcome(const SupportMailJob&, std::stop_token)>;
  void SetSender(Sender sender) { sender_ = std::move(sender); }
  void SetMessageSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }

  // Checks the fields, keeps the settings and starts sending.
  void OnSend();
  bool IsSending() const { return sending_; }

 signals:
  void sendFinished(bool ok);

 protected:
  void reject() override;

 private:
  void Finish(const SupportMailOutcome& outcome);
  // Through the program's message box unless a sink is set.
  void Tell(const QString& text, bool success = false);
  void SaveSettings();
  void UpdateLoginFields();
  void SetBusy(bool busy);

  SupportMode mode_;
  CAppSettings* settings_;
  QLineEdit* name_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* subject_ = nullptr;
  QPlainTextEdit* body_ = nullptr;
  QListWidget* attachments_ = nullptr;
  QLineEdit* server_ = nullptr;
  QSpinBox* port_ = nullptr;
  QCheckBox* authenticate_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
  QCheckBox* remember_password_ = nullptr;
  QCheckBox* allow_plain_ = nullptr;
  QLabel* status_ = nullptr;
  CKsButtonCtrl* send_ = nullptr;
  CKsButtonCtrl* cancel_ = nullptr;
  std::vector<QWidget*> fields_;  // disabled while sending
  Sender sender_;
  std::function<void(const QString&)> sink_;
  bool sending_ = false;
  std::jthread worker_;  // last: joined first
};

}  // namespace quarry

#endif  // QUARRY_FAULT_SUPPORT_DLG_H_
