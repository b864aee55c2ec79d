// The saved order of the favourites of one folder: a binary "Order" value
// in the settings store, one per folder, in the layout the system's shell
// wrote it. Parsing never reads outside the value, however it is damaged.

#ifndef QUARRY_APP_FAVORITES_MENU_ORDER_H_
#define QUARRY_APP_FAVORITES_MENU_ORDER_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::favorites {

// Key of the top-level folder's order; a subfolder's key adds its relative
// path with backslashes.
inline constexpr char kMenuOrderRootKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites\\";
inline constexpr char kMenuOrderValue[] = "Order";

// The layout of an entry's long name changed with major version 6 of the
// system that writes the value; values are taken as written by that
// version or later unless told otherwise.
inline constexpr int kCurrentLayoutVersion = 6;

// The key holding the order of `folder` ('/'-separated, empty for the top
// level).
std::string MenuOrderKey(std::string_view folder);

// One favourite named by the value.
struct MenuOrderEntry {
  // The long name without its last four characters (".url"), "&" doubled:
  // comparable with FavoriteRecord::title.
  std::string title;
  int32_t order = 0;

  bool operator==(const MenuOrderEntry&) const = default;
};

// The favourites that `value` names, in the value's order. Empty unless its
// first two 32-bit words are 8 and 2. Entries that do not name a file, or
// whose name lies outside the entry or the value, are skipped; an entry
// whose length cannot be right (too short to hold its flags, or running
// past the value's end) ends the walk. `layout_version` below 6 selects the
// older long-name layout. The UTF-16 long name becomes UTF-8, ending at its
// first zero character.
std::vector<MenuOrderEntry> ParseMenuOrder(std::span<const uint8_t> value,
                                           int layout_version = kCurrentLayoutVersion);

}  // namespace quarry::favorites

#endif  // QUARRY_APP_FAVORITES_MENU_ORDER_H_
