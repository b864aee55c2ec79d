// The updater's dialog templates and texts: the main window (dialog 102 of
// the updater, 257 x 215 dialog units) and its control ids.

#ifndef QUARRY_UPDATER_APP_UPDATER_DIALOGS_H_
#define QUARRY_UPDATER_APP_UPDATER_DIALOGS_H_

#include <QString>

#include "framework/dialog_template.h"

namespace quarry::updater {

inline constexpr int kIdOk = 6127;
inline constexpr int kIdProgress = 1002;
inline constexpr int kIdLastCheck = 1003;
inline constexpr int kIdFileList = 1004;
inline constexpr int kIdNotice = 1005;
inline constexpr int kIdUpdate = 1007;

// The list's columns.
inline constexpr int kColumnState = 0;
inline constexpr int kColumnName = 1;
inline constexpr int kColumnCurrent = 2;
inline constexpr int kColumnAvailable = 3;
inline constexpr int kColumnSize = 4;

// The system menu's About item (string 7000 of the updater).
inline constexpr int kIdAboutCommand = 0x8000;
inline constexpr char kAboutMenuText[] = "&About AutoUpdater...";

inline constexpr char kTitleFormat[] = "Zandor Technologies Program Updater v%0.2f";
inline constexpr char kAboutTitle[] = "About Zandor Tech Program Updater";
inline constexpr char kAboutTextFormat[] = "Zandor Technologies Program Updater\nVersion %0.2f";
inline constexpr char kLastCheckFormat[] = "Last Update Check: %B %#d, %Y";

const DialogTemplate& UpdaterDialogTemplate();

// "Last Update Check: <Month> <day>, <year>" in local time, or "... Never"
// for 0.
QString LastCheckText(uint32_t last_update);

// The window title with the updater's version.
QString UpdaterTitle();

}  // namespace quarry::updater

#endif  // QUARRY_UPDATER_APP_UPDATER_DIALOGS_H_
