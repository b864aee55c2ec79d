#include "engine/delimited_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/html_writer.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

std::string Csv(const ExportGrid& grid, const ExportOptions* options = nullptr) {
  return BuildDelimitedText(grid, options, kFileTypeCsv);
}

std::string Tsv(const ExportGrid& grid) {
  return BuildDelimitedText(grid, nullptr, kFileTypeText);
}

TEST(FileTypeFromExtensionTest, KnownAndUnknownExtensions) {
  EXPECT_EQ(FileTypeFromExtension("/home/u/prices.csv"), kFileTypeCsv);
  EXPECT_EQ(FileTypeFromExtension("a.HTM"), kFileTypeHtml);
  EXPECT_EQ(FileTypeFromExtension("a.Html"), kFileTypeHtml);
  EXPECT_EQ(FileTypeFromExtension("a.txt"), kFileTypeText);
  EXPECT_EQ(FileTypeFromExtension("archive.txt.csv"), kFileTypeCsv);
  EXPECT_EQ(FileTypeFromExtension("a.TSV"), kFileTypeText);
  EXPECT_EQ(FileTypeFromExtension("a.xlsx"), kFileTypeWorkbook);
  EXPECT_EQ(FileTypeFromExtension("a.xls"), kFileTypeSpreadsheet);
  EXPECT_EQ(FileTypeFromExtension("a.ods"), kFileTypeSpreadsheet);
  EXPECT_EQ(FileTypeFromExtension("a.xml"), kFileTypeXml);
  EXPECT_EQ(FileTypeFromExtension("a.dat"), kFileTypeUnknown);
  EXPECT_EQ(FileTypeFromExtension("noextension"), kFileTypeUnknown);
  EXPECT_EQ(FileTypeFromExtension("trailing."), kFileTypeUnknown);
  EXPECT_EQ(FileTypeFromExtension("dir.csv/file"), kFileTypeUnknown);
  EXPECT_EQ(FileTypeFromExtension(""), kFileTypeUnknown);
}

TEST(BuildDelimitedTextTest, CommaInCellIsQuotedOnlyInCsv) {
  MemoryGrid grid({"Name", "Price"}, {{"a,b", "3"}});
  EXPECT_EQ(Csv(grid), "Name,Price\r\n\"a,b\",3\r\n");
  EXPECT_EQ(Tsv(grid), "Name\tPrice\r\na,b\t3\r\n");
}

TEST(BuildDelimitedTextTest, Rfc4180Quoting) {
  MemoryGrid grid({"Price, EUR", "Note"},
                  {{"say \"hi\", ok", "5\""},
                   {"line1\r\nline2", "cr\ronly"},
                   {"lf\nonly", "\"\""}});
  EXPECT_EQ(Csv(grid),
            "\"Price, EUR\",Note\r\n"
            "\"say \"\"hi\"\", ok\",\"5\"\"\"\r\n"
            "\"line1\r\nline2\",\"cr\ronly\"\r\n"
            "\"lf\nonly\",\"\"\"\"\"\"\r\n");
  // Tab-separated text is written as the cells are.
  EXPECT_EQ(Tsv(grid),
            "Price, EUR\tNote\r\n"
            "say \"hi\", ok\t5\"\r\n"
            "line1\r\nline2\tcr\ronly\r\n"
            "lf\nonly\t\"\"\r\n");
}

TEST(BuildDelimitedTextTest, TrimsFieldsAndDropsTrailingEmptyOnes) {
  MemoryGrid grid({" A\t", "B ", "  "},
                  {{"x", "", ""},
                   {"", "", "y"},
                   {" \r\n", "\t", ""},
                   {"  a, ", " ", "\r\n"},
                   {"p", " q r ", ""}});
  EXPECT_EQ(Csv(grid),
            "A,B\r\n"
            "x\r\n"
            ",,y\r\n"
            "\r\n"
            "\"a,\"\r\n"
            "p,q r\r\n");
  EXPECT_EQ(Tsv(grid),
            "A\tB\r\n"
            "x\r\n"
            "\t\ty\r\n"
            "\r\n"
            "a,\r\n"
            "p\tq r\r\n");
}

