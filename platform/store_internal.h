// Pieces shared by the files of the settings store. Internal.

#ifndef QUARRY_PLATFORM_STORE_INTERNAL_H_
#define QUARRY_PLATFORM_STORE_INTERNAL_H_

#include <sqlite3.h>

#include <string>

namespace quarry::platform::store_internal {

// Result codes that mean the file itself is damaged (or not a database),
// as opposed to busy, full or unwritable.
inline bool IsDamageCode(int rc) {
  int primary = rc & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

inline std::string DamagedText(const std::string& path, const std::string& detail) {
  return "The settings file " + Quoted(path) + " is damaged (" + detail +
         "); it is left as it is and default settings are used.";
}

}  // namespace quarry::platform::store_internal

#endif  // QUARRY_PLATFORM_STORE_INTERNAL_H_
