// The window-message numbers of the system, in one place for every program
// and module. The numbers are part of the contract between the main
// program, the updater and the control modules, which post them to each
// other's windows; they never change.

#ifndef QUARRY_PLATFORM_WINDOW_MESSAGE_IDS_H_
#define QUARRY_PLATFORM_WINDOW_MESSAGE_IDS_H_

#include <cstdint>

namespace quarry::platform {

// Message numbers of the windowing layer itself.
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_TIMER = 0x0113;  // wParam: the timer's id
// First number of the range that applications define for themselves.
inline constexpr uint32_t WM_APP = 0x8000;

// Web Browser view to the main view, relayed to the sub-views: wParam is the
// address of the sender's string naming the page to parse.
inline constexpr uint32_t WM_PARSE_PAGE = WM_APP + 0x01;
// (lParam, when not 0, is the address of the sender's QString holding the
// page as the browser shows it, to be parsed instead of a download; it
// stays unchanged until WM_PARSE_DONE.)
// Table Results view to the main view, relayed: wParam non-zero when tables
// were found.
inline constexpr uint32_t WM_PARSE_DONE = WM_APP + 0x02;
// A page could not be retrieved.
inline constexpr uint32_t WM_RETRIEVAL_FAILED = WM_APP + 0x0F;
// A data file could not be written.
inline constexpr uint32_t WM_DATAFILE_WRITE_FAILED = WM_APP + 0x25;
// From the updater to its client's window (and, where marked, to its own):
// a download run ended, wParam FilesUpdated (both)...
inline constexpr uint32_t WM_UPDATER_DOWNLOADS_DONE = WM_APP + 0x29;
// ... the updater's window is being destroyed...
inline constexpr uint32_t WM_UPDATER_CLOSED = WM_APP + 0x44;
// ... the updater wants to close; the client releases it...
inline constexpr uint32_t WM_UPDATER_MAY_CLOSE = WM_APP + 0x45;
// ... and an update check ended (both).
inline constexpr uint32_t WM_UPDATER_CHECK_DONE = WM_APP + 0x48;
// The main program has finished starting; wParam 0.
inline constexpr uint32_t WM_STARTUP_DONE = WM_APP + 0x53;
// The favourites builder has filled the menu and/or tree.
inline constexpr uint32_t WM_FAVORITES_LOADED = WM_APP + 0x2C6;
// The notification-area icon was clicked or asked for its menu.
inline constexpr uint32_t WM_TRAY_NOTIFY = WM_APP + 0x2D2;
// Bring the main frame back from the notification area.
inline constexpr uint32_t WM_RESTORE_FRAME = WM_APP + 0x2D4;
// Table Results view to the main view, relayed: point at a table in the
// page shown; wParam is the address of the sender's TableInPage
// (app/table_in_page.h), which stays valid until the sender's next such
// message; lParam 1 also brings the Web Browser view to the front and has
// it say what it found.
inline constexpr uint32_t WM_SHOW_TABLE_IN_PAGE = WM_APP + 0x2E0;
// A label in link mode was clicked: wParam names the control, lParam points
// to its address string, which the control keeps owning.
inline constexpr uint32_t WM_LINK_CLICKED = 0x82D0;

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_WINDOW_MESSAGE_IDS_H_
