#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCursor>
#include <QDialogButtonBox>
#include <QTest>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>

#include "app/about_dialog.h"
#include "framework/ks_controls.h"
#include "app/app_settings.h"
#include "app/app_test_support.h"
#include "app/help_links.h"
#include "app/main_frame.h"
#include "app/quarry_view.h"
#include "app/sub_view_pages.h"
#include "app/view_configurations.h"
#include "app/view_table_results.h"
#include "app/view_web_browser.h"
#include "app/system_tray.h"
#include "framework/window_placement.h"
#include "framework/caption_bar.h"
#include "framework/menu_resources.h"
#include "framework/menu_table.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::AppFixture;
using testing::Pump;
using testing::WaitFor;

// (id, text) of each entry; separators as (0, "-").
std::vector<std::pair<int, QString>> Entries(const QWidget* menu) {
  std::vector<std::pair<int, QString>> entries;
  for (QAction* action : menu->actions()) {
    entries.emplace_back(action->isSeparator() ? 0 : CommandIdOf(action),
                         action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  return entries;
}

std::vector<CSubViewPage*> Pages(CQuarryView* view) {
  return {view->WebBrowser(), view->TableResults(), view->Configurations()};
}

TEST(MainWindowTest, TheThreeViewCommandsSwitchPagesAndCaption) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  CMainFrame* frame = app.MainFrame();
  CQuarryView* view = app.View();
  const struct {
    int id;
    CSubViewPage* page;
    const char* caption;
  } steps[] = {{32776, view->TableResults(), "Table Results View"},
               {32775, view->Configurations(), "Configurations"},
               {32777, view->WebBrowser(), "Web Browser View"}};
  for (const auto& step : steps) {
    ASSERT_TRUE(frame->DispatchCommand(step.id));
    EXPECT_EQ(view->CaptionText(), step.caption);
    EXPECT_EQ(view->CaptionBar()->accessibleName(), step.caption);
    for (CSubViewPage* page : Pages(view)) {
      EXPECT_EQ(page->isVisible(), page == step.page) << step.caption;
    }
    EXPECT_TRUE(FindCommandAction(frame->FrameToolBar(), step.id)->isChecked());
  }
  EXPECT_EQ(app.VisitedViews(),
            (std::vector<QString>{"Web Browser View", "Table Results View",
                                  "Configurations", "Web Browser View"}));
}

TEST(MainWindowTest, ParseRequestsAreRelayedAndBringUpTheResults) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  CQuarryView* view = app.View();
  ASSERT_TRUE(WaitFor([&] { return view->IsReady(); }));
  EXPECT_NE(view->cursor().shape(), Qt::WaitCursor);

  std::vector<std::pair<uint32_t, quintptr>> results_heard, browser_heard;
  QObject::connect(view->TableResults(), &CSubViewPage::hubMessage,
                   [&](uint32_t m, quintptr w, qintptr) { results_heard.emplace_back(m, w); });
  QObject::connect(view->WebBrowser(), &CSubViewPage::hubMessage,
                   [&](uint32_t m, quintptr w, qintptr) { browser_heard.emplace_back(m, w); });

  // A local address: the relay is under test, not the network.
  const std::string address = "file:///nonexistent/quarry-relay-test.html";
  const auto wparam = reinterpret_cast<uintptr_t>(&address);
  ASSERT_TRUE(app.Settings()->PostToOwner(platform::WM_PARSE_PAGE, wparam, 0));
  // Other broadcasts (the favourites' arrival) may reach the sub-views
  // around it; the relayed request must be among them, unchanged.
  const auto relayed = std::make_pair(platform::WM_PARSE_PAGE, quintptr{wparam});
  ASSERT_TRUE(WaitFor([&] {
    return std::count(results_heard.begin(), results_heard.end(), relayed) == 1;
  }));
  EXPECT_EQ(view->CurrentSubView(), CQuarryView::SubView::kTableResults);
  EXPECT_EQ(view->CaptionText(), "Table Results View");

  // The results view's answer reaches the browser view, which re-enables
  // its buttons on it.
  ASSERT_TRUE(app.Settings()->PostToOwner(platform::WM_PARSE_DONE, 1, 0));
  ASSERT_TRUE(WaitFor([&] {
    return std::count(browser_heard.begin(), browser_heard.end(),
                      std::make_pair(platform::WM_PARSE_DONE, quintptr{1})) == 1;
  }));
}

