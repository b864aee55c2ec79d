#include "fault/support_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <fstream>

#include "app/app_settings.h"
#include "fault/report_store.h"
#include "fault/smtp_connection.h"
#include "framework/dialog_font.h"
#include "framework/ks_controls.h"
#include "framework/msgbox/app_message_box.h"

namespace quarry {

namespace {

constexpr int kIdSend = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAttach = 1301;
constexpr int kIdRemove = 1302;
constexpr int kIdServerGroup = 1303;

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

QLineEdit* Edit(const QString& name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setAccessibleName(name);
  return edit;
}

std::string HtmlBody(const QString& text) {
  return "<html><body><pre>" + text.toHtmlEscaped().toStdString() + "</pre></body></html>";
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

}  // namespace

SupportMailOutcome SendSupportMail(const SupportMailJob& job, std::stop_token stop) {
  SupportMailOutcome outcome;
  if (!job.server.empty()) {
    CSMTPMessage message = job.smtp;
    bool files_ok = true;
    for (const std::string& path : job.files) {
      CSMTPAttachment attachment;
      attachment.title = QFileInfo(FromStd(path)).fileName().toStdString();
      if (!ReadFile(path, &attachment.content)) {
        outcome.server_error = "The file " + path + " could not be read";
        files_ok = false;
        break;
      }
      message.attachments.push_back(std::move(attachment));
    }
    if (files_ok) {
      CSMTPConnection smtp;
      smtp.SetStopToken(stop);
      smtp.SetAuthenticate(job.authenticate);
      smtp.SetUserName(job.user_name);
      smtp.SetPassword(job.password);
      smtp.SetAllowUnencryptedLogin(job.allow_plain_login);
      std::string error;
      if (smtp.Connect(job.server, job.port, &error) && smtp.SendMessage(message, &error)) {
        smtp.Disconnect();
        outcome.ok = outcome.by_server = true;
        return outcome;
      }
      outcome.server_error = error;
    }
    if (stop.stop_requested()) return outcome;
  }
  const MailProgramResult result = SendWithMailProgram(job.fallback, kMailProgramSettle, stop);
  outcome.ok = result.ok();
  if (!outcome.ok) outcome.error = result.text;
  return outcome;
}

QString CSupportDlg::ModeTitle(SupportMode mode) {
  return mode == SupportMode::kSuggestion ? QStringLiteral("Submit a Suggestion")
                                          : QStringLiteral("Report Bug");
}

CSupportDlg::CSupportDlg(SupportMode mode, CAppSettings* settings, QWidget* parent)
    : QDialog(parent), mode_(mode), settings_(settings) {
  setObjectName(QStringLiteral("dlgSupport"));
  setWindowTitle(ModeTitle(mode));
  setAccessibleName(windowTitle());
  setFont(DialogFont());
  sender_ = SendSupportMail;

  auto* intro = new QLabel(
      mode == SupportMode::kSuggestion
          ? QStringLiteral("Tell us what would make Quarry better. Your message goes to the "
                           "Quarry team.")
          : QStringLiteral("Describe the problem: what you did, what you expected and what "
                           "happened. Your message goes to Customer Support."),
      this);
  intro->setWordWrap(true);
  intro->setAccessibleName(intro->text());

  name_ = Edit(QStringLiteral("Your name"), this);
  address_ = Edit(QStringLiteral("Your e-mail address"), this);
  address_->setPlaceholderText(QStringLiteral("so that we can answer you"));
  subject_ = Edit(QStringLiteral("Subject"), this);
  subject_->setText(ModeTitle(mode));
  body_ = new QPlainTextEdit(this);
  body_->setAccessibleName(QStringLiteral("Message"));
  body_->setTabChangesFocus(true);

  auto* message_form = new QFormLayout;
  message_form->addRow(QStringLiteral("Your &name:"), name_);
  message_form->addRow(QStringLiteral("Your &e-mail address:"), address_);
  message_form->addRow(QStringLiteral("S&ubject:"), subject_);
  message_form->addRow(QStringLiteral("&Message:"), body_);

  attachments_ = new QListWidget(this);
  attachments_->setAccessibleName(QStringLiteral("Attached files"));
  attachments_->setMaximumHeight(54);
  auto* attach = CKsButtonCtrl::Create(this, kIdAttach, QRect(), QStringLiteral("&Attach File..."));
  auto* remove = CKsButtonCtrl::Create(this, kIdRemove, QRect(), QStringLiteral("&Remove"));
  connect(attach, &CKsControlHost::clicked, this, [this] {
    QString start = FromStd(FaultReportFolder());
    if (!QDir(start).exists()) start = QDir::homePath();
    for (const QString& path : QFileDialog::getOpenFileNames(
             this, QStringLiteral("Attach Files"), start)) {
      if (!AddAttachment(path)) break;
    }
  });
  connect(remove, &CKsControlHost::clicked, this, [this] {
    delete attachments_->currentItem();
  });
  auto* attach_buttons = new QVBoxLayout;
  attach_buttons->addWidget(attach->Widget());
  attach_buttons->addWidget(remove->Widget());
  attach_buttons->addStretch(1);
  auto* attach_row = new QHBoxLayout;
  attach_row->addWidget(attachments_, 1);
  attach_row->addLayout(attach_buttons);
  // A row whose field is a layout gets its label made here, so that the
  // mnemonic has a control to go to.
  auto* attach_label = new QLabel(QStringLiteral("Attac&hments:"), this);
  attach_label->setBuddy(attachments_);
  message_form->addRow(attach_label, attach_row);

  // The outgoing server, optional.
  auto* group = CKsGroupCtrl::Create(this, kIdServerGroup, QRect(),
                                     QStringLiteral("Outgoing mail server (optional)"));
  QWidget* box = group->Widget();
  server_ = Edit(QStringLiteral("Outgoing mail server"), box);
  server_->setPlaceholderText(QStringLiteral("empty: use my mail program"));
  port_ = new QSpinBox(box);
  port_->setRange(1, 65535);
  port_->setAccessibleName(QStringLiteral("Port"));
  port_->setToolTip(QStringLiteral("25 or 587 (encryption when the server offers it), 465 "
                                   "(always encrypted)"));
  auto* server_row = new QHBoxLayout;
  server_row->addWidget(server_, 1);
  auto* port_label = new QLabel(QStringLiteral("P&ort:"), box);
  port_label->setBuddy(port_);
  server_row->addWidget(port_label);
  server_row->addWidget(port_);
  authenticate_ = new QCheckBox(QStringLiteral("The server requires a &login"), box);
  user_ = Edit(QStringLiteral("User name"), box);
  password_ = Edit(QStringLiteral("Password"), box);
  password_->setEchoMode(QLineEdit::Password);
  remember_password_ = new QCheckBox(QStringLiteral("Remem&ber the password"), box);
  allow_plain_ = new QCheckBox(
      QStringLiteral("Allow the login &without encryption (the password can be read on the way)"),
      box);
  auto* server_form = new QFormLayout(box);
  auto* server_label = new QLabel(QStringLiteral("&Server:"), box);
  server_label->setBuddy(server_);
  server_form->addRow(server_label, server_row);
  server_form->addRow(QString(), authenticate_);
  server_form->addRow(QStringLiteral("User na&me:"), user_);
  server_form->addRow(QStringLiteral("&Password:"), password_);
  server_form->addRow(QString(), remember_password_);
  server_form->addRow(QString(), allow_plain_);
  connect(authenticate_, &QCheckBox::toggled, this, &CSupportDlg::UpdateLoginFields);

  status_ = new QLabel(this);
  status_->setWordWrap(true);
  status_->setAccessibleName(QStringLiteral("Status"));
  send_ = CKsButtonCtrl::Create(this, kIdSend, QRect(), QStringLiteral("&Send"));
  send_->Button()->setDefault(true);
  cancel_ = CKsButtonCtrl::Create(this, kIdCancel, QRect(), QStringLiteral("Cancel"));
  connect(send_, &CKsControlHost::clicked, this, &CSupportDlg::OnSend);
  connect(cancel_, &CKsControlHost::clicked, this, &CSupportDlg::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(send_->Widget());
  buttons->addWidget(cancel_->Widget());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(intro);
  layout->addLayout(message_form, 1);
  layout->addWidget(box);
  layout->addLayout(buttons);

  fields_ = {name_, address_, subject_, body_, attachments_, attach->Widget(), remove->Widget(),
             box, send_->Widget()};

  if (settings_ != nullptr) {
    name_->setText(FromStd(settings_->GetEmailName()));
    address_->setText(FromStd(settings_->GetEmailAddress()));
    server_->setText(FromStd(settings_->GetEmailSMTPServer()));
    port_->setValue(static_cast<int>(settings_->GetEmailSMTPPort()));
    authenticate_->setChecked(settings_->GetSMTPRequiresAuth() != 0);
    user_->setText(FromStd(settings_->GetSMTPUserName()));
    const std::string password = settings_->GetSMTPPassword();
    password_->setText(FromStd(password));
    remember_password_->setChecked(!password.empty());
    allow_plain_->setChecked(
        settings_->Store().GetDword(kSettingsKey, kAllowPlainLoginValue, 0) != 0);
  } else {
    port_->setValue(25);
  }
  UpdateLoginFields();
  resize(560, 640);
  (name_->text().isEmpty() ? name_ : static_cast<QWidget*>(body_))->setFocus();
}

CSupportDlg::~CSupportDlg() {
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

void CSupportDlg::UpdateLoginFields() {
  const bool on = authenticate_->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{user_, password_, remember_password_,
                                                    allow_plain_}) {
    w->setEnabled(on);
  }
}

bool CSupportDlg::AddAttachment(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile() || !info.isReadable()) {
    Tell(QStringLiteral("The file %1 cannot be read.").arg(path));
    return false;
  }
  qint64 total = info.size();
  for (int i = 0; i < attachments_->count(); ++i) {
    total += QFileInfo(attachments_->item(i)->data(Qt::UserRole).toString()).size();
  }
  if (total > kMaxAttachmentBytes) {
    Tell(QStringLiteral("The attachments would be larger than %1 MB, more than most mail "
                        "servers take. Attach fewer or smaller files.")
             .arg(kMaxAttachmentBytes / (1024 * 1024)));
    return false;
  }
  auto* item = new QListWidgetItem(info.fileName(), attachments_);
  item->setData(Qt::UserRole, info.absoluteFilePath());
  item->setToolTip(info.absoluteFilePath());
  return true;
}

SupportMailJob CSupportDlg::Job() const {
  SupportMailJob job;
  job.mode = mode_;
  const std::string mailbox =
      mode_ == SupportMode::kSuggestion ? SuggestionMailbox() : SupportMailbox();
  const std::string recipient_name =
      mode_ == SupportMode::kSuggestion ? "Submit a Suggestion" : "Customer Support";
  const bool html = settings_ != nullptr && settings_->GetEmailFormat() == 1;

  CSMTPMessage& m = job.smtp;
  m.from = CSMTPAddress(name_->text().trimmed().toStdString(),
                        address_->text().trimmed().toStdString());
  m.to = {CSMTPAddress(recipient_name, mailbox)};
  m.subject = subject_->text().trimmed().toStdString();
  if (m.subject.empty()) m.subject = ModeTitle(mode_).toStdString();
  m.html = html;
  m.body = html ? HtmlBody(body_->toPlainText()) : body_->toPlainText().toStdString();
  for (int i = 0; i < attachments_->count(); ++i) {
    job.files.push_back(attachments_->item(i)->data(Qt::UserRole).toString().toStdString());
  }
  job.server = server_->text().trimmed().toStdString();
  job.port = port_->value();
  job.authenticate = authenticate_->isChecked();
  job.user_name = user_->text().toStdString();
  job.password = password_->text().toStdString();
  job.allow_plain_login = allow_plain_->isChecked();

  MailProgramMessage& f = job.fallback;
  f.owner_valid = true;
  f.subject = ModeTitle(mode_).toStdString();
  f.body = body_->toPlainText().toStdString();
  f.to = {{recipient_name, "SMTP:" + mailbox}};
  for (const std::string& path : job.files) {
    f.attachments.push_back({path, QFileInfo(FromStd(path)).fileName().toStdString()});
  }
  return job;
}

void CSupportDlg::SaveSettings() {
  if (settings_ == nullptr) return;
  settings_->SetEmailName(name_->text().trimmed().toStdString());
  settings_->SetEmailAddress(address_->text().trimmed().toStdString());
  settings_->SetEmailSMTPServer(server_->text().trimmed().toStdString());
  settings_->SetEmailSMTPPort(static_cast<uint32_t>(port_->value()));
  settings_->SetSMTPRequiresAuth(authenticate_->isChecked() ? 1 : 0);
  settings_->SetSMTPUserName(user_->text().toStdString());
  settings_->SetSMTPPassword(remember_password_->isChecked() ? password_->text().toStdString()
                                                             : std::string());
  settings_->Store().SetDword(kSettingsKey, kAllowPlainLoginValue, allow_plain_->isChecked());
}

void CSupportDlg::SetBusy(bool busy) {
  sending_ = busy;
  for (QWidget* w : fields_) w->setEnabled(!busy);
  if (!busy) UpdateLoginFields();
  cancel_->SetCaption(busy ? QStringLiteral("&Stop") : QStringLiteral("Cancel"));
}

void CSupportDlg::OnSend() {
  if (sending_) return;
  if (body_->toPlainText().trimmed().isEmpty()) {
    Tell(QStringLiteral("Write a message first."));
    body_->setFocus();
    return;
  }
  const SupportMailJob job = Job();
  if (!job.server.empty()) {
    if (job.smtp.from.email_address.empty()) {
      Tell(QStringLiteral("Enter your e-mail address: the mail server sends the message in "
                          "your name."));
      address_->setFocus();
      return;
    }
    if (const std::string invalid = job.smtp.Validate(); !invalid.empty()) {
      Tell(FromStd(invalid));
      return;
    }
  }
  SaveSettings();
  SetBusy(true);
  status_->setText(job.server.empty()
                       ? QStringLiteral("Opening your mail program...")
                       : QStringLiteral("Sending through %1...").arg(FromStd(job.server)));
  QPointer<CSupportDlg> self(this);
  worker_ = std::jthread([self, job, sender = sender_](std::stop_token stop) {
    const SupportMailOutcome outcome = sender(job, stop);
    if (stop.stop_requested()) return;
    QMetaObject::invokeMethod(
        qApp, [self, outcome] { if (self) self->Finish(outcome); }, Qt::QueuedConnection);
  });
}

void CSupportDlg::Finish(const SupportMailOutcome& outcome) {
  SetBusy(false);
  status_->clear();
  if (outcome.ok) {
    QString text = QStringLiteral("Thank You\n\nSomeone will contact you shortly\nif necessary");
    if (!outcome.server_error.empty()) {
      text += QStringLiteral("\n\nThe mail server did not take the message, so it went to your "
                             "mail program:\n%1")
                  .arg(FromStd(outcome.server_error).trimmed());
    }
    Tell(text, true);
    emit sendFinished(true);
    accept();
    return;
  }
  std::string cause = outcome.error;
  if (!outcome.server_error.empty()) {
    cause = outcome.server_error + (cause.empty() ? "" : "\n" + cause);
  }
  Tell(cause.empty() ? QStringLiteral("Failed to send eMail.")
                     : QStringLiteral("Failed to send eMail.\nCaused by %1")
                           .arg(FromStd(cause).trimmed()));
  emit sendFinished(false);
}

void CSupportDlg::reject() {
  if (sending_) {
    // Stop first; the dialog stays for the user to try again.
    worker_.request_stop();
    if (worker_.joinable()) worker_.join();
    SetBusy(false);
    status_->setText(QStringLiteral("Sending was stopped."));
    return;
  }
  QDialog::reject();
}

void CSupportDlg::Tell(const QString& text, bool success) {
  if (sink_) {
    sink_(text);
    return;
  }
  AppMessageBox(text, mb::kOk | (success ? mb::kIconInformation : mb::kIconExclamation));
}

}  // namespace quarry
