// The updater's pictures, drawn in code so they stay sharp at any size:
// the program icon and the list's row states.

#ifndef QUARRY_UPDATER_APP_UPDATER_ARTWORK_H_
#define QUARRY_UPDATER_APP_UPDATER_ARTWORK_H_

#include <QIcon>
#include <QPixmap>

namespace quarry::updater {

// Row states of the file list.
inline constexpr int kStateNone = 0;
inline constexpr int kStateCurrent = 1;      // current, or downloaded
inline constexpr int kStateNeedsUpdate = 2;  // needs an update, or failed
inline constexpr int kStateBusy = 3;         // being downloaded

// A state picture `size` pixels square (device-independent); null for
// kStateNone.
QPixmap StateImage(int state, int size = 16);

// The program icon, 16 to 256 pixels.
QIcon UpdaterIcon();

}  // namespace quarry::updater

#endif  // QUARRY_UPDATER_APP_UPDATER_ARTWORK_H_
