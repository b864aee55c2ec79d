// ScanForFiles: the list of the maker's files installed on this machine.
//
// Two sources: the modules of the updater's own folder that say what they
// are (module_probe.h), and the registrations the maker's programs leave in
// the settings store: string values "KsAUFile<n>" or "ZtAUFile<n>" (n from
// 1, each key's numbering ending at its first gap) in any key below
// "Software\\Kestrane" or "Software\\Zandor Tech", holding
// "<full path>;<display name>". A registered file without a version of its
// own has one beside its registration: the file name without dots,
// upper-cased, + "Ver" (so "Qry.chm" gives "QRYCHMVer"), holding the
// version x 100.
//
// A registered file that is missing is asked about once (the "FileErrors"
// mark): the user may browse for it, and a file of the same name that they
// pick is written back into the registration. Plain C++: the questions go
// through ScanUi.

#ifndef QUARRY_UPDATER_FILE_SCAN_H_
#define QUARRY_UPDATER_FILE_SCAN_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/update_file_record.h"

namespace quarry {

namespace platform {
class SettingsStore;
}

// The questions of a scan; called on the scanning thread (the window's).
class ScanUi {
 public:
  virtual ~ScanUi() = default;
  // Asks `question` (Yes/No); true for Yes.
  virtual bool AskYesNo(const std::string& question) = 0;
  // An open-file dialog with `filter` ("Title (*.x)|*.x|...||"); nullopt
  // when the user cancels.
  virtual std::optional<std::string> BrowseForFile(const std::string& filter) = 0;
};

inline constexpr char kMissingFileQuestion[] =
    "The %s file was not found.\nWould you like to Browse for it?";
inline constexpr char kFileMismatchQuestion[] = "File does not match.\nBrowse Again?";
inline constexpr char kBrowseFilter[] = "Files (*.%s)|*.%s|All Files (*.*)|*.*||";

struct ScanOptions {
  std::string working_folder;  // whose modules are probed
  // The updater's own file, never listed (compared without case).
  std::string own_file_name = "KspAutoUpdater";
  platform::SettingsStore* store = nullptr;  // not owned; required
  ScanUi* ui = nullptr;                      // not owned; null: never ask
};

// One registration found in the store.
struct FileRegistration {
  std::string key;         // stored key path
  std::string value_name;  // "KsAUFile1", ...
  std::string text;        // "<path>;<display name>" (expanded)
};

// Every registration below `roots`, depth first, subkeys in the store's
// order. Keys deeper than 32 levels are not searched.
std::vector<FileRegistration> CollectFileRegistrations(const platform::SettingsStore& store,
                                                       const std::vector<std::string>& roots);

// The display-name suffix for the extension of `path`: " Configurations",
// " Help", " Information", " Data File", or none for the program, library
// and document kinds the updater knows; " Data File" for anything unknown.
std::string DisplaySuffixFor(std::string_view path);

// The name of the value holding the version of a registered file.
std::string VersionValueNameFor(std::string_view path);

// Builds the record list; the list is in folder order (by name), then in
// registration order. A file reached both ways is listed once.
std::vector<UpdateFileRecord> ScanForFiles(const ScanOptions& options);

}  // namespace quarry

#endif  // QUARRY_UPDATER_FILE_SCAN_H_
