#include "engine/table_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/entity_decoder.h"
#include "engine/table_scanner_internal.h"
#include "engine/testing/scanner_reference.h"

namespace quarry {
namespace {

using testing::RefCellHtmlToText;
using testing::RefFlatten;
using testing::RefParseRow;
using testing::RefParseTable;
using testing::RefRemoveTags;

std::string Lower(std::string text) { return testing::Cased(std::move(text), false); }

std::string Random(std::mt19937& rng, const std::vector<std::string>& pieces, int most) {
  std::string text;
  const int count = 1 + static_cast<int>(rng() % static_cast<unsigned>(most));
  for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
  return text;
}

std::string CellText(std::string cell) {
  CellHtmlToText(cell);
  return cell;
}

std::string Row(const std::string& row, int* count = nullptr) {
  int cells = -1;
  std::string line = ParseRow(row, &cells);
  if (count != nullptr) *count = cells;
  return line;
}

std::string Data(const std::string& html, bool only_full = false, bool pad = true,
                 bool skip_first = false) {
  std::string data = "left over";
  ParseTable(html, &data, nullptr, only_full, pad, skip_first);
  return data;
}

// ---------------------------------------------------------------------------

TEST(TableScannerTest, FindTagNoCaseTakesAllLowerOrAllUpperOnly) {
  EXPECT_EQ(FindTagNoCase("x<TD><td>", "<td", 0), 1);
  EXPECT_EQ(FindTagNoCase("x<TD><td>", "<TD", 2), 5);
  EXPECT_EQ(FindTagNoCase("<Td><tD>", "<td", 0), -1);
  EXPECT_EQ(FindTagNoCase("<td>", "<td", 5), -1);
  EXPECT_EQ(FindTagNoCase("<td>", "<td", -3), 0);
  EXPECT_EQ(FindTagNoCase("<td>", "<td", 4), -1);
  EXPECT_EQ(FindTagNoCase("ab", "", 1), 1);
}

TEST(TableScannerTest, AttributesAreReadAsTheScannerAlwaysHas) {
  EXPECT_EQ(GetAttributeValue("<table width=\"80%\" id=main", "width="), "80%");
  EXPECT_EQ(GetAttributeValue("<table width=\"80%\" id=main", "id="), "main");
  EXPECT_EQ(GetAttributeValue("<table ID=\"a b\">", "id="), "a b");
  EXPECT_EQ(GetAttributeValue("<table Id=x", "id="), "");
  EXPECT_EQ(GetAttributeValue("<table class=''x''", "class="), "''x''");
  EXPECT_EQ(GetAttributeValue("<table grid=7 id=8", "id="), "7");  // first hit wins
  EXPECT_EQ(GetAttributeValue("<table id=", "id="), "");
  EXPECT_EQ(GetAttributeValue("<table id=\"\" x", "id="), "");

  ExtractedTable t;
  t.data = "kept";
  ParseTable("<TABLE WIDTH=\"80%\" border cellpadding=3 cellspacing='4' class=\"c d\">"
             "<tr><td>a</td></tr></table>",
             nullptr, &t, false, true, false);
  EXPECT_EQ(t.width, 80);
  EXPECT_EQ(t.width_is_percent, 1);
  EXPECT_EQ(t.border, 0);
  EXPECT_EQ(t.cellpadding, 3);
  EXPECT_EQ(t.cellspacing, 0);
  EXPECT_EQ(t.class_name, "c d");
  EXPECT_EQ(t.data, "kept");

  ParseTable("<table border=0 width=-12 cellpadding=99999999999>", nullptr, &t, 0, 1, 0);
  EXPECT_EQ(t.border, 0);
  EXPECT_EQ(t.width, -12);
  EXPECT_EQ(t.cellpadding, 2147483647);
  EXPECT_EQ(t.class_name, "");

  t.id = "old";
  ParseTable(">table id=x border=2>", nullptr, &t, 0, 1, 0);
  EXPECT_EQ(t.id, "");
  EXPECT_EQ(t.border, 0);
}

TEST(TableScannerTest, CellsBecomePlainText) {
  EXPECT_EQ(CellText("<td><a href=\"x\">Link</a> &amp; more</td>"), "  Link  & more ");
  EXPECT_EQ(Row("<tr><td><a href=x>Link</a>&amp; more</td></tr>"), "Link & more");
  EXPECT_EQ(CellText("<td>a</p><p>b</p>c</td>"), " a\r\n\r\nb\r\nc ");
  EXPECT_EQ(CellText("<td>It\xE2\x80\x99s</td>"), " It's ");
  // Decoding comes first, so escaped tags are removed as tags.
  EXPECT_EQ(CellText("<td>&lt;b&gt;x&lt;/b&gt;</td>"), "  x  ");
  EXPECT_EQ(CellText("<td>&laquo;quote&raquo;</td>"), "  > ");
  // A '>' before any '<' deletes every copy of the text up to it.
  EXPECT_EQ(CellText("<td>1 &gt; 0<br>1 &gt; 0</td>"), " 0 1 > 0 ");
  EXPECT_EQ(CellText("<td"), "td");
  EXPECT_EQ(CellText("a\r\n   b\r\n\r\n c"), "a\r\nb\r\n\r\nc");
}

TEST(TableScannerTest, RowsBecomeLines) {
  int count = 0;
  EXPECT_EQ(Row("<tr><td>a</td><td>b,c</td><td></td></tr>", &count), "a,\"b,c\",");
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Row("<tr><td>x<td>y</td></tr>", &count), "x,y");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Row("<TR><TH>h</TH><TD>d</TD></TR>", &count), "h,d");
  EXPECT_EQ(Row("<tr><th>h1</th><th>h2</th></tr>", &count), "h1,h2");
  EXPECT_EQ(Row("<tr><Td>x</Td></tr>", &count), "");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Row("<tr><td>never closed</tr>", &count), "");
  EXPECT_EQ(Row("<tr><td>\"quoted\"</td></tr>"), "\"quoted\"");
  EXPECT_EQ(ParseRow("<tr><td>a</td></tr>", nullptr), "a");
}