TEST(MainWindowTest, MinimumSizeComesFromTheProfile) {
  {
    AppFixture fixture;
    CMainFrame* frame = fixture.Start().MainFrame();
    EXPECT_EQ(frame->minimumSize(), QSize(566, 540));
    frame->resize(200, 100);
    EXPECT_GE(frame->width(), 566);
    EXPECT_GE(frame->height(), 540);
  }
  {
    AppFixture fixture;
    fixture.store().SetDword(kSettingsKey, "MinXScreenSize", 600);
    fixture.store().SetDword(kSettingsKey, "MinYScreenSize", 560);
    EXPECT_EQ(fixture.Start().MainFrame()->minimumSize(), QSize(600, 560));
  }
}

TEST(MainWindowTest, TheSavedPlaceIsUsedOnlyWhenItIsAPlacementRecord) {
  WindowPlacement saved;
  saved.left = 40;
  saved.top = 30;
  saved.right = 40 + 700;
  saved.bottom = 30 + 560;
  std::vector<uint8_t> record = EncodePlacement(saved);
  QRect first_run;
  {
    AppFixture fixture;
    first_run = fixture.Start().MainFrame()->geometry();
  }
  {
    AppFixture fixture;
    fixture.store().SetBinary(kSettingsKey, "MainWndPos", record);
    EXPECT_EQ(fixture.Start().MainFrame()->geometry(), QRect(40, 30, 700, 560));
  }
  for (size_t size : {size_t{43}, size_t{45}, size_t{40}}) {
    AppFixture fixture;
    std::vector<uint8_t> wrong = record;
    wrong.resize(size, 0);
    fixture.store().SetBinary(kSettingsKey, "MainWndPos", wrong);
    EXPECT_EQ(fixture.Start().MainFrame()->geometry(), first_run) << size;
  }
  {
    AppFixture fixture;
    saved.show_state = kShowMaximized;
    fixture.store().SetBinary(kSettingsKey, "MainWndPos", EncodePlacement(saved));
    CMainFrame* frame = fixture.Start().MainFrame();
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->normalGeometry(), QRect(40, 30, 700, 560));
  }
}

TEST(MainWindowTest, APlaceOffEveryScreenIsBroughtBack) {
  AppFixture fixture;
  WindowPlacement far;
  far.left = 30000;
  far.top = 30000;
  far.right = 30700;
  far.bottom = 30600;
  fixture.store().SetBinary(kSettingsKey, "MainWndPos", EncodePlacement(far));
  CMainFrame* frame = fixture.Start().MainFrame();
  QRect screen = frame->screen()->availableGeometry();
  EXPECT_TRUE(screen.intersects(frame->geometry()));
}

TEST(MainWindowTest, ClosingAMinimisedFrameSavesTheStateItReturnsTo) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  frame->showMaximized();
  frame->showMinimized();
  Pump();
  fixture.Close();
  std::optional<WindowPlacement> placement =
      DecodePlacement(fixture.store().GetBinary(kSettingsKey, "MainWndPos"));
  ASSERT_TRUE(placement.has_value());
  EXPECT_EQ(placement->show_state, kShowMaximized);
  EXPECT_EQ(placement->flags & kPlacementRestoreToMaximized, kPlacementRestoreToMaximized);
}

