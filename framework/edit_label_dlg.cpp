#include "framework/edit_label_dlg.h"

#include <QLineEdit>
#include <QPushButton>


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
  BuildDialogFromTemplate(this, Template());

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