TEST(TableScannerTest, RowWithACellStartInsideAStartTagEnds) {
  int count = 0;
  EXPECT_EQ(Row("<tr><td<td>a</td></tr>", &count), "td");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Row("<td<td>a</td></tr>", &count), "");
  EXPECT_EQ(Row("<tr><th<td>a</th></tr>", &count), "th,a");
  EXPECT_EQ(Row("<tr><td>x</td><td<td<td></td></tr>", &count), "x,td");
  EXPECT_EQ(count, 2);
  std::string data;
  EXPECT_TRUE(ParseTable("<table><tr><td<td>a</td></tr></table>", &data, nullptr, 0, 1, 0));
  EXPECT_EQ(data, "td\r\n");
}

TEST(TableScannerTest, TablesBecomeDataTexts) {
  const std::string upper = "<TABLE><TR><TD>1</TD><TD>2</TD></TR>\r\n<TR><TD>3</TD></TR></TABLE>";
  EXPECT_EQ(Data(upper), "1,2\r\n3,\r\n");
  EXPECT_EQ(Data(upper, true, false), "1,2\r\n");
  EXPECT_EQ(Data(upper, false, false), "1,2\r\n3\r\n");
  EXPECT_EQ(Data(upper, false, true, true), "3,\r\n");
  EXPECT_EQ(Data("<table><tr><td>a</td><td>b</td><td>c</td><td>d</td></tr>"
                 "<tr><td>e</td><td>f</td></tr></table>"),
            "a,b,c,d\r\ne,f,,\r\n");
  // Mixed-case row tags are not rows.
  EXPECT_EQ(Data("<table><Tr><td>a</td></Tr></table>"), "");
  EXPECT_EQ(Data("<table><tr><td>a\r\nb\nc</td></tr></table>"), "a b c\r\n");
  // Rows after the first "/table>" do not belong to the table.
  EXPECT_EQ(Data("<table><tr><td>a</td></tr></table><tr><td>b</td></tr>"), "a\r\n");
  EXPECT_EQ(Data("<table><tr><td></td></tr></table>"), "");
  EXPECT_EQ(Data("<table>no rows</table>"), "");
  EXPECT_TRUE(ParseTable("<table><tr><td>a</td></tr>", nullptr, nullptr, 0, 1, 0));
}

