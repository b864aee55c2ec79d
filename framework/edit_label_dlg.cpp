#include "framework/edit_label_dlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "framework/dialog_font.h"
#include "framework/dialog_units.h"

namespace quarry {

const DialogTemplate& CEditLabelDlg::Template() {
  static const DialogTemplate tpl{
      kTemplateId,
      QStringLiteral("Edit Label"),
      186,
      82,
      {
          {-1, DialogItemKind::kLabel, QRect(7, 7, 172, 8),
           QStringLiteral("Current Label:")},
          {kIdCurrentLabel, DialogItemKind::kEdit, QRect(7, 17, 172, 12), {}},
          {-1, DialogItemKind::kLabel, QRect(7, 35, 172, 8),
           QStringLiteral("&New Label:")},
          {kIdNewLabel, DialogItemKind::kEdit, QRect(7, 45, 172, 12), {}},
          {kIdOk, DialogItemKind::kDefPushButton, QRect(75, 63, 50, 14),
           QStringLiteral("OK")},
          {kIdCancel, DialogItemKind::kPushButton, QRect(129, 63, 50, 14),
           QStringLiteral("Cancel")},
      }};
  return tpl;
}

CEditLabelDlg::CEditLabelDlg(const QString& label, QWidget* parent)
    : QDialog(parent) {
  const DialogTemplate& tpl = Template();
  setFont(DialogFont());
  const DialogBaseUnits base = BaseUnitsOf(font());
  setObjectName(QStringLiteral("dlg%1").arg(tpl.id));
  setWindowTitle(tpl.title);
  setAccessibleName(tpl.title);
  setFixedSize(MapDialogSize(QSize(tpl.width, tpl.height), base));
  CreateDialogControls(tpl, this, base);

  auto* current = FindControl<QLineEdit>(this, kIdCurrentLabel);
  current->setReadOnly(true);
  current->setText(label);
  FindControl<QLineEdit>(this, kIdNewLabel)->setText(label);
  connect(FindControl<QPushButton>(this, kIdOk), &QPushButton::clicked, this,
          &QDialog::accept);
  connect(FindControl<QPushButton>(this, kIdCancel), &QPushButton::clicked,
          this, &QDialog::reject);
}

CEditLabelDlg::~CEditLabelDlg() = default;

QString CEditLabelDlg::GetNewLabel() const {
  return FindControl<QLineEdit>(this, kIdNewLabel)->text();
}

void CEditLabelDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  auto* edit = FindControl<QLineEdit>(this, kIdNewLabel);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

}  // namespace quarry
