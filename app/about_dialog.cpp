#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/app_icons.h"
#include "framework/colour/colour_scheme.h"
#include "framework/dialog_font.h"
#include "framework/qt_colour.h"
#include "web/web_settings.h"

namespace quarry {

namespace {

QLabel* MakeLabel(const QString& text, const QString& name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAccessibleName(name);
  label->setWordWrap(true);
  return label;
}

}  // namespace

CAboutDlg::CAboutDlg(const QString& version,
                     std::function<void(const std::string&)> open_link,
                     QWidget* parent)
    : QDialog(parent), site_(QString::fromStdString(ProductSiteAddress())) {
  InstallDesktopSystemColours();
  setObjectName(QStringLiteral("dlg%1").arg(kTemplateId));
  setWindowTitle(QStringLiteral("About Quarry"));
  setAccessibleName(QStringLiteral("About Quarry"));
  setFont(DialogFont());
  scheme_.EnsureDerived();

  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(QSize(64, 64)));
  icon->setAccessibleName(QStringLiteral("Quarry icon"));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* name = MakeLabel(QStringLiteral("Quarry"), QStringLiteral("Quarry"), this);
  QFont name_font = name->font();
  name_font.setBold(true);
  name_font.setPointSizeF(name_font.pointSizeF() * 1.8);
  name->setFont(name_font);

  const QString version_text = QStringLiteral("Version %1").arg(version);
  auto* version_label = MakeLabel(version_text, version_text, this);
  version_label->setTextInteractionFlags(Qt::TextSelectableByMouse);

  const QString description = QStringLiteral(
      "Pulls the tables out of web pages. Browse to a page, parse it, and "
      "save its tables as HTML, comma-separated values or tab-separated "
      "text.");
  auto* description_label = MakeLabel(description, description, this);

  QUrl url(site_);
  const QString shown = url.host().isEmpty() ? site_ : url.host();
  auto* link = MakeLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                             .arg(site_.toHtmlEscaped(), shown.toHtmlEscaped()),
                         QStringLiteral("Web site: %1").arg(shown), this);
  link->setTextFormat(Qt::RichText);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                Qt::LinksAccessibleByKeyboard);
  link->setToolTip(site_);
  connect(link, &QLabel::linkActivated, this,
          [open_link = std::move(open_link)](const QString& address) {
            if (open_link) open_link(address.toStdString());
          });

  auto* copyright = MakeLabel(QStringLiteral("\u00A9 Zandor Tech"),
                              QStringLiteral("Copyright Zandor Tech"), this);
  copyright->setForegroundRole(QPalette::PlaceholderText);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(6);
  texts->addWidget(name);
  texts->addWidget(version_label);
  texts->addSpacing(6);
  texts->addWidget(description_label);
  texts->addWidget(link);
  texts->addSpacing(6);
  texts->addWidget(copyright);

  auto* body = new QHBoxLayout;
  body->setSpacing(18);
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->setAccessibleName(QStringLiteral("Dialog buttons"));
  QPushButton* close = buttons->button(QDialogButtonBox::Close);
  close->setAccessibleName(QStringLiteral("Close"));
  close->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(22, 22, 22, 16);
  layout->setSpacing(16);
  layout->addLayout(body);
  layout->addWidget(buttons);

  setMinimumWidth(420);
  setMaximumWidth(520);
  setSizeGripEnabled(false);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::paintEvent(QPaintEvent*) {
  // The dialog background of the program: the face colour, tinted at the
  // top towards the scheme's palest shade.
  const CColourScheme& scheme = scheme_;
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0.0, ToQColor(CColourScheme::Blend(scheme.Face(), scheme.Pale2(), 0.55)));
  gradient.setColorAt(1.0, ToQColor(scheme.Face()));
  QPainter painter(this);
  painter.fillRect(rect(), gradient);
}

}  // namespace quarry
