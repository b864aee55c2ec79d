#include "framework/menu_table.h"

#include <gtest/gtest.h>

#include <QMenuBar>
#include <utility>
#include <vector>

#include "framework/command_ids.h"
#include "framework/menu_resources.h"

namespace quarry {
namespace {

// (id, text) of each entry; separators as (0, "-"), sub-menus as
// (-1, title).
std::vector<std::pair<int, QString>> Entries(const QWidget* menu) {
  std::vector<std::pair<int, QString>> out;
  for (const QAction* a : menu->actions()) {
    if (a->isSeparator()) {
      out.emplace_back(0, "-");
    } else if (a->menu<QMenu*>() != nullptr) {
      out.emplace_back(-1, a->text());
    } else {
      out.emplace_back(CommandIdOf(a), a->text());
    }
  }
  return out;
}

using Entry = std::pair<int, QString>;

TEST(MenuTableTest, BuildsEntriesInTableOrderWithTheirIds) {
  QWidget owner;
  QMenu* menu = BuildMenu("&Tools",
                          {MenuCommand(1, "&One"), MenuSeparator(),
                           MenuCommand(2, "&Two", true),
                           MenuPopup("&More", {MenuCommand(3, "Three")})},
                          &owner);
  EXPECT_EQ(menu->parent(), &owner);
  EXPECT_EQ(menu->title(), "&Tools");
  EXPECT_EQ(menu->accessibleName(), "Tools");
  EXPECT_EQ(Entries(menu), (std::vector<Entry>{
                               {1, "&One"}, {0, "-"}, {2, "&Two"}, {-1, "&More"}}));
  EXPECT_FALSE(FindCommandAction(menu, 1)->isCheckable());
  EXPECT_TRUE(FindCommandAction(menu, 2)->isCheckable());
  // Found through the sub-menu, and known by its object name too.
  QAction* three = FindCommandAction(menu, 3);
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(three->text(), "Three");
  EXPECT_EQ(three->objectName(), "cmd3");
  EXPECT_EQ(FindCommandAction(menu, 4), nullptr);
  EXPECT_EQ(FindPopup(menu, "More"), three->parent());
}

TEST(MenuTableTest, CommandActionsTakeTipsFromTheStringTable) {
  QObject owner;
  QAction* web = MakeCommandAction(cmd::kWebBrowser, "Web Browser", &owner);
  EXPECT_EQ(CommandIdOf(web), cmd::kWebBrowser);
  EXPECT_EQ(web->toolTip(), "Web Browser");
  EXPECT_FALSE(web->statusTip().isEmpty());
  QAction* unknown = MakeCommandAction(4242, "Odd", &owner);
  EXPECT_TRUE(unknown->statusTip().isEmpty());

  QAction plain("plain");
  EXPECT_EQ(CommandIdOf(&plain), 0);
  EXPECT_EQ(CommandIdOf(nullptr), 0);
}

TEST(MenuTableTest, MainMenuBarHasTheProgramsMenus) {
  QMenuBar bar;
  FillMenuBar(&bar, MenuResource(cmd::kMenuMainFrame));
  EXPECT_EQ(Entries(&bar), (std::vector<Entry>{
                               {-1, "&Favorites"}, {-1, "&View"}, {-1, "&Help"}}));
  EXPECT_EQ(Entries(FindPopup(&bar, "Favorites")),
            (std::vector<Entry>{{32769, "Links"}}));
  QMenu* view = FindPopup(&bar, "View");
  EXPECT_EQ(Entries(view), (std::vector<Entry>{{59392, "&Toolbar"},
                                               {59393, "&Status Bar"}}));
  EXPECT_TRUE(FindCommandAction(view, 59392)->isCheckable());
  EXPECT_EQ(Entries(FindPopup(&bar, "Help")),
            (std::vector<Entry>{{57667, "&Help Topics"},
                                {0, "-"},
                                {38015, "&Check for Updates"},
                                {38012, "&Zandor Tech Online"},
                                {38011, "&Online FAQ"},
                                {0, "-"},
                                {38009, "Current &Issues"},
                                {38014, "Report a &Bug..."},
                                {38010, "&Make a Suggestion..."},
                                {0, "-"},
                                {57664, "&About Quarry..."}}));
}

TEST(MenuTableTest, SystemAndTrayMenus) {
  QWidget owner;
  EXPECT_EQ(Entries(BuildMenu("", MenuResource(cmd::kMenuSystem), &owner)),
            (std::vector<Entry>{{61728, "Restore"},
                                {61472, "Minimize"},
                                {61488, "Maximize"},
                                {0, "-"},
                                {57664, "About Quarry..."},
                                {0, "-"},
                                {57665, "Exit"}}));
  EXPECT_EQ(Entries(BuildMenu("", MenuResource(cmd::kMenuTray), &owner)),
            (std::vector<Entry>{{57664, "About Quarry..."},
                                {38043, "Restore"},
                                {57665, "Exit"}}));
  EXPECT_TRUE(MenuResource(1234).empty());
}

}  // namespace
}  // namespace quarry
