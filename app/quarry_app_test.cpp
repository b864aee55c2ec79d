#include "app/quarry_app.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "app/app_settings.h"
#include "app/app_test_support.h"
#include "app/main_frame.h"
#include "app/quarry_view.h"
#include "app/startup_steps.h"
#include "app/sub_view_pages.h"
#include "app/view_configurations.h"
#include "app/view_table_results.h"
#include "app/view_web_browser.h"
#include "framework/window_placement.h"
#include "framework/caption_bar.h"
#include "framework/ks_controls.h"
#include "framework/msgbox/app_message_box.h"
#include "framework/msgbox/ks_message_box.h"
#include "framework/string_table.h"

#include <QPushButton>
#include <QTimer>

namespace quarry {
namespace {

using testing::AllValues;
using testing::AppFixture;
using testing::WaitFor;

TEST(QuarryAppTest, StartsStageByStageAndShowsTheWebBrowserView) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  ASSERT_NE(app.MainFrame(), nullptr);
  const std::vector<QString> expected = {
      "InitInstance::AfxOleInit",       "InitInstance::AfxSocketInit",
      "InitInstance::CheckAutoUpdate",  "InitInstance::CreatingQryDoc",
      "InitInstance::ParseCommandLine", "InitInstance::ProcessShellCommand 0",
      ""};
  EXPECT_EQ(app.StageHistory(), expected);
  EXPECT_TRUE(app.Stage().isEmpty());
  EXPECT_TRUE(fixture.boxes.empty());

  EXPECT_EQ(app.Caption(), "Quarry");
  EXPECT_EQ(app.MainFrame()->windowTitle(), "Quarry");
  EXPECT_TRUE(app.MainFrame()->isVisible());
  EXPECT_EQ(app.View()->CurrentSubView(), CQuarryView::SubView::kWebBrowser);
  EXPECT_EQ(app.View()->CaptionText(), "Web Browser View");
  EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$")
                  .match(QString::fromStdString(app.Version()))
                  .hasMatch());
  EXPECT_FALSE(app.ModulePathText().empty());

  DiagnosticSnapshot snapshot = app.Snapshot();
  EXPECT_EQ(snapshot.status, "Ready");
  EXPECT_EQ(snapshot.current_view, "Web Browser View");
  EXPECT_EQ(snapshot.visited_views, std::vector<std::string>{"Web Browser View"});
}

TEST(QuarryAppTest, EveryMessageIsAMessageBoxCaptionedQuarryOverTheProgram) {
  {
    AppFixture fixture;
    CQuarryApp& app = fixture.Start();
    ASSERT_TRUE(HasMessageBoxHook());
    QString caption;
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<CKsMessageBox*>(window);
        if (box == nullptr || !box->isVisible()) continue;
        caption = box->windowTitle();
        owner = box->parentWidget();
        box->Button(mb::kIdNo)->Button()->click();
      }
    });
    EXPECT_EQ(AppMessageBox(QStringLiteral("Replace the file?"), mb::kYesNo | mb::kIconQuestion),
              mb::kIdNo);
    EXPECT_EQ(caption, QStringLiteral("Quarry"));
    EXPECT_EQ(owner, static_cast<QWidget*>(app.MainFrame()));
  }
  // The program is gone: messages no longer go to it.
  EXPECT_FALSE(HasMessageBoxHook());
}

TEST(QuarryAppTest, AFirstRunWritesNothingUntilClosedAndThenOnlyTheFirstRunMarkAndPlace) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  ASSERT_NE(app.View(), nullptr);
  // Let the start-up messages, the favourites and the relays run.
  ASSERT_TRUE(WaitFor([&] { return app.View()->IsReady(); }));
  testing::Pump(100);
  app.MainFrame()->DispatchCommand(32776);
  EXPECT_EQ(AllValues(fixture.store()), std::set<std::string>{});

  fixture.Close();
  EXPECT_EQ(AllValues(fixture.store()),
            (std::set<std::string>{"Software\\Zandor Tech\\Quarry\\Settings\\MainWndPos",
                                   "Software\\Zandor Tech\\Quarry\\Settings\\NewUser"}));
  EXPECT_EQ(fixture.store().GetDword(kSettingsKey, "NewUser", 7), 0u);
  EXPECT_EQ(fixture.store().GetBinary(kSettingsKey, "MainWndPos").size(), 44u);
}

TEST(QuarryAppTest, AFrameTornDownWithoutClosingStillSavesItsPlace) {
  AppFixture fixture;
  CMainFrame* frame = fixture.Start().MainFrame();
  ASSERT_NE(frame, nullptr);
  frame->setGeometry(QRect(25, 35, 650, 590));
  fixture.DestroyWithoutClosing();
  std::optional<WindowPlacement> place =
      DecodePlacement(fixture.store().GetBinary(kSettingsKey, "MainWndPos"));
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(QRect(place->left, place->top, place->Width(), place->Height()),
            QRect(25, 35, 650, 590));
}

