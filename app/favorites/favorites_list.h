// Building the list of favourites from a folder of shortcut files: the
// records, their order, and the folders to make for them. Plain C++, so
// it runs on the loader's worker thread and in tests without windows.

#ifndef QUARRY_APP_FAVORITES_FAVORITES_LIST_H_
#define QUARRY_APP_FAVORITES_FAVORITES_LIST_H_

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/favorites/favorite_record.h"
#include "app/favorites/menu_order.h"

namespace quarry::favorites {

// The favourites folder: $QUARRY_FAVORITES_DIR when set, else
// "quarry/Favorites" under $XDG_DATA_HOME (default ~/.local/share).
std::filesystem::path DefaultFavoritesFolder();

// Every ".url" file (extension in any case) in `folder` and its subfolders
// that has an address line, as records with order kUnknownOrder. Found
// order: within each folder, entries by name (byte order), a subfolder's
// favourites where the subfolder's name falls. Unreadable files and
// subfolders are skipped; symbolic links to folders are not followed (no
// loops). A missing folder gives none. A set `stop` ends the scan early
// with what was found so far.
std::vector<FavoriteRecord> ScanFavoritesFolder(const std::filesystem::path& folder,
                                                const std::atomic<bool>* stop = nullptr);

// Sorts by folder, then title (byte comparison); stable.
void SortByFolderAndTitle(std::vector<FavoriteRecord>& records);

// Sorts by folder, then order (ascending); stable, so favourites of equal
// order keep their found order.
void SortByFolderAndOrder(std::vector<FavoriteRecord>& records);

// The folders the records live in, each preceded by its parents, in the
// order the records first need them; the top level ("") is not listed.
std::vector<std::string> FolderStructure(const std::vector<FavoriteRecord>& records);

// Reads the "Order" value of a folder ('/'-separated, "" for the top
// level); empty when there is none.
using OrderReader = std::function<std::vector<uint8_t>(const std::string& folder)>;

// Gives each record the order that its folder's saved value names for it
// (matching folder and title); others keep their order.
void ApplySavedOrder(std::vector<FavoriteRecord>& records, const OrderReader& read_order,
                     int layout_version = kCurrentLayoutVersion);

// What the loader hands to the window side.
struct FavoritesList {
  std::vector<FavoriteRecord> records;  // index = command id - kFirstCommand
  std::vector<std::string> folders;     // FolderStructure, parents first
};

// The whole load without windows: scan; when `sort_favorites` (the
// "SortFavorites" setting) is 1 sort by title; note the folder structure;
// when it is 0 apply the saved order and sort by it. Other values keep the
// found order.
FavoritesList BuildFavoritesList(const std::filesystem::path& folder, uint32_t sort_favorites,
                                 const OrderReader& read_order,
                                 int layout_version = kCurrentLayoutVersion,
                                 const std::atomic<bool>* stop = nullptr);

// The address of the favourite with command id `command`; empty when the
// id is outside the list.
std::string AddressForCommand(const std::vector<FavoriteRecord>& records, int command);

}  // namespace quarry::favorites

#endif  // QUARRY_APP_FAVORITES_FAVORITES_LIST_H_
