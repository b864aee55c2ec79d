#include "app/view_table_results.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/app_test_support.h"
#include "app/main_frame.h"
#include "app/table_in_page.h"
#include "app/quarry_view.h"
#include "engine/export_grid.h"
#include "engine/testing/workbook_reader.h"
#include "framework/ks_controls.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "platform/window_message.h"
#include "platform/window_message_ids.h"
#include "web/offline_state.h"
#include "web/testing/test_http_server.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using quarry::testing::ScriptedResponse;
using quarry::testing::TempDir;
using quarry::testing::TestHttpServer;
using quarry::testing::WaitFor;

constexpr char kPage[] =
    "<html><body><p>Prices</p>"
    "<table id=\"prices\"><tr><td>Name</td><td>Price</td></tr>"
    "<tr><td>a,b</td><td>3</td></tr><tr><td>c</td><td>4</td></tr></table>"
    "<table><tr><td>x</td><td>y</td><td>z</td></tr>"
    "<tr><td>1</td><td>2</td><td>3</td></tr>"
    "<tr><td>x</td><td>y</td><td>z</td></tr></table>"
    "</body></html>";

// A view registered with a hub whose owner records what it is sent.
class TableResultsTest : public ::testing::Test {
 protected:
  TableResultsTest()
      : owner_([this](uint32_t message, uintptr_t wparam, intptr_t lparam) {
          // Requests to mark a table in the page are kept apart, as they
          // read then: the record is the view's and changes with the next.
          if (message == platform::WM_SHOW_TABLE_IN_PAGE) {
            in_page_heard_.push_back(*reinterpret_cast<const TableInPage*>(wparam));
            in_page_show_.push_back(lparam != 0);
          } else {
            owner_heard_.emplace_back(message, wparam);
          }
          return intptr_t{0};
        }) {
    settings_.SetOwnerWindow(owner_.Handle());
    view_ = std::make_unique<CViewTableResults>();
    view_->Init(nullptr, nullptr, &settings_);
    view_->resize(800, 500);
    view_->SetErrorSink([this](const QString& text) { errors_ << text; });
    view_->SetOpenAfterExport([this](const std::string& path) { opened_.push_back(path); });
  }
  ~TableResultsTest() override { view_.reset(); }

  // Parses `url` and waits for the result on the event loop.
  bool Parse(const QString& url) {
    bool finished = false;
    auto connection = QObject::connect(view_.get(), &CViewTableResults::parseFinished,
                                       [&](bool) { finished = true; });
    const bool started = view_->StartParse(url);
    const bool done = started && WaitFor([&] { return finished; }, 10000);
    QObject::disconnect(connection);
    return done;
  }

  // Exports the shown grid to `path` and waits for the worker; true when
  // the file was written.
  bool Export(const std::string& path) {
    bool finished = false, written = false;
    auto connection = QObject::connect(view_.get(), &CViewTableResults::exportFinished,
                                       [&](bool ok, const QString&) {
                                         finished = true;
                                         written = ok;
                                       });
    const bool started = view_->ExportTo(QString::fromStdString(path));
    const bool done = started && WaitFor([&] { return finished; }, 10000);
    QObject::disconnect(connection);
    return done && written;
  }

  // A file:// address of a page holding `html`.
  QString PageFile(const std::string& html) {
    const std::string path = dir_.File("page" + std::to_string(++pages_) + ".html");
    quarry::testing::WriteFileBytes(path, html);
    return QUrl::fromLocalFile(QString::fromStdString(path)).toString();
  }

  QStringList ListedNames() const {
    QStringList names;
    for (int i = 0; i < view_->TableListCtrl()->GetItemCount(); ++i) {
      names << view_->TableListCtrl()->GetItemText(i, 0);
    }
    return names;
  }

  // The grid's rows, cells joined by "|".
  QStringList GridRows() const {
    QStringList rows;
    CListCtrlExt* grid = view_->Grid();
    for (int r = 0; r < grid->GetItemCount(); ++r) {
      QStringList cells;
      for (int k = 0; k < grid->GetColumnCount(); ++k) cells << grid->GetItemText(r, k);
      rows << cells.join('|');
    }
    return rows;
  }

  CAppSettings settings_;
  platform::MessageWindow owner_;
  std::vector<std::pair<uint32_t, uintptr_t>> owner_heard_;
  std::vector<TableInPage> in_page_heard_;
  std::vector<bool> in_page_show_;
  std::unique_ptr<CViewTableResults> view_;
  QStringList errors_;
  std::vector<std::string> opened_;
  TempDir dir_;
  int pages_ = 0;
};

