#include "framework/zt_frame_wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <vector>

#include "framework/colour/scheme_settings.h"
#include "framework/command_ids.h"
#include "framework/menu_resources.h"
#include "platform/settings_store.h"

namespace quarry {
namespace {

// Handles everything but the ids in `pass_on`, which go to the frame's
// own handling.
class RecordingFrame : public CZtFrameWnd {
 public:
  RecordingFrame() : CZtFrameWnd(cmd::kMenuSystem) {}

  bool OnCommand(int id) override {
    commands.push_back(id);
    if (id >= 1000 && id < 2000) return false;  // "unknown" commands
    if (id == cmd::kAppExit || id == cmd::kViewToolbar ||
        id == cmd::kViewStatusBar || id == cmd::kScMaximize) {
      return CZtFrameWnd::OnCommand(id);
    }
    return true;
  }
  std::vector<int> commands;
};

TEST(ZtFrameWndTest, MenuCommandsReachOnCommandOnceByTheirIds) {
  RecordingFrame frame;
  frame.LoadMenuBar(MenuResource(cmd::kMenuMainFrame));
  QAction* updates = frame.FindCommand(cmd::kCheckForUpdates);
  ASSERT_NE(updates, nullptr);
  updates->trigger();
  frame.FindCommand(cmd::kAppAbout)->trigger();
  EXPECT_EQ(frame.commands,
            (std::vector<int>{cmd::kCheckForUpdates, cmd::kAppAbout}));

  // Routing the same bar again does not double the dispatch.
  frame.RouteCommandsFrom(frame.menuBar());
  frame.commands.clear();
  updates->trigger();
  EXPECT_EQ(frame.commands, (std::vector<int>{cmd::kCheckForUpdates}));
}

TEST(ZtFrameWndTest, ActionsAddedLaterAndToolbarsAreRoutedToo) {
  RecordingFrame frame;
  frame.LoadMenuBar(MenuResource(cmd::kMenuMainFrame));
  // Favourites are filled in after the bar is loaded.
  QMenu* favourites = FindPopup(frame.menuBar(), "Favorites");
  favourites->addAction(MakeCommandAction(36001, "Example", favourites));
  QMenu* folder = favourites->addMenu("Folder");
  folder->addAction(MakeCommandAction(36002, "Nested", folder));
  auto* toolbar = frame.addToolBar("Views");
  toolbar->addAction(MakeCommandAction(cmd::kWebBrowser, "Web Browser", toolbar));
  frame.RouteCommandsFrom(toolbar);
  // An action without an id is none of the frame's business.
  QAction* plain = toolbar->addAction("plain");

  frame.FindCommand(36001)->trigger();
  frame.FindCommand(36002)->trigger();
  frame.FindCommand(cmd::kWebBrowser)->trigger();
  plain->trigger();
  EXPECT_EQ(frame.commands, (std::vector<int>{36001, 36002, cmd::kWebBrowser}));
}

TEST(ZtFrameWndTest, UnhandledCommandsAreAnnounced) {
  RecordingFrame frame;
  QSignalSpy spy(&frame, &CZtFrameWnd::commandUnhandled);
  EXPECT_FALSE(frame.DispatchCommand(1500));
  EXPECT_TRUE(frame.DispatchCommand(cmd::kAppAbout));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 1500);
}

TEST(ZtFrameWndTest, AcceleratorsIssueTheirCommands) {
  RecordingFrame frame;
  frame.LoadAccelerators({{QKeySequence(Qt::Key_F1), cmd::kHelp},
                          {QKeySequence(Qt::SHIFT | Qt::Key_F6), cmd::kPrevPane}});
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame, 2000));
  QTest::keyClick(&frame, Qt::Key_F1);
  QTest::keyClick(&frame, Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_EQ(frame.commands, (std::vector<int>{cmd::kHelp, cmd::kPrevPane}));
  EXPECT_NE(frame.FindCommand(cmd::kPrevPane), nullptr);
}

TEST(ZtFrameWndTest, SystemMenuIsTheFramesTableAndRoutesToIt) {
  RecordingFrame frame;
  frame.show();
  QMenu* menu = frame.CreateSystemMenu(&frame);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->accessibleName(), "System menu");
  std::vector<int> ids;
  for (QAction* a : menu->actions()) ids.push_back(CommandIdOf(a));
  EXPECT_EQ(ids, (std::vector<int>{61728, 61472, 61488, 0, 57664, 0, 57665}));

  // Before it opens, the entries follow the window state.
  emit menu->aboutToShow();
  EXPECT_FALSE(FindCommandAction(menu, cmd::kScRestore)->isEnabled());
  EXPECT_TRUE(FindCommandAction(menu, cmd::kScMaximize)->isEnabled());

  FindCommandAction(menu, cmd::kAppAbout)->trigger();
  EXPECT_EQ(frame.commands, (std::vector<int>{cmd::kAppAbout}));

  // The right-click menu of the bar area is the same menu.
  QMenu* popup = frame.createPopupMenu();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->actions().size(), menu->actions().size());
  delete popup;
  delete menu;

  // A frame without a system menu table offers none.
  CZtFrameWnd bare(0);
  EXPECT_EQ(bare.CreateSystemMenu(&bare), nullptr);
}

