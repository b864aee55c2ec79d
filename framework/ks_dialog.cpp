#include "framework/ks_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "framework/control_appearance.h"
#include "framework/dialog_font.h"
#include "framework/ks_controls.h"
#include "framework/qt_colour.h"
#include "platform/settings_store.h"

namespace quarry {

CKsDialog::CKsDialog(const DialogTemplate& tpl, QWidget* parent)
    : QWidget(parent), template_id_(tpl.id) {
  InstallDesktopSystemColours();
  setFont(DialogFont());
  base_units_ = BaseUnitsOf(font());
  setObjectName(QStringLiteral("dlg%1").arg(tpl.id));
  setWindowTitle(tpl.title);
  setAccessibleName(tpl.title.isEmpty() ? objectName() : tpl.title);
  resize(MapDialogSize(QSize(tpl.width, tpl.height), base_units_));
  controls_ = CreateDialogControls(tpl, this, base_units_);
  ConnectCommands();
  PushControlAppearance();
}

CKsDialog::~CKsDialog() = default;

QWidget* CKsDialog::Control(int id) const { return FindControl<QWidget>(this, id); }

QString CKsDialog::ItemText(int id) const {
  QWidget* w = Control(id);
  if (CKsControlHost* host = HostOf(w)) return host->GetCaption();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
  return {};
}

void CKsDialog::SetItemText(int id, const QString& text) {
  QWidget* w = Control(id);
  if (CKsControlHost* host = HostOf(w)) {
    host->SetCaption(text);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setCurrentText(text);
  } else {
    return;
  }
  // Controls named by their text keep their names in step with it.
  if (qobject_cast<QLineEdit*>(w) == nullptr &&
      qobject_cast<QComboBox*>(w) == nullptr) {
    w->setAccessibleName(StripMnemonic(text));
  }
}

QRect CKsDialog::MapDialogRect(const QRect& units) const {
  return quarry::MapDialogRect(units, base_units_);
}

void CKsDialog::SetColourScheme(const CColourScheme& scheme) {
  scheme_ = scheme;
  scheme_.EnsureDerived();
  scheme_given_ = true;
  PushControlAppearance();
  update();
}

const CColourScheme& CKsDialog::ColourScheme() const {
  scheme_.EnsureDerived();
  return scheme_;
}

bool CKsDialog::OnCommand(int) { return false; }

void CKsDialog::ConnectCommands() {
  for (QWidget* w : controls_) {
    const int id = w->property(kControlIdProperty).toInt();
    CKsControlHost* host = HostOf(w);
    if (qobject_cast<CKsButtonCtrl*>(host) != nullptr ||
        qobject_cast<CKsCheckCtrl*>(host) != nullptr) {
      // The control's own click (its Click event, or the standard
      // widget's clicked signal).
      connect(host, &CKsControlHost::clicked, this, [this, id] {
        emit commandIssued(id);
        OnCommand(id);
      });
    } else if (qobject_cast<QPushButton*>(w) != nullptr ||
               qobject_cast<QCheckBox*>(w) != nullptr) {
      connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this,
              [this, id] {
                emit commandIssued(id);
                OnCommand(id);
              });
    }
  }
}

void CKsDialog::PushControlAppearance() {
  const CColourScheme& scheme = ColourScheme();
  pushed_styles_ = controls::ReadControlStyleSettings(platform::SettingsStore::User());
  pushed_base_ = scheme.Base();
  const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  ApplyControlAppearance(std::vector<QWidget*>(children.begin(), children.end()),
                         ColoursFor(scheme, FromQColor(palette().color(QPalette::WindowText))),
                         pushed_styles_, font());
}

void CKsDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintDialogBackground(painter, rect(), ColourScheme());
}

void CKsDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) {
    // The face colour is taken at derivation; follow the desktop's, and
    // the style settings the user may have changed meanwhile.
    const COLORREF face = scheme_.Face();
    if (!scheme_given_) scheme_.Derive();
    const controls::ControlStyleSettings styles =
        controls::ReadControlStyleSettings(platform::SettingsStore::User());
    if (!(styles == pushed_styles_) || scheme_.Base() != pushed_base_ || scheme_.Face() != face) {
      PushControlAppearance();
    }
    update();
  }
  QWidget::changeEvent(event);
}

}  // namespace quarry
