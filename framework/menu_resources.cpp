#include "framework/menu_resources.h"

#include "framework/command_ids.h"

namespace quarry {

namespace {

std::vector<MenuItemEntry> MainFrameMenu() {
  return {
      MenuPopup("&Favorites", {MenuCommand(cmd::kFavoritesPlaceholder, "Links")}),
      MenuPopup("&View", {MenuCommand(cmd::kViewToolbar, "&Toolbar", true),
                          MenuCommand(cmd::kViewStatusBar, "&Status Bar", true)}),
      MenuPopup("&Help",
                {MenuCommand(cmd::kHelpFinder, "&Help Topics"),
                 MenuSeparator(),
                 MenuCommand(cmd::kCheckForUpdates, "&Check for Updates"),
                 MenuCommand(cmd::kCompanySite, "&Zandor Tech Online"),
                 MenuCommand(cmd::kOnlineFaq, "&Online FAQ"),
                 MenuSeparator(),
                 MenuCommand(cmd::kCurrentIssues, "Current &Issues"),
                 MenuCommand(cmd::kReportBug, "Report a &Bug..."),
                 MenuCommand(cmd::kMakeSuggestion, "&Make a Suggestion..."),
                 MenuSeparator(),
                 MenuCommand(cmd::kAppAbout, "&About Quarry...")}),
  };
}

std::vector<MenuItemEntry> SystemMenu() {
  return {
      MenuCommand(cmd::kScRestore, "Restore"),
      MenuCommand(cmd::kScMinimize, "Minimize"),
      MenuCommand(cmd::kScMaximize, "Maximize"),
      MenuSeparator(),
      MenuCommand(cmd::kAppAbout, "About Quarry..."),
      MenuSeparator(),
      MenuCommand(cmd::kAppExit, "Exit"),
  };
}

std::vector<MenuItemEntry> TrayMenu() {
  return {
      MenuCommand(cmd::kAppAbout, "About Quarry..."),
      MenuCommand(cmd::kTrayRestore, "Restore"),
      MenuCommand(cmd::kAppExit, "Exit"),
  };
}

}  // namespace

const std::vector<MenuItemEntry>& MenuResource(int id) {
  // Built on first use and kept: menus are rebuilt from these often.
  static const std::vector<MenuItemEntry> main_frame = MainFrameMenu();
  static const std::vector<MenuItemEntry> system = SystemMenu();
  static const std::vector<MenuItemEntry> tray = TrayMenu();
  static const std::vector<MenuItemEntry> none;
  switch (id) {
    case cmd::kMenuMainFrame:
      return main_frame;
    case cmd::kMenuSystem:
      return system;
    case cmd::kMenuTray:
      return tray;
    default:
      return none;
  }
}

}  // namespace quarry
