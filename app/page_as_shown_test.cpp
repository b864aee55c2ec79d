// The whole program over pages served on 127.0.0.1, in a real embedded
// browser: "Parse as shown" reads tables that scripts build and tables
// behind the browser's cookies, and "Show in Page" marks each listed table
// on its own element, or says why it cannot.
//
// With $QUARRY_SCREENSHOT_DIR set, the states are saved there as images.

#include <gtest/gtest.h>

#include <QNetworkCookie>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/app_test_support.h"
#include "app/explorer.h"
#include "app/main_frame.h"
#include "app/quarry_view.h"
#include "app/view_table_results.h"
#include "app/view_web_browser.h"
#include "framework/ks_controls.h"
#include "framework/list_ctrl_ext.h"
#include "web/testing/test_http_server.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;
using testing::WaitFor;

constexpr int kLimitMs = 20000;

// The table is made by the page's script as the page loads.
constexpr char kScriptBuilt[] = R"(<html><body><h1>Prices</h1><div id=place></div><script>
var rows = [['Item', 'Price'], ['Lamp', '12'], ['Desk', '140']];
var table = document.createElement('table');
table.id = 'built';
rows.forEach(function (row) {
  var tr = table.insertRow();
  row.forEach(function (cell) { tr.insertCell().textContent = cell; });
});
document.getElementById('place').appendChild(table);
</script></body></html>)";

// The script rewrites the table's cells once the page has loaded.
constexpr char kRewritten[] = R"(<html><body><table id=changing><tr><td>before</td></tr></table>
<script>document.querySelector('#changing td').textContent = 'after';</script></body></html>)";

// A table whose id names its start tag's position ("t7": the page's eighth
// table element), nested tables of the same kind in some cells, and now
// and then a table without rows (not listed, still counted).
std::string Table(std::mt19937& rng, int depth, int& next) {
  const int id = next++;
  static const char* kOpen[] = {"<table", "<TABLE", "<Table"};
  std::string html = std::string(kOpen[rng() % 3]) + " id=t" + std::to_string(id) + ">";
  const int rows = static_cast<int>(rng() % 4);
  for (int r = 0; r < rows; ++r) {
    html += "<tr>";
    for (int c = 0, cells = 1 + static_cast<int>(rng() % 3); c < cells; ++c) {
      html += "<td>c" + std::to_string(id) + "_" + std::to_string(r) + "_" + std::to_string(c);
      if (depth < 3 && rng() % 4 == 0) html += Table(rng, depth + 1, next);
      html += "</td>";
    }
    html += "</tr>";
  }
  return html + "</table>";
}

std::string GeneratedPage(unsigned seed) {
  std::mt19937 rng(seed);
  std::string page = "<html><body>";
  int next = 0;
  for (int t = 0, tables = 2 + static_cast<int>(rng() % 4); t < tables; ++t) {
    page += Table(rng, 0, next) + "<p>between</p>";
  }
  return page + "</body></html>";
}

ScriptedResponse Serve(const ReceivedRequest& request) {
  const std::vector<std::string> html = {"Content-Type: text/html"};
  if (request.target == "/built") return ScriptedResponse::Make(200, kScriptBuilt, html);
  if (request.target == "/rewritten") return ScriptedResponse::Make(200, kRewritten, html);
  if (request.target == "/private") {
    // Only a visitor with the session cookie sees the table.
    if (request.Header("Cookie").find("session=open") == std::string::npos) {
      return ScriptedResponse::Make(200, "<html><body>Please sign in.</body></html>", html);
    }
    return ScriptedResponse::Make(
        200, "<html><body><table id=account><tr><td>Balance</td><td>42</td></tr></table>"
             "</body></html>",
        html);
  }
  if (request.target.rfind("/generated/", 0) == 0) {
    return ScriptedResponse::Make(
        200, GeneratedPage(static_cast<unsigned>(std::stoul(request.target.substr(11)))), html);
  }
  return ScriptedResponse::Make(200, "<html><body><p>another page</p></body></html>", html);
}

