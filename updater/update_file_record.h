// UpdateFileRecord: one of the maker's files installed on this machine, as
// the updater lists, checks, downloads and installs it. Plain data; the
// list of records belongs to the updater's window, and workers take copies
// or touch only their own record.

#ifndef QUARRY_UPDATER_UPDATE_FILE_RECORD_H_
#define QUARRY_UPDATER_UPDATE_FILE_RECORD_H_

#include <cstdint>
#include <string>

namespace quarry {

struct UpdateFileRecord {
  std::string file_name;           // the path's file name, set by the check
  std::string path;                // full path of the installed file
  std::string download_name;       // compressed download's name; empty: plain
  std::string display_name;        // shown in the list
  std::string registration_key;    // for registered files: the key holding
  std::string registration_value;  // ... this registration value
  double current_version = 0.0;
  double available_version = 0.0;
  uint32_t needs_update = 0;       // 1: available > current
  uint32_t download_result = 0;    // 1: downloaded in full

  bool operator==(const UpdateFileRecord&) const = default;
};

// A version as the system shows it: "%0.2f".
std::string FormatVersion(double version);

// Whether `available` is a newer version than `current`. Versions are
// hundredths (major + minor / 100) that reach us through different
// arithmetic (a division, a parsed text), so differences far below a
// hundredth are rounding, not a newer version.
bool IsNewerVersion(double available, double current);

// The text after the last "/" of `path` (all of it when there is none).
std::string FileNameOf(const std::string& path);

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATE_FILE_RECORD_H_