TEST_F(TableResultsTest, HubRequestParsesPageListsTablesAndTellsOwner) {
  TestHttpServer server([](const quarry::testing::ReceivedRequest&) {
    // Sent in two pieces, so the parse is still running when the second
    // request arrives.
    std::string page = kPage;
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                       std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n";
    return ScriptedResponse::Raw(head + page.substr(0, 20)).Then(page.substr(20), 300);
  });
  std::string address = server.Url("/tables.html");
  ASSERT_TRUE(platform::PostMessage(view_->Handle(), platform::WM_PARSE_PAGE,
                                    reinterpret_cast<uintptr_t>(&address), 0));
  ASSERT_TRUE(WaitFor([&] { return view_->IsBusy(); }));
  address = "changed after posting";  // the view took its own copy
  EXPECT_EQ(view_->cursor().shape(), Qt::WaitCursor);
  EXPECT_FALSE(view_->ExportButton()->IsEnabled());
  EXPECT_FALSE(view_->StartParse(QStringLiteral("http://127.0.0.1:1/other")));
  // A request without an address is ignored too.
  platform::PostMessage(view_->Handle(), platform::WM_PARSE_PAGE, 0, 0);

  ASSERT_TRUE(WaitFor([&] { return !view_->IsBusy(); }, 10000));
  EXPECT_EQ(ListedNames(), QStringList({"prices", "Table 2"}));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(view_->PageUrl(), QString::fromStdString(server.Url("/tables.html")));
  EXPECT_NE(view_->cursor().shape(), Qt::WaitCursor);
  ASSERT_TRUE(WaitFor([&] { return !owner_heard_.empty(); }));
  EXPECT_EQ(owner_heard_[0], std::make_pair(platform::WM_PARSE_DONE, uintptr_t{1}));
  // Nothing is shown until a table is clicked.
  EXPECT_EQ(view_->SelectedTable(), -1);
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 0);
  EXPECT_FALSE(view_->ExportButton()->IsEnabled());
}

TEST_F(TableResultsTest, FailedDownloadKeepsTheTablesAndSaysWhy) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->ShowTable(0);
  ASSERT_EQ(view_->Tables().size(), 2u);

  TestHttpServer server([](const quarry::testing::ReceivedRequest&) {
    return ScriptedResponse::Make(404, "gone");
  });
  owner_heard_.clear();
  ASSERT_TRUE(Parse(QString::fromStdString(server.Url("/missing.html"))));
  // What the user had, edits included, is not lost to a page that failed.
  EXPECT_EQ(ListedNames(), QStringList({"prices", "Table 2"}));
  EXPECT_EQ(view_->SelectedTable(), 0);
  EXPECT_TRUE(view_->ExportButton()->IsEnabled());
  EXPECT_TRUE(view_->StatusText().contains("404")) << view_->StatusText().toStdString();
  ASSERT_TRUE(WaitFor([&] { return !owner_heard_.empty(); }));
  EXPECT_EQ(owner_heard_[0], std::make_pair(platform::WM_PARSE_DONE, uintptr_t{0}));

  // A missing local file is a failure with a reason as well.
  ASSERT_TRUE(Parse(QUrl::fromLocalFile(QString::fromStdString(dir_.File("none.html")))
                        .toString()));
  EXPECT_EQ(view_->Tables().size(), 2u);
  EXPECT_TRUE(view_->StatusText().contains("No such file")) << view_->StatusText().toStdString();
}

TEST_F(TableResultsTest, AZeroByteThatEndsThePageIsSaid) {
  const std::string page = std::string("<table id=\"a\"><tr><td>1</td></tr></table>\0", 42) +
                           "<table id=\"b\"><tr><td>2</td></tr></table>";
  ASSERT_TRUE(Parse(PageFile(page)));
  EXPECT_EQ(ListedNames(), QStringList({"a"}));
  EXPECT_TRUE(view_->StatusText().contains("zero byte at offset 41"))
      << view_->StatusText().toStdString();
}

TEST_F(TableResultsTest, PageCutAtSizeLimitSaysSo) {
  auto& store = platform::SettingsStore::User();
  ASSERT_TRUE(store.SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 200));
  std::string page = "<table id=\"early\"><tr><td>1</td></tr></table>";
  page += std::string(300, ' ') + "<table id=\"late\"><tr><td>2</td></tr></table>";
  const bool parsed = Parse(PageFile(page));
  store.SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 0);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(ListedNames(), QStringList({"early"}));
  EXPECT_TRUE(view_->StatusText().startsWith("Only the first")) << view_->StatusText().toStdString();
}

TEST_F(TableResultsTest, FetchesThroughSettingsProxyAndNeedsNetworkOnlyForRemotePages) {
  TestHttpServer proxy([](const quarry::testing::ReceivedRequest&) {
    return ScriptedResponse::Make(200, kPage);
  });
  settings_.SetUseProxy(1);
  settings_.SetProxyServer("127.0.0.1");
  settings_.SetProxyPort(proxy.port());

  SetNetworkProbe([] { return NetworkState{false, false, false, 0}; });
  ASSERT_TRUE(Parse(QStringLiteral("http://tables.example/list.html")));
  EXPECT_TRUE(view_->Tables().empty());
  EXPECT_EQ(view_->StatusText(), "No network connection is available");
  EXPECT_EQ(proxy.Connections(), 0);
  // Pages of this machine need no network.
  ASSERT_TRUE(Parse(PageFile(kPage)));
  EXPECT_EQ(view_->Tables().size(), 2u);

  SetNetworkProbe([] { return NetworkState{true, true, false, 0}; });
  const bool parsed = Parse(QStringLiteral("http://tables.example/list.html"));
  SetNetworkProbe({});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(view_->Tables().size(), 2u);
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, "http://tables.example/list.html");
}

