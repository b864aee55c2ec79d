#include "engine/page_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace quarry {
namespace {

TEST(PageParserTest, KeepsTablesWithDataInPageOrderAndNamesThem) {
  const std::string page =
      "<html><table id=\"first\" border=2><tr><td>a</td><td>b</td></tr>"
      "<tr><td>c</td></tr></table>"
      "<table id=empty><tr><td> </td></tr></table>"
      "<TABLE width=50%><TR><TD>x<table><tr><td>in</td></tr></table></TD></TR></TABLE>"
      "<table><tr><td>last</td></tr></table></html>";
  const TableList tables = ParsePageText(page);
  ASSERT_EQ(tables.size(), 4u);
  EXPECT_EQ(tables[0].id, "first");
  EXPECT_EQ(tables[0].border, 2);
  EXPECT_EQ(tables[0].data, "a,b\r\nc,\r\n");
  EXPECT_EQ(tables[0].source_html,
            "<table id=\"first\" border=2><tr><td>a</td><td>b</td></tr>"
            "<tr><td>c</td></tr></table>");
  // The empty table is gone; the names count list positions.
  EXPECT_EQ(tables[1].id, "Table 2");
  EXPECT_EQ(tables[1].data, "in\r\n");
  EXPECT_EQ(tables[2].id, "Table 3");
  EXPECT_EQ(tables[2].data, "x\r\n");
  EXPECT_EQ(tables[2].width, 50);
  EXPECT_EQ(tables[2].width_is_percent, 1);
  EXPECT_EQ(tables[3].id, "Table 4");
  EXPECT_EQ(tables[3].source_html, "<table><tr><td>last</td></tr></table>");

  // Without the sources, the same records but for their empty HTML.
  TableList dropped = ParsePageText(page, nullptr, nullptr, TableSource::kSourceDropped);
  ASSERT_EQ(dropped.size(), tables.size());
  for (size_t i = 0; i < tables.size(); ++i) {
    EXPECT_EQ(dropped[i].source_html, "");
    dropped[i].source_html = tables[i].source_html;
    EXPECT_EQ(dropped[i], tables[i]) << "table " << i;
  }
}

TEST(PageParserTest, StopsAtTheFirstZeroByte) {
  std::string page = "<table><tr><td>a</td></tr></table>";
  page += '\0';
  page += "<table><tr><td>b</td></tr></table>";
  const TableList tables = ParsePageText(page);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].data, "a\r\n");
}

TEST(PageParserTest, PagesWithoutCompleteTablesGiveNothing) {
  EXPECT_TRUE(ParsePageText("").empty());
  EXPECT_TRUE(ParsePageText("<p>text</p>").empty());
  EXPECT_TRUE(ParsePageText("<table><tr><td>open").empty());
  EXPECT_TRUE(ParsePageText("<table>no rows</table>").empty());
}

TEST(PageParserTest, AStoppedParseEndsBeforeTheNextTable) {
  std::string page;
  for (int i = 0; i < 100; ++i) page += "<table><tr><td>x</td></tr></table>";
  std::atomic<bool> cancel{true};
  EXPECT_TRUE(ParsePageText(page, nullptr, &cancel).empty());
  cancel = false;
  EXPECT_EQ(ParsePageText(page, nullptr, &cancel).size(), 100u);
}

}  // namespace
}  // namespace quarry
