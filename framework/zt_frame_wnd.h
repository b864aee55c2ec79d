// CZtFrameWnd: the programs' top-level frame. A standard desktop window
// (the window manager draws the caption) that routes every menu, toolbar
// and accelerator command by its numeric id to OnCommand(), offers the
// frame's system menu, keeps a minimum tracking size and carries the
// colour scheme its bars are painted in.

#ifndef QUARRY_FRAMEWORK_ZT_FRAME_WND_H_
#define QUARRY_FRAMEWORK_ZT_FRAME_WND_H_

#include <QKeySequence>
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <vector>

#include "framework/colour/colour_scheme.h"
#include "framework/menu_table.h"

class QAction;
class QMenu;
class QStatusBar;
class QToolBar;

namespace quarry {

// One keyboard accelerator: the key and the command it issues.
struct Accelerator {
  QKeySequence key;
  int id = 0;
};

class CZtFrameWnd : public QMainWindow {
  Q_OBJECT

 public:
  // `system_menu_id` names the table (menu_resources.h) of the menu shown
  // by a right click on the menu bar or a toolbar and by Alt+Space; an id
  // without a table gives no system menu. Installs the desktop's colours
  // as the scheme's system colours.
  explicit CZtFrameWnd(int system_menu_id, QWidget* parent = nullptr);
  ~CZtFrameWnd() override;

  // Handles command `id`; true when handled. The default sends the system
  // commands (restore, minimise, maximise) to OnSysCommand(), closes the
  // window on "Exit" (57665) and shows or hides the first toolbar (59392)
  // and the status bar (59393); everything else is unhandled.
  virtual bool OnCommand(int id);

  // Restore, minimise and maximise as the window manager would; true when
  // `id` was one of them.
  virtual bool OnSysCommand(int id);

  // Gives a command's action a chance to follow the state before its menu
  // opens (check marks, enabling). The default keeps the system menu's
  // entries in line with the window state and the toolbar and status bar
  // check marks in line with the bars' visibility.
  virtual void OnUpdateCommand(int id, QAction* action);

  // Sends `id` to OnCommand(); emits commandUnhandled() when it returns
  // false. Returns OnCommand()'s answer.
  bool DispatchCommand(int id);

  // Routes the actions of `source` (a QMenu, QMenuBar or QToolBar, its
  // sub-menus, and actions added to them later) to DispatchCommand() when
  // they are triggered, and lets OnUpdateCommand() see a menu's actions
  // before it opens. Actions without an id are left alone. Routed actions
  // must not also be connected to handlers of their own, or the command
  // runs twice.
  void RouteCommandsFrom(QWidget* source);

  // Replaces the menu bar's contents with `table` and routes it.
  void LoadMenuBar(const std::vector<MenuItemEntry>& table);

  // Adds window-wide shortcuts that issue their commands. The actions
  // belong to the frame.
  void LoadAccelerators(const std::vector<Accelerator>& table);

  // The first action for `id` in the menu bar, the toolbars or the
  // accelerators; null when none.
  QAction* FindCommand(int id) const;

  // A new system menu, routed to this frame; the caller owns it. Null when
  // the frame has no system menu table.
  QMenu* CreateSystemMenu(QWidget* parent);
  // Pops the system menu up at `global_pos` (non-blocking).
  void ShowSystemMenu(const QPoint& global_pos);

  // The window cannot be made smaller than this (pixels).
  void SetMinTrackSize(const QSize& size);
  QSize MinTrackSize() const { return min_track_size_; }

  // Lays the bars and the central widget out again now.
  virtual void RecalcLayout();
  // Repaints the bars and the central widget in the current scheme,
  // deriving it again (the appearance settings or the desktop colours may
  // have changed).
  virtual void RepaintCaptionAndBars();

  const CColourScheme& ColourScheme() const { return scheme_; }

  // The system menu, in place of the toolbar toggles Qt shows on a right
  // click in the bar area; the caller owns it.
  QMenu* createPopupMenu() override;

 signals:
  // A command that OnCommand() did not handle.
  void commandUnhandled(int id);
  // RepaintCaptionAndBars() derived the scheme again; custom-painted bars
  // take their colours from ColourScheme() now.
  void colourSchemeChanged();

 protected:
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The desktop's colours changed; the default repaints caption and bars.
  virtual void OnSysColorChange();

 private:
  void RouteAction(QAction* action);
  void UpdateMenu(QMenu* menu);
  QToolBar* FirstToolBar() const;
  QStatusBar* ExistingStatusBar() const;

  int system_menu_id_;
  QSize min_track_size_;
  CColourScheme scheme_;
  std::vector<QAction*> accelerators_;
};

}  // namespace quarry

#endif  // QUARRY_FRAMEWORK_ZT_FRAME_WND_H_
