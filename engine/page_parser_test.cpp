#include "engine/page_parser.h"

#include <gtest/gtest.h>

#include <memory>
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

// The records share one text for their HTML (the page, its flattened copy
// or the table strings laid end to end); whichever it is, each record must
// read its own table string, and go on reading it once every other holder
// of the page is gone.
TEST(PageParserTest, TablesHoldTheirOwnHtmlWhateverTextTheyShare) {
  std::string many_small;
  for (int i = 0; i < 300; ++i) many_small += "<table><tr><td>" + std::to_string(i) + "</td></tr></table>";
  const std::string nested = "<table><tr><td>a<table><tr><td>b</td></tr></table></td></tr></table>";
  const std::string mostly_prose = std::string(5000, 'p') + "<table><tr><td>c</td></tr></table>" +
                                   "<table><tr></tr></table>" + std::string(5000, 'q');
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("<table><tr><td>u</td></tr></table>")) {
    utf16 += c;
    utf16 += '\0';
  }
  std::string nested_prose = std::string(5000, 'n') + nested;
  for (const std::string& page : {many_small, nested, mostly_prose, utf16, nested_prose}) {
    const TableList by_view = ParsePageText(page);
    TableList shared = ParsePageText(std::make_shared<const std::string>(page));
    ASSERT_EQ(shared, by_view) << page.substr(0, 80);
    ASSERT_FALSE(shared.empty()) << page.substr(0, 80);
    for (const ExtractedTable& table : shared) {
      EXPECT_EQ(table.source_html.view().substr(0, 6), "<table");
      EXPECT_EQ(table.source_html.view().substr(table.source_html.size() - 7), "/table>");
    }
    // A copy outlives the list it came from.
    const ExtractedTable last = shared.back();
    shared.clear();
    shared.shrink_to_fit();
    EXPECT_EQ(last, by_view.back());
  }
}

}  // namespace
}  // namespace quarry
