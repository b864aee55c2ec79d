// The main program's menus as tables: the menu bar (950), the frame's
// system menu (953) and the notification-area menu (954).

#ifndef QUARRY_FRAMEWORK_MENU_RESOURCES_H_
#define QUARRY_FRAMEWORK_MENU_RESOURCES_H_

#include <vector>

#include "framework/menu_table.h"

namespace quarry {

// The table of menu `id`: for 950 the bar's pop-ups, for 953 and 954 the
// entries of the pop-up that is shown. Empty for an unknown id. The tables
// live for the whole process.
const std::vector<MenuItemEntry>& MenuResource(int id);

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_MENU_RESOURCES_H_
