// The Web Browser view over pages served on 127.0.0.1 and from files, in
// a real embedded browser. Brings its own main(): the browser's
// environment must be set before the application object exists.

#include "app/view_web_browser.h"
#include "app/view_table_results.h"

#include <gtest/gtest.h>

#include <QTreeWidgetItem>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <QWebEnginePage>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/app_test_support.h"
#include "app/browser_notice.h"
#include "app/explorer.h"
#include "app/favorites/favorites_builder.h"
#include "app/main_frame.h"
#include "app/quarry_view.h"
#include "framework/ks_controls.h"
#include "framework/tree_ctrl_ext.h"
#include "platform/window_message.h"
#include "web/peers/peer_harness.h"
#include "web/testing/test_http_server.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;
using testing::WaitFor;

constexpr int kLoadLimitMs = 20000;
// How long /slow holds back the end of its page.
constexpr int kSlowPageMs = 1500;
// An address the browser cannot show; nothing needs to listen there.
constexpr char kFtpPage[] = "ftp://127.0.0.1:2121/pub/page.html";

ScriptedResponse Serve(const ReceivedRequest& request) {
  const std::vector<std::string> html = {"Content-Type: text/html"};
  if (request.target.rfind("/slow", 0) == 0) {
    return ScriptedResponse::Unsized(200, "<html><body><table><tr><td>1</td></tr>", html)
        .Then("</table></body></html>", kSlowPageMs);
  }
  if (request.target == "/ftplink") {
    return ScriptedResponse::Make(
        200,
        std::string("<html><body><a id=a href='") + kFtpPage +
            "'>files</a><script>setTimeout(() => document.getElementById('a').click(), 50)"
            "</script></body></html>",
        html);
  }
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

  // Ends the process that draws the page, as running out of memory would.
  void KillRenderer() {
    const qint64 pid = view_->Explorer()->page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGKILL), 0);
  }
  // Starts loading /slow and waits until the browser has committed to it.
  void StartSlowPage() {
    const QString slow = QString::fromStdString(server_.Url("/slow"));
    view_->Navigate(slow);
    ASSERT_TRUE(WaitFor([&] { return view_->Explorer()->url().toString() == slow; },
                        kLoadLimitMs));
    ASSERT_TRUE(view_->IsLoading());
  }
  // A page of `bytes` bytes with one table, in a file; its address.
  std::string WriteLocalPage(size_t bytes) {
    const std::string path = temp_.File("large.html");
    std::string page = "<html><body><table><tr><td>big</td></tr></table><p>";
    page.resize(std::max(bytes, page.size()), 'x');
    EXPECT_TRUE(testing::WriteFileBytes(path, page));
    return QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString();
  }
  bool NoticeShown() const { return view_->Notice()->isVisible(); }

  testing::TempDir temp_;
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

// Every way a page can end up not shown although the parse, which
// downloads the page itself, can still read it: Parse stays usable on the
// page's address, the notice over the browser and the status bar say why,
// and the notice offers what helps.
TEST_F(WebBrowserTest, ParseStaysUsableWhenTheBrowserCannotShowThePage) {
  struct Case {
    const char* name;
    std::function<std::string()> provoke;  // the address Parse should send
    QString action;
  };
  const std::vector<Case> cases = {
      {"an ftp address typed",
       [&] {
         view_->Navigate(QString::fromLatin1(kFtpPage));
         return std::string(kFtpPage);
       },
       QString()},
      {"an ftp link followed in a page",
       [&] {
         EXPECT_TRUE(Open(server_.Url("/ftplink")));
         return std::string(kFtpPage);
       },
       QString()},
      {"the page process ended after the page loaded",
       [&] {
         KillRenderer();
         return server_.Url("/page");
       },
       QStringLiteral("Reload")},
      {"the page process ended while the page loaded",
       [&] {
         StartSlowPage();
         KillRenderer();
         return server_.Url("/slow");
       },
       QStringLiteral("Reload")},
      {"a local page too large to show",
       [&] {
         view_->SetLargestShownPage(4096);
         const std::string page = WriteLocalPage(8192);
         view_->Navigate(QString::fromStdString(page));
         return page;
       },
       QStringLiteral("Show Anyway")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Open(server_.Url("/page")));
    ASSERT_FALSE(NoticeShown());
    const std::string address = c.provoke();
    ASSERT_TRUE(WaitFor(
        [&] {
          return NoticeShown() && ParseEnabled() &&
                 view_->AddressBox()->text().toStdString() == address;
        },
        kLoadLimitMs))
        << view_->AddressBox()->text().toStdString();
    EXPECT_FALSE(view_->IsLoading());
    EXPECT_FALSE(view_->StatusText().isEmpty());
    EXPECT_EQ(view_->StatusText(), view_->Notice()->Text());
    EXPECT_EQ(view_->Notice()->ActionButton()->isVisible(), !c.action.isEmpty());
    if (!c.action.isEmpty()) {
      EXPECT_EQ(view_->Notice()->ActionButton()->text(), c.action);
    }

    const size_t before = parse_requests_.size();
    view_->Parse();
    ASSERT_TRUE(WaitFor([&] { return parse_requests_.size() == before + 1; }));
    EXPECT_EQ(parse_requests_.back(), address);
    // Reload and Show Anyway navigate: not while the parse reads the page.
    EXPECT_FALSE(view_->Notice()->ActionButton()->isEnabled());
    platform::SendMessage(view_->Handle(), platform::WM_PARSE_DONE, 1, 0);
    EXPECT_TRUE(view_->Notice()->ActionButton()->isEnabled());
    view_->SetLargestShownPage(CViewWebBrowser::kLargestShownPage);
  }
}

