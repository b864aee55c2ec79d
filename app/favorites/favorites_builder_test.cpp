#include "app/favorites/favorites_builder.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/favorites/favorites_test_util.h"
#include "framework/menu_table.h"
#include "platform/window_message.h"

namespace quarry {
namespace {

using favorites::testing::TempDir;
using favorites::testing::WriteShortcut;

class FavoritesBuilderTest : public ::testing::Test {
 protected:
  FavoritesBuilderTest() : store_((store_dir_.path() / "store.db").string()) {
    builder_ = std::make_unique<CFavoritesBuilder>(store_);
    builder_->SetFolder(folder_.path());
  }

  // Loads into `menu` and `tree` and waits (bounded) for the fill.
  void LoadAndWait(QMenu* menu, QTreeWidget* tree, platform::WindowHandle notify = 0) {
    QSignalSpy spy(builder_.get(), &CFavoritesBuilder::loaded);
    ASSERT_TRUE(builder_->Load(menu, tree, notify));
    ASSERT_TRUE(spy.wait(10000));
    ASSERT_TRUE(builder_->IsLoaded());
  }

  TempDir store_dir_;
  TempDir folder_;
  platform::SettingsStore store_;
  std::unique_ptr<CFavoritesBuilder> builder_;
};

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << a->text();
  return texts;
}

TEST_F(FavoritesBuilderTest, FillsMenuAndTreeWithFoldersFirst) {
  WriteShortcut(folder_.path(), "Zed.url", "http://zed/");
  WriteShortcut(folder_.path(), "Salt & Pepper.url", "http://sp/");
  WriteShortcut(folder_.path(), "R & D/Labs/Lab.url", "http://lab/");
  builder_->SetSortFavorites(1);

  QMenu menu;
  menu.addAction(QStringLiteral("(No favorites)"))
      ->setObjectName(CFavoritesBuilder::kEmptyMenuEntryName);
  QTreeWidget tree;
  int loaded_messages = 0;
  platform::MessageWindow counter([&](uint32_t message, uintptr_t, intptr_t) {
    if (message == platform::WM_FAVORITES_LOADED) ++loaded_messages;
    return 0;
  });
  LoadAndWait(&menu, &tree, counter.Handle());

  // Menu: the folder's submenu, then the favourites; "&" shown literally.
  EXPECT_EQ(MenuTexts(&menu),
            (QStringList{"R && D", "Salt && Pepper", "Zed"}));
  ASSERT_NE(builder_->FolderMenu("R & D"), nullptr);
  ASSERT_NE(builder_->FolderMenu("R & D/Labs"), nullptr);
  EXPECT_EQ(MenuTexts(builder_->FolderMenu("R & D/Labs")), QStringList{"Lab"});
  const QAction* lab = builder_->FolderMenu("R & D/Labs")->actions().value(0);
  ASSERT_NE(lab, nullptr);
  EXPECT_EQ(builder_->AddressOf(CommandIdOf(lab)), "http://lab/");

  // Tree: same structure, titles without menu doubling, ids as data.
  ASSERT_EQ(tree.topLevelItemCount(), 3);
  EXPECT_EQ(tree.topLevelItem(0)->text(0), "R & D");
  EXPECT_EQ(tree.topLevelItem(1)->text(0), "Salt & Pepper");
  const int id = tree.topLevelItem(1)->data(0, CFavoritesBuilder::kCommandRole).toInt();
  EXPECT_EQ(builder_->AddressOf(id), "http://sp/");
  QTreeWidgetItem* labs = tree.topLevelItem(0)->child(0);
  ASSERT_NE(labs, nullptr);
  EXPECT_EQ(labs->text(0), "Labs");
  ASSERT_EQ(labs->childCount(), 1);
  EXPECT_EQ(labs->child(0)->text(0), "Lab");

  QTest::qWait(50);  // the posted message
  EXPECT_EQ(loaded_messages, 1);
  EXPECT_FALSE(builder_->Load(&menu, &tree));  // once only
}

TEST_F(FavoritesBuilderTest, FillModesAndAnEmptyFolder) {
  {
    QTreeWidget tree;
    LoadAndWait(nullptr, &tree);  // tree only, nothing to show
    EXPECT_EQ(tree.topLevelItemCount(), 0);
  }
  builder_ = std::make_unique<CFavoritesBuilder>(store_);
  builder_->SetFolder(folder_.path());
  QMenu menu;
  menu.addAction(QStringLiteral("(No favorites)"))
      ->setObjectName(CFavoritesBuilder::kEmptyMenuEntryName);
  LoadAndWait(&menu, nullptr);
  EXPECT_EQ(MenuTexts(&menu), QStringList{"(No favorites)"});
  EXPECT_EQ(builder_->AddressOf(favorites::kFirstCommand), "");
}

TEST_F(FavoritesBuilderTest, TakesTheSavedOrderFromTheStore) {
  WriteShortcut(folder_.path(), "a.url", "http://a/");
  WriteShortcut(folder_.path(), "b.url", "http://b/");
  WriteShortcut(folder_.path(), "c.url", "http://c/");
  const auto value = favorites::testing::Value({favorites::testing::Entry(1, "A.URL", u"a.url", 6),
                                                favorites::testing::Entry(0, "B.URL", u"b.url", 6)});
  ASSERT_TRUE(store_.SetBinary(favorites::MenuOrderKey(""), "Order", value));
  builder_->SetSortFavorites(0);
  QMenu menu;
  LoadAndWait(&menu, nullptr);
  EXPECT_EQ(MenuTexts(&menu), (QStringList{"c", "b", "a"}));
  EXPECT_EQ(CommandIdOf(menu.actions()[0]), favorites::kFirstCommand);
}

// Ids past 38000 would be taken for the Help menu's commands: the menu
// stops at 2001 favourites, the tree shows them all.
TEST_F(FavoritesBuilderTest, MenuStopsAtTheLastFavoriteCommand) {
  const int total = favorites::kMaxMenuFavorites + 2;
  for (int i = 0; i < total; ++i) {
    char name[32];
    snprintf(name, sizeof name, "f%05d.url", i);
    WriteShortcut(folder_.path(), name, "http://h/" + std::to_string(i));
  }
  builder_->SetSortFavorites(1);
  QMenu menu;
  QTreeWidget tree;
  LoadAndWait(&menu, &tree);
  EXPECT_EQ(menu.actions().size(), favorites::kMaxMenuFavorites);
  EXPECT_EQ(CommandIdOf(menu.actions().back()), favorites::kLastCommand);
  EXPECT_EQ(tree.topLevelItemCount(), total);
  EXPECT_EQ(builder_->AddressOf(favorites::kLastCommand + 2),
            "http://h/" + std::to_string(total - 1));
}

TEST_F(FavoritesBuilderTest, DestroyingWhileLoadingIsSafe) {
  for (int i = 0; i < 200; ++i) {
    WriteShortcut(folder_.path(), "d" + std::to_string(i) + ".url", "http://d/");
  }
  auto menu = std::make_unique<QMenu>();
  ASSERT_TRUE(builder_->Load(menu.get(), nullptr));
  menu.reset();  // the menu may go first
  builder_.reset();
  QTest::qWait(50);  // nothing queued may run now
}

}  // namespace
}  // namespace quarry