TEST(QuarryAppTest, FailuresThatStopStartUpSayWhy) {
  {
    AppFixture fixture;
    fixture.hooks().init_component_layer = [] { return false; };
    CQuarryApp& app = fixture.Start();
    EXPECT_EQ(app.MainFrame(), nullptr);
    ASSERT_EQ(fixture.boxes.size(), 1u);
    EXPECT_EQ(fixture.boxes[0],
              "OLE initialization failed.  Make sure that the OLE libraries are the "
              "correct version.\nQry cannot run without the OLE libraries.\nQry is "
              "now exiting.");
    EXPECT_EQ(app.Stage(), "InitInstance::AfxOleInit");
    EXPECT_EQ(app.Snapshot().status, "InitInstance::AfxOleInit");
  }
  {
    AppFixture fixture;
    fixture.hooks().process_shell_command = [] { return false; };
    CQuarryApp& app = fixture.Start();
    (void)app;
    ASSERT_EQ(fixture.boxes.size(), 1u);
    EXPECT_EQ(fixture.boxes[0], StringTable::Get(7003));
    EXPECT_TRUE(fixture.boxes[0].startsWith("Process Shell Command failed.\n"));
  }
}

TEST(QuarryAppTest, WithoutSocketsStartUpWarnsAndGoesOn) {
  AppFixture fixture;
  fixture.hooks().init_sockets = [] { return false; };
  CQuarryApp& app = fixture.Start();
  ASSERT_EQ(fixture.boxes.size(), 1u);
  EXPECT_EQ(fixture.boxes[0],
            "Windows sockets initialization failed.\nThis may cause problems with "
            "online access.");
  ASSERT_NE(app.MainFrame(), nullptr);
  EXPECT_TRUE(app.MainFrame()->isVisible());
  EXPECT_TRUE(app.Stage().isEmpty());
}

TEST(QuarryAppTest, StartUpTidiesTheStoreAndHandsTheAddressToTheBrowser) {
  AppFixture fixture;
  ASSERT_TRUE(fixture.store().SetDword("Software\\Kestrane\\Quarry\\Settings", "NewUser", 1));
  ASSERT_TRUE(fixture.store().SetDword(kSettingsKey, "ModuleRegistration", 0));
  CQuarryApp& app = fixture.Start({"https://tables.example/prices.html"});
  ASSERT_NE(app.View(), nullptr);
  EXPECT_FALSE(fixture.store().KeyExists("Software\\Kestrane\\Quarry"));
  EXPECT_EQ(fixture.store().GetDword(kSettingsKey, "ModuleRegistration", 0), 1u);
  EXPECT_EQ(app.View()->WebBrowser()->CurrentAddress(), "https://tables.example/prices.html");
}

TEST(QuarryAppTest, APageGivenByItsPathOpensAsItsFileAddress) {
  // As a file manager's "Open With Quarry" or "Quarry page.html" gives it.
  testing::TempDir dir;
  const std::string page = dir.File("saved page.html");
  ASSERT_TRUE(testing::WriteFileBytes(page, "<table><tr><td>1</td></tr></table>"));
  AppFixture fixture;
  CQuarryApp& app = fixture.Start({page});
  ASSERT_NE(app.View(), nullptr);
  EXPECT_EQ(app.View()->WebBrowser()->CurrentAddress(),
            QString::fromStdString("file://" + dir.path() + "/saved%20page.html"));
}

TEST(QuarryAppTest, StartUpDoneReachesTheSubViewsAndStartsTheUpdateCheckLater) {
  AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  ASSERT_NE(app.View(), nullptr);
  int checks = 0;
  bool manual = true;
  app.View()->SetUpdateCheck([&](bool is_manual) {
    ++checks;
    manual = is_manual;
  });
  int startup_seen = 0;
  for (CSubViewPage* page : {static_cast<CSubViewPage*>(app.View()->WebBrowser()),
                             static_cast<CSubViewPage*>(app.View()->TableResults()),
                             static_cast<CSubViewPage*>(app.View()->Configurations())}) {
    QObject::connect(page, &CSubViewPage::hubMessage, [&](uint32_t message, quintptr, qintptr) {
      if (message == platform::WM_STARTUP_DONE) ++startup_seen;
    });
  }
  ASSERT_TRUE(WaitFor([&] { return startup_seen == 3; }));
  // Five seconds after start-up, once.
  EXPECT_EQ(checks, 0);
  ASSERT_TRUE(WaitFor([&] { return checks == 1; }, 8000));
  EXPECT_FALSE(manual);
  testing::Pump(100);
  EXPECT_EQ(checks, 1);
}

}  // namespace
}  // namespace quarry
