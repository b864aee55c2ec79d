// How the programs' dialogs dress the system's controls and themselves.
//
// When a dialog is built, it reads the controls' appearance settings and
// pushes, per kind of control:
//   buttons      ColorTextHighlight, ColorBtnFace (0x050505 where the
//                scheme's colour is 0), BackColor, Style ("ButtonStyle"),
//                ButtonSides ("ButtonSides");
//   check boxes  ColorCheckFace, BackColor, ForeColor;
//   labels       BackColor, and a ForeColor for text and rules (labels
//                that show a web link keep their own colour);
//   group boxes  GroupStyle ("GroupStyle") and the frame, header and
//                background colours of the scheme;
// and gives every control the dialog's font. When the system colours
// change, the dialog reads "ButtonStyle", "ButtonSides", "SliderButton"
// and "CheckScheme" again and pushes everything again if one of them or
// the colour scheme changed. Standard widgets standing in for missing
// modules keep the desktop's look.

#ifndef QUARRY_FRAMEWORK_CONTROL_APPEARANCE_H_
#define QUARRY_FRAMEWORK_CONTROL_APPEARANCE_H_

#include <QFont>
#include <QRect>
#include <vector>

#include "controls/common/appearance_settings.h"
#include "framework/colour/colour_scheme.h"

class QPainter;
class QWidget;

namespace quarry {

// The colours a dialog gives its controls; derived from a scheme.
struct ControlColours {
  COLORREF button_face = 0;
  COLORREF text_highlight = 0;
  COLORREF face = 0;          // the dialog's face: BackColor of every control
  COLORREF text = 0;          // ForeColor of check boxes and text labels
  COLORREF rule = 0;          // ForeColor of labels drawn as lines
  COLORREF frame_border = 0;  // group box frame
  COLORREF header_upper = 0;
  COLORREF header_lower = 0;
  COLORREF inner_lower = 0;
  COLORREF caption = 0;  // group box captions on the header

  bool operator==(const ControlColours&) const = default;
};

// The scheme's colours for the controls; `text` is the desktop's text
// colour.
ControlColours ColoursFor(const CColourScheme& scheme, COLORREF text);

// Pushes the colours, the styles and the font to every hosted control
// among `widgets` (others are left alone).
void ApplyControlAppearance(const std::vector<QWidget*>& widgets, const ControlColours& colours,
                            const controls::ControlStyleSettings& styles, const QFont& font);

// The same with the user's style settings and `dialog`'s text colour and
// font: what a dialog that is not a CKsDialog does once its controls are
// made.
void ApplyUserControlAppearance(QWidget* dialog, const std::vector<QWidget*>& widgets,
                                const CColourScheme& scheme);

// The background every dialog of the programs is painted with: the face
// colour, tinted at the top towards the scheme's palest shade.
void PaintDialogBackground(QPainter& painter, const QRect& rect, const CColourScheme& scheme);

// Paints that background under `dialog`'s own painting, in a copy of
// `scheme`, for dialogs with no paint event of their own. The painter is a
// child object of the dialog and goes with it.
void InstallDialogBackground(QWidget* dialog, const CColourScheme& scheme);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_CONTROL_APPEARANCE_H_
