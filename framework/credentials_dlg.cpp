#include "framework/credentials_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>


namespace quarry {

const DialogTemplate& CCredentialsDlg::Template() {
  static const DialogTemplate tpl{
      kTemplateId,
      QStringLiteral("Password Required"),
      230,
      104,
      {
          {kIdMessage, DialogItemKind::kLabel, QRect(7, 7, 216, 34), {}},
          {-1, DialogItemKind::kLabel, QRect(7, 47, 58, 8), QStringLiteral("&User name:")},
          {kIdUserName, DialogItemKind::kEdit, QRect(68, 45, 155, 12), {}},
          {-1, DialogItemKind::kLabel, QRect(7, 65, 58, 8), QStringLiteral("&Password:")},
          {kIdPassword, DialogItemKind::kEdit, QRect(68, 63, 155, 12), {}},
          {kIdOk, DialogItemKind::kDefPushButton, QRect(119, 83, 50, 14), QStringLiteral("OK")},
          {kIdCancel, DialogItemKind::kPushButton, QRect(173, 83, 50, 14),
           QStringLiteral("Cancel")},
      }};
  return tpl;
}

QString CCredentialsDlg::Message(const QString& address, bool proxy, const QString& realm) {
  const QUrl url(address);
  const QString where = url.host().isEmpty()
                            ? address
                            : url.host() + (url.port() > 0 ? QStringLiteral(":%1").arg(url.port())
                                                           : QString());
  QString text = proxy ? QStringLiteral("The proxy server asks for a user name and password "
                                        "before it lets Quarry reach %1.")
                             .arg(where)
                       : QStringLiteral("The server %1 asks for a user name and password.")
                             .arg(where);
  if (!realm.isEmpty()) text += QStringLiteral("\nThe site says: \u201C%1\u201D").arg(realm);
  return text;
}

CCredentialsDlg::CCredentialsDlg(const QString& address, bool proxy, const QString& realm,
                                 QWidget* parent)
    : QDialog(parent) {
  BuildDialogFromTemplate(this, Template());

  auto* message = FindControl<QLabel>(this, kIdMessage);
  message->setWordWrap(true);
  message->setText(Message(address, proxy, realm));
  message->setAccessibleName(message->text());
  message->setTextFormat(Qt::PlainText);
  FindControl<QLineEdit>(this, kIdUserName)->setAccessibleName(QStringLiteral("User name"));
  auto* password = FindControl<QLineEdit>(this, kIdPassword);
  password->setEchoMode(QLineEdit::Password);
  password->setAccessibleName(QStringLiteral("Password"));
  connect(FindControl<QPushButton>(this, kIdOk), &QPushButton::clicked, this, &QDialog::accept);
  connect(FindControl<QPushButton>(this, kIdCancel), &QPushButton::clicked, this,
          &QDialog::reject);
}

CCredentialsDlg::~CCredentialsDlg() = default;

QString CCredentialsDlg::UserName() const {
  return FindControl<QLineEdit>(this, kIdUserName)->text();
}

QString CCredentialsDlg::Password() const {
  return FindControl<QLineEdit>(this, kIdPassword)->text();
}

void CCredentialsDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FindControl<QLineEdit>(this, kIdUserName)->setFocus(Qt::OtherFocusReason);
}

}  // namespace quarry
