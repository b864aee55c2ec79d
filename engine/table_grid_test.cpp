#include "engine/table_grid.h"

#include "engine/grid_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarry {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using Titles = std::vector<std::string>;

TEST(TableGridTest, FirstLineTitlesTheColumnsOnlyWhenAsked) {
  const std::string data = "Name,Price\r\nTea,\"1,50\"\r\nCake,3\r\n";

  TableGrid with_header = BuildTableGrid(data, true);
  EXPECT_EQ(with_header.columns, 2);
  EXPECT_TRUE(with_header.header);
  EXPECT_EQ(with_header.titles, (Titles{"Name", "Price"}));
  EXPECT_EQ(with_header.rows, (Rows{{"Tea", "1,50"}, {"Cake", "3"}}));

  TableGrid without = BuildTableGrid(data, false);
  EXPECT_FALSE(without.header);
  EXPECT_EQ(without.titles, (Titles{"", ""}));
  EXPECT_EQ(without.rows,
            (Rows{{"Name", "Price"}, {"Tea", "1,50"}, {"Cake", "3"}}));

  TableGrid title_only = BuildTableGrid("a,b\r\n", true);
  EXPECT_EQ(title_only.titles, (Titles{"a", "b"}));
  EXPECT_TRUE(title_only.rows.empty());
}

TEST(TableGridTest, NoLinesGiveAnEmptyGrid) {
  for (bool header : {false, true}) {
    TableGrid grid = BuildTableGrid("\r\n\r\n", header);
    EXPECT_EQ(grid.columns, 0);
    EXPECT_FALSE(grid.header);
    EXPECT_TRUE(grid.titles.empty());
    EXPECT_TRUE(grid.rows.empty());
  }
}

TEST(TableGridTest, EveryRowHasExactlyTheColumnCount) {
  // Short lines give empty cells, long ones are cut at the column count; a
  // quoted comma in the first line adds an empty column.
  TableGrid grid = BuildTableGrid("a,\"x,y\"\r\n1\r\n1,2,3,4\r\n", false);
  EXPECT_EQ(grid.columns, 3);
  EXPECT_EQ(grid.rows, (Rows{{"a", "x,y", ""}, {"1", "", ""}, {"1", "2", "3"}}));

  TableGrid tabs = BuildTableGrid("a\tb\r\nc,d\te\r\n", true);
  EXPECT_EQ(tabs.titles, (Titles{"a", "b"}));
  EXPECT_EQ(tabs.rows, (Rows{{"c,d", "e"}}));
}

// A 10 MB table goes through the grid and every command in linear time.
TEST(TableGridTest, LargeTableStaysFast) {
  std::string data;
  const std::string row = "alpha,\"be,ta\",gamma \"g\",delta,epsilon\r\n";
  while (data.size() < 10'000'000) data += row;
  data += "last,line\r\n";
  const size_t rows = data.size() / row.size();

  TableGrid grid = BuildTableGrid(data, true);
  ASSERT_EQ(grid.columns, 6);
  ASSERT_EQ(grid.rows.size(), rows);
  EXPECT_EQ(grid.rows[5][1], "be,ta");
  EXPECT_EQ(grid.rows.back()[1], "line");

  ASSERT_TRUE(RemoveColumn(data, 1));
  ASSERT_TRUE(ShiftRight(data, 3, 0));
  ASSERT_TRUE(RemoveLine(data, rows));
  EXPECT_EQ(data.substr(0, 32), ",alpha,gamma \"g\",delta,epsilon\r\n");
  EXPECT_EQ(data.find("last"), std::string::npos);
}

}  // namespace
}  // namespace quarry
