#include "framework/menu_table.h"

#include "framework/dialog_template.h"
#include "framework/string_table.h"

namespace quarry {

namespace {

QMenu* SubMenuOf(const QAction* action) { return action->menu<QMenu*>(); }

}  // namespace

int CommandIdOf(const QAction* action) {
  if (action == nullptr) return 0;
  bool ok = false;
  const int id = action->data().toInt(&ok);
  return ok ? id : 0;
}

QAction* MakeCommandAction(int id, const QString& text, QObject* parent) {
  auto* action = new QAction(text, parent);
  action->setData(id);
  action->setObjectName(QStringLiteral("cmd%1").arg(id));
  if (StringTable::Has(id)) {
    action->setStatusTip(StringTable::Prompt(id));
    const QString tip = StringTable::ToolTip(id);
    if (!tip.isEmpty()) action->setToolTip(tip);
  }
  return action;
}

void AppendMenuItems(QMenu* menu, const std::vector<MenuItemEntry>& items) {
  for (const MenuItemEntry& item : items) {
    switch (item.kind) {
      case MenuItemKind::kSeparator:
        menu->addSeparator();
        break;
      case MenuItemKind::kCommand: {
        QAction* action = MakeCommandAction(item.id, item.text, menu);
        action->setCheckable(item.checkable);
        menu->addAction(action);
        break;
      }
      case MenuItemKind::kPopup:
        menu->addMenu(BuildMenu(item.text, item.items, menu));
        break;
    }
  }
}

QMenu* BuildMenu(const QString& title, const std::vector<MenuItemEntry>& items,
                 QWidget* parent) {
  auto* menu = new QMenu(title, parent);
  const QString name = StripMnemonic(title);
  if (!name.isEmpty()) {
    menu->setObjectName(QStringLiteral("menu") + name);
    menu->setAccessibleName(name);
  }
  AppendMenuItems(menu, items);
  return menu;
}

void FillMenuBar(QMenuBar* bar, const std::vector<MenuItemEntry>& items) {
  for (const MenuItemEntry& item : items) {
    switch (item.kind) {
      case MenuItemKind::kSeparator:
        bar->addSeparator();
        break;
      case MenuItemKind::kCommand: {
        QAction* action = MakeCommandAction(item.id, item.text, bar);
        action->setCheckable(item.checkable);
        bar->addAction(action);
        break;
      }
      case MenuItemKind::kPopup:
        bar->addMenu(BuildMenu(item.text, item.items, bar));
        break;
    }
  }
}

QAction* FindCommandAction(const QWidget* root, int id) {
  if (root == nullptr) return nullptr;
  for (QAction* action : root->actions()) {
    if (CommandIdOf(action) == id && !action->isSeparator()) return action;
    if (QMenu* sub = SubMenuOf(action); sub != nullptr && sub != root) {
      if (QAction* found = FindCommandAction(sub, id)) return found;
    }
  }
  return nullptr;
}

QMenu* FindPopup(const QWidget* root, const QString& title) {
  if (root == nullptr) return nullptr;
  for (QAction* action : root->actions()) {
    QMenu* sub = SubMenuOf(action);
    if (sub != nullptr && StripMnemonic(sub->title()) == title) return sub;
  }
  return nullptr;
}

}  // namespace quarry
