// The bridge between the toolkit-free colour scheme and Qt: colour and font
// conversion, and the desktop's own colours as the scheme's system colours.

#ifndef QUARRY_FRAMEWORK_QT_COLOUR_H_
#define QUARRY_FRAMEWORK_QT_COLOUR_H_

#include <QColor>
#include <QFont>

#include "framework/colour/colour_ref.h"
#include "framework/colour/colour_scheme.h"
#include "framework/colour/system_colours.h"

namespace quarry {

// Opaque; the top byte of `c` is ignored.
QColor ToQColor(COLORREF c);
// The colour's red, green and blue; alpha is dropped.
COLORREF FromQColor(const QColor& c);

// The desktop palette of the running application: QPalette::Button for
// the button face, QPalette::Highlight for the active caption. Before a
// QGuiApplication exists it answers with the classic values. Read it on
// the user-interface thread.
class QtSystemColours final : public SystemColours {
 public:
  COLORREF ButtonFace() const override;
  COLORREF ActiveCaption() const override;
};

// Makes the desktop palette the process-wide system colours
// (SystemColours::Install). Idempotent; the installed object lives until
// the process ends.
void InstallDesktopSystemColours();

// The font that font_choice describes, with its pixel height and weight; a face
// the machine does not have becomes the desktop's general sans-serif face
// instead of whatever fontconfig would substitute.
QFont FontFromChoice(const FontChoice& font_choice);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_QT_COLOUR_H_
