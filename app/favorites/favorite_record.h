// One favourite as the favourites builder keeps it, and the command-id
// range that favourites occupy in the main program's menus.

#ifndef QUARRY_APP_FAVORITES_FAVORITE_RECORD_H_
#define QUARRY_APP_FAVORITES_FAVORITE_RECORD_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace quarry::favorites {

// A favourite's command id is kFirstCommand plus its index; only ids up to
// kLastCommand are favourite commands (the Help menu's ids follow close
// behind), so at most kMaxMenuFavorites favourites reach the menu.
inline constexpr int kFirstCommand = 36000;
inline constexpr int kLastCommand = 38000;
inline constexpr int kMaxMenuFavorites = kLastCommand - kFirstCommand + 1;

// The order of a favourite that the saved order does not mention; lower
// than any saved position, so such favourites come first in their folder.
inline constexpr int32_t kUnknownOrder = -5;

struct FavoriteRecord {
  // Folder relative to the favourites folder, components joined by '/';
  // empty for the top level.
  std::string folder;
  // The file name without ".url", every "&" doubled so that menus show it
  // literally.
  std::string title;
  // The text after "URL=" on the shortcut's address line.
  std::string address;
  // Position from the saved order; kUnknownOrder until known.
  int32_t order = kUnknownOrder;

  bool operator==(const FavoriteRecord&) const = default;
};

// `text` with every "&" doubled.
std::string DoubleAmpersands(std::string_view text);
// Undoes DoubleAmpersands: every "&&" becomes "&" (a lone "&" stays).
std::string UndoubleAmpersands(std::string_view text);

}  // namespace quarry::favorites

#endif  // QUARRY_APP_FAVORITES_FAVORITE_RECORD_H_
