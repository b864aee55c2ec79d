// Internet-shortcut files (".url"): an INI-style text whose address line
// starts with "URL=".

#ifndef QUARRY_APP_FAVORITES_URL_SHORTCUT_H_
#define QUARRY_APP_FAVORITES_URL_SHORTCUT_H_

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quarry::favorites {

// How much of a shortcut file is read; an address line further down is
// not looked for.
inline constexpr size_t kShortcutReadLimit = 10000;

// The address on the first line of `text` whose first four characters are
// "URL=" (case as written), without that prefix and without a trailing CR;
// nullopt when no line qualifies. Lines end at LF, CR LF or CR.
std::optional<std::string> ShortcutAddress(std::string_view text);

// Reads at most kShortcutReadLimit bytes of the file at `path` and returns
// their ShortcutAddress; nullopt when the file cannot be read or has no
// address line.
std::optional<std::string> ReadShortcutAddress(const std::filesystem::path& path);

// The contents of a shortcut file for `address` (CR LF line ends). The
// caller makes sure `address` holds no line break.
std::string MakeShortcutText(std::string_view address);

}  // namespace quarry::favorites

#endif  // QUARRY_APP_FAVORITES_URL_SHORTCUT_H_
