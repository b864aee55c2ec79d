// What the updater says while it downloads and installs: the questions and
// messages of the download run and the installation, word for word as the
// users of the maker's programs know them. Each "%s" is one display name
// (the same name where a text has several).

#ifndef QUARRY_UPDATER_UPDATE_TEXTS_H_
#define QUARRY_UPDATER_UPDATE_TEXTS_H_

#include <string>
#include <string_view>

namespace quarry {

// The download run.
inline constexpr char kNeedsWriteAccessText[] =
    "Requires Updater to be ran as an Administrator. Please\nrestart the Auto Updater as an "
    "Administrator to complete\nthe update. Contact Zandor Technologies for Additional Support";
inline constexpr char kDownloadFailedSuffix[] = " Download Failed";
inline constexpr char kDownloadRunFailedText[] =
    "Failed to download files\nCheck your internet connection\nor try again later.";
inline constexpr char kRunningProgramQuestion[] =
    "%s requires updating and is currently running.\nShutDown and restart %s automatically?\n\n"
    "Note: This may cause any unsaved work to be lost.\nOtherwise close %s and run the Zandor "
    "Technologies\nProgram Updater independently to complete the update\n\n"
    "Continue with update?";

// The installation.
inline constexpr char kCloseProgramQuestion[] =
    "%s needs to be closed and is currently running.\nShutDown and restart %s automatically?\n\n"
    "Note: This may cause any unsaved work to be lost.\nOtherwise close %s and run the Zandor "
    "Technologies\nProgram Updater independently to complete the update\n\n"
    "continue with update?";
inline constexpr char kFailureToCloseText[] = "Failure to Close and Copy Old %s";
inline constexpr char kFailureToCopyProgramText[] =
    "Failure to copy %s executable\nTry running the Auto Updater\nby itself without any other\n"
    "Zandor Technologies programs running.\n";
inline constexpr char kFailureToCopyOldText[] = "Failure to Copy Old %s";
inline constexpr char kFailureToDeleteOldText[] = "Failure to Delete Old %s";
inline constexpr char kFailureToCopyNewText[] = "Failure to Copy New %s";
inline constexpr char kUpdateFailedFormat[] =
    "Update failed. Caused by\n%s.\nContact Zandor Technologies for rurther support\n\n"
    "Do you want to delete this update?";
inline constexpr char kUnknownErrorText[] = "Unknown Error";

// A version list the updater refuses: the failure message without its
// question, since nothing was downloaded that could be deleted.
inline constexpr char kUpdateRefusedFormat[] =
    "Update failed. Caused by\n%s.\nContact Zandor Technologies for rurther support";

// `format` with every "%s" replaced by `value`.
std::string FormatText(std::string_view format, std::string_view value);

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATE_TEXTS_H_
