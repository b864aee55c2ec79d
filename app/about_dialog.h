// The About box (dialog 400, "About Quarry"): the program's icon, name,
// version and purpose, a link to the maker's web site and a Close button,
// laid out from a template and built from the system's own controls.

#ifndef QUARRY_APP_ABOUT_DIALOG_H_
#define QUARRY_APP_ABOUT_DIALOG_H_

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "framework/dialog_template.h"

namespace quarry {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 400;
  static constexpr int kIdIcon = 1000;
  static constexpr int kIdName = 1001;
  static constexpr int kIdVersion = 1002;
  static constexpr int kIdDescription = 1003;
  static constexpr int kIdLink = 1004;
  static constexpr int kIdCopyright = 1005;
  static constexpr int kIdClose = 2;

  // The dialog's template, in dialog units.
  static const DialogTemplate& Template();

  // `version` is shown as given ("%i.%i.%i.%i"). A click on the web site
  // link opens the site: the link control does it itself, or, where a
  // standard label stands in for it, `open_link` is called with the
  // address (nothing happens when it is empty). `parent` owns the dialog
  // when given.
  CAboutDlg(const QString& version,
            std::function<void(const std::string&)> open_link,
            QWidget* parent = nullptr);
  ~CAboutDlg() override;

  // The web site address the link leads to.
  QString SiteAddress() const { return site_; }

 private:
  QString site_;
};

}  // namespace quarry

#endif  // QUARRY_APP_ABOUT_DIALOG_H_
