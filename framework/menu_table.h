// Menus as tables in code. A command's id travels with its QAction (in
// QAction::data()) so that whoever receives the triggered action can route
// it by number, as toolbars, accelerators and menus all do.

#ifndef QUARRY_FRAMEWORK_MENU_TABLE_H_
#define QUARRY_FRAMEWORK_MENU_TABLE_H_

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <vector>

namespace quarry {

enum class MenuItemKind { kCommand, kSeparator, kPopup };

// One entry of a menu table. Texts carry "&" mnemonics.
struct MenuItemEntry {
  MenuItemKind kind = MenuItemKind::kSeparator;
  int id = 0;
  QString text;
  std::vector<MenuItemEntry> items;  // a pop-up's entries
  bool checkable = false;
};

inline MenuItemEntry MenuCommand(int id, const QString& text,
                                bool checkable = false) {
  return {MenuItemKind::kCommand, id, text, {}, checkable};
}
inline MenuItemEntry MenuSeparator() { return {}; }
inline MenuItemEntry MenuPopup(const QString& text,
                              std::vector<MenuItemEntry> items) {
  return {MenuItemKind::kPopup, 0, text, std::move(items), false};
}

// The id a command action carries; 0 for actions without one.
int CommandIdOf(const QAction* action);

// A new action for command `id`: the text, the id in data(), object name
// "cmd<ID>", and the string table's prompt (status tip) and tool tip for
// the id where it has them. `parent` owns it.
QAction* MakeCommandAction(int id, const QString& text, QObject* parent);

// Appends the entries to `menu`, which owns the actions and sub-menus.
void AppendMenuItems(QMenu* menu, const std::vector<MenuItemEntry>& items);

// A new menu titled `title` holding `items`; `parent` owns it.
QMenu* BuildMenu(const QString& title, const std::vector<MenuItemEntry>& items,
                 QWidget* parent);

// Appends a bar's entries: pop-ups become its menus, commands plain
// entries. The bar owns what is made.
void FillMenuBar(QMenuBar* bar, const std::vector<MenuItemEntry>& items);

// The first action with command `id` among the actions of `root` and,
// depth first, of the menus they open; null when none.
QAction* FindCommandAction(const QWidget* root, int id);

// The pop-up menu of `root` whose title, without mnemonic marks, is
// `title` (e.g. "Favorites"); null when none.
QMenu* FindPopup(const QWidget* root, const QString& title);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_MENU_TABLE_H_
