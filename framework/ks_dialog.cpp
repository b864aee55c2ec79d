#include "framework/ks_dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

#include "framework/dialog_font.h"
#include "framework/qt_colour.h"

namespace quarry {

namespace {

// How far the top of the background leans from the face colour towards
// the scheme's palest tint; the bottom is the plain face. Kept small so
// the controls' own colours stay in charge.
constexpr double kBackgroundTint = 0.55;

}  // namespace

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
}

CKsDialog::~CKsDialog() = default;

QWidget* CKsDialog::Control(int id) const { return FindControl<QWidget>(this, id); }

QString CKsDialog::ItemText(int id) const {
  QWidget* w = Control(id);
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
  return {};
}

void CKsDialog::SetItemText(int id, const QString& text) {
  QWidget* w = Control(id);
  if (auto* label = qobject_cast<QLabel*>(w)) {
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
    if (qobject_cast<QPushButton*>(w) != nullptr ||
        qobject_cast<QCheckBox*>(w) != nullptr) {
      connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this,
              [this, id] {
                emit commandIssued(id);
                OnCommand(id);
              });
    }
  }
}

void CKsDialog::paintEvent(QPaintEvent*) {
  const CColourScheme& scheme = ColourScheme();
  const QColor face = ToQColor(scheme.Face());
  const QColor tint = ToQColor(
      CColourScheme::Blend(scheme.Face(), scheme.Pale2(), kBackgroundTint));
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0.0, tint);
  gradient.setColorAt(1.0, face);
  QPainter painter(this);
  painter.fillRect(rect(), gradient);
}

void CKsDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange && !scheme_given_) {
    // The face colour is taken at derivation; follow the desktop's.
    scheme_.Derive();
    update();
  }
  QWidget::changeEvent(event);
}

}  // namespace quarry
