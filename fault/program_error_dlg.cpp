#include "fault/program_error_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "app/help_links.h"
#include "app/link_opener.h"
#include "framework/dialog_font.h"
#include "framework/ks_controls.h"
#include "framework/msgbox/app_message_box.h"

namespace quarry {

namespace {

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setAccessibleName(text);
  return label;
}

}  // namespace

CProgramErrorDlg::CProgramErrorDlg(const QString& message, const QString& report,
                                   const QString& saved_path, QWidget* parent)
    : QDialog(parent), report_(report), saved_path_(saved_path),
      opener_(std::make_unique<LinkOpener>()) {
  setObjectName(QStringLiteral("dlgProgramError"));
  setWindowTitle(QStringLiteral("Quarry - Program Error"));
  setAccessibleName(windowTitle());
  setFont(DialogFont());
  sender_ = [](const MailProgramMessage& m, std::stop_token stop) {
    return SendWithMailProgram(m, kMailProgramSettle, std::move(stop));
  };

  auto* icon = new QLabel(this);
  const int icon_size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(icon_size));
  icon->setAccessibleName(QStringLiteral("Error"));
  icon->setAlignment(Qt::AlignTop);

  auto* heading = WrappedLabel(
      QStringLiteral("Quarry ran into an error it could not recover from and had to close. "
                     "Sending the report below to Customer Support helps to find and fix "
                     "the cause."),
      this);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  auto* one_line = WrappedLabel(message, this);
  one_line->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* texts = new QVBoxLayout;
  texts->addWidget(heading);
  texts->addWidget(one_line);
  if (!saved_path.isEmpty()) {
    auto* saved = WrappedLabel(QStringLiteral("The report is kept in %1").arg(saved_path), this);
    saved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    saved->setForegroundRole(QPalette::PlaceholderText);
    texts->addWidget(saved);
  }
  auto* top = new QHBoxLayout;
  top->setSpacing(14);
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);

  auto* report_label = new QLabel(QStringLiteral("Fault &report:"), this);
  auto* report_view = new QPlainTextEdit(this);
  report_view->setObjectName(QStringLiteral("ctl%1").arg(kIdReport));
  report_view->setReadOnly(true);
  report_view->setLineWrapMode(QPlainTextEdit::NoWrap);
  report_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_view->setPlainText(QString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  report_view->setAccessibleName(QStringLiteral("Fault report"));
  report_view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  report_label->setBuddy(report_view);

  auto* additional_label = new QLabel(
      QStringLiteral("&Additional information (what were you doing when this happened?):"), this);
  additional_ = new QPlainTextEdit(this);
  additional_->setObjectName(QStringLiteral("ctl%1").arg(kIdAdditional));
  additional_->setAccessibleName(QStringLiteral("Additional information"));
  additional_->setTabChangesFocus(true);
  additional_->setMaximumHeight(90);
  additional_label->setBuddy(additional_);

  auto* copy = CKsButtonCtrl::Create(this, kIdCopy, QRect(), QStringLiteral("C&opy Report"));
  connect(copy, &CKsControlHost::clicked, this, [this] {
    QApplication::clipboard()->setText(report_);
  });
  CKsButtonCtrl* show_file = nullptr;
  if (!saved_path.isEmpty()) {
    show_file = CKsButtonCtrl::Create(this, kIdShowFile, QRect(), QStringLiteral("Show &File"));
    connect(show_file, &CKsControlHost::clicked, this, [this] {
      opener_->Open(QUrl::fromLocalFile(QFileInfo(saved_path_).absolutePath())
                        .toString()
                        .toStdString(),
                    nullptr);
    });
  }
  send_ = CKsButtonCtrl::Create(this, kIdSend, QRect(), QStringLiteral("&Send..."));
  send_->SetToolTip(QStringLiteral("Opens the report in your mail program, ready to send"));
  send_->Button()->setDefault(true);
  connect(send_, &CKsControlHost::clicked, this, &CProgramErrorDlg::OnSend);
  auto* close = CKsButtonCtrl::Create(this, kIdClose, QRect(), QStringLiteral("&Close"));
  connect(close, &CKsControlHost::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy->Widget());
  if (show_file != nullptr) buttons->addWidget(show_file->Widget());
  buttons->addStretch(1);
  buttons->addWidget(send_->Widget());
  buttons->addWidget(close->Widget());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(8);
  layout->addLayout(top);
  layout->addSpacing(6);
  layout->addWidget(report_label);
  layout->addWidget(report_view, 1);
  layout->addWidget(additional_label);
  layout->addWidget(additional_);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  resize(720, 600);
  additional_->setFocus(Qt::OtherFocusReason);
}

CProgramErrorDlg::~CProgramErrorDlg() {
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

QString CProgramErrorDlg::WrapAtColumns(const QString& text, int columns) {
  QString out;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    if (!out.isEmpty()) out += QLatin1Char('\n');
    QString line;
    for (QString word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      while (word.size() > columns) {
        if (!line.isEmpty()) {
          out += line + QLatin1Char('\n');
          line.clear();
        }
        out += word.left(columns) + QLatin1Char('\n');
        word = word.mid(columns);
      }
      if (!line.isEmpty() && line.size() + 1 + word.size() > columns) {
        out += line + QLatin1Char('\n');
        line.clear();
      }
      line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    out += line;
  }
  return out;
}

MailProgramMessage CProgramErrorDlg::Message() const {
  MailProgramMessage message;
  message.owner_valid = true;
  message.subject = "Uncaught Quarry Error";
  QString body = report_;
  const QString extra = additional_->toPlainText();
  if (!extra.isEmpty()) body += QStringLiteral("\r\n\r\nAdditional Information:\r\n") + extra;
  message.body = body.toStdString();
  message.to = {{"Customer Support", "SMTP:" + SupportMailbox()}};
  return message;
}

void CProgramErrorDlg::OnSend() {
  if (sending_) return;
  sending_ = true;
  setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QPointer<CProgramErrorDlg> self(this);
  worker_ = std::jthread([self, message = Message(), sender = sender_](std::stop_token stop) {
    const MailProgramResult result = sender(message, stop);
    if (stop.stop_requested()) return;
    QMetaObject::invokeMethod(
        qApp, [self, result] { if (self) self->Finish(result); }, Qt::QueuedConnection);
  });
}

void CProgramErrorDlg::Finish(const MailProgramResult& result) {
  sending_ = false;
  QApplication::restoreOverrideCursor();
  setEnabled(true);
  if (result.ok()) {
    Tell(QStringLiteral("Thank you for submitting this\ninformation.  Someone should\ncontact "
                        "you shortly to assist\nyou further with this problem."),
         true);
    emit sendFinished(true);
    accept();
    return;
  }
  if (result.text.empty()) {
    Tell(QStringLiteral("Failed to send eMail."));
  } else {
    Tell(QStringLiteral("Failed to send eMail caused by:\n\n%1")
             .arg(WrapAtColumns(QString::fromStdString(result.text), 40)));
  }
  emit sendFinished(false);
}

void CProgramErrorDlg::Tell(const QString& text, bool success) {
  if (sink_) {
    sink_(text);
    return;
  }
  AppMessageBox(text, mb::kOk | (success ? mb::kIconInformation : mb::kIconExclamation));
}

}  // namespace quarry