TEST(TableScannerTest, NestedTablesAreListedInnermostFirst) {
  std::vector<std::string> tables = {"stale"};
  EXPECT_EQ(SplitTables("x<table id=o><tr><td><TABLE id=i><tr><td>in</td></tr></TABLE>"
                        "</td><td>out</td></tr></table>y",
                        &tables),
            2);
  EXPECT_EQ(tables[0], "<TABLE id=i><tr><td>in</td></tr></TABLE>");
  EXPECT_EQ(tables[1], "<table id=o><tr><td></td><td>out</td></tr></table>");

  EXPECT_EQ(SplitTables("<table>A<table>B<table>C</table>b</table>a</table>", &tables), 3);
  EXPECT_EQ(tables, (std::vector<std::string>{"<table>C</table>", "<table>Bb</table>",
                                              "<table>Aa</table>"}));
  EXPECT_EQ(SplitTables("<table>A<table>B</table>a<table>C</table>a</table>", &tables), 3);
  EXPECT_EQ(tables, (std::vector<std::string>{"<table>B</table>", "<table>C</table>",
                                              "<table>Aaa</table>"}));
  EXPECT_EQ(SplitTables("<Table>x</Table><table>unclosed", &tables), 1);
  EXPECT_EQ(SplitTables("no tables", &tables), 0);
  EXPECT_TRUE(tables.empty());
  EXPECT_EQ(SplitTables("<table>", nullptr), 0);

  std::string copy = "<table><TABLE>i</TABLE></table>", twin = Lower(copy);
  EXPECT_EQ(FlattenNestedTables(copy, twin), 1);
  EXPECT_EQ(copy, "<TABLE>i</TABLE><table></table>");
  EXPECT_EQ(twin, Lower(copy));
  std::string shorter = "<table>";
  EXPECT_EQ(FlattenNestedTables(copy, shorter), 0);
}

// A table cut out joins the bytes on its two sides; a tag spelt across that
// joint counts as if it had been there.
TEST(TableScannerTest, TagsSpeltAcrossACutAreFound) {
  for (const std::string page : {"<table>x/tab<table>in</table>le>y</table>",
                                 "<table>x<tab<table>in</table>le>y</table>z</table>",
                                 "<table><table>a/ta<table>b</table>ble>c</table>d</table>"}) {
    std::string copy = page, twin = Lower(page);
    std::string ref_copy = page, ref_twin = Lower(page);
    EXPECT_EQ(FlattenNestedTables(copy, twin), RefFlatten(ref_copy, ref_twin)) << page;
    EXPECT_EQ(copy, ref_copy) << page;
  }
}

// ---------------------------------------------------------------------------
// The scanner against the straightforward forms on generated inputs.

TEST(TableScannerEquivalenceTest, TagRemoval) {
  const std::vector<std::string> pieces = {
      "<", ">", "/", "a", "b", " ", "<a>", "</a>", "<b>", "<a", "a>", "</", "\r\n",
      "</p>", "<p>", "&lt;", "&gt;", "&laquo;", "x", "<td>", "</td>", "<<", ">>"};
  std::mt19937 rng(7);
  for (int round = 0; round < 30000; ++round) {
    const std::string cell = Random(rng, pieces, 1 + round % 24);
    ASSERT_EQ(CellText(cell), RefCellHtmlToText(cell)) << "cell: " << cell;
    // Both ways of finding a round's hits, whatever the cell's size.
    const std::string expected = RefRemoveTags(cell);
    ASSERT_EQ(internal::RemoveTagsByRounds(cell, 0), expected) << "cell: " << cell;
    ASSERT_EQ(internal::RemoveTagsByRounds(cell, SIZE_MAX), expected) << "cell: " << cell;
  }
}

TEST(TableScannerEquivalenceTest, RowsAndTables) {
  const std::vector<std::string> pieces = {
      "<td>", "</td>", "<TD>", "</TD>", "<th>", "</th>", "<TH>", "</TH>", "<td", "<Td>",
      "<tr>", "</tr>", "<TR>", "</TR>", "a", "b,c", " ", "\r\n", "\n", "<b>x</b>",
      "&amp;", "</table>", "<td<td", "td>", "/t"};
  std::mt19937 rng(11);
  for (int round = 0; round < 20000; ++round) {
    const std::string row = Random(rng, pieces, 12);
    int count = -1, ref_count = -2;
    ASSERT_EQ(Row(row, &count), RefParseRow(row, &ref_count)) << "row: " << row;
    ASSERT_EQ(count, ref_count) << "row: " << row;
    const std::string html = "<table>" + row;
    const int flags = round % 8;
    ASSERT_EQ(Data(html, flags & 1, flags & 2, flags & 4),
              RefParseTable(html, flags & 1, flags & 2, flags & 4))
        << "table: " << html << " flags " << flags;
  }
}

