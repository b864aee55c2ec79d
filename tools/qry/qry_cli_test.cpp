// Runs the built qry binary as a user or a script would, on the sample page
// shipped in docs/, with a settings store of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/testing/workbook_reader.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace {

namespace fs = std::filesystem;
using quarry::testing::ProcessResult;
using quarry::testing::ReadFileBytes;
using quarry::testing::TempDir;

struct Result {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out, err;
};

std::string Slurp(const fs::path& path) { return ReadFileBytes(path.string()); }

class QryCliTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_.path(); }

  // Runs qry with `args` for at most 30 s. The store, the home folder and
  // the configuration folder are this test's own, so the user's settings
  // are neither read nor created.
  Result Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QRY_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult p = quarry::testing::RunProcess(
        argv,
        {"ZT_REGISTRY_FILE=" + StorePath(), "HOME=" + temp_.path(),
         "XDG_CONFIG_HOME=" + temp_.File("config"), "QRY_PASSWORD"},
        {}, std::chrono::seconds(30));
    EXPECT_FALSE(p.timed_out) << "qry did not finish within 30 s";
    return {p.exit_code, p.out, p.err};
  }

  std::string StorePath() const { return temp_.File("registry.sqlite"); }

  TempDir temp_;
  fs::path dir_;
};

TEST_F(QryCliTest, ListsTheSamplePage) {
  // The nested rates table comes first, lifted out of the layout table; the
  // layout's content cell ends paragraphs, which become line breaks in its
  // data text and so a third line; the empty advert table is dropped.
  Result r = Run({"tables", QRY_SAMPLE_PAGE});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "#  ID         ROWS x COLUMNS\n"
            "1  Table 1       5 x 3\n"
            "2  layout        3 x 2\n"
            "3  prices        7 x 4\n"
            "4  cafe-menu     5 x 3\n"
            "5  Table 5       1 x 2\n");
}

TEST_F(QryCliTest, ExportsTheNestedRatesTableWithItsHeader) {
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--table", "1", "--header", "-o",
                  "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Service,Time,Price\r\n"
            "Puncture repair,20 min,8.00\r\n"
            "Gear tune-up,45 min,25.00\r\n"
            "Brake bleed (hydraulic),1 h,35.00\r\n"
            "Full service,3 h,89.00\r\n");
}

