// The Web Browser view over pages served on 127.0.0.1 and from files, in
// a real embedded browser. Brings its own main(): the browser's
// environment must be set before the application object exists.

#include "app/view_web_browser.h"
#include "app/view_table_results.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/app_test_support.h"
#include "app/explorer.h"
#include "app/main_frame.h"
#include "app/quarry_view.h"
#include "framework/ks_controls.h"
#include "framework/tree_ctrl_ext.h"
#include "platform/window_message.h"
#include "web/testing/test_http_server.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;
using testing::WaitFor;

constexpr int kLoadLimitMs = 20000;

ScriptedResponse Serve(const ReceivedRequest& request) {
  const std::vector<std::string> html = {"Content-Type: text/html"};
  if (request.target == "/missing") {
    return ScriptedResponse::Make(404, "<html><body><table><tr><td>gone</td></tr></table>"
                                       "</body></html>", html);
  }
  return ScriptedResponse::Make(
      200, "<html><body><table><tr><td>1</td></tr></table></body></html>", html);
}

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
 public:
  int presses = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) ++presses;
    return false;
  }
};

// A view registered with a hub whose owner records what it is sent.
class WebBrowserTest : public ::testing::Test {
 protected:
  WebBrowserTest()
      : server_(Serve), owner_([this](uint32_t message, uintptr_t wparam, intptr_t) {
          if (message == platform::WM_PARSE_PAGE) {
            parse_requests_.push_back(*reinterpret_cast<const std::string*>(wparam));
            parse_pointer_ = reinterpret_cast<const std::string*>(wparam);
          }
          return intptr_t{0};
        }) {
    settings_.SetOwnerWindow(owner_.Handle());
    view_ = std::make_unique<CViewWebBrowser>();
    view_->Init(nullptr, nullptr, &settings_);
    view_->resize(900, 600);
    view_->show();
    QObject::connect(view_.get(), &CViewWebBrowser::pageLoaded,
                     [this](const QString&) { ++loads_; });
  }

  // Opens `address` and waits until the browser reports it loaded.
  bool Open(const std::string& address) {
    const int before = loads_;
    view_->Navigate(QString::fromStdString(address));
    return WaitFor([&] { return loads_ > before; }, kLoadLimitMs);
  }

  bool GoEnabled() const { return view_->GoButton()->IsEnabled(); }
  bool ParseEnabled() const { return view_->ParseButton()->IsEnabled(); }

  TestHttpServer server_;
  CAppSettings settings_;
  platform::MessageWindow owner_;
  std::unique_ptr<CViewWebBrowser> view_;
  std::vector<std::string> parse_requests_;
  const std::string* parse_pointer_ = nullptr;
  int loads_ = 0;
};

TEST_F(WebBrowserTest, EnterInTheAddressBoxGoesAndStopsThere) {
  KeyCounter counter;
  view_->installEventFilter(&counter);
  const int before = loads_;
  view_->AddressBox()->setText(QString::fromStdString(server_.Url("/page")));
  QTest::keyClick(view_->AddressBox(), Qt::Key_Return);
  EXPECT_EQ(counter.presses, 0);
  ASSERT_TRUE(WaitFor([&] { return loads_ > before; }, kLoadLimitMs));
  EXPECT_EQ(view_->CurrentAddress().toStdString(), server_.Url("/page"));
}

TEST_F(WebBrowserTest, ParseFollowsHowTheNavigationEnded) {
  // Nothing to parse before any page, and an empty address goes nowhere.
  EXPECT_FALSE(ParseEnabled());
  view_->Navigate(QString());
  view_->Parse();
  EXPECT_TRUE(parse_requests_.empty());

  // A page: Parse is off while it loads, on once it is there.
  view_->Navigate(QString::fromStdString(server_.Url("/page")));
  EXPECT_FALSE(ParseEnabled());
  ASSERT_TRUE(WaitFor([&] { return loads_ == 1; }, kLoadLimitMs));
  EXPECT_TRUE(ParseEnabled());
  EXPECT_EQ(view_->AddressBox()->text().toStdString(), server_.Url("/page"));
  EXPECT_EQ(view_->Progress()->value(), 0);

  // "Not found" pages may still hold tables.
  ASSERT_TRUE(Open(server_.Url("/missing")));
  EXPECT_TRUE(ParseEnabled());

  // A refused connection leaves nothing to parse.
  ASSERT_TRUE(Open("http://127.0.0.1:1/"));
  EXPECT_FALSE(view_->NavigationOk());
  EXPECT_FALSE(ParseEnabled());
  view_->Parse();
  EXPECT_TRUE(parse_requests_.empty());
}

TEST_F(WebBrowserTest, ParsePostsTheAddressAndWaitsForTheAnswer) {
  ASSERT_TRUE(Open(server_.Url("/page")));
  view_->Parse();
  ASSERT_TRUE(WaitFor([&] { return !parse_requests_.empty(); }));
  EXPECT_EQ(parse_requests_.front(), server_.Url("/page"));
  EXPECT_FALSE(GoEnabled());
  EXPECT_FALSE(ParseEnabled());

  // A page opened meanwhile (a link in the page) changes neither the
  // string the reader was given nor the buttons.
  view_->AddressBox()->setText(QString::fromStdString(server_.Url("/other")));
  view_->Go();
  ASSERT_TRUE(WaitFor([&] { return loads_ == 2; }, kLoadLimitMs));
  EXPECT_EQ(*parse_pointer_, server_.Url("/page"));
  EXPECT_FALSE(ParseEnabled());
  view_->Parse();
  testing::Pump(50);
  EXPECT_EQ(parse_requests_.size(), 1u);

  platform::SendMessage(view_->Handle(), platform::WM_PARSE_DONE, 1, 0);
  EXPECT_TRUE(GoEnabled());
  EXPECT_TRUE(ParseEnabled());
}

