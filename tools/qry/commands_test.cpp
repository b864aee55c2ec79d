#include "tools/qry/commands.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "web/testing/web_test_environment.h"

namespace quarry::qry {
namespace {

namespace fs = std::filesystem;

// Two tables: one with an id and a quoted comma on its second line, one
// without an id (so it is listed as "Table 2").
constexpr char kPage[] =
    "<html><body>\n"
    "<table id=\"prices\" border=1>\n"
    "<tr><th>Item</th><th>Price</th></tr>\n"
    "<tr><td>Bolt, M6</td><td>0.10</td></tr>\n"
    "<tr><td>Nut</td><td>0.05</td></tr>\n"
    "</table>\n"
    "<table><tr><td>only</td></tr></table>\n"
    "</body></html>\n";

// Each test has its own folder and settings store (WebTest), never the
// user's.
class QryCommandTest : public quarry::testing::WebTest {
 protected:
  void SetUp() override {
    WebTest::SetUp();
    page_ = Write("page.html", kPage);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return RunQry(args, out_, err_);
  }

  std::string page_;
  std::ostringstream out_, err_;
};

TEST_F(QryCommandTest, TablesListsPositionIdAndSize) {
  ASSERT_EQ(Run({"tables", page_}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "#  ID       ROWS x COLUMNS\n"
            "1  prices      3 x 2\n"
            "2  Table 2     1 x 1\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(QryCommandTest, TablesJsonHoldsTheRecords) {
  ASSERT_EQ(Run({"tables", page_, "--json"}), kExitOk) << err_.str();
  const std::string json = out_.str();
  EXPECT_EQ(json.front(), '[');
  EXPECT_NE(json.find("\"id\": \"prices\""), std::string::npos);
  EXPECT_NE(json.find("\"id\": \"Table 2\""), std::string::npos);
  EXPECT_NE(json.find("\"data\": \"Item,Price\\r\\n\\\"Bolt, M6\\\",0.10\\r\\n"
                      "Nut,0.05\\r\\n\""),
            std::string::npos)
      << json;
}

TEST_F(QryCommandTest, ListingShowsControlCharactersInIdsEscaped) {
  const std::string page =
      Write("esc.html", "<table id=\"a\x1b[2Jb\"><tr><td>x</td></tr></table>");
  ASSERT_EQ(Run({"tables", page}), kExitOk);
  EXPECT_EQ(out_.str().find('\x1b'), std::string::npos);
  EXPECT_NE(out_.str().find("a\\x1b[2Jb"), std::string::npos) << out_.str();
}

TEST_F(QryCommandTest, APageWithoutTablesIsNotAFailure) {
  const std::string page = Write("none.html", "<p>no tables <table></table>");
  EXPECT_EQ(Run({"tables", page}), kExitOk);
  EXPECT_EQ(out_.str(), "");
  EXPECT_NE(err_.str().find("no tables found"), std::string::npos);

  EXPECT_EQ(Run({"tables", page, "--json"}), kExitOk);
  EXPECT_EQ(out_.str(), "[]\n");
}

// The text ends at the first zero byte, and qry says where; a UTF-16 page
// is read as the text it holds.
TEST_F(QryCommandTest, ZeroBytesAreReportedAndUtf16PagesRead) {
  const std::string table = "<table><tr><td>x</td></tr></table>";
  const std::string cut = Write("zero.html", table + std::string(1, '\0') + table);
  ASSERT_EQ(Run({"tables", cut}), kExitOk);
  EXPECT_EQ(out_.str(),
            "#  ID       ROWS x COLUMNS\n"
            "1  Table 1     1 x 1\n");
  EXPECT_EQ(err_.str(), "qry: warning: the page holds a zero byte at offset " +
                            std::to_string(table.size()) +
                            "; the text after it was not read\n");

  std::string wide = "\xFF\xFE";
  for (char c : std::string(kPage)) {
    wide += c;
    wide += '\0';
  }
  const std::string utf16 = Write("wide.html", wide);
  ASSERT_EQ(Run({"export", utf16, "--table", "1", "--header", "-o", "-"}), kExitOk)
      << err_.str();
  EXPECT_EQ(out_.str(), "Item,Price\r\n\"Bolt, M6\",0.10\r\nNut,0.05\r\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(QryCommandTest, UnreadablePageFailsWithOneLine) {
  const std::string missing = (dir_ / "missing.html").string();
  EXPECT_EQ(Run({"tables", missing}), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "qry: cannot read '" + missing +
                            "': No such file or directory\n");
}

TEST_F(QryCommandTest, ExportToStandardOutputWritesTheShownGridAsCsv) {
  // With --header line 0 titles the columns; the quoted comma comes back
  // quoted, and lines end in CR LF.
  ASSERT_EQ(Run({"export", page_, "--table", "1", "--header", "-o", "-"}),
            kExitOk)
      << err_.str();
  EXPECT_EQ(out_.str(), "Item,Price\r\n\"Bolt, M6\",0.10\r\nNut,0.05\r\n");

  // Without it the columns are untitled, so the header line is empty and
  // line 0 is an ordinary row.
  ASSERT_EQ(Run({"export", page_, "--table", "prices", "-o", "-"}), kExitOk);
  EXPECT_EQ(out_.str(),
            "\r\nItem,Price\r\n\"Bolt, M6\",0.10\r\nNut,0.05\r\n");
}

TEST_F(QryCommandTest, ExportPicksTheFormatFromTheExtension) {
  const std::string htm = (dir_ / "t.htm").string();
  const std::string txt = (dir_ / "t.txt").string();
  const std::string dat = (dir_ / "t.dat").string();
  ASSERT_EQ(Run({"export", page_, "--table", "1", "--header", "-o", htm}),
            kExitOk);
  ASSERT_EQ(Run({"export", page_, "--table", "1", "--header", "-o", txt}),
            kExitOk);
  ASSERT_EQ(Run({"export", page_, "--table", "1", "--header", "-o", dat}),
            kExitOk);
  EXPECT_EQ(out_.str(), "");

  const std::string html = Slurp(htm);
  EXPECT_EQ(html.rfind("<html>\r\n", 0), 0u) << html;
  EXPECT_NE(html.find("Bolt, M6"), std::string::npos);
  // The results view's font sizes: header cells 3, data cells 2.
  EXPECT_NE(html.find("<font size=\"3\"><b>Item</b></font>"), std::string::npos)
      << html;
  EXPECT_NE(html.find("<font size=\"2\">Nut</font>"), std::string::npos);

  EXPECT_EQ(Slurp(txt), "Item\tPrice\r\nBolt, M6\t0.10\r\nNut\t0.05\r\n");
  EXPECT_EQ(Slurp(dat), "Item,Price\r\n\"Bolt, M6\",0.10\r\nNut,0.05\r\n");
}

TEST_F(QryCommandTest, ExportSelectsByPositionOrFirstMatchingId) {
  const std::string page = Write(
      "ids.html",
      "<table id=\"7\"><tr><td>seven</td></tr></table>"
      "<table id=\"dup\"><tr><td>first</td></tr></table>"
      "<table id=\"dup\"><tr><td>second</td></tr></table>");
  ASSERT_EQ(Run({"export", page, "--table", "dup", "-o", "-"}), kExitOk);
  EXPECT_EQ(out_.str(), "\r\nfirst\r\n");
  ASSERT_EQ(Run({"export", page, "--table", "id:7", "-o", "-"}), kExitOk);
  EXPECT_EQ(out_.str(), "\r\nseven\r\n");
  ASSERT_EQ(Run({"export", page, "--table", "3", "-o", "-"}), kExitOk);
  EXPECT_EQ(out_.str(), "\r\nsecond\r\n");
  // "7" is a position, and there are only three tables.
  EXPECT_EQ(Run({"export", page, "--table", "7", "-o", "-"}), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "qry: no table at position 7 in '" + page +
                            "' (it has 3 tables)\n");
}

TEST_F(QryCommandTest, FailedExportLeavesExistingOutputAlone) {
  const std::string out = Write("keep.csv", "precious");
  EXPECT_EQ(Run({"export", page_, "--table", "nosuch", "-o", out}),
            kExitFailure);
  EXPECT_EQ(err_.str(), "qry: no table with id 'nosuch' in '" + page_ +
                            "' (it has 2 tables)\n");
  EXPECT_EQ(Slurp(out), "precious");

  const std::string unwritable = (dir_ / "no-such-dir" / "t.csv").string();
  EXPECT_EQ(Run({"export", page_, "--table", "1", "-o", unwritable}),
            kExitFailure);
  EXPECT_EQ(err_.str(), "qry: cannot write the table: No such file or directory: '" +
                            unwritable + "'\n");
  EXPECT_FALSE(fs::exists(dir_ / "no-such-dir"));

  // A name with control bytes is shown escaped; a device is refused.
  err_.str("");
  EXPECT_EQ(Run({"export", page_, "--table", "1", "-o", (dir_ / "x\x1b[2J" / "t.csv").string()}),
            kExitFailure);
  EXPECT_NE(err_.str().find("x\\x1b[2J"), std::string::npos) << err_.str();
  err_.str("");
  EXPECT_EQ(Run({"export", page_, "--table", "1", "-o", "/dev/null"}), kExitFailure);
  EXPECT_EQ(err_.str(), "qry: cannot write the table: '/dev/null' is not a regular file\n");
}

TEST_F(QryCommandTest, HelpVersionAndUsageErrors) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_EQ(out_.str(), UsageText());

  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(out_.str().rfind("qry ", 0), 0u);
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(out_.str()[4])));

  EXPECT_EQ(Run({"export", page_, "-o", "-"}), kExitUsage);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "qry: export: missing --table N|ID\n");
}

TEST_F(QryCommandTest, OutputThatCannotBeWrittenIsAFailure) {
  std::ostream broken(nullptr);  // every write fails, like a full disk
  EXPECT_EQ(RunQry({"tables", page_}, broken, err_), kExitFailure);
  EXPECT_EQ(err_.str(), "qry: cannot write to standard output\n");
  EXPECT_EQ(RunQry({"export", page_, "--table", "1", "-o", "-"}, broken, err_),
            kExitFailure);
}

TEST_F(QryCommandTest, SpansLayMergedCellsOutOnlyWhenAsked) {
  const std::string page = Write(
      "merged.html",
      "<table><tr><th colspan=2>Name</th><th rowspan=2>Age</th></tr>"
      "<tr><td>First</td><td>Last</td></tr><tr><td>Ada</td><td>L</td><td>36</td></tr></table>");
  ASSERT_EQ(Run({"export", page, "--table", "1", "-o", "-"}), kExitOk);
  EXPECT_EQ(out_.str(), "\r\nName,Age\r\nFirst,Last\r\nAda,L,36\r\n");
  ASSERT_EQ(Run({"export", page, "--table", "1", "-o", "-", "--spans"}), kExitOk);
  EXPECT_EQ(out_.str(), "\r\nName,Name,Age\r\nFirst,Last,Age\r\nAda,L,36\r\n");
  EXPECT_EQ(err_.str(), "");

  // A merged cell that would repeat a long text into a thousand columns is
  // left merged, with a word on standard error.
  const std::string wide = Write(
      "wide.html", "<table><tr><td colspan=1000 rowspan=2>" + std::string(200000, 'x') +
                       "</td></tr><tr>" + std::string(20, ' ') + "</tr><tr>" +
                       [] {
                         std::string cells;
                         for (int i = 0; i < 1000; ++i) cells += "<td>" + std::to_string(i) + "</td>";
                         return cells;
                       }() + "</tr></table>");
  ASSERT_EQ(Run({"tables", wide, "--spans"}), kExitOk);
  EXPECT_NE(err_.str().find("1 table keeps its merged cells unexpanded"), std::string::npos)
      << err_.str();
  EXPECT_NE(out_.str().find("2 x 1000"), std::string::npos) << out_.str();
}

TEST_F(QryCommandTest, TablesOfSeveralSourcesGoOnPastOneThatFails) {
  fs::create_directory(dir_ / "copy");
  const std::string copy = Write("copy/page.html", kPage);
  const std::string missing = (dir_ / "missing.html").string();
  EXPECT_EQ(Run({"tables", page_, missing, copy, "--jobs", "2"}), kExitFailure);
  const std::string listing =
      "#  ID       ROWS x COLUMNS\n"
      "1  prices      3 x 2\n"
      "2  Table 2     1 x 1\n";
  EXPECT_EQ(out_.str(), "==> " + page_ + " <==\n" + listing + "\n==> " + copy + " <==\n" + listing);
  EXPECT_EQ(err_.str(), "qry: cannot read '" + missing + "': No such file or directory\n");
}

TEST_F(QryCommandTest, ExportAllNamesFilesSafelyAndKeepsFilesAlreadyThere) {
  fs::create_directory(dir_ / "copy");
  // The same page name twice, ids that clash once made safe, and an id
  // that tries to leave the folder.
  const std::string copy = Write("copy/page.html", kPage);
  const std::string odd = Write("odd.html",
                                "<table id=\"../../x\"><tr><td>1</td></tr></table>"
                                "<table id=\"a b\"><tr><td>2</td></tr></table>"
                                "<table id=\"a_b\"><tr><td>3</td></tr></table>");
  const std::string none = Write("none.html", "<p>no tables</p>");
  const std::string missing = (dir_ / "missing.html").string();
  const std::string out = (dir_ / "out").string();
  EXPECT_EQ(Run({"export", page_, missing, copy, odd, none, "--all", "-o", out + "/",
                 "--format", "tsv", "--header"}),
            kExitFailure);
  const std::vector<std::string> names = {"page-prices.tsv", "page-Table_2.tsv",
                                          "page-prices-2.tsv", "page-Table_2-2.tsv",
                                          "odd-x.tsv", "odd-a_b.tsv", "odd-a_b-2.tsv"};
  std::string listed;
  for (const std::string& name : names) listed += out + "/" + name + "\n";
  EXPECT_EQ(out_.str(), listed);
  EXPECT_EQ(err_.str(), "qry: cannot read '" + missing + "': No such file or directory\n"
                        "qry: no tables found in '" + none + "'\n");
  EXPECT_EQ(Slurp(out + "/page-prices-2.tsv"), "Item\tPrice\r\nBolt, M6\t0.10\r\nNut\t0.05\r\n");
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(out)) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, names.size());

  // A second run finds its names taken: nothing there is replaced unless
  // asked, and each kept file is one line.
  Write("out/page-prices.tsv", "mine");
  EXPECT_EQ(Run({"export", page_, "--all", "-o", out, "--format", "tsv"}), kExitFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "qry: '" + out + "/page-prices.tsv' exists; give --overwrite to replace it\n"
                        "qry: '" + out + "/page-Table_2.tsv' exists; give --overwrite to replace it\n");
  EXPECT_EQ(Slurp(out + "/page-prices.tsv"), "mine");
  EXPECT_EQ(Run({"export", page_, "--all", "-o", out, "--format", "tsv", "--overwrite"}), kExitOk)
      << err_.str();
  EXPECT_EQ(Slurp(out + "/page-prices.tsv"), "\r\nItem\tPrice\r\nBolt, M6\t0.10\r\nNut\t0.05\r\n");
}

