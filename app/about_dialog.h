// The About box (dialog 400, "About Quarry"): the program's name, version
// and purpose, a link to the maker's web site and a Close button.

#ifndef QUARRY_APP_ABOUT_DIALOG_H_
#define QUARRY_APP_ABOUT_DIALOG_H_

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "framework/colour/colour_scheme.h"

namespace quarry {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 400;

  // `version` is shown as given ("%i.%i.%i.%i"). A click on the web site
  // link calls `open_link` with its address (nothing happens when it is
  // empty). `parent` owns the dialog when given.
  CAboutDlg(const QString& version,
            std::function<void(const std::string&)> open_link,
            QWidget* parent = nullptr);
  ~CAboutDlg() override;

  // The web site address the link leads to.
  QString SiteAddress() const { return site_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString site_;
  CColourScheme scheme_;
};

}  // namespace quarry

#endif  // QUARRY_APP_ABOUT_DIALOG_H_
