// CEditLabelDlg: the modal "Edit Label" dialog that renames a list entry.
// It shows the current label (read-only) and an edit for the new one, both
// starting with the given text; the new label has the focus with all of
// its text selected.

#ifndef QUARRY_FRAMEWORK_EDIT_LABEL_DLG_H_
#define QUARRY_FRAMEWORK_EDIT_LABEL_DLG_H_

#include <QDialog>
#include <QString>

#include "framework/dialog_template.h"

namespace quarry {

class CEditLabelDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 402;
  static constexpr int kIdCurrentLabel = 1018;
  static constexpr int kIdNewLabel = 1019;
  static constexpr int kIdOk = 1;
  static constexpr int kIdCancel = 2;

  // The dialog's template, in dialog units.
  static const DialogTemplate& Template();

  // `label` fills both fields. `parent` owns the dialog when given.
  explicit CEditLabelDlg(const QString& label, QWidget* parent = nullptr);
  ~CEditLabelDlg() override;

  // The new label exactly as typed (not trimmed); meaningful after exec()
  // returned QDialog::Accepted.
  QString GetNewLabel() const;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_EDIT_LABEL_DLG_H_