TEST(MainWindowTest, ToolbarAndMenusCarryTheirIdsAndTexts) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();

  const std::vector<std::pair<int, QString>> toolbar = {
      {32777, "Web Browser"}, {32776, "Table Results"}, {32775, "Configurations"},
      {0, "-"}, {57669, "Help"}};
  EXPECT_EQ(Entries(frame->FrameToolBar()), toolbar);
  for (QAction* action : frame->FrameToolBar()->actions()) {
    if (!action->isSeparator()) {
      EXPECT_EQ(action->toolTip(), action->text());
    }
  }

  // "FavoritesFillMode" 1 (tree only) takes the favourites menu away.
  QMenuBar* bar = frame->menuBar();
  ASSERT_EQ(Entries(bar).size(), 2u);
  EXPECT_EQ(bar->actions()[0]->text(), "&View");
  EXPECT_EQ(bar->actions()[1]->text(), "&Help");
  EXPECT_EQ(Entries(bar->actions()[0]->menu()),
            (std::vector<std::pair<int, QString>>{{59392, "&Toolbar"},
                                                  {59393, "&Status Bar"}}));
  EXPECT_EQ(Entries(bar->actions()[1]->menu()),
            (std::vector<std::pair<int, QString>>{
                {57667, "&Help Topics"}, {0, "-"}, {38015, "&Check for Updates"},
                {38012, "&Zandor Tech Online"}, {38011, "&Online FAQ"}, {0, "-"},
                {38009, "Current &Issues"}, {38014, "Report a &Bug..."},
                {38010, "&Make a Suggestion..."}, {0, "-"},
                {57664, "&About Quarry..."}}));

  std::unique_ptr<QMenu> system(frame->CreateSystemMenu(nullptr));
  EXPECT_EQ(Entries(system.get()),
            (std::vector<std::pair<int, QString>>{{61728, "Restore"}, {61472, "Minimize"},
                                                  {61488, "Maximize"}, {0, "-"},
                                                  {57664, "About Quarry..."}, {0, "-"},
                                                  {57665, "Exit"}}));
  EXPECT_EQ(Entries(frame->TrayMenu()),
            (std::vector<std::pair<int, QString>>{
                {57664, "About Quarry..."}, {38043, "Restore"}, {57665, "Exit"}}));

  // The help keys are the frame's own shortcuts.
  for (auto [key, id] : {std::pair{QKeySequence(Qt::Key_F1), 57670},
                         std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F1), 57669},
                         std::pair{QKeySequence(Qt::Key_F6), 57680},
                         std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F6), 57681}}) {
    int found = 0;
    for (QAction* action : frame->actions()) {
      if (action->shortcuts().contains(key)) {
        ++found;
        EXPECT_EQ(CommandIdOf(action), id);
      }
    }
    EXPECT_EQ(found, 1) << id;
  }
}

TEST(MainWindowTest, TheFavoritesMenuStaysWhenTheMenuIsWanted) {
  AppFixture fixture;
  fixture.store().SetDword(kSettingsKey, "FavoritesFillMode", 2);
  CMainFrame* frame = fixture.Start().MainFrame();
  QMenu* favorites = frame->FavoritesMenu();
  ASSERT_NE(favorites, nullptr);
  EXPECT_EQ(frame->menuBar()->actions()[0]->text(), "&Favorites");
  EXPECT_EQ(FindCommandAction(favorites, 32769), nullptr);
  ASSERT_EQ(favorites->actions().size(), 1);
  EXPECT_FALSE(favorites->actions()[0]->isEnabled());
  // Wanted, but without favourites the pane gives its width to the page.
  EXPECT_TRUE(fixture.app()->View()->WebBrowser()->IsTreeWanted());
  EXPECT_TRUE(WaitFor([&] { return !fixture.app()->View()->WebBrowser()->IsTreeShown(); }));

  // F1 on a favourite opens the favourites' help topic.
  QAction* favourite = MakeCommandAction(36005, "Prices", favorites);
  favorites->addAction(favourite);
  favorites->setActiveAction(favourite);
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(favorites, &f1);
  ASSERT_TRUE(WaitFor([&] { return !fixture.Opened().empty(); }));
  EXPECT_EQ(fixture.Opened()[0], HelpPageAddress(98306));
}

TEST(MainWindowTest, BarsHideAndShowWithTheirChecks) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  QAction* toolbar_item = FindCommandAction(frame->menuBar(), 59392);
  QAction* status_item = FindCommandAction(frame->menuBar(), 59393);
  ASSERT_TRUE(frame->DispatchCommand(59392));
  ASSERT_TRUE(frame->DispatchCommand(59393));
  frame->OnUpdateCommand(59392, toolbar_item);
  frame->OnUpdateCommand(59393, status_item);
  EXPECT_FALSE(frame->FrameToolBar()->isVisible());
  EXPECT_FALSE(frame->FrameStatusBar()->isVisible());
  EXPECT_FALSE(toolbar_item->isChecked());
  EXPECT_FALSE(status_item->isChecked());
  ASSERT_TRUE(frame->DispatchCommand(59392));
  frame->OnUpdateCommand(59392, toolbar_item);
  EXPECT_TRUE(frame->FrameToolBar()->isVisible());
  EXPECT_TRUE(toolbar_item->isChecked());
}

