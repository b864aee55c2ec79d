#include "engine/extracted_table.h"

#include <gtest/gtest.h>

namespace quarry {
namespace {

TableList MakeList(std::vector<std::string> ids) {
  TableList list;
  for (auto& id : ids) {
    ExtractedTable t;
    t.id = id;
    t.data = "data of " + id + "\r\n";
    list.push_back(t);
  }
  return list;
}

TEST(TableListTest, NamesOnlyUnnamedTablesByPosition) {
  TableList list = MakeList({"", "prices", ""});
  NameUnnamedTables(list);
  EXPECT_EQ(TableName(list[0]), "Table 1");
  EXPECT_EQ(TableName(list[1]), "prices");
  EXPECT_EQ(TableName(list[2]), "Table 3");
}

TEST(TableListTest, RenameTakesTheNameAsTyped) {
  TableList list = MakeList({"a"});
  RenameTable(list[0], "  New, name ");
  EXPECT_EQ(TableName(list[0]), "  New, name ");
}

TEST(TableListTest, DeleteCompactsAndKeepsOrder) {
  TableList list = MakeList({"a", "b", "c", "d", "e"});
  EXPECT_EQ(DeleteTables(list, {3, 0, 3, 9, -1}), 2);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].id, "b");
  EXPECT_EQ(list[1].id, "c");
  EXPECT_EQ(list[2].id, "e");
  EXPECT_EQ(list[2].data, "data of e\r\n");
}

TEST(TableListTest, DeleteEverything) {
  TableList list = MakeList({"a", "b"});
  EXPECT_EQ(DeleteTables(list, {1, 0}), 2);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(DeleteTables(list, {0}), 0);
}

}  // namespace
}  // namespace quarry
