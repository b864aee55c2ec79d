// CMainFrame: the main program's top-level window. Around the main view it
// puts the toolbar that switches the three sub-views, the menu bar, the
// status bar and the notification-area icon; it keeps the window's minimum
// size and its saved place, hides into the notification area when
// minimised (where there is one), and opens the help pages.

#ifndef QUARRY_APP_MAIN_FRAME_H_
#define QUARRY_APP_MAIN_FRAME_H_

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "framework/window_placement.h"
#include "framework/zt_frame_wnd.h"
#include "platform/window_message.h"

class QActionGroup;
class QCloseEvent;
class QShowEvent;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;

namespace quarry {

class CAppSettings;
class CQuarryView;
class CRetrievalPrompts;
class CSystemTray;

// Show commands, as ActivateFrame() takes them.
inline constexpr int kShowDefault = -1;
inline constexpr int kShowCmdHide = 0;
inline constexpr int kShowCmdNormal = 1;
inline constexpr int kShowCmdMinimized = 2;
inline constexpr int kShowCmdMaximized = 3;
inline constexpr int kShowCmdShow = 5;
inline constexpr int kShowCmdRestore = 9;

// The profile values of the minimum size, in section "Settings".
inline constexpr char kMinXScreenSizeValue[] = "MinXScreenSize";
inline constexpr char kMinYScreenSizeValue[] = "MinYScreenSize";
inline constexpr int kDefaultMinWidth = 566;
inline constexpr int kDefaultMinHeight = 540;

// The frame's resource ids: toolbar and menu bar 950, icon 600.
inline constexpr int kFrameResourceId = 950;
// Help for the frame as a whole.
inline constexpr uint32_t kHelpContextFrame = 0x20000 + kFrameResourceId;

// Shows `text` in the status bar of the main window that holds `inside`
// (until replaced or cleared); nothing when `inside` is in none.
void ShowStatusMessage(QWidget* inside, const QString& text);
// Clears that status bar's message, but only while it still shows `text`:
// a message someone else put there since stays.
void ClearStatusMessage(QWidget* inside, const QString& text);

struct MainFrameOptions {
  // Whether the desktop has a notification area; empty: ask the desktop.
  std::function<bool()> tray_available;
};

class CMainFrame : public CZtFrameWnd, public platform::MessageWindow {
  Q_OBJECT

 public:
  // A frame reading its settings from `settings` (which must outlive it).
  // Sets up the notification-area icon, hidden, and reads the minimum
  // size. The window itself is built by Create().
  explicit CMainFrame(CAppSettings* settings, MainFrameOptions options = {});
  // Removes the notification-area icon.
  ~CMainFrame() override;

  // Builds the toolbar, status bar, menu bar, accelerators and icon, and
  // gives the frame its first size. False when a bar cannot be made; the
  // frame is then unusable.
  bool Create();

  // Makes `view` (owned by the frame from now on) the frame's client.
  void SetView(CQuarryView* view);
  CQuarryView* View() const { return view_; }

  // Commands the application handles (About); tried after the view and the
  // frame.
  void SetAppCommandHandler(std::function<bool(int id)> handler);

  // The text in the window's caption.
  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }

  // Shows and activates the frame. kShowDefault becomes kShowCmdRestore
  // when the frame is visible and minimised, kShowCmdNormal when it is not
  // visible, and stays as it is otherwise; unless the result is
  // kShowDefault the saved placement is then applied and the frame shown
  // again with the same command.
  void ActivateFrame(int show_cmd = kShowDefault);
  // Shows the frame with `show_cmd` (kShowCmdShow keeps its state).
  void ShowWithCommand(int show_cmd);

  // The frame's placement now. A minimised frame records the state it
  // returns to, so that the next start never begins minimised.
  WindowPlacement CurrentPlacement() const;
  // Writes the placement as "MainWndPos" (section "Settings").
  void SavePlacement();
  // Applies a stored "MainWndPos" of exactly the record's size, kept on a
  // screen; false (nothing changed) for any other stored value.
  bool ApplySavedPlacement();

  QToolBar* FrameToolBar() const { return toolbar_; }
  QStatusBar* FrameStatusBar() const { return status_bar_; }
  CSystemTray* Tray() const { return tray_.get(); }
  // Answers the retrieval library's questions (passwords, failures) over
  // this window; installed for the process while the frame lives.
  CRetrievalPrompts* Prompts() const { return prompts_; }
  QMenu* TrayMenu() const { return tray_menu_; }
  // The status bar's text now, for the fault report.
  QString StatusText() const;

  // The "Favorites" menu: emptied of its placeholder, ready to be filled;
  // or removed from the menu bar altogether.
  void PrepareFavoritesMenu();
  void RemoveFavoritesMenu();
  QMenu* FavoritesMenu() const;

  // Help mode: the next click on a part of the window opens its help.
  void EnterHelpMode();
  // The help context of `widget`: its toolbar command, else the nearest
  // "helpContext" property up its parents, else the frame's.
  uint32_t HelpContextOf(const QWidget* widget) const;

  bool OnCommand(int id) override;
  void OnUpdateCommand(int id, QAction* action) override;

 signals:
  // The frame was closed; the program ends.
  void frameClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  intptr_t WindowProc(uint32_t message, uintptr_t wparam,
                      intptr_t lparam) override;

 private:
  class HelpKeys;

  bool CreateToolBar();
  bool CreateStatusBar();
  void HideIntoTray();
  void RestoreFromTray();
  void OpenHelp(uint32_t context);

  CAppSettings* settings_;
  CQuarryView* view_ = nullptr;
  std::function<bool(int)> app_commands_;
  QString caption_;

  QToolBar* toolbar_ = nullptr;
  QActionGroup* view_actions_ = nullptr;
  QStatusBar* status_bar_ = nullptr;
  QLabel* idle_label_ = nullptr;
  QMenu* tray_menu_ = nullptr;
  std::unique_ptr<CSystemTray> tray_;
  CRetrievalPrompts* prompts_ = nullptr;  // a child of this frame
  HelpKeys* help_keys_ = nullptr;
  bool help_mode_ = false;
  // Whether the frame has been on screen, and whether its place has been
  // saved since it last was.
  bool shown_once_ = false;
  bool placement_saved_ = false;
};

}  // namespace quarry

#endif  // QUARRY_APP_MAIN_FRAME_H_
