#include "engine/workbook_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/delimited_export.h"
#include "engine/testing/workbook_reader.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using quarry::testing::ReadFileBytes;
using quarry::testing::TempDir;
using quarry::testing::WorkbookSeen;
using quarry::testing::WriteFileBytes;

// Reads the workbook back as another program would.
WorkbookSeen ReadBack(const std::string& path) {
  WorkbookSeen seen = quarry::testing::ReadWorkbook(path);
  EXPECT_TRUE(seen.read) << seen.error;
  return seen;
}

class WorkbookWriterTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return temp_.File(name); }

  // Names in the folder; a leftover temporary file shows up here.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempDir temp_;
};

TEST_F(WorkbookWriterTest, OpensWithTheRightSheetHeaderAndTypes) {
  MemoryGrid grid({"Code", "Price", "Sold", "Share", "Mixed", "Caf\xE9", ""},
                  {{"007", "8.00", "1,234", "12.5%", "12", "Caf\xE9", ""},
                   {"01234", "19.5", "12,000,000", "100%", "n/a", "\xC3\xA9t\xC3\xA9", ""},
                   {"42", " 0.25 ", "", "0.5%", "7", "", ""}});
  ExportOptions options;
  options.sheet_name = "Prices [2024]: \"a/b\"";
  options.has_header = true;
  options.file_type = FileTypeFromExtension("prices.xlsx");
  ASSERT_TRUE(ExportListToFile(grid, Path("prices.xlsx"), &options));

  const WorkbookSeen seen = ReadBack(Path("prices.xlsx"));
  EXPECT_EQ(seen.sheets, 1);
  EXPECT_EQ(seen.sheet, "Prices _2024__ \"a_b\"");
  EXPECT_EQ(seen.freeze, "A2");
  struct Expected {
    std::string cell, type;
    bool bold;
    std::string format, value;
  };
  const Expected expected[] = {
      {"A1", "s", true, "General", "\"Code\""},
      {"F1", "s", true, "General", "\"Café\""},  // Latin-1, converted
      // A leading zero keeps the whole column text.
      {"A2", "s", false, "General", "\"007\""},
      {"A3", "s", false, "General", "\"01234\""},
      {"A4", "s", false, "General", "\"42\""},
      {"B2", "n", false, "0.00", "8"},
      {"B3", "n", false, "0.0", "19.5"},
      {"B4", "n", false, "0.00", "0.25"},
      {"C2", "n", false, "#,##0", "1234"},
      {"C3", "n", false, "#,##0", "12000000"},
      {"D2", "n", false, "0.0%", "0.125"},
      {"D3", "n", false, "0%", "1"},
      {"D4", "n", false, "0.0%", "0.005"},
      // One word among numbers: the column stays text.
      {"E2", "s", false, "General", "\"12\""},
      {"E3", "s", false, "General", "\"n/a\""},
      {"F2", "s", false, "General", "\"Café\""},
      {"F3", "s", false, "General", "\"été\""},  // UTF-8, unchanged
  };
  for (const Expected& e : expected) {
    auto it = seen.cells.find(e.cell);
    ASSERT_NE(it, seen.cells.end()) << e.cell;
    EXPECT_EQ(it->second.type, e.type) << e.cell;
    EXPECT_EQ(it->second.bold, e.bold) << e.cell;
    EXPECT_EQ(it->second.format, e.format) << e.cell;
    EXPECT_EQ(it->second.value, e.value) << e.cell;
  }
  // Empty cells and the empty column are left blank.
  EXPECT_EQ(seen.cells.count("C4"), 0u);
  EXPECT_EQ(seen.cells.count("G1"), 0u);
  // Widths follow the content: the long column is wider than the short one.
  ASSERT_EQ(seen.widths.count("C"), 1u);
  ASSERT_EQ(seen.widths.count("A"), 1u);
  EXPECT_GT(seen.widths.at("C"), seen.widths.at("A"));
  EXPECT_EQ(seen.widths.count("G"), 0u);
}