// The open pop-up menu, closed and returned for inspection; null if none.
QMenu* TakeOpenPopup() {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (menu != nullptr) menu->close();
  return menu;
}

TEST(ZtFrameWndTest, SystemMenuOpensFromKeyboardAndBarArea) {
  RecordingFrame frame;
  frame.LoadMenuBar(MenuResource(cmd::kMenuMainFrame));
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame, 2000));

  QTest::keyClick(&frame, Qt::Key_Space, Qt::AltModifier);
  QMenu* from_key = TakeOpenPopup();
  ASSERT_NE(from_key, nullptr);
  EXPECT_EQ(from_key->objectName(), "systemMenu");

  // A right click on the menu bar reaches the frame.
  QMenuBar* bar = frame.menuBar();
  const QPoint spot(bar->width() - 5, bar->height() / 2);
  QContextMenuEvent click(QContextMenuEvent::Mouse, spot, bar->mapToGlobal(spot));
  QApplication::sendEvent(bar, &click);
  QMenu* from_click = TakeOpenPopup();
  ASSERT_NE(from_click, nullptr);
  EXPECT_EQ(from_click->objectName(), "systemMenu");
}

TEST(ZtFrameWndTest, ExitClosesTheFrame) {
  RecordingFrame frame;
  frame.show();
  ASSERT_TRUE(frame.isVisible());
  QMenu* menu = frame.CreateSystemMenu(&frame);
  FindCommandAction(menu, cmd::kAppExit)->trigger();
  EXPECT_FALSE(frame.isVisible());
}

TEST(ZtFrameWndTest, ViewCommandsToggleTheBarsAndTheirCheckMarks) {
  RecordingFrame frame;
  frame.LoadMenuBar(MenuResource(cmd::kMenuMainFrame));
  frame.addToolBar("Views");
  frame.setStatusBar(new QStatusBar);
  frame.show();
  QMenu* view = FindPopup(frame.menuBar(), "View");

  emit view->aboutToShow();
  EXPECT_TRUE(frame.FindCommand(cmd::kViewToolbar)->isChecked());
  EXPECT_TRUE(frame.DispatchCommand(cmd::kViewToolbar));
  EXPECT_TRUE(frame.DispatchCommand(cmd::kViewStatusBar));
  emit view->aboutToShow();
  EXPECT_FALSE(frame.FindCommand(cmd::kViewToolbar)->isChecked());
  EXPECT_FALSE(frame.FindCommand(cmd::kViewStatusBar)->isChecked());
  EXPECT_FALSE(frame.statusBar()->isVisible());

  // Without bars there is nothing to toggle.
  RecordingFrame bare;
  EXPECT_FALSE(bare.DispatchCommand(cmd::kViewStatusBar));
  EXPECT_EQ(bare.findChild<QStatusBar*>(), nullptr);
}

TEST(ZtFrameWndTest, CannotBeMadeSmallerThanTheMinimumTrackingSize) {
  RecordingFrame frame;
  frame.SetMinTrackSize(QSize(566, 540));
  frame.show();
  frame.resize(100, 100);
  EXPECT_GE(frame.width(), 566);
  EXPECT_GE(frame.height(), 540);
  EXPECT_EQ(frame.MinTrackSize(), QSize(566, 540));
}

TEST(ZtFrameWndTest, RepaintFollowsChangedAppearanceSettings) {
  platform::SettingsStore& store = platform::SettingsStore::User();
  ASSERT_TRUE(store.SetDword(appearance::kKey, "BaseColor", 0x00203040));
  RecordingFrame frame;
  EXPECT_EQ(frame.ColourScheme().Base(), 0x00203040u);

  QSignalSpy spy(&frame, &CZtFrameWnd::colourSchemeChanged);
  ASSERT_TRUE(store.SetDword(appearance::kKey, "BaseColor", 0x00102030));
  frame.RepaintCaptionAndBars();
  EXPECT_EQ(frame.ColourScheme().Base(), 0x00102030u);
  EXPECT_EQ(spy.count(), 1);
  store.DeleteKey(appearance::kKey);
}

}  // namespace
}  // namespace quarry
