// Bringing the bookmarks of the user's other browsers into the favourites
// folder as shortcut files, folders kept. Reads a Firefox-style profile
// (places.sqlite) and a Chromium-style profile ("Bookmarks" JSON); only
// http and https addresses are taken.

#ifndef QUARRY_APP_FAVORITES_BOOKMARK_IMPORT_H_
#define QUARRY_APP_FAVORITES_BOOKMARK_IMPORT_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::favorites {

// One bookmark: its folder path (outermost first), title and address.
struct Bookmark {
  std::vector<std::string> folders;
  std::string title;
  std::string address;

  bool operator==(const Bookmark&) const = default;
};

// A browser profile file that holds bookmarks.
struct BookmarkSource {
  enum class Kind { kFirefox, kChromium };
  Kind kind = Kind::kFirefox;
  std::filesystem::path file;  // places.sqlite or Bookmarks
  std::string browser;         // "Firefox", "Chromium", "Google Chrome"
};

// The default profiles found under `home`: the Firefox profile that
// profiles.ini marks as default (an install's default first, then a
// profile with Default=1, then the only one), and the "Default" profiles
// of Chromium and Google Chrome. Only sources whose file exists.
std::vector<BookmarkSource> FindBookmarkSources(const std::filesystem::path& home);

// True for the addresses worth a favourite: http:// and https:// ones
// (any case) without control characters (a line break would break the
// shortcut file).
bool IsImportableAddress(std::string_view address);

// The bookmarks of a places.sqlite. The file is copied (with its -wal
// file) to a private temporary folder first, as a running browser keeps it
// locked. The menu's bookmarks go to the top level, the toolbar's under
// "Bookmarks Toolbar", the others under "Other Bookmarks" and "Mobile
// Bookmarks"; tags are left out. nullopt with `*error` set when the file
// cannot be read.
std::optional<std::vector<Bookmark>> ReadFirefoxBookmarks(const std::filesystem::path& places,
                                                          std::string* error);

// The bookmarks of a Chromium "Bookmarks" file, each root under its own
// name ("Bookmarks bar", "Other bookmarks", ...). nullopt with `*error`
// set when the file cannot be read or parsed.
std::optional<std::vector<Bookmark>> ReadChromiumBookmarks(const std::filesystem::path& file,
                                                           std::string* error);

// Reads a source of either kind.
std::optional<std::vector<Bookmark>> ReadBookmarks(const BookmarkSource& source,
                                                   std::string* error);

// `name` made safe as one file or folder name: no '/', no control
// characters, none of \ : * ? " < > | (so the folder can be copied to
// other systems), no leading or trailing spaces and dots, at most 150
// bytes without splitting a UTF-8 character; "Untitled" when nothing is
// left.
std::string SanitiseFileName(std::string_view name);

// Writes one shortcut file per importable bookmark under `folder`,
// creating subfolders; a name already taken gets " (2)", " (3)", ...
// Existing files are never overwritten. Returns how many were written.
int WriteBookmarksAsShortcuts(const std::vector<Bookmark>& bookmarks,
                              const std::filesystem::path& folder);

}  // namespace quarry::favorites

#endif  // QUARRY_APP_FAVORITES_BOOKMARK_IMPORT_H_
