// The font dialogs are laid out in. It starts from the desktop's own font,
// which is what a Linux user expects dialogs to use; the user's appearance
// settings ("FaceName", "FontHeight", "FontItalic", "FontUnderline",
// "FontStrikeOut") override it when they are stored. Their classic
// defaults (an 8-point face that is rarely installed here) are not applied:
// they would make every dialog smaller than the rest of the desktop.

#ifndef QUARRY_FRAMEWORK_DIALOG_FONT_H_
#define QUARRY_FRAMEWORK_DIALOG_FONT_H_

#include <QFont>

namespace quarry {

namespace platform {
class SettingsStore;
}  // namespace platform

// `desktop` with the stored overrides applied. A stored face the machine
// does not have is ignored; heights outside 4..72 points are ignored.
QFont DialogFont(const platform::SettingsStore& store, const QFont& desktop);

// The same for the user's store and the application font.
QFont DialogFont();

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_DIALOG_FONT_H_