// Line ends are joined before a row is read, and "\r\n" becomes a single
// blank: next to a tag that shifts the row's arithmetic ("four bytes before
// the next cell"), which rows read without a joined copy must follow.
TEST(TableScannerEquivalenceTest, RowsWithLineEndsNextToTags) {
  const std::vector<std::string> pieces = {
      "<td>", "<td", "</td>", "/td>", "\r\n", "\r\n", "\n", "\r", "<tr>", "</tr>", "x",
      "<th>", "</th>", "<td\r\n<td", "/tr>\r\n<td", "\r\n</td>", "&amp;\r\n"};
  std::mt19937 rng(17);
  for (int round = 0; round < 20000; ++round) {
    const std::string html = "<table><tr>" + Random(rng, pieces, 14) + "</tr></table>";
    const int flags = round % 8;
    ASSERT_EQ(Data(html, flags & 1, flags & 2, flags & 4),
              RefParseTable(html, flags & 1, flags & 2, flags & 4))
        << "table: " << html << " flags " << flags;
  }
}

// Long cells take other ways than short ones (one with an escaped bracket
// is decoded before the one pass; long runs of text are copied by blocks):
// rows of cells of a few hundred bytes, with references, tags, paragraph
// ends and line ends spread through them.
TEST(TableScannerEquivalenceTest, RowsOfLongCells) {
  const std::vector<std::string> pieces = {
      "a fairly long run of plain words ", "1,234.50", "&lt;", "&gt;", "&lt;b&gt;", "<b>",
      "</b>", "<a href=\"x?a=1&amp;b=2\">", "</a>", "&amp;", "&nbsp;", "&#8217;", "%20",
      "\xE2\x80\x99", "</p><p>", "</p>", " ", "\r\n", "\n", "\t", ">", "<", "&lt", "&quot;"};
  std::mt19937 rng(23);
  for (int round = 0; round < 3000; ++round) {
    std::string row = "<tr>";
    const int cells = 1 + static_cast<int>(rng() % 3);
    for (int c = 0; c < cells; ++c) row += "<td>" + Random(rng, pieces, 40) + "</td>";
    row += "</tr>";
    int count = -1, ref_count = -2;
    ASSERT_EQ(Row(row, &count), RefParseRow(row, &ref_count)) << "row: " << row;
    ASSERT_EQ(count, ref_count) << "row: " << row;
    const std::string html = "<table>" + row + "</table>";
    ASSERT_EQ(Data(html), RefParseTable(html, false, true, false)) << "table: " << html;
  }
}

// Cells of 16 KiB and more whose brackets do not alternate skip the one
// pass; they still read as the straightforward forms read them.
TEST(TableScannerEquivalenceTest, HugeCellsWhoseBracketsDoNotAlternate) {
  std::string words;
  while (words.size() < (70 << 10)) words += "a run of words, ";
  std::string unclosed, tails;
  for (int i = 0; i < 2500; ++i) {  // past 16 KiB each
    unclosed += "<" + std::to_string(i) + "<b>";
    tails += std::to_string(i % 97) + "AAAA>";
  }
  for (const std::string& cell : {"x > y " + words + "<b>bold</b> end",
                                  "<i>" + words + "<b unclosed " + words,
                                  words + "</p><p>" + words + "<<a>> &amp; &gt;", unclosed,
                                  tails + "<", "<<" + words + "\r \r  <b>" + words,
                                  "\xE2\x80\x99<<" + words + "<i>"}) {
    const std::string row = "<tr><td>" + cell + "</td><td>next</td></tr>";
    int count = -1, ref_count = -2;
    ASSERT_EQ(Row(row, &count), RefParseRow(row, &ref_count)) << cell.substr(0, 40);
    EXPECT_EQ(count, ref_count);
  }
}

// Padding every short row to the widest can take rows times columns
// commas; beyond the table's own size only the first line is padded, which
// keeps the table's column count.
TEST(TableScannerTest, PaddingStaysWithinTheTablesSize) {
  EXPECT_EQ(Data("<table><tr><td>a</td><td>b</td><td>c</td></tr><tr><td>d</td></tr></table>"),
            "a,b,c\r\nd,,\r\n");

  std::string wide = "<tr>";
  for (int i = 0; i < 200; ++i) wide += "<td>h</td>";
  wide += "</tr>";
  std::string narrow;
  for (int i = 0; i < 200; ++i) narrow += "<tr><td>x</td></tr>";
  std::string expected_wide = "h";
  for (int i = 1; i < 200; ++i) expected_wide += ",h";
  std::string expected_narrow;
  for (int i = 0; i < 200; ++i) expected_narrow += "x\r\n";

  const std::string data = Data("<table>" + wide + narrow + "</table>");
  EXPECT_EQ(data, expected_wide + "\r\n" + expected_narrow);
  // A short first line is padded all the same.
  const std::string first_short = Data("<table><tr><td>x</td></tr>" + wide + narrow + "</table>");
  EXPECT_EQ(first_short, "x" + std::string(199, ',') + "\r\n" + expected_wide + "\r\n" +
                             expected_narrow);
}