TEST_F(WebBrowserTest, TheNoticeReloadsShowsAnywayAndCloses) {
  ASSERT_TRUE(Open(server_.Url("/page")));
  KillRenderer();
  ASSERT_TRUE(WaitFor([&] { return NoticeShown(); }, kLoadLimitMs));
  // Enter on the focused Reload presses it; the page is drawn afresh.
  const int before = loads_;
  QTest::keyClick(view_->Notice()->ActionButton(), Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return loads_ > before; }, kLoadLimitMs));
  EXPECT_FALSE(NoticeShown());
  EXPECT_TRUE(view_->StatusText().isEmpty());
  EXPECT_TRUE(view_->NavigationOk());
  EXPECT_EQ(view_->Explorer()->LocationURL().toStdString(), server_.Url("/page"));

  // A local page over the limit stays out of the browser until asked for.
  view_->SetLargestShownPage(4096);
  const std::string large = WriteLocalPage(8192);
  view_->Navigate(QString::fromStdString(large));
  ASSERT_TRUE(NoticeShown());
  EXPECT_EQ(view_->Explorer()->LocationURL().toStdString(), server_.Url("/page"));
  view_->Notice()->ActionButton()->click();
  ASSERT_TRUE(WaitFor(
      [&] {
        return !view_->IsLoading() && view_->Explorer()->LocationURL().toStdString() == large;
      },
      kLoadLimitMs));
  EXPECT_FALSE(NoticeShown());
  EXPECT_TRUE(ParseEnabled());

  // One under the limit is shown as usual; the close button puts a
  // notice away.
  view_->Navigate(QString::fromLatin1(kFtpPage));
  ASSERT_TRUE(WaitFor([&] { return NoticeShown(); }, kLoadLimitMs));
  view_->Notice()->CloseButton()->click();
  EXPECT_FALSE(NoticeShown());
  view_->SetLargestShownPage(1 << 20);
  ASSERT_TRUE(Open(large));
  EXPECT_FALSE(NoticeShown());
  EXPECT_EQ(view_->Explorer()->LocationURL().toStdString(), large);
}

// A page that takes long can be parsed before the browser is done with
// it; with a parse asked for on start, it is.
TEST_F(WebBrowserTest, ASlowPageCanBeParsedBeforeItFinishes) {
  view_->SetLoadPatience(60000);
  StartSlowPage();
  EXPECT_FALSE(ParseEnabled());
  view_->SetLoadPatience(200);
  ASSERT_TRUE(WaitFor([&] { return ParseEnabled(); }, kLoadLimitMs));
  EXPECT_TRUE(view_->IsLoading());
  EXPECT_FALSE(view_->StatusText().isEmpty());
  EXPECT_EQ(view_->AddressBox()->text().toStdString(), server_.Url("/slow"));
  ASSERT_TRUE(WaitFor([&] { return !view_->IsLoading(); }, kLoadLimitMs));
  EXPECT_TRUE(view_->StatusText().isEmpty());  // loaded after all

  view_->Navigate(QString::fromStdString(server_.Url("/slow?again")));
  view_->ParseWhenLoaded();
  ASSERT_TRUE(WaitFor([&] { return !parse_requests_.empty(); }, kLoadLimitMs));
  EXPECT_TRUE(view_->IsLoading());
  EXPECT_EQ(parse_requests_.front(), server_.Url("/slow?again"));
  EXPECT_EQ(parse_requests_.size(), 1u);
}

