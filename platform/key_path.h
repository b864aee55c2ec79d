// Key paths and value names of the per-user settings store.
//
// A key path is a list of key names separated by backslashes, written from
// the top of the current user's hive: "Software\\Zandor Tech\\Globals". An
// optional leading "HKCU\\" or "HKEY_CURRENT_USER\\" names that hive and is
// dropped; every other hive name ("HKLM", "HKEY_CLASSES_ROOT", ...) is
// refused, since the store holds the current user's hive only. One trailing
// backslash is tolerated ("Software\\Zandor Tech\\Globals\\"), because the
// system writes several of its key paths that way.
//
// Paths are bounded as the registry bounds them, so that no caller can make
// the store (or a message naming a key) arbitrarily large: a key name holds
// at most 255 bytes, a path at most 512 names and 16383 bytes in all
// (without the hive prefix and the trailing backslash).

#ifndef QUARRY_PLATFORM_KEY_PATH_H_
#define QUARRY_PLATFORM_KEY_PATH_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::platform {

// Longest key name (one path element) and value name, in bytes.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;
// Most key names in one path, and longest path (names and separators).
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxKeyPathLength = 16383;

// Splits `text` into key names. An empty path, "HKCU" or "HKCU\\" is the
// root of the hive and gives an empty list. Key names must be non-empty, at
// most kMaxKeyNameLength bytes and free of control characters (which keeps
// every key printable on one line); the path must keep to kMaxKeyDepth and
// kMaxKeyPathLength. The cost is linear in the text, and a path far over
// the limits is refused before it is split. On failure returns false,
// leaves *names unspecified and sets *error to a one-line reason.
bool ParseKeyPath(std::string_view text, std::vector<std::string>* names,
                  std::string* error);

// Joins key names with backslashes; the inverse of ParseKeyPath without the
// hive prefix.
std::string JoinKeyPath(const std::vector<std::string>& names);

// True when `name` can name a value: at most kMaxValueNameLength bytes and
// no NUL byte. The empty name is allowed (a key's unnamed default value).
// On failure sets *error to a one-line reason.
bool CheckValueName(std::string_view name, std::string* error);

// `text` double-quoted for a one-line message: control bytes as \xHH, and
// cut after 120 bytes with "..." so that a huge key cannot flood a message.
std::string QuoteForMessage(std::string_view text);

// ASCII case-insensitive equality, the rule by which keys and values match.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace quarry::platform

#endif  // QUARRY_PLATFORM_KEY_PATH_H_
