#include "controls/common/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "controls/common/module_identity.h"

namespace quarry::controls {

QDialog* MakeAboutBox(const ModuleIdentity& identity, QWidget* parent) {
  const QString module = QString::fromUtf8(identity.module_name.data(),
                                           static_cast<qsizetype>(identity.module_name.size()));
  auto* box = new QDialog(parent != nullptr ? parent->window() : nullptr);
  box->setWindowTitle(QStringLiteral("About %1").arg(module));
  box->setAccessibleName(box->windowTitle());
  box->setObjectName(QStringLiteral("about%1").arg(module));

  // Each module keeps its toolbox picture (resource 1) under its name.
  auto* picture = new QLabel(box);
  picture->setPixmap(QPixmap(QStringLiteral(":/%1/art/1.png").arg(module))
                         .scaled(32, 32, Qt::KeepAspectRatio, Qt::FastTransformation));
  picture->setAccessibleName(QStringLiteral("%1 picture").arg(module));
  picture->setAlignment(Qt::AlignTop);

  const QString name = QString::fromUtf8(identity.nice_name.data(),
                                         static_cast<qsizetype>(identity.nice_name.size()));
  auto* text = new QLabel(QStringLiteral("<b>%1</b><br>%2 version %3.%4<br>\u00A9 Zandor Tech")
                              .arg(name.toHtmlEscaped(), module)
                              .arg(identity.major)
                              .arg(identity.minor, 2, 10, QLatin1Char('0')),
                          box);
  text->setAccessibleName(QStringLiteral("%1, version %2.%3")
                              .arg(name)
                              .arg(identity.major)
                              .arg(identity.minor, 2, 10, QLatin1Char('0')));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
  buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->setSpacing(14);
  row->addWidget(picture, 0, Qt::AlignTop);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(18, 18, 18, 12);
  layout->addLayout(row);
  layout->addWidget(buttons);
  return box;
}

void ShowAboutBox(const ModuleIdentity& identity, QWidget* parent) {
  std::unique_ptr<QDialog> box(MakeAboutBox(identity, parent));
  box->exec();
}

}  // namespace quarry::controls
