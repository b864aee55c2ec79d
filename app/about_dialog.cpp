#include "app/about_dialog.h"

#include <QLabel>
#include <QUrl>

#include "app/app_icons.h"
#include "framework/ks_controls.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

using Kind = DialogItemKind;
using A = CAboutDlg;

constexpr double kNameScale = 1.8;

}  // namespace

const DialogTemplate& CAboutDlg::Template() {
  static const DialogTemplate tpl{
      kTemplateId,
      QStringLiteral("About Quarry"),
      236,
      112,
      {
          {A::kIdIcon, Kind::kPlaceholder, QRect(10, 10, 32, 32), QString(),
           QStringLiteral("Quarry icon")},
          {A::kIdName, Kind::kLabel, QRect(52, 8, 176, 18), QStringLiteral("Quarry")},
          {A::kIdVersion, Kind::kLabel, QRect(52, 27, 176, 9), QString()},
          {A::kIdDescription, Kind::kLabel, QRect(52, 41, 176, 27),
           QStringLiteral("Pulls the tables out of web pages. Browse to a page, parse it, "
                          "and save its tables as HTML, comma-separated values or "
                          "tab-separated text.")},
          {A::kIdLink, Kind::kLabel, QRect(52, 72, 120, 9), QString()},
          {A::kIdCopyright, Kind::kLabel, QRect(52, 84, 120, 9),
           QStringLiteral("\u00A9 Zandor Tech"), QStringLiteral("Copyright Zandor Tech")},
          {A::kIdClose, Kind::kDefPushButton, QRect(176, 90, 52, 14), QStringLiteral("Close")},
      }};
  return tpl;
}

CAboutDlg::CAboutDlg(const QString& version,
                     std::function<void(const std::string&)> open_link,
                     QWidget* parent)
    : QDialog(parent), site_(QString::fromStdString(ProductSiteAddress())) {
  BuildDialogFromTemplate(this, Template());

  // The icon, in the place the template keeps for it.
  QWidget* place = FindControl<QWidget>(this, kIdIcon);
  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(place->size()));
  icon->setGeometry(place->geometry());
  icon->setAccessibleName(place->accessibleName());
  delete place;
  icon->setObjectName(ControlObjectName(kIdIcon));

  CKsStaticCtrl* name = CKsStaticCtrl::FromTemplate(this, kIdName);
  QFont name_font = font();
  name_font.setBold(true);
  name_font.setPointSizeF(name_font.pointSizeF() * kNameScale);
  name->SetControlFont(name_font);

  const QString version_text = QStringLiteral("Version %1").arg(version);
  CKsStaticCtrl* version_label = CKsStaticCtrl::FromTemplate(this, kIdVersion);
  version_label->SetCaption(version_text);

  CKsStaticCtrl::FromTemplate(this, kIdDescription)->SetWordWrap(true);

  const QUrl url(site_);
  const QString shown = url.host().isEmpty() ? site_ : url.host();
  CKsStaticCtrl* link = CKsStaticCtrl::FromTemplate(this, kIdLink);
  link->SetCaption(shown);
  link->SetLink(site_);
  link->SetToolTip(site_);
  link->Widget()->setAccessibleName(QStringLiteral("Web site: %1").arg(shown));
  if (!link->OpensLinksItself()) {
    connect(link, &CKsStaticCtrl::linkClicked, this,
            [open_link = std::move(open_link)](int, const QString& address) {
              if (open_link) open_link(address.toStdString());
            });
  }

  CKsButtonCtrl* close = CKsButtonCtrl::FromTemplate(this, kIdClose);
  connect(close, &CKsControlHost::clicked, this, &QDialog::reject);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace quarry
