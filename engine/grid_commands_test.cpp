#include "engine/grid_commands.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/table_data_reader.h"

namespace quarry {
namespace {

using Row = std::vector<std::string>;

// `row` as `fields` values: padded with empty ones, or cut of trailing
// empty ones past that (they read the same).
Row Sized(Row row, size_t fields) {
  while (row.size() > fields && row.back().empty()) row.pop_back();
  if (row.size() < fields) row.resize(fields);
  return row;
}

// Each line of `data` as a row of `min_fields` or more values.
std::vector<Row> Rows(const std::string& data, size_t min_fields = 0) {
  TableDataReader reader;
  reader.Read(data);
  std::vector<Row> rows;
  for (int i = 0; i < reader.LineCount(); ++i) {
    std::string_view line = reader.LineView(i);
    Row row;
    for (const FieldSpan& f : reader.parser().Split(line)) {
      row.emplace_back(line.substr(f.value_begin, f.value_end - f.value_begin));
    }
    rows.push_back(Sized(row, min_fields));
  }
  return rows;
}

TEST(GridCommandsTest, RemoveLineTakesIdenticalLinesAndNothingElse) {
  std::string data = "a,b\r\nc,d\r\na,b\r\nxa,b\r\na,bx\r\n";
  ASSERT_TRUE(RemoveLine(data, 2));
  EXPECT_EQ(data, "c,d\r\nxa,b\r\na,bx\r\n");

  // "b" is a whole line, not the tail of "ab".
  data = "b\r\nab\r\nb\r\nc";
  ASSERT_TRUE(RemoveLine(data, 0));
  EXPECT_EQ(data, "ab\r\nc");

  // A last line without line end goes too; other line ends stay as they are.
  data = "x\ny\rx\r\n\r\nz\nx";
  ASSERT_TRUE(RemoveLine(data, 0));
  EXPECT_EQ(data, "y\r\r\nz\n");

  std::string before = data;
  EXPECT_FALSE(RemoveLine(data, 3));
  EXPECT_FALSE(RemoveLine(data, -1));
  EXPECT_EQ(data, before);
  std::string empty = "\r\n";
  EXPECT_FALSE(RemoveLine(empty, 0));
}

TEST(GridCommandsTest, RemoveColumnRewritesEachLineOnce) {
  std::string data = "a,b,\r\nc,d,e\r\n";
  ASSERT_TRUE(RemoveColumn(data, 2));
  EXPECT_EQ(data, "a,b\r\nc,d\r\n");

  // Replacing old lines one after another would turn "y,x,1" into "y,1"
  // once "x,1" had become "1".
  data = "x,1\r\ny,x,1\r\n";
  ASSERT_TRUE(RemoveColumn(data, 0));
  EXPECT_EQ(data, "1\r\nx,1\r\n");

  // Quoted fields keep their quotes; line ends of any kind are kept.
  data = "a,b,c\n\"x,y\",p,q\r";
  ASSERT_TRUE(RemoveColumn(data, 1));
  EXPECT_EQ(data, "a,c\n\"x,y\",q\r");

  std::string before = data;
  EXPECT_FALSE(RemoveColumn(data, 2));
  EXPECT_FALSE(RemoveColumn(data, -1));
  EXPECT_EQ(data, before);
}

TEST(GridCommandsTest, RemoveColumnDownToNothing) {
  // In a one-column table every line is the whole cell: removing the column
  // must not cut "1" out of "21".
  std::string data = "1\r\n21\r\n1\r\n";
  ASSERT_TRUE(RemoveColumn(data, 0));
  EXPECT_TRUE(Rows(data).empty());

  data = "a,b\r\nc,d\r\n";
  ASSERT_TRUE(RemoveColumn(data, 0));
  EXPECT_EQ(data, "b\r\nd\r\n");
  ASSERT_TRUE(RemoveColumn(data, 0));
  TableDataReader reader;
  reader.Read(data);
  EXPECT_EQ(reader.LineCount(), 0);
  EXPECT_FALSE(RemoveColumn(data, 0));
}

TEST(GridCommandsTest, ShiftRight) {
  std::string data = "x,y,z\r\n";
  ASSERT_TRUE(ShiftRight(data, 0, 0));
  EXPECT_EQ(data, ",x,y\r\n");

  // The last column empties but stays, so the first line keeps the table's
  // column count and the other lines keep their third column in view.
  data = "x,y,z\r\n1,2,3\r\n";
  ASSERT_TRUE(ShiftRight(data, 0, 2));
  EXPECT_EQ(data, "x,y,\r\n1,2,3\r\n");
  TableDataReader reader;
  reader.Read(data);
  EXPECT_EQ(reader.ColumnCount(), 3);

  // Identical lines move together; "x,y,zz" is another line.
  data = "x,y,z\r\nx,y,zz\r\nx,y,z";
  ASSERT_TRUE(ShiftRight(data, 2, 1));
  EXPECT_EQ(data, "x,,y\r\nx,y,zz\r\nx,,y");

  EXPECT_FALSE(ShiftRight(data, 3, 0));
  EXPECT_FALSE(ShiftRight(data, 0, 3));
}

TEST(GridCommandsTest, ShiftLeft) {
  std::string data = "x,y,z\r\n";
  ASSERT_TRUE(ShiftLeft(data, 0, 1));
  EXPECT_EQ(Rows(data, 3), (std::vector<Row>{{"y", "z", ""}}));
  EXPECT_EQ(data, "y,z,\r\n");

  data = "x,y,z\r\n";
  ASSERT_TRUE(ShiftLeft(data, 0, 2));
  EXPECT_EQ(data, "x,z,\r\n");
  ASSERT_TRUE(ShiftLeft(data, 0, 0));
  EXPECT_EQ(data, "x,z,\r\n");

  EXPECT_FALSE(ShiftLeft(data, 1, 0));
  EXPECT_FALSE(ShiftLeft(data, 0, 3));
}

TEST(GridCommandsTest, RebuiltLinesUseTheReadersDelimiter) {
  std::string data = "a\tb\tc\r\nd\te,f\tg\r\n";
  ASSERT_TRUE(RemoveColumn(data, 0));
  EXPECT_EQ(data, "b\tc\r\ne,f\tg\r\n");
  ASSERT_TRUE(ShiftRight(data, 1, 0));
  EXPECT_EQ(data, "b\tc\r\n\te,f\r\n");
}

TEST(GridCommandsTest, CarriedFieldsKeepTheirText) {
  // A bare cell with quotes stays bare: enclosed, it would read back with
  // its quotes. Text that the reader skips around a quoted value survives.
  // (The quoted comma counts as a column, so the line has four.)
  std::string data = "say \"hi\",\"x,y\"junk,z\r\n";
  ASSERT_TRUE(ShiftRight(data, 0, 0));
  EXPECT_EQ(data, ",say \"hi\",\"x,y\"junk,z\r\n");
  EXPECT_EQ(Rows(data), (std::vector<Row>{{"", "say \"hi\"", "x,y", "z"}}));
  ASSERT_TRUE(ShiftLeft(data, 0, 3));
  EXPECT_EQ(data, ",say \"hi\",z,,\r\n");  // still 5 columns

  // A quoted comma in a first line counts as a column; rebuilding the line
  // must not add one more column per command.
  data = "\"x,y\",b,c\r\n";
  ASSERT_TRUE(ShiftLeft(data, 0, 2));
  EXPECT_EQ(data, "\"x,y\",c,\r\n");
  ASSERT_TRUE(RemoveColumn(data, 1));
  EXPECT_EQ(data, "\"x,y\",\r\n");

  // Fields past the first line's column count are not lost.
  data = "a,b\r\n1,2,3,4\r\n";
  ASSERT_TRUE(RemoveColumn(data, 0));
  EXPECT_EQ(data, "b\r\n2,3,4\r\n");
  ASSERT_TRUE(ShiftLeft(data, 1, 0));
  EXPECT_EQ(data, "b\r\n2,3,4\r\n");
}

// Random tables with quotes, commas and mixed line ends: every command must
// change exactly the lines it names, into exactly the fields it describes.
TEST(GridCommandsTest, RandomTablesChangeOnlyWhatTheCommandSays) {
  std::mt19937 rng(5);
  const char alphabet[] = {'a', 'b', ',', ',', '"', ' '};
  const char* line_ends[] = {"\r\n", "\r\n", "\n", "\r", "\r\n\r\n"};
  for (int round = 0; round < 1500; ++round) {
    std::string data;
    int lines = 1 + static_cast<int>(rng() % 5);
    for (int i = 0; i < lines; ++i) {
      // Repeat an earlier line now and then.
      std::string line;
      TableDataReader so_far;
      so_far.Read(data);
      if (so_far.LineCount() > 0 && rng() % 4 == 0) {
        line = so_far.Line(static_cast<int>(rng() % so_far.LineCount()));
      } else {
        int length = 1 + static_cast<int>(rng() % 10);
        for (int j = 0; j < length; ++j) line += alphabet[rng() % 6];
      }
      data += line + line_ends[rng() % 5];
    }
    TableDataReader before;
    before.Read(data);
    const int columns = before.ColumnCount();
    const int line = static_cast<int>(rng() % before.LineCount());
    const int column = static_cast<int>(rng() % columns);
    const std::string target = before.Line(line);
    const std::vector<Row> old_rows = Rows(data, columns);
    Row changed = old_rows[line];

    std::string edited = data;
    int command = static_cast<int>(rng() % 3);
    if (command == 0) {
      ASSERT_TRUE(ShiftRight(edited, line, column));
      changed.insert(changed.begin() + column, "");
      changed.erase(changed.begin() + columns);
    } else if (command == 1) {
      ASSERT_TRUE(ShiftLeft(edited, line, column));
      if (column > 0) {
        changed.erase(changed.begin() + column - 1);
        changed.insert(changed.begin() + columns - 1, "");
      }
    } else {
      ASSERT_TRUE(RemoveLine(edited, line));
    }

    // A one-column line shifted to nothing but empty fields is written
    // empty, and the reader drops it.
    const bool emptied = columns == 1 && Sized(changed, 0).empty() &&
                         !(command == 1 && column == 0);
    // Line by line: the named lines changed as described, all others kept.
    std::vector<Row> expected;
    for (int i = 0; i < before.LineCount(); ++i) {
      if (before.Line(i) != target) {
        expected.push_back(old_rows[i]);
      } else if (command != 2 && !emptied) {
        expected.push_back(Sized(changed, columns));
      }
    }
    ASSERT_EQ(Rows(edited, columns), expected) << data << "\n->\n" << edited;
    // A first line without quotes keeps the table's column count.
    TableDataReader after_shift;
    after_shift.Read(edited);
    if (command != 2 && target == before.Line(0) && !emptied &&
        target.find('"') == std::string::npos) {
      EXPECT_EQ(after_shift.ColumnCount(), columns) << data;
    }

    // Remove Column: every line loses exactly that field.
    std::string removed = data;
    ASSERT_TRUE(RemoveColumn(removed, column));
    expected.clear();
    for (Row row : old_rows) {
      row.erase(row.begin() + column);
      if (row.empty() || (row.size() == 1 && row[0].empty())) continue;
      expected.push_back(Sized(row, columns - 1));
    }
    std::vector<Row> after = Rows(removed, columns - 1);
    // The first line may now hold no comma and be taken as tab-separated;
    // the alphabet has no tab, so the reading stays comparable.
    ASSERT_EQ(after, expected) << data << "\n->\n" << removed;
    TableDataReader after_remove;
    after_remove.Read(removed);
    if (columns >= 3 && before.Line(0).find('"') == std::string::npos) {
      EXPECT_EQ(after_remove.ColumnCount(), columns - 1) << data;
    }
  }
}

}  // namespace
}  // namespace quarry