// Enter does what the control in focus is for: Go from the address box,
// the tree (a favourite in focus opens that favourite) and the Go button,
// Parse from the Parse button. A click on a favourite opens it too.
TEST_F(WebBrowserTest, EnterAndClicksInTheTreeAndOnTheButtons) {
  const std::filesystem::path folder(temp_.path());
  std::filesystem::create_directories(folder / "Work");
  std::ofstream(folder / "Work" / "Other.url")
      << "[InternetShortcut]\r\nURL=" << server_.Url("/other") << "\r\n";
  std::ofstream(folder / "Clicked.url")
      << "[InternetShortcut]\r\nURL=" << server_.Url("/clicked") << "\r\n";
  CFavoritesBuilder builder(platform::SettingsStore::User());
  builder.SetFolder(folder);
  builder.SetSortFavorites(1);
  ASSERT_TRUE(builder.Load(nullptr, view_->Tree()));
  ASSERT_TRUE(WaitFor([&] { return builder.IsLoaded(); }));
  view_->SetFavoritesBuilder(&builder);
  auto item = [&](const QString& text) {
    const QList<QTreeWidgetItem*> found =
        view_->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  };
  ASSERT_NE(item(QStringLiteral("Other")), nullptr);

  struct Case {
    const char* name;
    std::function<void()> act;
    std::string opened;  // empty: Parse was pressed instead
  };
  const std::vector<Case> cases = {
      {"a favourite in the tree",
       [&] {
         view_->Tree()->setCurrentItem(item(QStringLiteral("Other")));
         QTest::keyClick(view_->Tree(), Qt::Key_Return);
       },
       server_.Url("/other")},
      {"a folder in the tree",
       [&] {
         view_->AddressBox()->setText(QString::fromStdString(server_.Url("/page?folder")));
         view_->Tree()->setCurrentItem(item(QStringLiteral("Work")));
         QTest::keyClick(view_->Tree(), Qt::Key_Enter);
       },
       server_.Url("/page?folder")},
      {"the Go button",
       [&] {
         view_->AddressBox()->setText(QString::fromStdString(server_.Url("/page?go")));
         QTest::keyClick(view_->GoButton()->Widget(), Qt::Key_Return);
       },
       server_.Url("/page?go")},
      {"the Parse button",
       [&] { QTest::keyClick(view_->ParseButton()->Widget(), Qt::Key_Return); }, ""},
      {"a favourite clicked",
       [&] {
         QTreeWidgetItem* clicked = item(QStringLiteral("Clicked"));
         view_->Tree()->scrollToItem(clicked);
         QTest::mouseClick(view_->Tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                           view_->Tree()->visualItemRect(clicked).center());
       },
       server_.Url("/clicked")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Open(server_.Url("/page")));
    const int loads_before = loads_;
    const size_t parses_before = parse_requests_.size();
    c.act();
    if (c.opened.empty()) {
      ASSERT_TRUE(WaitFor([&] { return parse_requests_.size() == parses_before + 1; }));
      EXPECT_EQ(parse_requests_.back(), server_.Url("/page"));
      platform::SendMessage(view_->Handle(), platform::WM_PARSE_DONE, 1, 0);
    } else {
      ASSERT_TRUE(WaitFor([&] { return loads_ > loads_before; }, kLoadLimitMs));
      EXPECT_EQ(view_->CurrentAddress().toStdString(), c.opened);
      EXPECT_EQ(parse_requests_.size(), parses_before);
    }
  }
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
  // A wanted tree comes back once it holds favourites.
  view_->ShowTree(true);
  EXPECT_FALSE(view_->IsTreeShown());
  view_->Tree()->addTopLevelItem(new QTreeWidgetItem(QStringList(QStringLiteral("Prices"))));
  view_->ShowTree(true);
  EXPECT_EQ(view_->Explorer()->geometry(), grown);
}

