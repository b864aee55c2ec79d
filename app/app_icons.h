// The main program's icons: the application icon and the pictures of its
// commands, drawn for Quarry and built into the program as resources.

#ifndef QUARRY_APP_APP_ICONS_H_
#define QUARRY_APP_APP_ICONS_H_

#include <QIcon>

namespace quarry {

// The application icon (the frame, the notification area, About), with
// pictures from 16 to 256 pixels.
QIcon AppIcon();

// The name of the installed desktop entry (without ".desktop"), which the
// desktop uses to match Quarry's windows to its launcher and icon.
inline constexpr char kDesktopEntryName[] = "example.quarry.Quarry";

// The picture of command `id` on toolbars and in menus; a null icon for a
// command without one. The desktop's icon theme is not consulted: the
// toolbar's pictures belong together and to the application icon.
QIcon CommandIcon(int id);

}  // namespace quarry

#endif  // QUARRY_APP_APP_ICONS_H_
