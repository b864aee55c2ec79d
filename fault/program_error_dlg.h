// CProgramErrorDlg: shows a fault report after the program stopped, lets
// the user add what they were doing, and sends both to the maker's support
// mailbox through the user's mail program (subject "Uncaught Quarry
// Error"). Runs in the reporting process, never in the one that faulted.
//
// Sending runs on a worker thread while the dialog is disabled; closing
// the dialog stops waiting for it. Messages to the user go through a sink
// (a message box by default) so tests can read them.

#ifndef QUARRY_FAULT_PROGRAM_ERROR_DLG_H_
#define QUARRY_FAULT_PROGRAM_ERROR_DLG_H_

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

#include "fault/mail_program.h"

class QLabel;
class QPlainTextEdit;

namespace quarry {

class CKsButtonCtrl;
class LinkOpener;

class CProgramErrorDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kIdReport = 1201;
  static constexpr int kIdAdditional = 1202;
  static constexpr int kIdSend = 1203;
  static constexpr int kIdClose = 2;
  static constexpr int kIdCopy = 1204;
  static constexpr int kIdShowFile = 1205;

  // `message` is the fault's one-line message, `report` the report text
  // (CR LF line ends), `saved_path` where it was kept (empty: not kept).
  CProgramErrorDlg(const QString& message, const QString& report, const QString& saved_path,
                   QWidget* parent = nullptr);
  ~CProgramErrorDlg() override;

  // Replaces the mail program (tests).
  using Sender = std::function<MailProgramResult(const MailProgramMessage&, std::stop_token)>;
  void SetSender(Sender sender) { sender_ = std::move(sender); }
  // Where texts for the user go; default: a message box.
  void SetMessageSink(std::function<void(const QString&)> sink) { sink_ = std::move(sink); }

  // The message handed to the mail program.
  MailProgramMessage Message() const;
  // Sends (on a worker thread) as the Send button does.
  void OnSend();
  bool IsSending() const { return sending_; }

  // `text` broken into lines of at most `columns` characters at blanks
  // (longer words are cut).
  static QString WrapAtColumns(const QString& text, int columns);

 signals:
  void sendFinished(bool ok);

 private:
  void Finish(const MailProgramResult& result);
  // Through the program's message box unless a sink is set.
  void Tell(const QString& text, bool success = false);

  QString report_;
  QString saved_path_;
  QPlainTextEdit* additional_ = nullptr;
  CKsButtonCtrl* send_ = nullptr;
  Sender sender_;
  std::function<void(const QString&)> sink_;
  bool sending_ = false;
  std::unique_ptr<LinkOpener> opener_;
  std::jthread worker_;  // last: joined first
};

}  // namespace quarry

#endif  // QUARRY_FAULT_PROGRAM_ERROR_DLG_H_
