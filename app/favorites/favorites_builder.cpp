#include "app/favorites/favorites_builder.h"

#include "fault/fault_capture.h"

#include <QAction>
#include <QMetaObject>
#include <QString>

#include "framework/menu_table.h"

namespace quarry {

using favorites::FavoriteRecord;
using favorites::FavoritesList;

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// The folder's parent ("" for a top-level folder) and its own name.
std::pair<std::string, std::string> SplitFolder(const std::string& folder) {
  const size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return {std::string(), folder};
  return {folder.substr(0, slash), folder.substr(slash + 1)};
}

void RemoveEmptyEntry(QMenu* menu) {
  for (QAction* action : menu->actions()) {
    if (action->objectName() == QLatin1String(CFavoritesBuilder::kEmptyMenuEntryName)) {
      menu->removeAction(action);
      delete action;
    }
  }
}

}  // namespace

CFavoritesBuilder::CFavoritesBuilder(platform::SettingsStore& store, QObject* parent)
    : QObject(parent), store_(store), folder_(favorites::DefaultFavoritesFolder()) {}

CFavoritesBuilder::~CFavoritesBuilder() {
  stop_.store(true);
  if (loader_.joinable()) loader_.join();
}

bool CFavoritesBuilder::Load(QMenu* menu, QTreeWidget* tree, platform::WindowHandle notify) {
  if (started_) return false;
  started_ = true;
  menu_ = menu;
  tree_ = tree;
  notify_ = notify;
  loader_ = std::thread([this, folder = folder_, sort = sort_, version = layout_version_] {
    FaultGuard guard("Favorites Menu (Add Favorites Process)");
    platform::SettingsStore& store = store_;
    auto list = std::make_shared<FavoritesList>(favorites::BuildFavoritesList(
        folder, sort,
        [&store](const std::string& sub) {
          return store.GetBinary(favorites::MenuOrderKey(sub), favorites::kMenuOrderValue);
        },
        version, &stop_));
    if (stop_.load()) return;
    // Widgets belong to the user-interface thread: hand the list over. A
    // builder destroyed before this runs joins first, so `this` is alive
    // here, and Qt drops calls queued for a destroyed object.
    QMetaObject::invokeMethod(this, [this, list] { Fill(*list); }, Qt::QueuedConnection);
  });
  return true;
}

void CFavoritesBuilder::Fill(const FavoritesList& list) {
  records_ = list.records;
  const bool has_entries = !records_.empty();
  if (menu_ && has_entries) RemoveEmptyEntry(menu_);

  for (const std::string& folder : list.folders) {
    const auto [parent, name] = SplitFolder(folder);
    if (menu_) {
      QMenu* parent_menu = parent.empty() ? menu_.data() : folder_menus_[parent].data();
      if (parent_menu != nullptr) {
        QMenu* sub = parent_menu->addMenu(FromUtf8(favorites::DoubleAmpersands(name)));
        if (!folder_icon_.isNull()) sub->setIcon(folder_icon_);
        folder_menus_[folder] = sub;
      }
    }
    if (tree_) {
      auto* node = parent.empty() ? new QTreeWidgetItem(tree_.data())
                                  : new QTreeWidgetItem(folder_nodes_[parent]);
      node->setText(0, FromUtf8(name));
      node->setData(0, kCommandRole, 0);
      if (!folder_icon_.isNull()) node->setIcon(0, folder_icon_);
      folder_nodes_[folder] = node;
    }
  }

  for (size_t i = 0; i < records_.size(); ++i) {
    const FavoriteRecord& record = records_[i];
    const int command = favorites::kFirstCommand + static_cast<int>(i);
    if (menu_ && i < static_cast<size_t>(favorites::kMaxMenuFavorites)) {
      QMenu* target = record.folder.empty() ? menu_.data() : FolderMenu(record.folder);
      if (target != nullptr) {
        QAction* action = MakeCommandAction(command, FromUtf8(record.title), target);
        if (!item_icon_.isNull()) action->setIcon(item_icon_);
        target->addAction(action);
      }
    }
    if (tree_) {
      QTreeWidgetItem* parent = record.folder.empty() ? nullptr : FolderNode(record.folder);
      auto* item = parent != nullptr ? new QTreeWidgetItem(parent)
                                     : new QTreeWidgetItem(tree_.data());
      // Trees show text literally: the title without menu doubling.
      item->setText(0, FromUtf8(favorites::UndoubleAmpersands(record.title)));
      item->setData(0, kCommandRole, command);
      if (!item_icon_.isNull()) item->setIcon(0, item_icon_);
    }
  }

  loaded_ = true;
  emit loaded(static_cast<int>(records_.size()));
  if (notify_ != platform::kNoWindow) {
    platform::PostMessage(notify_, platform::WM_FAVORITES_LOADED, 0, 0);
  }
}

std::string CFavoritesBuilder::AddressOf(int command) const {
  return favorites::AddressForCommand(records_, command);
}

QMenu* CFavoritesBuilder::FolderMenu(const std::string& folder) const {
  auto it = folder_menus_.find(folder);
  return it == folder_menus_.end() ? nullptr : it->second.data();
}

QTreeWidgetItem* CFavoritesBuilder::FolderNode(const std::string& folder) const {
  auto it = folder_nodes_.find(folder);
  return it == folder_nodes_.end() ? nullptr : it->second;
}

}  // namespace quarry