TEST_F(WorkbookWriterTest, WithoutHeaderNothingIsBoldOrFrozen) {
  MemoryGrid titled({"a", "b"}, {{"1", "x"}});
  MemoryGrid untitled({"", ""}, {{"1", "x"}, {"2", "y"}});
  ExportOptions options;
  options.file_type = kFileTypeWorkbook;
  ASSERT_TRUE(ExportListToFile(titled, Path("titled.xlsx"), &options));
  ASSERT_TRUE(ExportListToFile(untitled, Path("untitled.xlsx"), &options));

  WorkbookSeen seen = ReadBack(Path("titled.xlsx"));
  EXPECT_EQ(seen.sheet, "Sheet1");
  EXPECT_EQ(seen.freeze, "None");
  // Titles the caller did not call a header are kept, as a plain row.
  EXPECT_EQ(seen.cells["A1"].value, "\"a\"");
  EXPECT_FALSE(seen.cells["A1"].bold);
  EXPECT_EQ(seen.cells["A2"].type, "n");

  seen = ReadBack(Path("untitled.xlsx"));
  EXPECT_EQ(seen.freeze, "None");
  EXPECT_EQ(seen.cells["A1"].value, "1");
  EXPECT_EQ(seen.cells["B2"].value, "\"y\"");
}

TEST(WorkbookSheetNameTest, NamesFollowTheRulesOfSheetNames) {
  struct Case {
    std::string name, sheet;
  };
  const Case cases[] = {
      {"prices", "prices"},
      {"", "Sheet1"},
      {"''", "Sheet1"},
      {"'quoted'", "quoted"},
      {"a[b]c:d*e?f/g\\h", "a_b_c_d_e_f_g_h"},
      {"tab\there", "tab_here"},
      {"history", "history_"},
      {"HISTORY", "HISTORY_"},
      {"Caf\xE9", "Caf\xC3\xA9"},
      {std::string(40, 'x'), std::string(31, 'x')},
      // Cut to 31 characters, not bytes, and never inside one.
      {std::string(20, 'a') + std::string(15, 'e'),
       std::string(20, 'a') + std::string(11, 'e')},
      {std::string(30, 'a') + "\xC3\xA9\xC3\xA9", std::string(30, 'a') + "\xC3\xA9"},
      // An apostrophe brought to the end by the cut goes too.
      {std::string(30, 'a') + "'b", std::string(30, 'a')},
  };
  for (const Case& c : cases) EXPECT_EQ(WorkbookSheetName(c.name), c.sheet) << c.name;
}

TEST_F(WorkbookWriterTest, WhatDoesNotFitASheetIsRefusedAndTheOldFileKept) {
  const std::string path = Path("kept.xlsx");
  ASSERT_TRUE(WriteFileBytes(path, "old contents"));
  ExportOptions options;
  options.file_type = kFileTypeWorkbook;

  struct Case {
    MemoryGrid grid;
    std::string reason_part;
  };
  std::vector<Case> cases;
  cases.push_back({MemoryGrid({"A"}, {{"x"}, {std::string(kWorkbookMaxCellCharacters + 1, 'y')}}),
                   "cell A3 holds 32768 characters"});
  cases.push_back({MemoryGrid(std::vector<std::string>(kWorkbookMaxColumns + 1, "c"), {}),
                   "more than 16384 columns"});
  for (const Case& c : cases) {
    std::string reason;
    EXPECT_FALSE(ExportListToFile(c.grid, path, &options, {}, &reason));
    EXPECT_NE(reason.find(c.reason_part), std::string::npos) << reason;
    EXPECT_EQ(ReadFileBytes(path), "old contents");
  }
  // A cell of exactly the limit fits.
  MemoryGrid longest({"A"}, {{std::string(kWorkbookMaxCellCharacters, 'y')}});
  EXPECT_TRUE(ExportListToFile(longest, Path("longest.xlsx"), &options));

  // A target that cannot be written fails before any work, leaving nothing.
  std::string reason;
  EXPECT_FALSE(ExportListToFile(longest, Path("missing/out.xlsx"), &options, {}, &reason));
  EXPECT_NE(reason.find("missing/out.xlsx"), std::string::npos) << reason;
  fs::remove(Path("longest.xlsx"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"kept.xlsx"});
}

TEST_F(WorkbookWriterTest, SpreadsheetNamesThatAreNotWrittenAreRefused) {
  MemoryGrid grid({"A"}, {{"1"}});
  for (const std::string name : {"t.xls", "t.ODS"}) {
    ExportOptions options;
    options.file_type = FileTypeFromExtension(name);
    std::string reason;
    EXPECT_FALSE(ExportListToFile(grid, Path(name), &options, {}, &reason)) << name;
    EXPECT_NE(reason.find(".xlsx"), std::string::npos) << reason;
  }
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace quarry
