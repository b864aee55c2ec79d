// The manifest "Ksp.inf": the updater's list of records, kept in the
// download folder so that a downloaded but not yet installed update
// survives a restart.
//
// Layout (the framework's archive form, little-endian): the ten bytes
// "KspAUFile" and a zero byte; a 32-bit format version (1); a 32-bit record
// count; per record a 32-bit record version, then (version 3) path,
// download name, display name, registration key, current and available
// version (64-bit doubles), needs update and download result (32-bit), and
// the registration value. Version 2 records lack the download name.
// Strings: a length prefix of one byte (< 255), or 0xFF and two bytes
// (< 0xFFFE), or 0xFF 0xFFFF and four bytes; then the bytes. Strings with
// the wide-text marker (0xFF 0xFFFE) hold UTF-16 and are read as UTF-8.
//
// Reading is strict: a wrong marker or format version, a record version it
// does not know (whose length it cannot know either), or data cut short all
// give no manifest, never a half-read one.

#ifndef QUARRY_UPDATER_UPDATE_MANIFEST_H_
#define QUARRY_UPDATER_UPDATE_MANIFEST_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/update_file_record.h"

namespace quarry {

inline constexpr char kManifestFileName[] = "Ksp.inf";
inline constexpr uint32_t kManifestFormatVersion = 1;
inline constexpr uint32_t kManifestRecordVersion = 3;

// The manifest's bytes for `records`, each written as record version 3.
std::string EncodeManifest(const std::vector<UpdateFileRecord>& records);

// The records of a manifest, or nullopt when `bytes` is not one. The file
// name of each record is left empty (the check fills it).
std::optional<std::vector<UpdateFileRecord>> DecodeManifest(std::string_view bytes);

// Reads the manifest file; nullopt when it is missing, unreadable, larger
// than 16 MiB or not a manifest.
std::optional<std::vector<UpdateFileRecord>> LoadManifest(const std::string& path);

// Writes the manifest file whole or not at all (through a temporary file
// beside it). False with *error (may be null) on failure; an existing
// manifest is then left as it was.
bool SaveManifest(const std::string& path, const std::vector<UpdateFileRecord>& records,
                  std::string* error);

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATE_MANIFEST_H_