TEST_F(WebBrowserTest, PopupsOnlyAfterARightClickOrWithShift) {
  bool cancel = true;
  emit view_->Explorer()->newWindowRequested(&cancel);
  EXPECT_TRUE(cancel);

  emit view_->Explorer()->rightButtonPressed();
  EXPECT_TRUE(view_->PopupsAllowed());
  cancel = true;
  emit view_->Explorer()->newWindowRequested(&cancel);
  EXPECT_FALSE(cancel);

  // Timer 12 closes the window again.
  platform::SendMessage(view_->Handle(), platform::WM_TIMER, CViewWebBrowser::kPopupTimer, 0);
  EXPECT_FALSE(view_->PopupsAllowed());
  cancel = false;
  emit view_->Explorer()->newWindowRequested(&cancel);
  EXPECT_TRUE(cancel);
}

TEST_F(WebBrowserTest, GrowingAndHidingTheTreeMoveTheRightControls) {
  const QRect tree = view_->Tree()->geometry();
  const QRect browser = view_->Explorer()->geometry();
  const QRect progress = view_->Progress()->geometry();
  const QRect box = view_->AddressBox()->geometry();
  const QRect go = view_->GoButton()->Widget()->geometry();
  view_->GrowBy(40, 30);
  EXPECT_EQ(view_->Tree()->geometry(), tree.adjusted(0, 0, 0, 30));
  EXPECT_EQ(view_->Explorer()->geometry(), browser.adjusted(0, 0, 40, 30));
  EXPECT_EQ(view_->Progress()->geometry(), progress.translated(0, 30).adjusted(0, 0, 40, 0));
  EXPECT_EQ(view_->AddressBox()->geometry(), box.translated(0, 30).adjusted(0, 0, 40, 0));
  EXPECT_EQ(view_->GoButton()->Widget()->geometry(), go.translated(40, 30));

  const QRect grown = view_->Explorer()->geometry();
  view_->ShowTree(false);
  EXPECT_FALSE(view_->Tree()->isVisible());
  EXPECT_EQ(view_->Explorer()->geometry(), grown.adjusted(-tree.width(), 0, 0, 0));
  view_->ShowTree(true);
  EXPECT_EQ(view_->Explorer()->geometry(), grown);
}

// The program as started with --parse: the sample page's tables are listed
// without a click. Favourites from a folder reach the tree and the menu,
// and their commands open them in the browser.
TEST(WebBrowserInFrame, ParseOnStartAndFavourites) {
  testing::TempDir favourites;
  const std::filesystem::path folder(favourites.path());
  std::filesystem::create_directories(folder / "Work");
  const std::string sample =
      QUrl::fromLocalFile(QStringLiteral(QUARRY_SAMPLE_PAGE)).toString().toStdString();
  std::ofstream(folder / "Work" / "Sample & more.url") << "[InternetShortcut]\r\nURL="
                                                        << sample << "\r\n";
  setenv("QUARRY_FAVORITES_DIR", folder.c_str(), 1);

  testing::AppFixture fixture;
  fixture.store().SetDword("Software\\Zandor Tech\\Quarry\\Settings", "FavoritesFillMode", 2);
  CQuarryApp& app = fixture.Start({"--parse", sample});
  CQuarryView* main_view = app.View();
  CViewWebBrowser* browser = main_view->WebBrowser();
  ASSERT_NE(browser, nullptr);
  browser->ParseWhenLoaded();
  app.MainFrame()->resize(1000, 640);
  app.MainFrame()->show();

  CViewTableResults* results = main_view->TableResults();
  ASSERT_TRUE(WaitFor([&] { return !results->Tables().empty() && !results->IsBusy(); },
                      kLoadLimitMs));
  EXPECT_EQ(main_view->CurrentSubView(), CQuarryView::SubView::kTableResults);
  ASSERT_TRUE(WaitFor([&] { return browser->GoButton()->IsEnabled(); }));

  ASSERT_TRUE(WaitFor([&] { return main_view->IsReady() && browser->FavoritesLoaded(); }));
  EXPECT_EQ(browser->Tree()->GetCount(), 2);  // the folder and its favourite
  EXPECT_EQ(browser->Tree()->GetBkColour(), 0xFFFFFFu);
  EXPECT_EQ(browser->Tree()->GetLineColour(), 0xC8C8C8u);
  ASSERT_NE(app.MainFrame()->FavoritesMenu(), nullptr);

  browser->Navigate(QStringLiteral("about:blank"));
  EXPECT_TRUE(main_view->OnCommand(36000));
  EXPECT_EQ(browser->CurrentAddress().toStdString(), sample);
  EXPECT_EQ(main_view->CurrentSubView(), CQuarryView::SubView::kTableResults);
  unsetenv("QUARRY_FAVORITES_DIR");

  if (const char* shot = std::getenv("QUARRY_SCREENSHOT")) {
    testing::Pump(300);
    EXPECT_TRUE(app.MainFrame()->grab().save(QString::fromLocal8Bit(shot)));
  }
}

}  // namespace
}  // namespace quarry