TEST_F(TableResultsTest, HeaderCheckBoxTitlesColumnsWithFirstLine) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->HeaderCheck()->SetValue(1);
  view_->ShowTable(0);
  EXPECT_EQ(view_->SelectedTable(), 0);
  EXPECT_TRUE(view_->ExportButton()->IsEnabled());
  EXPECT_EQ(view_->Grid()->GetColumnTitle(0), "Name");
  EXPECT_EQ(view_->Grid()->GetColumnTitle(1), "Price");
  EXPECT_EQ(GridRows(), QStringList({"a,b|3", "c|4"}));

  // Clicking the check box shows the same table again, untitled.
  view_->HeaderCheck()->CheckBox()->click();
  EXPECT_EQ(view_->Grid()->GetColumnTitle(0), "");
  EXPECT_EQ(GridRows(), QStringList({"Name|Price", "a,b|3", "c|4"}));

  // A click below the rows empties the grid.
  view_->ShowTable(5);
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 0);
}

TEST_F(TableResultsTest, OnlyClicksShowTables) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  CListCtrlExt* list = view_->TableListCtrl();
  view_->show();
  list->setFocus();
  list->SetSelectedRow(0);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->GetSelectedRow(), 1);
  EXPECT_EQ(view_->SelectedTable(), -1);
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 0);

  const QRect second = list->visualRect(list->model()->index(1, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
  EXPECT_EQ(view_->SelectedTable(), 1);
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 3);
}

TEST_F(TableResultsTest, RenameTakesLabelAsTypedAndCancelKeepsIt) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  QString offered;
  view_->SetLabelPrompt([&](const QString& current) -> std::optional<QString> {
    offered = current;
    return QStringLiteral(" Costs ");
  });
  view_->RenameTable(1);
  EXPECT_EQ(offered, "Table 2");
  EXPECT_EQ(view_->Tables()[1].id, " Costs ");
  EXPECT_EQ(ListedNames(), QStringList({"prices", " Costs "}));

  view_->SetLabelPrompt([](const QString&) { return std::optional<QString>(); });
  view_->RenameTable(0);
  EXPECT_EQ(view_->Tables()[0].id, "prices");
}

// A UTF-8 page whose id and cells hold "Café" and "東京", with character
// references 160-255 (kept as single Latin-1 bytes) in and beside them.
constexpr char kUtf8Page[] =
    "<html><body>"
    "<table id=\"Caf\xC3\xA9\"><tr><td>Caf\xC3\xA9</td><td>\xE6\x9D\xB1\xE4\xBA\xAC</td></tr>"
    "<tr><td>&#233;t&#233;</td><td>Caf\xC3\xA9 &#233;</td></tr></table>"
    "<table id=\"Caf\xE9\"><tr><td>x</td></tr></table>"
    "</body></html>";

TEST_F(TableResultsTest, PageTextShowsAsWrittenAndExportsItsOwnBytes) {
  ASSERT_TRUE(Parse(PageFile(kUtf8Page)));
  // Latin-1 ids show as Latin-1, UTF-8 ones decoded.
  EXPECT_EQ(ListedNames(), QStringList({"Caf\u00e9", "Caf\u00e9"}));
  EXPECT_EQ(view_->TableListCtrl()->GetItemBytes(1, 0), "Caf\xE9");
  view_->ShowTable(0);
  // A cell mixing UTF-8 with a single 0xE9 is no UTF-8: each byte shows.
  EXPECT_EQ(GridRows(), QStringList({"Caf\u00e9|\u6771\u4eac",
                                     "\u00e9t\u00e9|Caf\u00c3\u00a9 \u00e9"}));
  EXPECT_TRUE(view_->SuggestedExportPath().endsWith("/Caf\u00e9.htm"));

  const std::string rows =
      "Caf\xC3\xA9,\xE6\x9D\xB1\xE4\xBA\xAC\r\n\xE9t\xE9,Caf\xC3\xA9 \xE9\r\n";
  const std::string csv = dir_.File("utf8.csv");
  ASSERT_TRUE(Export(csv));
  EXPECT_EQ(quarry::testing::ReadFileBytes(csv), "\r\n" + rows);  // untitled

  // Titles taken from the first line keep their bytes as well.
  view_->HeaderCheck()->SetValue(1);
  view_->ShowTable(0);
  EXPECT_EQ(view_->Grid()->GetColumnTitle(1), QStringLiteral("\u6771\u4eac"));
  ASSERT_TRUE(Export(csv));
  EXPECT_EQ(quarry::testing::ReadFileBytes(csv), rows);
  const std::string htm = dir_.File("utf8.htm");
  ASSERT_TRUE(Export(htm));
  const std::string html = quarry::testing::ReadFileBytes(htm);
  for (const char* bytes : {"\xE6\x9D\xB1\xE4\xBA\xAC", ">\xE9t\xE9<", ">Caf\xC3\xA9 \xE9<"}) {
    EXPECT_NE(html.find(bytes), std::string::npos) << bytes;
  }
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(TableResultsTest, RenameKeepsEveryTypedCharacterAndUnchangedIdBytes) {
  ASSERT_TRUE(Parse(PageFile(kUtf8Page)));
  view_->SetLabelPrompt([](const QString&) -> std::optional<QString> {
    return QStringLiteral("\u6771\u4eac");
  });
  view_->RenameTable(0);
  EXPECT_EQ(view_->Tables()[0].id, "\xE6\x9D\xB1\xE4\xBA\xAC");
  EXPECT_EQ(ListedNames().at(0), QStringLiteral("\u6771\u4eac"));
  view_->ShowTable(0);
  EXPECT_TRUE(view_->SuggestedExportPath().endsWith(QStringLiteral("/\u6771\u4eac.htm")));

  // OK on the label as offered leaves a Latin-1 id's bytes alone.
  QString offered;
  view_->SetLabelPrompt([&](const QString& current) -> std::optional<QString> {
    offered = current;
    return current;
  });
  view_->RenameTable(1);
  EXPECT_EQ(offered, QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(view_->Tables()[1].id, "Caf\xE9");
}

TEST_F(TableResultsTest, DeletingShownTableClearsGridOtherwiseFollowsIt) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  CListCtrlExt* list = view_->TableListCtrl();
  view_->ShowTable(1);
  list->SetSelectedRow(0);
  view_->RunCommand(CViewTableResults::kCmdDeleteTable);
  ASSERT_EQ(ListedNames(), QStringList({"Table 2"}));
  EXPECT_EQ(view_->SelectedTable(), 0);  // the shown table moved up
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 3);

  list->SetSelectedRow(0);
  view_->show();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_TRUE(view_->Tables().empty());
  EXPECT_EQ(view_->SelectedTable(), -1);
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 0);
  EXPECT_EQ(view_->Grid()->GetItemCount(), 0);
  EXPECT_FALSE(view_->ExportButton()->IsEnabled());
  // Nothing left to act on.
  EXPECT_FALSE(view_->RunCommand(CViewTableResults::kCmdRemoveColumn));
}

