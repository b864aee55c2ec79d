#include "app/favorites/favorites_list.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include "app/favorites/url_shortcut.h"

namespace quarry::favorites {

namespace fs = std::filesystem;

namespace {

bool HasUrlExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".url";
}

void ScanInto(const fs::path& dir, const std::string& relative, int depth,
              const std::atomic<bool>* stop, std::vector<FavoriteRecord>& out) {
  // Deep enough for any real tree; a bound keeps odd file systems finite.
  constexpr int kMaxDepth = 64;
  if (depth > kMaxDepth) return;
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    entries.push_back(*it);
  }
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) {
              return a.path().filename().string() < b.path().filename().string();
            });
  for (const fs::directory_entry& entry : entries) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
    const std::string name = entry.path().filename().string();
    if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
      ScanInto(entry.path(), relative.empty() ? name : relative + "/" + name, depth + 1, stop,
               out);
      continue;
    }
    if (!entry.is_regular_file(ec) || !HasUrlExtension(entry.path())) continue;
    std::optional<std::string> address = ReadShortcutAddress(entry.path());
    if (!address) continue;
    FavoriteRecord record;
    record.folder = relative;
    record.title = DoubleAmpersands(entry.path().stem().string());
    record.address = std::move(*address);
    out.push_back(std::move(record));
  }
}

}  // namespace

fs::path DefaultFavoritesFolder() {
  if (const char* custom = std::getenv("QUARRY_FAVORITES_DIR"); custom && *custom) {
    return custom;
  }
  fs::path data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    data = fs::path(home) / ".local" / "share";
  } else {
    data = fs::temp_directory_path();
  }
  return data / "quarry" / "Favorites";
}

std::vector<FavoriteRecord> ScanFavoritesFolder(const fs::path& folder,
                                                const std::atomic<bool>* stop) {
  std::vector<FavoriteRecord> records;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return records;
  ScanInto(folder, "", 0, stop, records);
  return records;
}

void SortByFolderAndTitle(std::vector<FavoriteRecord>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const FavoriteRecord& a, const FavoriteRecord& b) {
                     return std::tie(a.folder, a.title) < std::tie(b.folder, b.title);
                   });
}

void SortByFolderAndOrder(std::vector<FavoriteRecord>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const FavoriteRecord& a, const FavoriteRecord& b) {
                     return std::tie(a.folder, a.order) < std::tie(b.folder, b.order);
                   });
}

std::vector<std::string> FolderStructure(const std::vector<FavoriteRecord>& records) {
  std::vector<std::string> folders;
  std::set<std::string> known;
  for (const FavoriteRecord& record : records) {
    if (record.folder.empty() || known.count(record.folder)) continue;
    // Parents first: every prefix ending before a '/'.
    for (size_t slash = record.folder.find('/'); ; slash = record.folder.find('/', slash + 1)) {
      const std::string prefix = record.folder.substr(0, slash);
      if (known.insert(prefix).second) folders.push_back(prefix);
      if (slash == std::string::npos) break;
    }
  }
  return folders;
}

void ApplySavedOrder(std::vector<FavoriteRecord>& records, const OrderReader& read_order,
                     int layout_version) {
  if (!read_order) return;
  std::map<std::string, std::vector<FavoriteRecord*>> by_folder;
  for (FavoriteRecord& record : records) by_folder[record.folder].push_back(&record);
  for (auto& [folder, members] : by_folder) {
    const std::vector<uint8_t> value = read_order(folder);
    for (const MenuOrderEntry& entry : ParseMenuOrder(value, layout_version)) {
      for (FavoriteRecord* record : members) {
        if (record->title == entry.title) record->order = entry.order;
      }
    }
  }
}

FavoritesList BuildFavoritesList(const fs::path& folder, uint32_t sort_favorites,
                                 const OrderReader& read_order, int layout_version,
                                 const std::atomic<bool>* stop) {
  FavoritesList list;
  list.records = ScanFavoritesFolder(folder, stop);
  if (sort_favorites == 1) SortByFolderAndTitle(list.records);
  list.folders = FolderStructure(list.records);
  if (sort_favorites == 0) {
    ApplySavedOrder(list.records, read_order, layout_version);
    SortByFolderAndOrder(list.records);
  }
  return list;
}

std::string AddressForCommand(const std::vector<FavoriteRecord>& records, int command) {
  if (command < kFirstCommand) return {};
  const size_t index = static_cast<size_t>(command - kFirstCommand);
  return index < records.size() ? records[index].address : std::string();
}

}  // namespace quarry::favorites
