// CFavoritesBuilder: loads the user's favourites on a worker thread and
// fills the "Favorites" menu and/or the favourites tree with them on the
// user-interface thread, then tells the main view.

#ifndef QUARRY_APP_FAVORITES_FAVORITES_BUILDER_H_
#define QUARRY_APP_FAVORITES_FAVORITES_BUILDER_H_

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTreeWidget>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/favorites/favorites_list.h"
#include "platform/settings_store.h"
#include "platform/window_message.h"

namespace quarry {

// One per main view, living on the user-interface thread. The saved
// order is read from `store`, which must outlive the builder.
class CFavoritesBuilder : public QObject {
  Q_OBJECT

 public:
  // Tree items carry their command id in column 0 under this role.
  static constexpr int kCommandRole = Qt::UserRole;
  // Object name of the disabled stand-in entry that an empty "Favorites"
  // menu shows; the builder removes it once it adds entries.
  static constexpr char kEmptyMenuEntryName[] = "favoritesEmpty";

  explicit CFavoritesBuilder(platform::SettingsStore& store, QObject* parent = nullptr);
  // Asks a running loader to stop and waits for it; nothing is filled
  // after that.
  ~CFavoritesBuilder() override;

  CFavoritesBuilder(const CFavoritesBuilder&) = delete;
  CFavoritesBuilder& operator=(const CFavoritesBuilder&) = delete;

  // The folder to load from; favorites::DefaultFavoritesFolder() unless set.
  void SetFolder(std::filesystem::path folder) { folder_ = std::move(folder); }
  const std::filesystem::path& Folder() const { return folder_; }

  // The "SortFavorites" setting: 1 by title, 0 by the saved order.
  void SetSortFavorites(uint32_t sort) { sort_ = sort; }
  // The layout of the saved order's long names (favorites::ParseMenuOrder).
  void SetLayoutVersion(int version) { layout_version_ = version; }

  // Icons of the favourite entries and of the tree's folder nodes.
  void SetItemIcon(const QIcon& icon) { item_icon_ = icon; }
  void SetFolderIcon(const QIcon& icon) { folder_icon_ = icon; }

  // Starts loading. When done, fills `menu` (null: no menu) and `tree`
  // (null: no tree) on this object's thread, emits loaded() and posts
  // WM_FAVORITES_LOADED (wParam 0) to `notify` when it names a window.
  // A menu or tree destroyed meanwhile is skipped. The menu gets a
  // submenu per folder ("&" doubled) and at most kMaxMenuFavorites
  // entries; the tree gets every favourite. False, doing nothing, when a
  // load has already been started.
  bool Load(QMenu* menu, QTreeWidget* tree,
            platform::WindowHandle notify = platform::kNoWindow);

  // True once the menu and tree have been filled.
  bool IsLoaded() const { return loaded_; }

  // The address of the favourite with command id `command`; empty when
  // there is none (or before loading finished).
  std::string AddressOf(int command) const;

  // The records in command-id order; empty until loaded.
  const std::vector<favorites::FavoriteRecord>& Records() const { return records_; }

  // The submenu and tree node made for `folder` ('/'-separated); null when
  // none was made.
  QMenu* FolderMenu(const std::string& folder) const;
  QTreeWidgetItem* FolderNode(const std::string& folder) const;

 signals:
  // The menu and tree are filled; `count` favourites were found.
  void loaded(int count);

 private:
  void Fill(const favorites::FavoritesList& list);

  platform::SettingsStore& store_;
  std::filesystem::path folder_;
  uint32_t sort_ = 0;
  int layout_version_ = favorites::kCurrentLayoutVersion;
  QIcon item_icon_;
  QIcon folder_icon_;

  QPointer<QMenu> menu_;
  QPointer<QTreeWidget> tree_;
  platform::WindowHandle notify_ = platform::kNoWindow;
  std::vector<favorites::FavoriteRecord> records_;
  std::map<std::string, QPointer<QMenu>> folder_menus_;
  std::map<std::string, QTreeWidgetItem*> folder_nodes_;
  bool started_ = false;
  bool loaded_ = false;

  std::atomic<bool> stop_{false};
  std::thread loader_;
};

}  // namespace quarry

#endif  // QUARRY_APP_FAVORITES_FAVORITES_BUILDER_H_