TEST_F(TableResultsTest, GridCommandsEditRememberedLineAndColumn) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->ShowTable(1);  // x,y,z / 1,2,3 / x,y,z

  // Commands need a remembered cell.
  EXPECT_FALSE(view_->RunCommand(CViewTableResults::kCmdRemoveLine));

  ASSERT_TRUE(view_->RememberGridPoint({1, 2, false}));
  EXPECT_EQ(view_->RememberedLine(), 1);
  EXPECT_EQ(view_->Grid()->GetCellFormat(1, 0).background, CViewTableResults::kHighlight);
  EXPECT_EQ(view_->Grid()->GetCellFormat(0, 2).background, CViewTableResults::kHighlight);
  EXPECT_NE(view_->Grid()->GetCellFormat(0, 0).background, CViewTableResults::kHighlight);

  ASSERT_TRUE(view_->RememberGridPoint({0, 0, false}));
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdShiftRight));
  EXPECT_EQ(GridRows(), QStringList({"|x|y", "1|2|3", "|x|y"}));
  // Showing the table again drops the grey marks and the position.
  EXPECT_NE(view_->Grid()->GetCellFormat(1, 0).background, CViewTableResults::kHighlight);
  EXPECT_EQ(view_->RememberedLine(), -1);

  ASSERT_TRUE(view_->RememberGridPoint({1, 1, false}));
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdShiftLeft));
  EXPECT_EQ(GridRows(), QStringList({"|x|y", "2|3|", "|x|y"}));

  // Identical lines go together.
  ASSERT_TRUE(view_->RememberGridPoint({0, 1, false}));
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdRemoveLine));
  EXPECT_EQ(GridRows(), QStringList({"2|3|"}));

  // Over the header only the column is remembered: lines stay.
  ASSERT_TRUE(view_->RememberGridPoint({-1, 0, true}));
  EXPECT_EQ(view_->RememberedLine(), -1);
  EXPECT_FALSE(view_->RunCommand(CViewTableResults::kCmdRemoveLine));
  ASSERT_TRUE(view_->RememberGridPoint({-1, 0, true}));
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdRemoveColumn));
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 2);
  EXPECT_EQ(GridRows(), QStringList({"3|"}));

  // A point on no cell remembers nothing.
  EXPECT_FALSE(view_->RememberGridPoint({-1, -1, false}));

  // Removing the last line leaves an empty grid, not a division by zero.
  ASSERT_TRUE(view_->RememberGridPoint({0, 0, false}));
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdRemoveLine));
  EXPECT_EQ(view_->Grid()->GetColumnCount(), 0);
  EXPECT_EQ(view_->Grid()->GetItemCount(), 0);
}

TEST_F(TableResultsTest, HeaderShiftsRememberedLineByOne) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->HeaderCheck()->SetValue(1);
  view_->ShowTable(0);  // titles Name, Price; rows a,b|3 and c|4
  ASSERT_TRUE(view_->RememberGridPoint({0, 0, false}));
  EXPECT_EQ(view_->RememberedLine(), 1);
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdRemoveLine));
  EXPECT_EQ(GridRows(), QStringList({"c|4"}));
  EXPECT_EQ(view_->Grid()->GetColumnTitle(0), "Name");
}