TEST(BuildDelimitedTextTest, HeaderLineOfAnEmptyOrHeaderlessGrid) {
  MemoryGrid grid({"Name", "Price"}, {});
  EXPECT_EQ(Csv(grid), "Name,Price\r\n");
  grid.SetHeaderReadable(false);
  EXPECT_EQ(Csv(grid), "\r\n");
  EXPECT_EQ(Csv(MemoryGrid({}, {})), "\r\n");
}

TEST(BuildDelimitedTextTest, ColumnOrderExclusionAndCellKinds) {
  MemoryGrid grid({"A", "B", "C", "D"}, {{"a", "b", "text", "d"}});
  grid.SetDisplayOrder({3, 2, 1, 0, 3, 9});
  CellFormat percent;
  percent.is_percent = true;
  percent.percent = 99.999;
  grid.SetCellFormat(0, 3, percent);
  CellFormat dropdown;
  dropdown.is_dropdown = true;
  dropdown.has_selection = true;
  dropdown.selection = " one, two ";
  grid.SetCellFormat(0, 1, dropdown);
  dropdown.has_selection = false;
  grid.SetCellFormat(0, 2, dropdown);

  ExportOptions options;
  options.excluded_columns = {0, -4};
  EXPECT_EQ(Csv(grid, &options), "D,C,B\r\n100.00%,text,\"one, two\"\r\n");
}

// A private folder per test, removed afterwards.
class ExportFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (fs::temp_directory_path() / "quarry-export-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // Names in the folder; a leftover temporary file shows up here.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(ExportFileTest, FileTypeComesFromTheOptions) {
  MemoryGrid grid({"Name", "Price"}, {{"a,b", "3"}});
  ExportOptions options;
  options.open_after_export = false;

  options.file_type = kFileTypeText;
  ASSERT_TRUE(ExportListToFile(grid, Path("t.csv"), &options));
  EXPECT_EQ(Read(Path("t.csv")), "Name\tPrice\r\na,b\t3\r\n");

  options.file_type = kFileTypeHtml;
  ASSERT_TRUE(ExportListToFile(grid, Path("h.txt"), &options));
  EXPECT_EQ(Read(Path("h.txt")), BuildHtmlDocument(grid, &options));

  // A .dat file, and any code outside the three formats, gives CSV.
  options.file_type = FileTypeFromExtension("x.dat");
  ASSERT_TRUE(ExportListToFile(grid, Path("x.dat"), &options));
  EXPECT_EQ(Read(Path("x.dat")), "Name,Price\r\n\"a,b\",3\r\n");
  // Comma-separated text under a spreadsheet's name is never written.
  options.file_type = kFileTypeSpreadsheet;
  ASSERT_FALSE(ExportListToFile(grid, Path("x.xls"), &options));
  EXPECT_FALSE(fs::exists(Path("x.xls")));
  ASSERT_TRUE(ExportListToFile(grid, Path("n.csv"), nullptr));
  EXPECT_EQ(Read(Path("n.csv")), Read(Path("x.dat")));
}

TEST_F(ExportFileTest, HeaderOnlyTextIsStillWritten) {
  MemoryGrid grid({"", ""}, {});
  ASSERT_TRUE(ExportListToFile(grid, Path("e.csv"), nullptr));
  EXPECT_EQ(Read(Path("e.csv")), "\r\n");
}

