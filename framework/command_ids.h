// Command ids shared by menus, toolbars, accelerators and the frame. The
// numbers are the ones stored tables and peers use; keep them.

#ifndef QUARRY_FRAMEWORK_COMMAND_IDS_H_
#define QUARRY_FRAMEWORK_COMMAND_IDS_H_

namespace quarry::cmd {

// The main program's own commands.
inline constexpr int kFavoritesPlaceholder = 32769;
inline constexpr int kConfigurations = 32775;
inline constexpr int kTableResults = 32776;
inline constexpr int kWebBrowser = 32777;
inline constexpr int kFavoriteFirst = 36000;
inline constexpr int kFavoriteLast = 38000;
inline constexpr int kCurrentIssues = 38009;
inline constexpr int kMakeSuggestion = 38010;
inline constexpr int kOnlineFaq = 38011;
inline constexpr int kCompanySite = 38012;
inline constexpr int kReportBug = 38014;
inline constexpr int kCheckForUpdates = 38015;
inline constexpr int kTrayRestore = 38043;

// Standard application commands.
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditUndo = 57643;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kHelpFinder = 57667;  // "Help Topics"
inline constexpr int kContextHelp = 57669;
inline constexpr int kHelp = 57670;
inline constexpr int kDefaultHelp = 57671;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;

// System commands of the frame window.
inline constexpr int kScMinimize = 61472;
inline constexpr int kScMaximize = 61488;
inline constexpr int kScRestore = 61728;

// Resource ids of the menus kept as tables (menu_resources.h).
inline constexpr int kMenuMainFrame = 950;
inline constexpr int kMenuSystem = 953;
inline constexpr int kMenuTray = 954;

}  // namespace quarry::cmd

#endif  // QUARRY_FRAMEWORK_COMMAND_IDS_H_
