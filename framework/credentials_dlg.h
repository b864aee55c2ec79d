// CCredentialsDlg: asks for a user name and password when a server or a
// proxy answers that it needs them (status 401 or 407). It says who asks
// and, when the server gave one, the name of the protected area, so the
// user knows which password is meant. The password field never shows what
// is typed.

#ifndef QUARRY_FRAMEWORK_CREDENTIALS_DLG_H_
#define QUARRY_FRAMEWORK_CREDENTIALS_DLG_H_

#include <QDialog>
#include <QString>

#include "framework/dialog_template.h"

namespace quarry {

class CCredentialsDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 404;
  static constexpr int kIdMessage = 1101;
  static constexpr int kIdUserName = 1102;
  static constexpr int kIdPassword = 1103;
  static constexpr int kIdOk = 1;
  static constexpr int kIdCancel = 2;

  static const DialogTemplate& Template();

  // `address` is the page asked for (shown without any password), `proxy`
  // is true when the proxy rather than the server asks, `realm` the area
  // the server named ("" when none). `parent` owns the dialog when given.
  CCredentialsDlg(const QString& address, bool proxy, const QString& realm,
                  QWidget* parent = nullptr);
  ~CCredentialsDlg() override;

  // What the dialog says at its top.
  static QString Message(const QString& address, bool proxy, const QString& realm);

  QString UserName() const;
  QString Password() const;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_CREDENTIALS_DLG_H_
