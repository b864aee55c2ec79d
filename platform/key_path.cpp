#include "platform/key_path.h"

#include <algorithm>

#include "platform/ascii_text.h"

namespace quarry::platform {

namespace {

constexpr std::string_view kOwnHives[] = {"HKCU", "HKEY_CURRENT_USER"};
constexpr std::string_view kOtherHives[] = {
    "HKLM", "HKEY_LOCAL_MACHINE", "HKCR",  "HKEY_CLASSES_ROOT",
    "HKU",  "HKEY_USERS",         "HKCC",  "HKEY_CURRENT_CONFIG",
    "HKPD", "HKEY_PERFORMANCE_DATA"};

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

bool ParseKeyPath(std::string_view text, std::vector<std::string>* names,
                  std::string* error) {
  names->clear();
  if (text.empty()) return true;
  // A single trailing separator is a habit of the callers, not an empty
  // name; a second one is.
  if (text.back() == '\\') text.remove_suffix(1);
  if (text.empty()) {
    *error = "the key path is a lone backslash";
    return false;
  }
  // Longer than any valid path behind the longest hive prefix: refused
  // before anything is split or copied.
  constexpr size_t kLongestPrefix = std::string_view("HKEY_CURRENT_USER\\").size();
  if (text.size() > kLongestPrefix + kMaxKeyPathLength) {
    *error = "the key path is " + std::to_string(text.size()) +
             " characters long; at most 16383 are allowed";
    return false;
  }

  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\\', start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }

  size_t first = 0;
  for (std::string_view hive : kOwnHives) {
    if (EqualsIgnoreCase(parts[0], hive)) first = 1;
  }
  for (std::string_view hive : kOtherHives) {
    if (EqualsIgnoreCase(parts[0], hive)) {
      *error = "only the current user's hive (HKCU) is available, not " +
               std::string(parts[0]);
      return false;
    }
  }

  for (size_t i = first; i < parts.size(); ++i) {
    std::string_view part = parts[i];
    if (part.empty()) {
      *error = "the key path has an empty key name (a doubled, leading or "
               "trailing backslash)";
      return false;
    }
    if (part.size() > kMaxKeyNameLength) {
      *error = "a key name is longer than 255 characters";
      return false;
    }
    for (char c : part) {
      if (IsControl(static_cast<unsigned char>(c))) {
        *error = "a key name contains a control character";
        return false;
      }
    }
    names->emplace_back(part);
  }
  if (names->size() > kMaxKeyDepth) {
    *error = "the key path has " + std::to_string(names->size()) +
             " levels; at most 512 are allowed";
    return false;
  }
  size_t length = names->empty() ? 0 : names->size() - 1;
  for (const std::string& name : *names) length += name.size();
  if (length > kMaxKeyPathLength) {
    *error = "the key path is " + std::to_string(length) +
             " characters long; at most 16383 are allowed";
    return false;
  }
  return true;
}

std::string JoinKeyPath(const std::vector<std::string>& names) {
  std::string path;
  for (const std::string& name : names) {
    if (!path.empty()) path += '\\';
    path += name;
  }
  return path;
}

std::string QuoteForMessage(std::string_view text) {
  size_t shown = std::min<size_t>(text.size(), 120);
  // Cut between characters, not inside one.
  while (shown > 0 && shown < text.size() && (text[shown] & 0xc0) == 0x80) --shown;
  std::string quoted = "\"" + EscapeControlBytes(text.substr(0, shown)) + "\"";
  if (shown < text.size()) quoted += "...";
  return quoted;
}

bool CheckValueName(std::string_view name, std::string* error) {
  if (name.size() > kMaxValueNameLength) {
    *error = "the value name is longer than 16383 characters";
    return false;
  }
  if (name.find('\0') != std::string_view::npos) {
    *error = "the value name contains a NUL character";
    return false;
  }
  return true;
}

}  // namespace quarry::platform