TEST_F(TableResultsTest, ExportWritesFormatOfExtensionAndRemembersPath) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->HeaderCheck()->SetValue(1);
  view_->ShowTable(0);

  const QString suggested = view_->SuggestedExportPath();
  EXPECT_TRUE(suggested.endsWith("/prices.htm")) << suggested.toStdString();

  const std::string csv = dir_.File("out.csv");
  ASSERT_TRUE(Export(csv));
  EXPECT_EQ(quarry::testing::ReadFileBytes(csv), "Name,Price\r\n\"a,b\",3\r\nc,4\r\n");
  ASSERT_EQ(opened_, std::vector<std::string>({csv}));

  const std::string txt = dir_.File("out.txt");
  ASSERT_TRUE(Export(txt));
  EXPECT_EQ(quarry::testing::ReadFileBytes(txt), "Name\tPrice\r\na,b\t3\r\nc\t4\r\n");

  const std::string htm = dir_.File("out.htm");
  ASSERT_TRUE(Export(htm));
  const std::string html = quarry::testing::ReadFileBytes(htm);
  EXPECT_NE(html.find("<table"), std::string::npos);
  EXPECT_NE(html.find("a,b"), std::string::npos);

  // A workbook: the sheet named after the table, the header bold and kept
  // in view, the prices numbers.
  const std::string xlsx = dir_.File("out.xlsx");
  ASSERT_TRUE(Export(xlsx));
  const quarry::testing::WorkbookSeen book = quarry::testing::ReadWorkbook(xlsx);
  ASSERT_TRUE(book.read) << book.error;
  EXPECT_EQ(book.sheet, "prices");
  EXPECT_EQ(book.freeze, "A2");
  EXPECT_TRUE(book.cells.at("B1").bold);
  EXPECT_EQ(book.cells.at("A2").value, "\"a,b\"");
  EXPECT_EQ(book.cells.at("B3").type, "n");
  EXPECT_TRUE(errors_.isEmpty());

  // Comma-separated text under a spreadsheet's name is refused, and said so.
  EXPECT_FALSE(Export(dir_.File("out.xls")));
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_[0].contains(".xlsx")) << errors_[0].toStdString();
  errors_.clear();

  // Later suggestions start from the last chosen path.
  Export(csv);
  EXPECT_EQ(view_->SuggestedExportPath(), QString::fromStdString(dir_.File("out.htm")));

  // The button goes through the save prompt; cancelling writes nothing.
  QString offered;
  view_->SetSavePrompt([&](const QString& path) {
    offered = path;
    return QString();
  });
  opened_.clear();
  view_->ExportButton()->Button()->click();
  EXPECT_EQ(offered, QString::fromStdString(dir_.File("out.htm")));
  EXPECT_TRUE(opened_.empty());
}

TEST_F(TableResultsTest, ExportThatCannotWriteTellsUser) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->ShowTable(0);
  const QString path = QString::fromStdString(dir_.File("no/such/folder/t.csv"));
  EXPECT_FALSE(Export(path.toStdString()));
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_EQ(errors_[0], "Could not write " + path + ": No such file or directory: '" + path + "'");
  EXPECT_TRUE(opened_.empty());
}

TEST_F(TableResultsTest, ResizeStretchesListsAndKeepsButtonsToEdges) {
  view_->show();  // hidden widgets hear of their size only when shown
  view_->GrowBy(0, 0);
  const QRect grid = view_->Grid()->geometry();
  const QRect list = view_->TableListCtrl()->geometry();
  const QRect button = view_->ExportButton()->GetGeometry();
  const QRect check = view_->HeaderCheck()->GetGeometry();
  view_->GrowBy(100, 60);
  EXPECT_EQ(view_->Grid()->geometry(), grid.adjusted(0, 0, 100, 60));
  EXPECT_EQ(view_->TableListCtrl()->geometry(), list.adjusted(0, 0, 0, 60));
  EXPECT_EQ(view_->ExportButton()->GetGeometry(), button.translated(100, 60));
  EXPECT_EQ(view_->HeaderCheck()->GetGeometry(), check.translated(0, 60));
}

