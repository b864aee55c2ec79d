#include "engine/data_text_grid.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/delimited_export.h"
#include "engine/html_writer.h"
#include "engine/table_grid.h"

namespace quarry {
namespace {

std::string RandomData(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {
      "a", "bc", ",", ",", "\"", "\"x,y\"", "\t", "\r\n", "\r\n", "\n", " ", "\r", "q\"r"};
  std::string data;
  const int count = static_cast<int>(rng() % 40);
  for (int i = 0; i < count; ++i) data += pieces[rng() % pieces.size()];
  return data;
}

// Cells read in column order, backwards and at random must all be the
// ones BuildTableGrid lays out, which the results view has always shown.
TEST(DataTextGridTest, ShowsWhatTheTableGridShowsInAnyReadingOrder) {
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    const std::string data = RandomData(rng);
    const bool header = round % 2 == 0;
    const TableGrid expected = BuildTableGrid(data, header);
    const DataTextGrid grid(data, header);
    ASSERT_EQ(grid.ColumnCount(), expected.columns) << data;
    ASSERT_EQ(grid.RowCount(), static_cast<int>(expected.rows.size())) << data;
    for (int k = 0; k < grid.ColumnCount(); ++k) {
      ASSERT_EQ(grid.HeaderText(k), expected.titles[static_cast<size_t>(k)]) << data;
    }
    for (int r = 0; r < grid.RowCount(); ++r) {
      std::vector<int> order(static_cast<size_t>(grid.ColumnCount()));
      for (int k = 0; k < grid.ColumnCount(); ++k) order[static_cast<size_t>(k)] = k;
      if (round % 3 == 1) std::reverse(order.begin(), order.end());
      if (round % 3 == 2) std::shuffle(order.begin(), order.end(), rng);
      for (int k : order) {
        ASSERT_EQ(grid.Cell(r, k), expected.rows[static_cast<size_t>(r)][static_cast<size_t>(k)])
            << data << " row " << r << " column " << k;
      }
    }
    EXPECT_EQ(grid.Cell(-1, 0), "");
    EXPECT_EQ(grid.Cell(grid.RowCount(), 0), "");
    EXPECT_EQ(grid.HeaderText(grid.ColumnCount()), std::nullopt);
  }
}

// Exported, it writes what the shown grid in memory writes, to a string and
// streamed to a file, also past the file writer's buffer.
TEST(DataTextGridTest, ExportsAsTheGridInMemoryDoes) {
  std::string data = "Name,Price,Note\r\n";
  for (int i = 0; i < 3000; ++i) {
    data += "item " + std::to_string(i) + ",\"1," + std::to_string(i % 100) + "\"";
    data += i % 7 == 0 ? ",  padded  \r\n" : "\r\n";
  }
  const TableGrid shown = BuildTableGrid(data, true);
  const MemoryGrid memory(shown.titles, shown.rows);
  const DataTextGrid grid(data, true);
  ExportOptions options;
  options.open_after_export = false;
  const std::string html = BuildHtmlDocument(memory, &options);
  ASSERT_GT(html.size(), 200000u);
  EXPECT_EQ(BuildHtmlDocument(grid, &options), html);
  EXPECT_EQ(BuildDelimitedText(grid, &options, kFileTypeCsv),
            BuildDelimitedText(memory, &options, kFileTypeCsv));
  EXPECT_EQ(BuildDelimitedText(grid, &options, kFileTypeText),
            BuildDelimitedText(memory, &options, kFileTypeText));

  const auto dir = std::filesystem::temp_directory_path() /
                   ("quarry-grid-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (int32_t type : {kFileTypeHtml, kFileTypeCsv}) {
    const std::string path = (dir / (type == kFileTypeHtml ? "t.html" : "t.csv")).string();
    options.file_type = type;
    ASSERT_TRUE(ExportListToFile(grid, path, &options));
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written, type == kFileTypeHtml ? html
                                             : BuildDelimitedText(memory, &options, kFileTypeCsv));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quarry