// The program as "Quarry --parse ADDRESS" starts it, its frame shown.
CQuarryApp& StartParsing(testing::AppFixture& fixture, const std::string& address) {
  CQuarryApp& app = fixture.Start({"--parse", address});
  if (app.View() != nullptr && app.View()->WebBrowser() != nullptr) {
    app.View()->WebBrowser()->ParseWhenLoaded();
  }
  app.MainFrame()->resize(1000, 640);
  app.MainFrame()->show();
  return app;
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
  CQuarryApp& app = StartParsing(fixture, sample);
  CQuarryView* main_view = app.View();
  CViewWebBrowser* browser = main_view->WebBrowser();
  ASSERT_NE(browser, nullptr);

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

// Pages the browser cannot show, in the program: "--parse ftp://..." parses
// a page on an FTP server at once, and a page whose renderer dies says so
// in the frame's status bar and stays parseable. With
// $QUARRY_SCREENSHOT_DIR set, both states are saved there as images.
TEST(WebBrowserInFrame, PagesTheBrowserCannotShowAreParsedAndExplained) {
  peers::VsftpdPeer ftp;
  const peers::PeerState state = ftp.Start();
  if (state == peers::PeerState::kMissing) GTEST_SKIP() << ftp.reason();
  ASSERT_EQ(state, peers::PeerState::kRunning) << ftp.reason();
  std::filesystem::copy_file(QUARRY_SAMPLE_PAGE, ftp.root() / "sample.html");
  const std::string page = ftp.Url("sample.html");
  const char* shots = std::getenv("QUARRY_SCREENSHOT_DIR");
  auto shoot = [&](CQuarryApp& app, const char* name) {
    if (shots == nullptr) return;
    testing::Pump(300);
    const QString path = QString::fromLocal8Bit(shots) + QLatin1Char('/') + QLatin1String(name);
    EXPECT_TRUE(app.MainFrame()->grab().save(path)) << path.toStdString();
  };

  testing::AppFixture fixture;
  CQuarryApp& app = StartParsing(fixture, page);
  CQuarryView* main_view = app.View();
  CViewWebBrowser* browser = main_view->WebBrowser();
  ASSERT_NE(browser, nullptr);
  CViewTableResults* results = main_view->TableResults();
  ASSERT_TRUE(WaitFor([&] { return results->PageUrl().toStdString() == page; }, kLoadLimitMs));
  EXPECT_EQ(main_view->CurrentSubView(), CQuarryView::SubView::kTableResults);
  ASSERT_TRUE(WaitFor([&] { return !results->IsBusy() && browser->GoButton()->IsEnabled(); },
                      kLoadLimitMs));
  EXPECT_FALSE(results->Tables().empty()) << results->StatusText().toStdString();
  EXPECT_TRUE(browser->ParseButton()->IsEnabled());
  EXPECT_TRUE(browser->Notice()->isVisibleTo(browser));

  // Typed in the window, the same address leaves the page before shown,
  // and Parse usable; the status bar says why.
  main_view->ShowSubView(CQuarryView::SubView::kWebBrowser);
  browser->Navigate(QStringLiteral("about:blank"));
  ASSERT_TRUE(WaitFor([&] { return !browser->IsLoading(); }, kLoadLimitMs));
  browser->Navigate(QString::fromStdString(page));
  ASSERT_TRUE(WaitFor([&] { return browser->Notice()->isVisible(); }, kLoadLimitMs));
  EXPECT_TRUE(browser->ParseButton()->IsEnabled());
  EXPECT_EQ(app.MainFrame()->StatusText(), browser->StatusText());
  shoot(app, "ftp-not-shown.png");

  // The sample page from a file, then its renderer gone.
  const std::string sample =
      QUrl::fromLocalFile(QStringLiteral(QUARRY_SAMPLE_PAGE)).toString().toStdString();
  browser->Navigate(QString::fromStdString(sample));
  ASSERT_TRUE(WaitFor([&] { return !browser->IsLoading(); }, kLoadLimitMs));
  ASSERT_FALSE(browser->Notice()->isVisible());
  const qint64 renderer = browser->Explorer()->page()->renderProcessPid();
  ASSERT_GT(renderer, 0);
  ASSERT_EQ(kill(static_cast<pid_t>(renderer), SIGKILL), 0);
  ASSERT_TRUE(WaitFor([&] { return browser->Notice()->isVisible(); }, kLoadLimitMs));
  EXPECT_EQ(app.MainFrame()->StatusText(), browser->StatusText());
  EXPECT_TRUE(browser->ParseButton()->IsEnabled());
  EXPECT_EQ(browser->CurrentAddress().toStdString(), sample);
  shoot(app, "renderer-ended.png");
}

}  // namespace
}  // namespace quarry
