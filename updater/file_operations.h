// The updater's file operations: deleting with retries, copying a file
// whole or not at all, and emptying a folder. Plain C++; each reports a
// one-line reason for the user or a log on failure.

#ifndef QUARRY_UPDATER_FILE_OPERATIONS_H_
#define QUARRY_UPDATER_FILE_OPERATIONS_H_

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace quarry {

// Deletes `path`, trying `attempts` times `pause` apart; before a retry the
// file is made writable by its owner, as a read-only file is what most
// often refuses. A file that is not there counts as deleted.
bool DeleteWithRetries(const std::string& path, int attempts = 3,
                       std::chrono::milliseconds pause = std::chrono::milliseconds(500));

// The permission bits of the file at `path`; nullopt when it is missing.
std::optional<mode_t> FileMode(const std::string& path);

// Copies `from` to `to` through the atomic writer: `to` holds the old file
// or the whole copy, never a part. The copy gets `mode`. False with
// *reason (may be null) when either side fails; `to` is then unchanged.
bool CopyFileWhole(const std::string& from, const std::string& to, mode_t mode,
                   std::string* reason);

// Deletes every file in `folder` (each with retries), pauses `pause` and
// removes the folder. True when the folder is gone (or never was).
bool RemoveFolderWithFiles(const std::string& folder,
                           std::chrono::milliseconds pause = std::chrono::milliseconds(50));

}  // namespace quarry

#endif  // QUARRY_UPDATER_FILE_OPERATIONS_H_