// The program, its frame shown, with nothing parsed yet.
class PageAsShownTest : public ::testing::Test {
 protected:
  PageAsShownTest() : server_(Serve) {
    app_ = &fixture_.Start();
    app_->MainFrame()->resize(1100, 700);
    app_->MainFrame()->show();
    view_ = app_->View();
    browser_ = view_->WebBrowser();
    results_ = view_->TableResults();
    QObject::connect(browser_, &CViewWebBrowser::tableMarkAnswered,
                     [this](bool marked, const QString& said) {
                       ++answers_;
                       marked_ = marked;
                       said_ = said;
                     });
  }

  // Opens `path` of the test server and waits until it can be parsed.
  void Open(const std::string& path) {
    view_->ShowSubView(CQuarryView::SubView::kWebBrowser);
    browser_->Navigate(QString::fromStdString(server_.Url(path)));
    ASSERT_TRUE(WaitFor([&] { return !browser_->IsLoading() && browser_->IsPageShown(); },
                        kLimitMs));
    ASSERT_TRUE(browser_->ParseButton()->IsEnabled());
    ASSERT_TRUE(browser_->ParseShownButton()->IsEnabled());
  }

  // Presses `press` and waits until the results are listed and the
  // browser's buttons are back.
  void ParseWith(void (CViewWebBrowser::*press)()) {
    (browser_->*press)();
    ASSERT_TRUE(WaitFor([&] { return results_->IsBusy() || !browser_->GoButton()->IsEnabled(); }));
    ASSERT_TRUE(WaitFor([&] { return !results_->IsBusy() && browser_->GoButton()->IsEnabled(); },
                        kLimitMs));
  }

  QStringList Listed() const {
    QStringList names;
    for (const ExtractedTable& table : results_->Tables()) names << QString::fromStdString(table.id);
    return names;
  }

  // Asks for table `row` to be shown in the page and waits for the answer
  // (a table newly selected is first marked quietly, which answers too).
  bool ShowInPage(int row) {
    const int expected = answers_ + (row == results_->SelectedTable() ? 1 : 2);
    results_->ShowInPage(row, true);
    return WaitFor([&] { return answers_ >= expected; }, kLimitMs);
  }

  // The id of the element that carries the mark, "" for none.
  QString MarkedId() {
    QString id;
    bool done = false;
    browser_->Explorer()->page()->runJavaScript(
        QStringLiteral("window.__quarryMark ? window.__quarryMark.element.id : ''"),
        QWebEngineScript::ApplicationWorld, [&](const QVariant& result) {
          id = result.toString();
          done = true;
        });
    EXPECT_TRUE(WaitFor([&] { return done; }, kLimitMs));
    return id;
  }

  void Shoot(const char* name) {
    const char* folder = std::getenv("QUARRY_SCREENSHOT_DIR");
    if (folder == nullptr) return;
    testing::Pump(400);
    const QString path = QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name);
    EXPECT_TRUE(app_->MainFrame()->grab().save(path)) << path.toStdString();
  }

  TestHttpServer server_;
  testing::AppFixture fixture_;
  CQuarryApp* app_ = nullptr;
  CQuarryView* view_ = nullptr;
  CViewWebBrowser* browser_ = nullptr;
  CViewTableResults* results_ = nullptr;
  int answers_ = 0;
  bool marked_ = false;
  QString said_;
};

TEST_F(PageAsShownTest, ATableBuiltByAScriptIsListedOnlyFromThePageAsShown) {
  Open("/built");
  ParseWith(&CViewWebBrowser::Parse);
  EXPECT_TRUE(results_->Tables().empty());
  EXPECT_EQ(results_->StatusText(), QStringLiteral("0 table(s) found in the downloaded page"));

  view_->ShowSubView(CQuarryView::SubView::kWebBrowser);
  ParseWith(&CViewWebBrowser::ParseAsShown);
  EXPECT_EQ(view_->CurrentSubView(), CQuarryView::SubView::kTableResults);
  EXPECT_EQ(Listed(), QStringList({"built"}));
  ASSERT_EQ(results_->Tables().size(), 1u);
  EXPECT_EQ(results_->Tables()[0].data, "Item,Price\r\nLamp,12\r\nDesk,140\r\n");
  EXPECT_EQ(results_->StatusText(), QStringLiteral("1 table(s) found in the page as shown"));
  EXPECT_EQ(app_->MainFrame()->StatusText(), results_->StatusText());
  results_->TableListCtrl()->SetSelectedRow(0);
  results_->ShowTable(0);
  Shoot("parse-as-shown.png");

  // With "Parse reads: the page as shown", Parse itself reads it so.
  app_->View()->Settings()->SetParsePageAsShown(1);
  view_->ShowSubView(CQuarryView::SubView::kWebBrowser);
  ParseWith(&CViewWebBrowser::Parse);
  EXPECT_EQ(Listed(), QStringList({"built"}));
  EXPECT_TRUE(results_->ParsedAsShown());
  // The page was asked for twice: by the browser and by the download;
  // reading the page as shown asks for nothing.
  int asked = 0;
  for (const ReceivedRequest& request : server_.Requests()) asked += request.target == "/built";
  EXPECT_EQ(asked, 2);
}

