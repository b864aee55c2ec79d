// CKsDialog: a modeless child dialog (a form that lives inside another
// window) built from a template in code and painted in the colour scheme.

#ifndef QUARRY_FRAMEWORK_KS_DIALOG_H_
#define QUARRY_FRAMEWORK_KS_DIALOG_H_

#include <QString>
#include <QWidget>
#include <vector>

#include "controls/common/appearance_settings.h"
#include "framework/colour/colour_scheme.h"
#include "framework/dialog_template.h"
#include "framework/dialog_units.h"

namespace quarry {

class CKsDialog : public QWidget {
  Q_OBJECT

 public:
  // Creates every control of `tpl` in the dialog font (DialogFont()) and
  // sizes the dialog to the template. The scheme is derived from the
  // user's appearance settings on first paint unless SetColourScheme()
  // gives one. `parent` owns the dialog when given.
  explicit CKsDialog(const DialogTemplate& tpl, QWidget* parent = nullptr);
  ~CKsDialog() override;

  int TemplateId() const { return template_id_; }

  // The control created for `id` (see FindControl), or null.
  QWidget* Control(int id) const;
  template <typename T>
  T* ControlAs(int id) const {
    return FindControl<T>(this, id);
  }

  // The controls in template order; owned by the dialog.
  const std::vector<QWidget*>& Controls() const { return controls_; }

  // The text of a label, button, check box, group box, edit or combo box;
  // empty for other kinds or a missing id. SetItemText() ignores those.
  QString ItemText(int id) const;
  void SetItemText(int id, const QString& text);

  // The measures this dialog's dialog units convert with.
  const DialogBaseUnits& BaseUnits() const { return base_units_; }
  QRect MapDialogRect(const QRect& units) const;

  // Takes a copy of `scheme` (derived when it is not yet), gives the
  // controls its colours and repaints.
  void SetColourScheme(const CColourScheme& scheme);
  // The scheme the background is painted in; derived on first use.
  const CColourScheme& ColourScheme() const;

  // Called when a push button is clicked or a check box is toggled by the
  // user, with the control's id. Return true when handled. The default
  // handles nothing. commandIssued() is emitted before the call.
  virtual bool OnCommand(int id);

 signals:
  void commandIssued(int id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 protected:
  // Gives the system's controls among the dialog's children (the
  // template's and any made since) the scheme's colours, the style
  // settings and the dialog's font (control_appearance.h). Dialogs that
  // make controls after construction call it once they are made.
  void PushControlAppearance();

 private:
  void ConnectCommands();

  int template_id_;
  DialogBaseUnits base_units_;
  std::vector<QWidget*> controls_;
  mutable CColourScheme scheme_;
  bool scheme_given_ = false;
  // What the controls were last given.
  controls::ControlStyleSettings pushed_styles_;
  COLORREF pushed_base_ = 0;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_KS_DIALOG_H_