// The whole way in the program's own window: the browser's request reaches
// the main view, which brings this view forward; the tables of the sample
// page are listed, and the first one shows in the grid. With
// $QUARRY_SCREENSHOT set the window is saved there as an image.
TEST(TableResultsInFrame, ParseRequestThroughMainViewListsSamplePage) {
  quarry::testing::AppFixture fixture;
  CQuarryApp& app = fixture.Start();
  CMainFrame* frame = app.MainFrame();
  CQuarryView* main_view = app.View();
  CViewTableResults* view = main_view->TableResults();
  ASSERT_NE(view, nullptr);
  frame->resize(1000, 640);
  frame->show();

  const std::string address =
      QUrl::fromLocalFile(QStringLiteral(QUARRY_SAMPLE_PAGE)).toString().toStdString();
  ASSERT_TRUE(app.Settings()->PostToOwner(platform::WM_PARSE_PAGE,
                                          reinterpret_cast<uintptr_t>(&address), 0));
  ASSERT_TRUE(WaitFor([&] { return view->isVisible() && !view->Tables().empty() &&
                                   !view->IsBusy(); }, 10000));
  EXPECT_EQ(main_view->CurrentSubView(), CQuarryView::SubView::kTableResults);
  EXPECT_EQ(view->PageUrl().toStdString(), address);

  CListCtrlExt* list = view->TableListCtrl();
  const QRect first = list->visualRect(list->model()->index(0, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
  EXPECT_EQ(view->SelectedTable(), 0);
  EXPECT_GT(view->Grid()->GetItemCount(), 0);
  EXPECT_TRUE(view->ExportButton()->IsEnabled());

  if (const char* shot = std::getenv("QUARRY_SCREENSHOT")) {
    quarry::testing::Pump(200);
    EXPECT_TRUE(frame->grab().save(QString::fromLocal8Bit(shot)));
  }
}

TEST_F(TableResultsTest, ALargeTableIsLaidOutOnAWorkerAndShownWhenReady) {
  std::string page = "<table id=\"big\">";
  // Each row's data text "rN,x" CR LF is at least 7 bytes.
  for (size_t r = 0; r < CViewTableResults::kLayOutOnWorkerBytes / 7 + 1; ++r) {
    page += "<tr><td>r" + std::to_string(r) + "</td><td>x</td></tr>";
  }
  page += "</table><table id=\"small\"><tr><td>s</td></tr></table>";
  ASSERT_TRUE(Parse(PageFile(page)));
  int shown = -1;
  QObject::connect(view_.get(), &CViewTableResults::tableShown, [&](int row) { shown = row; });
  view_->ShowTable(0);
  EXPECT_FALSE(view_->ExportButton()->IsEnabled());  // nothing to export yet
  ASSERT_TRUE(WaitFor([&] { return shown == 0; }));
  EXPECT_EQ(view_->Grid()->GetItemText(0, 0), "r0");
  EXPECT_TRUE(view_->ExportButton()->IsEnabled());

  // A click on another table before the layout arrives wins.
  shown = -1;
  view_->ShowTable(0);
  view_->ShowTable(1);
  EXPECT_EQ(GridRows(), QStringList({"s"}));
  quarry::testing::Pump(300);
  EXPECT_EQ(GridRows(), QStringList({"s"}));
  EXPECT_EQ(view_->SelectedTable(), 1);
}

TEST_F(TableResultsTest, TheListTellsTablesApartAndSortsByAnyColumn) {
  std::string page;
  for (int t : {10, 2, 1}) {
    page += "<table id=\"Table " + std::to_string(t) + "\">";
    for (int r = 0; r < t; ++r) page += "<tr><td>r" + std::to_string(r) + "</td><td> </td></tr>";
    page += "</table>";
  }
  page += "<table id=\"x<y\"><tr><td>a&amp;b</td><td>c</td><td>d</td></tr></table>";
  ASSERT_TRUE(Parse(PageFile(page)));
  CListCtrlExt* list = view_->TableListCtrl();
  ASSERT_EQ(list->GetItemCount(), 4);
  EXPECT_EQ(list->GetItemText(0, CViewTableResults::kColumnSize), "10 \u00d7 2");
  // The preview skips empty cells; the tool tip shows the first rows, escaped.
  EXPECT_EQ(list->GetItemText(3, CViewTableResults::kColumnPreview), "a&b \u00b7 c \u00b7 d");
  const QString tip = list->model()->index(3, 0).data(Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.contains("<td>a&amp;b</td>")) << tip.toStdString();
  EXPECT_TRUE(tip.contains("<b>x&lt;y</b>")) << tip.toStdString();

  view_->ShowTable(1);  // "Table 2"
  view_->SortTables(CViewTableResults::kColumnId, Qt::AscendingOrder);
  EXPECT_EQ(ListedNames(), QStringList({"Table 1", "Table 2", "Table 10", "x<y"}));
  // The shown table follows its row.
  EXPECT_EQ(view_->SelectedTable(), 1);
  EXPECT_EQ(GridRows().size(), 2);
  view_->SortTables(CViewTableResults::kColumnSize, Qt::DescendingOrder);
  EXPECT_EQ(ListedNames(), QStringList({"Table 10", "Table 2", "x<y", "Table 1"}));
  EXPECT_EQ(view_->SelectedTable(), 1);
  // Edits follow the sorted rows: deleting the first removes "Table 10".
  view_->TableListCtrl()->SetSelectedRow(0);
  view_->DeleteSelectedTables();
  EXPECT_EQ(ListedNames(), QStringList({"Table 2", "x<y", "Table 1"}));
  EXPECT_EQ(list->GetItemText(0, CViewTableResults::kColumnSize), "2 \u00d7 2");
}

TEST_F(TableResultsTest, CopyingPutsTabTextAndAnHtmlTableOnTheClipboard) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  view_->HeaderCheck()->SetValue(1);
  view_->ShowTable(0);
  view_->CopyGridSelection();  // nothing selected: the whole table
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->text(), "Name\tPrice\r\na,b\t3\r\nc\t4\r\n");
  EXPECT_EQ(data->html(),
            "<table><tr><th>Name</th><th>Price</th></tr><tr><td>a,b</td><td>3</td></tr>"
            "<tr><td>c</td><td>4</td></tr></table>");

  view_->Grid()->SetSelectedRow(1);  // one row: its cells only
  view_->CopyGridSelection();
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), "c\t4\r\n");

  // Copy Table takes the whole table of a list row, without opening it.
  view_->HeaderCheck()->SetValue(0);
  view_->CopyTable(1);
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->text(), "x\ty\tz\r\n1\t2\t3\r\nx\ty\tz\r\n");
}