TEST_F(PageAsShownTest, ATableBehindACookieSetInTheBrowser) {
  QWebEngineCookieStore* cookies = browser_->Explorer()->page()->profile()->cookieStore();
  bool added = false;
  QObject::connect(cookies, &QWebEngineCookieStore::cookieAdded,
                   [&](const QNetworkCookie& cookie) { added = added || cookie.name() == "session"; });
  cookies->setCookie(QNetworkCookie("session", "open"), QUrl(QString::fromStdString(server_.Url("/"))));
  ASSERT_TRUE(WaitFor([&] { return added; }, kLimitMs));

  Open("/private");
  ParseWith(&CViewWebBrowser::Parse);  // the download has no cookie
  EXPECT_TRUE(results_->Tables().empty());
  view_->ShowSubView(CQuarryView::SubView::kWebBrowser);
  ParseWith(&CViewWebBrowser::ParseAsShown);
  EXPECT_EQ(Listed(), QStringList({"account"}));
}

TEST_F(PageAsShownTest, EveryListedTableIsMarkedOnItsOwnElement) {
  for (unsigned seed : {3u, 11u, 29u}) {
    Open("/generated/" + std::to_string(seed));
    ParseWith(&CViewWebBrowser::Parse);
    ASSERT_FALSE(results_->Tables().empty());
    for (int row = 0; row < static_cast<int>(results_->Tables().size()); ++row) {
      ASSERT_TRUE(ShowInPage(row)) << seed << " " << row;
      EXPECT_EQ(view_->CurrentSubView(), CQuarryView::SubView::kWebBrowser);
      ASSERT_TRUE(marked_) << said_.toStdString();
      EXPECT_EQ(MarkedId().toStdString(), results_->Tables()[row].id) << "page " << seed;
    }
  }
  Shoot("table-marked.png");
}

TEST_F(PageAsShownTest, AnotherPageOrAChangedOneIsSaidSoAndNothingIsMarked) {
  Open("/rewritten");
  ParseWith(&CViewWebBrowser::Parse);
  ASSERT_EQ(Listed(), QStringList({"changing"}));
  // The download read "before"; the page shows "after".
  ASSERT_TRUE(ShowInPage(0));
  EXPECT_FALSE(marked_);
  EXPECT_TRUE(said_.contains("changing is not in the page as it is shown now")) << said_.toStdString();
  EXPECT_TRUE(said_.contains("Parse as shown"));
  EXPECT_EQ(app_->MainFrame()->StatusText(), said_);
  EXPECT_EQ(MarkedId(), QString());

  // Read as shown, it is found.
  view_->ShowSubView(CQuarryView::SubView::kWebBrowser);
  ParseWith(&CViewWebBrowser::ParseAsShown);
  ASSERT_TRUE(ShowInPage(0));
  EXPECT_TRUE(marked_);
  EXPECT_EQ(MarkedId(), QStringLiteral("changing"));

  // Elsewhere, the table is not looked for at all.
  Open("/elsewhere");
  ASSERT_TRUE(ShowInPage(0));
  EXPECT_FALSE(marked_);
  EXPECT_TRUE(said_.startsWith("The page shown is not the page changing comes from"))
      << said_.toStdString();
}

}  // namespace
}  // namespace quarry