TEST(MainWindowTest, WithoutANotificationAreaMinimisingIsOrdinary) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  ASSERT_EQ(fixture.app()->Settings()->GetUseTrayIcon(), 1u);
  EXPECT_FALSE(frame->Tray()->IsCreated());
  frame->DispatchCommand(61472);
  Pump();
  EXPECT_TRUE(frame->isMinimized());
  EXPECT_FALSE(frame->isHidden());
  EXPECT_FALSE(frame->Tray()->IsShown());
}

TEST(MainWindowTest, WithANotificationAreaMinimisingHidesIntoIt) {
  AppFixture fixture;
  fixture.hooks().frame_options.tray_available = [] { return true; };
  CMainFrame* frame = fixture.Start().MainFrame();
  ASSERT_TRUE(frame->Tray()->IsCreated());
  EXPECT_FALSE(frame->Tray()->IsShown());
  const QRect place = frame->geometry();

  frame->DispatchCommand(61472);
  ASSERT_TRUE(WaitFor([&] { return frame->isHidden(); }));
  EXPECT_TRUE(frame->Tray()->IsShown());

  // A double click on the icon brings the frame back where it was.
  frame->Tray()->Notify(CSystemTray::kIconId, CSystemTray::kLeftButtonDoubleClick);
  ASSERT_TRUE(WaitFor([&] { return frame->isVisible(); }));
  EXPECT_FALSE(frame->isMinimized());
  EXPECT_FALSE(frame->Tray()->IsShown());
  EXPECT_EQ(frame->geometry(), place);

  // The icon's menu "Restore" does the same.
  frame->DispatchCommand(61472);
  ASSERT_TRUE(WaitFor([&] { return frame->isHidden(); }));
  FindCommandAction(frame->TrayMenu(), 38043)->trigger();
  ASSERT_TRUE(WaitFor([&] { return frame->isVisible(); }));
  EXPECT_FALSE(frame->Tray()->IsShown());

  // Notifications for another icon are not ours.
  frame->DispatchCommand(61472);
  ASSERT_TRUE(WaitFor([&] { return frame->isHidden(); }));
  frame->Tray()->Notify(CSystemTray::kIconId + 1, CSystemTray::kLeftButtonDoubleClick);
  Pump();
  EXPECT_TRUE(frame->isHidden());
  frame->Tray()->Notify(CSystemTray::kIconId, CSystemTray::kLeftButtonUp);
  EXPECT_TRUE(frame->isVisible());
}

TEST(MainWindowTest, TrayIconOffMeansAnOrdinaryMinimise) {
  AppFixture fixture;
  fixture.hooks().frame_options.tray_available = [] { return true; };
  fixture.store().SetDword(kSettingsKey, "UseTrayIcon", 0);
  CMainFrame* frame = fixture.Start().MainFrame();
  frame->DispatchCommand(61472);
  Pump();
  EXPECT_TRUE(frame->isMinimized());
  EXPECT_FALSE(frame->isHidden());
  EXPECT_FALSE(frame->Tray()->IsShown());
}

TEST(MainWindowTest, TheTipIsCutToItsField) {
  CSystemTray tray([] { return true; });
  ASSERT_TRUE(tray.Create(platform::kNoWindow, platform::WM_TRAY_NOTIFY, QString(200, 'x'),
                          QIcon(), nullptr));
  EXPECT_EQ(tray.Tip().size(), 127);
  EXPECT_FALSE(tray.Create(platform::kNoWindow, platform::WM_TRAY_NOTIFY, "again", QIcon(),
                           nullptr));
  CSystemTray inert([] { return false; });
  EXPECT_FALSE(inert.Create(platform::kNoWindow, platform::WM_TRAY_NOTIFY, "x", QIcon(), nullptr));
  inert.Show();
  EXPECT_FALSE(inert.IsShown());
}

