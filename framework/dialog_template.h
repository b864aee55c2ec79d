// Dialog templates as tables in code: each dialog is a list of controls
// with their ids, kinds, rectangles in dialog units and texts, turned into
// Qt widgets on demand. Hosts find a control again by its id.

#ifndef QUARRY_FRAMEWORK_DIALOG_TEMPLATE_H_
#define QUARRY_FRAMEWORK_DIALOG_TEMPLATE_H_

#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

#include "framework/dialog_units.h"

namespace quarry {

enum class DialogItemKind {
  kLabel,          // QLabel; "&" marks the mnemonic of the next control
  kPushButton,     // QPushButton
  kDefPushButton,  // QPushButton that Enter presses
  kCheckBox,       // QCheckBox
  kGroupBox,       // QGroupBox drawn behind the controls it frames
  kEdit,           // QLineEdit; the text is its initial content
  kComboBox,       // QComboBox (drop-down list); the text is the first
                   // entry, the height includes the opened list
  kList,           // a framed, empty placeholder a list control takes over
  kCaptionBar,     // CCaptionBar
  kPlaceholder,    // an empty area (content areas, embedded views)
};

// One control of a template. `accessible_name` names controls whose text
// does not (edits, lists, placeholders); when empty the name is the text
// without its mnemonic marks, or for an edit the label just before it.
struct DialogItem {
  int id = 0;
  DialogItemKind kind = DialogItemKind::kLabel;
  QRect rect;  // dialog units
  QString text;
  QString accessible_name = {};
};

struct DialogTemplate {
  int id = 0;
  QString title;
  int width = 0;   // dialog units
  int height = 0;  // dialog units
  std::vector<DialogItem> items;
};

// Where every created control keeps its id, for hosts and for tests.
inline constexpr char kControlIdProperty[] = "controlId";

// The object name of the control with `id`: "ctl<ID>".
QString ControlObjectName(int id);

// Creates the template's controls as children of `parent` (which owns
// them), in template order (which is also the tab order), each placed at
// its rectangle converted with `base` (a drop-down list only as high as its
// closed box). Every control gets the object name
// "ctl<ID>", the property "controlId" and an accessible name; a label with a
// mnemonic becomes the buddy of the next control that takes focus. Returns
// the widgets in template order.
std::vector<QWidget*> CreateDialogControls(const DialogTemplate& tpl,
                                           QWidget* parent,
                                           const DialogBaseUnits& base);

// Makes `dialog` the fixed-size modal dialog of `tpl`: the dialog font,
// the template's title (also its accessible name), the object name
// "dlg<ID>", the size in dialog units of that font, its controls
// (CreateDialogControls) dressed in the user's appearance settings, and
// the background of the programs' dialogs (control_appearance.h). Returns
// the controls in template order.
std::vector<QWidget*> BuildDialogFromTemplate(QWidget* dialog, const DialogTemplate& tpl);

// The direct child of `parent` created for control `id` (the first one when
// several share an id), or null when there is none or it is not a T.
template <typename T = QWidget>
T* FindControl(const QWidget* parent, int id) {
  if (parent == nullptr) return nullptr;
  return parent->findChild<T*>(ControlObjectName(id),
                               Qt::FindDirectChildrenOnly);
}

// The text with its mnemonic marks removed: "&Go" becomes "Go", "&&" one
// "&".
QString StripMnemonic(const QString& text);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_DIALOG_TEMPLATE_H_