TEST_F(QryCliTest, ExportsToAFileByIdAndReadsBackAsJson) {
  const std::string out = (dir_ / "prices.csv").string();
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--table", "prices", "--header",
                  "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string csv = Slurp(out);
  EXPECT_EQ(csv.rfind("Item,Size,Price,In stock\r\n", 0), 0u) << csv;
  // The quoted comma and the row whose first cell was left unclosed.
  EXPECT_NE(csv.find("\"City bike, 7-speed\",M,\xA3" "420,yes\r\n"),
            std::string::npos);
  EXPECT_NE(csv.find("Brake pads (pair),-,\xA3" "12.50,no\r\n"),
            std::string::npos);

  r = Run({"tables", QRY_SAMPLE_PAGE, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The pound sign is the Latin-1 byte A3, written as U+00A3.
  EXPECT_NE(r.out.find("\\\"City bike, 7-speed\\\",M,\xC2\xA3" "420,yes"),
            std::string::npos);
}

TEST_F(QryCliTest, TheSamplePageBecomesWorkbooksWithTheRightTypes) {
  const std::string out = (dir_ / "books").string();
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--all", "--header", "--format", "xlsx", "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, out + "/sample-page-Table_1.xlsx\n" + out + "/sample-page-layout.xlsx\n" +
                       out + "/sample-page-prices.xlsx\n" + out +
                       "/sample-page-cafe-menu.xlsx\n" + out + "/sample-page-Table_5.xlsx\n");

  const quarry::testing::WorkbookSeen book =
      quarry::testing::ReadWorkbook(out + "/sample-page-prices.xlsx");
  ASSERT_TRUE(book.read) << book.error;
  EXPECT_EQ(book.sheet, "prices");
  EXPECT_EQ(book.freeze, "A2");
  struct Expected {
    std::string cell, type, format, value;
  };
  // The prices carry a Latin-1 pound sign: numbers in pounds, shown as the
  // page showed them; sizes like "700x25c" keep their column text.
  const Expected expected[] = {
      {"C1", "s", "General", "\"Price\""},
      {"A2", "s", "General", "\"City bike, 7-speed\""},
      {"C2", "n", "\"\xC2\xA3\"0", "420"},
      {"C4", "n", "\"\xC2\xA3\"0.00", "12.5"},
      {"B5", "s", "General", "\"700x25c\""},
  };
  for (const Expected& e : expected) {
    ASSERT_EQ(book.cells.count(e.cell), 1u) << e.cell;
    const quarry::testing::WorkbookCell& cell = book.cells.at(e.cell);
    EXPECT_EQ(cell.type, e.type) << e.cell;
    EXPECT_EQ(cell.format, e.format) << e.cell;
    EXPECT_EQ(cell.value, e.value) << e.cell;
  }
  EXPECT_TRUE(book.cells.at("A1").bold);

  // The rates: times stay text, prices with two decimals are numbers.
  const quarry::testing::WorkbookSeen rates =
      quarry::testing::ReadWorkbook(out + "/sample-page-Table_1.xlsx");
  ASSERT_TRUE(rates.read) << rates.error;
  EXPECT_EQ(rates.sheet, "Table 1");
  EXPECT_EQ(rates.cells.at("B2").type, "s");
  EXPECT_EQ(rates.cells.at("C2").type, "n");
  EXPECT_EQ(rates.cells.at("C2").format, "0.00");

  // Spreadsheet names it cannot write are refused before anything is read.
  r = Run({"export", QRY_SAMPLE_PAGE, "--table", "1", "-o", (dir_ / "t.xls").string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "qry: '.xls' files are not written; the formats are .xlsx (a workbook), "
                   ".csv, .tsv or .txt (tab-separated) and .htm or .html\n");
  EXPECT_FALSE(fs::exists(dir_ / "t.xls"));
}

TEST_F(QryCliTest, FailuresGiveOneLineAndDistinctStatuses) {
  const std::string out = (dir_ / "never.csv").string();
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--table", "99", "-o", out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("qry: no table at position 99", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  EXPECT_FALSE(fs::exists(out));

  r = Run({"tables", (dir_ / "absent.html").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("qry: cannot read", 0), 0u) << r.err;

  r = Run({"frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "qry: unknown command 'frobnicate' (try 'qry --help')\n");

  r = Run({});
  EXPECT_EQ(r.status, 2);

  r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("qry ", 0), 0u);
}

TEST_F(QryCliTest, TheStoredPageSizeLimitCutsALocalFileWithAWarning) {
  {
    quarry::platform::SettingsStore store(StorePath());
    ASSERT_TRUE(store.SetDword("Software\\Zandor Tech\\Quarry\\Settings",
                               "MaxPageSize", 4096));
  }
  ASSERT_GT(fs::file_size(QRY_SAMPLE_PAGE), 4096u);
  Result r = Run({"tables", QRY_SAMPLE_PAGE});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, std::string("qry: warning: '") + QRY_SAMPLE_PAGE +
                       "' is larger than 4 KiB (MaxPageSize); only the first "
                       "4 KiB were read, later tables may be missing\n");
  // The footer table is cut off; the four before it are whole.
  EXPECT_EQ(r.out,
            "#  ID         ROWS x COLUMNS\n"
            "1  Table 1       5 x 3\n"
            "2  layout        3 x 2\n"
            "3  prices        7 x 4\n"
            "4  cafe-menu     5 x 3\n");
  EXPECT_FALSE(fs::exists(temp_.File("config")));
}

}  // namespace