TEST_F(QryCommandTest, ExportAllNeedsAFolderItCanUse) {
  const std::string file = Write("file.txt", "x");
  EXPECT_EQ(Run({"export", page_, "--all", "-o", file}), kExitFailure);
  EXPECT_EQ(err_.str(), "qry: '" + file + "' is not a folder\n");
  // A missing folder is made, but not a missing parent: a mistyped path
  // fails instead of growing a tree.
  const std::string deep = (dir_ / "no" / "such").string();
  EXPECT_EQ(Run({"export", page_, "--all", "-o", deep}), kExitFailure);
  EXPECT_EQ(err_.str(), "qry: cannot make the folder '" + deep + "': No such file or directory\n");
  EXPECT_EQ(out_.str(), "");
}

TEST(FindTable, PositionsAndIds) {
  TableList tables(3);
  tables[0].id = "a";
  tables[1].id = "b";
  tables[2].id = "a";
  TableSelector sel;
  sel.by_position = true;
  sel.position = 3;
  EXPECT_EQ(FindTable(tables, sel), 2);
  sel.position = 4;
  EXPECT_EQ(FindTable(tables, sel), -1);
  sel = TableSelector();
  sel.id = "a";
  EXPECT_EQ(FindTable(tables, sel), 0);
  sel.id = "A";
  EXPECT_EQ(FindTable(tables, sel), -1);
}

}  // namespace
}  // namespace quarry::qry