TEST_F(ExportFileTest, FileThatCannotBeCreatedLeavesNothing) {
  MemoryGrid grid({"A"}, {{"1"}});
  EXPECT_FALSE(ExportListToFile(grid, Path("missing/out.csv"), nullptr));
  EXPECT_FALSE(ExportListToFile(grid, "", nullptr));
  fs::create_directory(dir_ / "folder");
  EXPECT_FALSE(ExportListToFile(grid, Path("folder"), nullptr));
  EXPECT_EQ(Entries(), std::vector<std::string>{"folder"});
  EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
}

TEST_F(ExportFileTest, FailedWriteKeepsTheExistingFile) {
  const std::string path = Path("out.csv");
  Write(path, "old contents\r\n");
  // Cells far beyond the file size limit set below make the write fail
  // part-way, as a full disk would.
  std::vector<std::vector<std::string>> rows(200, {std::string(100, 'x')});
  MemoryGrid grid({"A"}, rows);

  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = ExportListToFile(grid, path, nullptr);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(written);
  EXPECT_EQ(Read(path), "old contents\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.csv"});
}

TEST_F(ExportFileTest, ADeviceOrAFolderIsRefusedWithTheReason) {
  MemoryGrid grid({"A"}, {{"1"}});
  std::string reason;
  EXPECT_FALSE(ExportListToFile(grid, "/dev/full", nullptr, {}, &reason));
  EXPECT_EQ(reason, "'/dev/full' is not a regular file");
  EXPECT_FALSE(ExportListToFile(grid, Path("missing/out.csv"), nullptr, {}, &reason));
  EXPECT_EQ(reason, "No such file or directory: '" + Path("missing/out.csv") + "'");
}

TEST_F(ExportFileTest, ReplacesExistingFileKeepingItsMode) {
  const std::string path = Path("out.csv");
  Write(path, "a much longer old text than the new one\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  MemoryGrid grid({"A"}, {{"1"}});
  ASSERT_TRUE(ExportListToFile(grid, path, nullptr));
  EXPECT_EQ(Read(path), "A\r\n1\r\n");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.csv"});
}

TEST_F(ExportFileTest, NewFileModeFollowsTheUmask) {
  MemoryGrid grid({"A"}, {{"1"}});
  mode_t saved = umask(027);
  bool written = ExportListToFile(grid, Path("new.csv"), nullptr);
  umask(saved);
  ASSERT_TRUE(written);
  struct stat st;
  ASSERT_EQ(stat(Path("new.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ExportFileTest, SymbolicLinkIsFollowedNotReplaced) {
  fs::create_directory(dir_ / "real");
  Write(Path("real/data.csv"), "old");
  fs::create_symlink("real/data.csv", dir_ / "link.csv");
  MemoryGrid grid({"A"}, {{"1"}});
  ASSERT_TRUE(ExportListToFile(grid, Path("link.csv"), nullptr));
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
  EXPECT_EQ(Read(Path("real/data.csv")), "A\r\n1\r\n");
}

TEST_F(ExportFileTest, OpenHookRunsOnlyAfterASuccessfulRequestedExport) {
  std::vector<std::string> opened;
  const OpenAfterExportHook open = [&](const std::string& p) { opened.push_back(p); };
  MemoryGrid grid({"A"}, {{"1"}});
  ExportOptions options;

  ASSERT_TRUE(ExportListToFile(grid, Path("a.csv"), &options, open));
  EXPECT_EQ(opened, std::vector<std::string>{Path("a.csv")});

  options.open_after_export = false;
  ASSERT_TRUE(ExportListToFile(grid, Path("b.csv"), &options, open));
  ASSERT_TRUE(ExportListToFile(grid, Path("c.csv"), nullptr, open));
  options.open_after_export = true;
  EXPECT_FALSE(ExportListToFile(grid, Path("missing/d.csv"), &options, open));
  EXPECT_EQ(opened.size(), 1u);
  // Without a hook nothing is opened, and nothing else changes.
  ASSERT_TRUE(ExportListToFile(grid, Path("e.csv"), &options));
  EXPECT_EQ(opened.size(), 1u);
}

}  // namespace
}  // namespace quarry