TEST(TableScannerEquivalenceTest, Flattening) {
  const std::vector<std::string> pieces = {"<table>", "<TABLE x>", "</table>", "</Table>",
                                           "<table", "/table>", "<tab", "le>", "/tab",
                                           "<", "/", "x", "y", "ble>"};
  std::mt19937 rng(3);
  for (int round = 0; round < 20000; ++round) {
    const std::string page = Random(rng, pieces, 16);
    std::string copy = page, twin = Lower(page);
    std::string ref_copy = page, ref_twin = Lower(page);
    ASSERT_EQ(FlattenNestedTables(copy, twin), RefFlatten(ref_copy, ref_twin)) << page;
    ASSERT_EQ(copy, ref_copy) << page;
    ASSERT_EQ(twin, ref_twin) << page;

    std::vector<std::string> expected;
    for (size_t open = ref_twin.find("<table"); open != std::string::npos;
         open = ref_twin.find("<table", open)) {
      const size_t close = ref_twin.find("/table>", open);
      if (close == std::string::npos) break;
      expected.push_back(ref_copy.substr(open, close + 7 - open));
      open = close;
    }
    std::vector<std::string> tables;
    ASSERT_EQ(SplitTables(page, &tables), static_cast<int>(expected.size())) << page;
    ASSERT_EQ(tables, expected) << page;
  }
}

// ---------------------------------------------------------------------------
// Large inputs that the straightforward forms take quadratic time over;
// checked for their results only.

TEST(TableScannerLargeInputTest, ManySiblingNestedTables) {
  const int kInner = 20000;
  std::string page = "<table id=outer><tr>", expected_outer = page;
  std::vector<std::string> expected;
  for (int i = 0; i < kInner; ++i) {
    const std::string inner = "<table><tr><td>" + std::to_string(i) + "</td></tr></table>";
    page += "<td>" + inner + "</td>";
    expected_outer += "<td></td>";
    expected.push_back(inner);
  }
  page += "</tr></table>";
  expected.push_back(expected_outer + "</tr></table>");
  std::vector<std::string> tables;
  ASSERT_EQ(SplitTables(page, &tables), kInner + 1);
  EXPECT_EQ(tables, expected);
}

TEST(TableScannerLargeInputTest, WideRows) {
  const int kCells = 20000;
  std::string headers = "<tr>", unclosed = "<tr>";
  for (int i = 0; i < kCells; ++i) {
    headers += "<th>h" + std::to_string(i) + "</th>";
    unclosed += "<td>u" + std::to_string(i);
  }
  headers += "</tr>";
  unclosed += "</td></tr>";
  int count = 0;
  std::string line = Row(headers, &count);
  EXPECT_EQ(count, kCells);
  EXPECT_EQ(line.substr(0, 9), "h0,h1,h2,");
  line = Row(unclosed, &count);
  EXPECT_EQ(count, kCells);
  EXPECT_EQ(line.substr(line.size() - 14), ",u19998,u19999");
}

// Cells whose brackets do not alternate, built so that their text is known:
// many distinct tags with one stray '>' at the end (each tag becomes a
// blank), and many distinct texts each cut at a "&gt;" before a tag (each
// round deletes one of them). Small forms are checked against the
// straightforward removal too.
TEST(TableScannerLargeInputTest, CellsWithManyRounds) {
  const auto tags = [](int n) {
    std::string cell = "<td>", expected = " ";
    for (int i = 0; i < n; ++i) {
      cell += "<a href=" + std::to_string(i) + ">w</a> ";
      expected += " w  ";
    }
    return std::pair{cell + "x &gt; y</td>", expected + "x > y "};
  };
  const auto cuts = [](int n) {
    std::string cell = "<td>";
    for (int i = 0; i < n; ++i) cell += "t" + std::to_string(i) + " &gt; ";
    return cell + "<b></td>";
  };
  for (int n : {1, 2, 30}) {
    EXPECT_EQ(CellText(tags(n).first), RefCellHtmlToText(tags(n).first));
    EXPECT_EQ(CellText(tags(n).first), tags(n).second);
    EXPECT_EQ(CellText(cuts(n)), RefCellHtmlToText(cuts(n)));
    EXPECT_EQ(CellText(cuts(n)), "   ");
  }
  EXPECT_EQ(CellText(tags(30000).first), tags(30000).second);
  EXPECT_EQ(CellText(cuts(30000)), "   ");
}

}  // namespace
}  // namespace quarry