TEST(TableResultsHelpers, NamesSortAsPeopleReadThem) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  };
  for (const Case& c : {Case{"Table 2", "Table 10", true}, Case{"Table 10", "Table 2", false},
                        Case{"table 1", "Table 2", true}, Case{"Table 007", "Table 8", true},
                        Case{"a", "a1", true}, Case{"a1", "a1", false}, Case{"b", "A", false}}) {
    EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
  }
}

TEST_F(TableResultsTest, SelectingATableAsksTheBrowserToMarkIt) {
  const std::string page =
      "<table id=outer><tr><td>o<table id=inner><tr><td>in side</td></tr></table></td></tr>"
      "</table><table id=last><tr><td>L</td></tr></table>";
  const QString address = PageFile(page);
  ASSERT_TRUE(Parse(address));
  ASSERT_EQ(ListedNames(), QStringList({"inner", "outer", "last"}));
  EXPECT_FALSE(view_->ShowInPageButton()->IsEnabled());
  ASSERT_TRUE(WaitFor([&] { return !in_page_heard_.empty(); }));
  EXPECT_TRUE(in_page_heard_.back().clear);  // the marks of the page before go
  in_page_heard_.clear();
  in_page_show_.clear();

  // A click marks quietly; the table's own start tag and text key go along.
  view_->ShowTable(0);
  EXPECT_TRUE(view_->ShowInPageButton()->IsEnabled());
  ASSERT_TRUE(WaitFor([&] { return in_page_heard_.size() == 1; }));
  EXPECT_FALSE(in_page_heard_[0].clear);
  EXPECT_FALSE(in_page_show_[0]);
  EXPECT_EQ(in_page_heard_[0].address, address.toStdString());
  EXPECT_FALSE(in_page_heard_[0].parsed_as_shown);
  EXPECT_EQ(in_page_heard_[0].name, QStringLiteral("inner"));
  EXPECT_EQ(in_page_heard_[0].position, 1);
  EXPECT_EQ(in_page_heard_[0].key, (TableTextKey{"inside", true}));

  // "Show in Page" on another row selects it and asks to be shown.
  view_->ShowInPage(1, true);
  ASSERT_TRUE(WaitFor([&] { return in_page_heard_.size() == 3; }));
  EXPECT_EQ(view_->SelectedTable(), 1);
  EXPECT_EQ(in_page_heard_[2].position, 0);
  EXPECT_EQ(in_page_heard_[2].key, (TableTextKey{"o", true}));
  EXPECT_EQ(in_page_show_, (std::vector<bool>{false, false, true}));
  // The button and the menu command do the same for the shown table.
  view_->ShowInPageButton()->Button()->click();
  EXPECT_TRUE(view_->RunCommand(CViewTableResults::kCmdShowInPage));
  ASSERT_TRUE(WaitFor([&] { return in_page_heard_.size() == 5; }));
  EXPECT_EQ(in_page_show_[3], true);
  EXPECT_EQ(in_page_heard_[4].position, 0);

  // Deleting the shown table takes its mark away.
  view_->TableListCtrl()->SetSelectedRow(1);
  view_->DeleteSelectedTables();
  ASSERT_TRUE(WaitFor([&] { return in_page_heard_.size() == 6; }));
  EXPECT_TRUE(in_page_heard_[5].clear);
  EXPECT_FALSE(view_->ShowInPageButton()->IsEnabled());
  view_->ShowInPage(7, true);  // no such row: nothing asked
  QTest::qWait(50);
  EXPECT_EQ(in_page_heard_.size(), 6u);
}

