// Where the updater's automation object lives on the D-Bus session bus,
// shared by the updater and its clients. The names are the updater's
// contract with every program that drives it; they never change.
//
// The object's members are those of the classic automation interface:
// properties NeedsUpdating, FilesUpdated (read/write, int32), UpdateWaiting
// (read, int32), UpdateWebsite (read/write, string), Version (read,
// double); methods UpdateAvailable() -> int32 (a check; answered when it
// ends), ShowWindow(uint32), SetParentWnd(uint64 window), ScanForFiles() ->
// int32, CheckOnlineFiles(uint16 pc, uint16 pv), EndDialog(), UpdateFiles(),
// DownloadFiles(uint32 show) -> int32, SetProductInfo(uint16 code, int32
// version x 100, uint32 config); and Release(), which stands for dropping
// the client's reference: the updater closes once its client has released
// it after asking to close.
//
// The window messages the updater posts to its client's window travel as
// the signal WindowMessage(uint64 window, uint32 message, uint64 wparam),
// sent only to the client that named that window with SetParentWnd.

#ifndef QUARRY_UPDATER_AUTOMATION_NAMES_H_
#define QUARRY_UPDATER_AUTOMATION_NAMES_H_

namespace quarry {

inline constexpr char kUpdaterServiceName[] = "com.Kestrane.KspAutoUpdater";
inline constexpr char kUpdaterObjectPath[] = "/com/Kestrane/KspAutoUpdater/Application";
inline constexpr char kUpdaterInterface[] = "com.Kestrane.KspAutoUpdater.Application";
inline constexpr char kUpdaterMessageSignal[] = "WindowMessage";
// The program's options: started by the bus for a client, and registering
// or removing the bus's service file.
inline constexpr char kAutomationOption[] = "--automation";
inline constexpr char kRegServerOption[] = "--regserver";
inline constexpr char kUnregServerOption[] = "--unregserver";

}  // namespace quarry

#endif  // QUARRY_UPDATER_AUTOMATION_NAMES_H_