TEST(MainWindowTest, SubViewsGrowWithTheFrameByTheDifference) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  CQuarryView* view = fixture.app()->View();
  const QSize before = view->size();
  std::vector<QSize> pages_before;
  for (CSubViewPage* page : Pages(view)) {
    EXPECT_EQ(page->geometry(), view->ContentArea()->geometry());
    pages_before.push_back(page->size());
  }
  frame->resize(frame->size() + QSize(120, 70));
  Pump();
  const QSize delta = view->size() - before;
  ASSERT_EQ(delta, QSize(120, 70));
  EXPECT_EQ(view->CaptionBar()->width(), view->width());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Pages(view)[i]->size(), pages_before[i] + delta);
    EXPECT_EQ(Pages(view)[i]->geometry(), view->ContentArea()->geometry());
  }
}

TEST(MainWindowTest, HelpMenuLinksOpenWhereTheSettingSays) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  CMainFrame* frame = app.MainFrame();
  frame->DispatchCommand(32776);
  frame->DispatchCommand(38011);
  ASSERT_TRUE(WaitFor([&] { return fixture.Opened().size() == 1; }));
  EXPECT_EQ(fixture.Opened()[0], HelpFaqPage());
  // The external browser leaves the shown view as it is.
  EXPECT_EQ(app.View()->CurrentSubView(), CQuarryView::SubView::kTableResults);

  frame->DispatchCommand(38014);
  frame->DispatchCommand(57667);
  ASSERT_TRUE(WaitFor([&] { return fixture.Opened().size() == 3; }));
  std::vector<std::string> opened = fixture.Opened();
  std::sort(opened.begin() + 1, opened.end());
  EXPECT_EQ(opened[1], HelpPageAddress(0));
  EXPECT_EQ(opened[2], "mailto:support@quarry.example?&cc=&subject=Customer%20Support");
}

TEST(MainWindowTest, HelpMenuLinksCanOpenInTheBrowserView) {
  AppFixture fixture;
  fixture.store().SetDword(kSettingsKey, "UseInternalBrowser", 1);
  CQuarryApp& app = fixture.Start();
  app.MainFrame()->DispatchCommand(32775);
  app.MainFrame()->DispatchCommand(38009);
  EXPECT_EQ(app.View()->CurrentSubView(), CQuarryView::SubView::kWebBrowser);
  EXPECT_EQ(app.View()->WebBrowser()->CurrentAddress().toStdString(), HelpIssuesPage());
  Pump(200);
  EXPECT_TRUE(fixture.Opened().empty());
}

TEST(MainWindowTest, F1OpensHelpOnTheShownView) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  app.MainFrame()->DispatchCommand(32776);
  app.MainFrame()->DispatchCommand(57670);
  ASSERT_TRUE(WaitFor([&] { return fixture.Opened().size() == 1; }));
  EXPECT_EQ(fixture.Opened()[0], HelpPageAddress(0x10000 + 32776));
  EXPECT_NE(fixture.Opened()[0].find("index.html#98312"), std::string::npos);
}

TEST(MainWindowTest, HelpModeOpensHelpOnWhatIsClickedNext) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  QWidget* results_button =
      frame->FrameToolBar()->widgetForAction(FindCommandAction(frame->FrameToolBar(), 32776));
  ASSERT_NE(results_button, nullptr);

  // Outside help mode a "what's this" request is left to the widget.
  QHelpEvent early(QEvent::WhatsThis, QPoint(1, 1), QPoint(1, 1));
  QApplication::sendEvent(results_button, &early);
  Pump();
  EXPECT_TRUE(fixture.Opened().empty());

  ASSERT_TRUE(frame->DispatchCommand(57669));
  QHelpEvent query(QEvent::QueryWhatsThis, QPoint(1, 1), QPoint(1, 1));
  QApplication::sendEvent(results_button, &query);
  EXPECT_TRUE(query.isAccepted());
  QHelpEvent click(QEvent::WhatsThis, QPoint(1, 1), QPoint(1, 1));
  QApplication::sendEvent(results_button, &click);
  ASSERT_TRUE(WaitFor([&] { return fixture.Opened().size() == 1; }));
  EXPECT_EQ(fixture.Opened()[0], HelpPageAddress(0x10000 + 32776));

  // A click inside a sub-view gets that view's topic; help mode then ends.
  ASSERT_TRUE(frame->DispatchCommand(57669));
  QWidget* inside = fixture.app()->View()->WebBrowser()->findChild<QLabel*>();
  ASSERT_NE(inside, nullptr);
  QHelpEvent click2(QEvent::WhatsThis, QPoint(1, 1), QPoint(1, 1));
  QApplication::sendEvent(inside, &click2);
  ASSERT_TRUE(WaitFor([&] { return fixture.Opened().size() == 2; }));
  EXPECT_EQ(fixture.Opened()[1], HelpPageAddress(0x10000 + 32777));
  EXPECT_FALSE(QWhatsThis::inWhatsThisMode());
}