TEST_F(TableResultsTest, ExpandMergedCellsRereadsTheTablesButNotEditedOnes) {
  const std::string page =
      "<table id=merged><tr><td colspan=2>Name</td><td rowspan=2>Age</td></tr>"
      "<tr><td>First</td><td>Last</td></tr><tr><td>Ada</td><td>L</td><td>36</td></tr></table>"
      "<table id=edited><tr><td rowspan=2>a</td><td>b</td></tr><tr><td>c</td></tr></table>"
      "<table id=plain><tr><td>x</td></tr></table>";
  ASSERT_TRUE(Parse(PageFile(page)));
  ASSERT_EQ(view_->Tables().size(), 3u);
  EXPECT_EQ(view_->Tables()[0].data, "Name,Age,\r\nFirst,Last,\r\nAda,L,36\r\n");
  // An edit to the second table: its line "c" goes.
  view_->ShowTable(1);
  ASSERT_TRUE(view_->RememberGridPoint({1, 0, false}));
  ASSERT_TRUE(view_->RunCommand(CViewTableResults::kCmdRemoveLine));
  ASSERT_EQ(view_->Tables()[1].data, "a,b\r\n");
  view_->ShowTable(0);

  bool applied = false;
  auto connection = QObject::connect(view_.get(), &CViewTableResults::mergedCellsApplied,
                                     [&] { applied = true; });
  view_->ExpandSpansCheck()->CheckBox()->click();
  ASSERT_TRUE(WaitFor([&] { return applied; }));
  EXPECT_EQ(view_->Tables()[0].data, "Name,Name,Age\r\nFirst,Last,Age\r\nAda,L,36\r\n");
  EXPECT_EQ(view_->Tables()[1].data, "a,b\r\n");  // edited: kept
  EXPECT_EQ(view_->Tables()[2].data, "x\r\n");
  EXPECT_EQ(GridRows(), QStringList({"Name|Name|Age", "First|Last|Age", "Ada|L|36"}));
  EXPECT_EQ(view_->TableListCtrl()->GetItemText(0, CViewTableResults::kColumnSize),
            QStringLiteral("3 \u00d7 3"));
  EXPECT_TRUE(view_->StatusText().contains("expanded in 1 table(s)")) << view_->StatusText().toStdString();
  EXPECT_TRUE(view_->StatusText().contains("1 edited table(s) kept")) << view_->StatusText().toStdString();

  // A parse while ticked lays the spans out from the start.
  ASSERT_TRUE(Parse(PageFile(page)));
  EXPECT_EQ(view_->Tables()[1].data, "a,b\r\na,c\r\n");

  // Unticked, the plain reading comes back.
  applied = false;
  view_->SetExpandMergedCells(false);
  ASSERT_TRUE(WaitFor([&] { return applied; }));
  QObject::disconnect(connection);
  EXPECT_EQ(view_->Tables()[0].data, "Name,Age,\r\nFirst,Last,\r\nAda,L,36\r\n");
  EXPECT_EQ(view_->Tables()[1].data, "a,b\r\nc,\r\n");
}

TEST_F(TableResultsTest, ThePageAsShownIsParsedAndTheStatusBarSaysSo) {
  ASSERT_TRUE(Parse(PageFile(kPage)));
  EXPECT_TRUE(view_->StatusText().contains("in the downloaded page")) << view_->StatusText().toStdString();
  EXPECT_FALSE(view_->ParsedAsShown());

  // The browser's document: text that is not Latin-1 arrives as UTF-8.
  const QString document = QStringLiteral(
      "<html><body><table id=\"built\"><tr><td>\u00e9t\u00e9</td><td>\u2603</td></tr>"
      "</table></body></html>");
  bool finished = false;
  auto connection = QObject::connect(view_.get(), &CViewTableResults::parseFinished,
                                     [&](bool) { finished = true; });
  ASSERT_TRUE(view_->StartParseShown(QStringLiteral("http://shown.example/"), document));
  ASSERT_TRUE(WaitFor([&] { return finished; }, 10000));
  EXPECT_EQ(ListedNames(), QStringList({"built"}));
  EXPECT_EQ(view_->Tables()[0].data, "\xC3\xA9t\xC3\xA9,\xE2\x98\x83\r\n");
  EXPECT_EQ(view_->Tables()[0].page_position, 0);
  EXPECT_TRUE(view_->ParsedAsShown());
  EXPECT_EQ(view_->StatusText(), QStringLiteral("1 table(s) found in the page as shown"));
  ASSERT_TRUE(WaitFor([&] { return owner_heard_.size() >= 2; }));
  EXPECT_EQ(owner_heard_[1], std::make_pair(platform::WM_PARSE_DONE, uintptr_t{1}));

  // A document larger than a download may be is cut where a download is.
  auto& store = platform::SettingsStore::User();
  ASSERT_TRUE(store.SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 100));
  finished = false;
  ASSERT_TRUE(view_->StartParseShown(QStringLiteral("http://shown.example/"),
                                     document + QString(200, QLatin1Char(' ')) + document));
  const bool done = WaitFor([&] { return finished; }, 10000);
  store.SetDword(kQuarrySettingsKey, kMaxPageSizeValue, 0);
  QObject::disconnect(connection);
  ASSERT_TRUE(done);
  EXPECT_EQ(view_->Tables().size(), 1u);
  EXPECT_TRUE(view_->StatusText().startsWith("Only the first")) << view_->StatusText().toStdString();
  EXPECT_TRUE(view_->StatusText().contains("of the page as shown"));
}

TEST(TableResultsHelpers, FilterPathAndAddressRules) {
  EXPECT_EQ(ConvertFileFilter(QString::fromLatin1(CViewTableResults::kExportFilter)),
            "HTML Files (*.htm *.html);;Workbooks (*.xlsx);;Data Files (*.csv);;"
            "Text Files (*.txt *.tsv);;All Files (*)");
  EXPECT_EQ(ReplaceExtension("/d/t.csv", ".htm"), "/d/t.htm");
  EXPECT_EQ(ReplaceExtension("/d/t", ".htm"), "/d/t.htm");
  EXPECT_EQ(ReplaceExtension("/d.x/t", ".htm"), "/d.x/t.htm");
  EXPECT_EQ(ReplaceExtension("/d/a.b.txt", ".htm"), "/d/a.b.htm");
}

}  // namespace
}  // namespace quarry