TEST(MainWindowTest, AnOpenerThatFailsIsReportedToTheUser) {
  AppFixture fixture;
  fixture.FailOpener(3);
  CQuarryApp& app = fixture.Start();
  app.MainFrame()->DispatchCommand(38012);
  ASSERT_TRUE(WaitFor([&] { return !fixture.messages.empty(); }));
  EXPECT_TRUE(fixture.messages[0].contains(QString::fromStdString(HelpHomePage())));
  EXPECT_TRUE(fixture.messages[0].contains("no program"));
}

TEST(MainWindowTest, CheckForUpdatesWaitsForTheUpdateCheck) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  CMainFrame* frame = app.MainFrame();
  QAction* item = FindCommandAction(frame->menuBar(), 38015);
  frame->OnUpdateCommand(38015, item);
  EXPECT_FALSE(item->isEnabled());
  EXPECT_FALSE(frame->DispatchCommand(38015));

  std::vector<bool> calls;
  app.View()->SetUpdateCheck([&](bool manual) { calls.push_back(manual); });
  frame->OnUpdateCommand(38015, item);
  EXPECT_TRUE(item->isEnabled());
  EXPECT_TRUE(frame->DispatchCommand(38015));
  EXPECT_EQ(calls, std::vector<bool>{true});
}

TEST(MainWindowTest, EveryControlHasAnAccessibleName) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  QList<QWidget*> widgets = frame->findChildren<QWidget*>();
  CAboutDlg about("1.2.3.4", {});
  widgets += about.findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (qobject_cast<QMenu*>(w) != nullptr) continue;  // named by their titles
    const bool control = qobject_cast<QAbstractButton*>(w) != nullptr ||
                         qobject_cast<QLabel*>(w) != nullptr ||
                         qobject_cast<QToolBar*>(w) != nullptr ||
                         qobject_cast<QStatusBar*>(w) != nullptr ||
                         qobject_cast<QMenuBar*>(w) != nullptr ||
                         qobject_cast<CCaptionBar*>(w) != nullptr ||
                         qobject_cast<CSubViewPage*>(w) != nullptr;
    if (!control) continue;
    const QLabel* label = qobject_cast<QLabel*>(w);
    if (label != nullptr && label->text().isEmpty() && label->pixmap().isNull()) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty())
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  }
}

TEST(MainWindowTest, TheAboutBoxNamesTheProgramAndItsSite) {
  AppFixture fixture;
  std::string clicked;
  CAboutDlg about("2.0.1.7", [&](const std::string& address) { clicked = address; });
  EXPECT_EQ(about.windowTitle(), "About Quarry");
  EXPECT_EQ(about.objectName(), "dlg400");
  CKsStaticCtrl* version = CKsStaticCtrl::FromTemplate(&about, CAboutDlg::kIdVersion);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->GetCaption(), "Version 2.0.1.7");
  CKsStaticCtrl* link = CKsStaticCtrl::FromTemplate(&about, CAboutDlg::kIdLink);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->GetLink(), about.SiteAddress());
  EXPECT_EQ(about.SiteAddress().toStdString(), ProductSiteAddress());
  about.show();
  // No modules are registered in a test's store: a standard label stands in
  // for the link, and the dialog hands its address on.
  ASSERT_FALSE(link->OpensLinksItself());
  QTest::mouseClick(link->Widget(), Qt::LeftButton);
  EXPECT_EQ(clicked, ProductSiteAddress());
  CKsButtonCtrl* close = CKsButtonCtrl::FromTemplate(&about, CAboutDlg::kIdClose);
  ASSERT_NE(close, nullptr);
  close->Button()->click();
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
}  // namespace quarry
