#include "engine/html_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/export_grid.h"

namespace quarry {
namespace {

const char kTableStart[] =
    "<table border=\"1\" width=\"100%\" id=\"ExportTable1\" cellspacing=\"0\" "
    "cellpadding=\"2\" style=\"font-size: 8pt; font-family:Arial\">\r\n";

std::string Cell(const std::string& text) {
  HtmlCellFormat cell;
  cell.text = text;
  cell.font_size = 0;
  return HtmlCell(cell);
}

TEST(HtmlColourTextTest, WritesRedGreenBlueAsTwoUpperCaseDigitsEach) {
  EXPECT_EQ(HtmlColourText(0x0000FF), "FF0000");
  EXPECT_EQ(HtmlColourText(0x00FF00), "00FF00");
  EXPECT_EQ(HtmlColourText(0xFF0000), "0000FF");
  EXPECT_EQ(HtmlColourText(0x0A0B0C), "0C0B0A");
  EXPECT_EQ(HtmlColourText(0), "000000");
  EXPECT_EQ(HtmlColourText(0xFF123456), "563412");  // top byte ignored
}

TEST(HtmlBuildingBlocksTest, TableStartWidthAndStyle) {
  EXPECT_EQ(HtmlTableStart("ExportTable1", 100, 1, 0, 2, "8pt", "Arial"),
            kTableStart);
  EXPECT_EQ(HtmlTableStart("t", 150, 0, 1, 3, "", ""),
            "<table border=\"0\" width=\"150\" id=\"t\" cellspacing=\"1\" "
            "cellpadding=\"3\">\r\n");
  EXPECT_EQ(HtmlTableStart("t", 0, 0, 0, 0, "9pt", ""),
            "<table border=\"0\" id=\"t\" cellspacing=\"0\" cellpadding=\"0\" "
            "style=\"font-size: 9pt\">\r\n");
  EXPECT_EQ(HtmlTableStart("t", 1, 0, 0, 0, "", "Serif"),
            "<table border=\"0\" width=\"1%\" id=\"t\" cellspacing=\"0\" "
            "cellpadding=\"0\" style=\"font-family: Serif\">\r\n");
}

TEST(HtmlBuildingBlocksTest, CellAttributesAndFont) {
  HtmlCellFormat cell;
  cell.text = "x";
  EXPECT_EQ(HtmlCell(cell), "\t\t<td><font size=\"2\">x</font></td>\r\n");

  // No colour and no size: no font element at all.
  cell.font_size = 0;
  EXPECT_EQ(HtmlCell(cell), "\t\t<td>x</td>\r\n");

  cell.text_colour = 0x0000FF;
  cell.background = 0x00FF00;
  cell.alignment = kAlignRight;
  cell.width = 40;
  cell.bold = true;
  EXPECT_EQ(HtmlCell(cell),
            "\t\t<td align=\"right\" bgcolor=\"#00FF00\" width=\"40\">"
            "<font color=\"#FF0000\"><b>x</b></font></td>\r\n");

  cell.width_is_percent = true;
  cell.alignment = kAlignCenter;
  cell.background = kColourWhite;
  EXPECT_EQ(HtmlCell(cell),
            "\t\t<td align=\"center\" width=\"40%\">"
            "<font color=\"#FF0000\"><b>x</b></font></td>\r\n");
  cell.width = 101;  // too wide for a percentage
  EXPECT_NE(HtmlCell(cell).find(" width=\"101\">"), std::string::npos);

  EXPECT_EQ(Cell(""), "\t\t<td>&nbsp;</td>\r\n");
}

TEST(HtmlBuildingBlocksTest, LinkMovesPaddingInFrontOfAnchor) {
  HtmlCellFormat cell;
  cell.font_size = 0;
  cell.text = "&nbsp;&nbsp;go&nbsp;";
  cell.link = "http://127.0.0.1/a";
  EXPECT_EQ(HtmlCell(cell),
            "\t\t<td>&nbsp;&nbsp;&nbsp;<A HREF=\"http://127.0.0.1/a\">go</A>"
            "</td>\r\n");
  cell.text = "&nbsp;";
  EXPECT_EQ(HtmlCell(cell),
            "\t\t<td>&nbsp;<A HREF=\"http://127.0.0.1/a\">&nbsp;</A></td>\r\n");
}

TEST(HtmlBuildingBlocksTest, ParagraphsAndStreamOutput) {
  HtmlCellFormat heading;
  heading.text = "Prices";
  heading.bold = true;
  heading.alignment = kAlignCenter;
  heading.font_size = 4;
  heading.link = "ignored";
  std::ostringstream out;
  std::string text = HtmlParagraph(heading, &out);
  EXPECT_EQ(text,
            "<p align=\"center\"><font size=\"4\"><b>Prices</b></font></p>\r\n");
  EXPECT_EQ(out.str(), text);

  heading.verbatim = true;
  EXPECT_EQ(HtmlParagraph(heading), "Prices");

  std::ostringstream doc;
  HtmlDocumentStart("T", &doc);
  HtmlTableEnd(&doc);
  HtmlDocumentEnd(&doc);
  EXPECT_EQ(doc.str(),
            "<html>\r\n<head>\r\n<title>T</title>\r\n</head>\r\n\r\n<body>\r\n"
            "</table>\r\n\r\n</body>\r\n</html>");
}

TEST(BuildHtmlDocumentTest, EmptyListWritesFrameAndEmptyHeaderRow) {
  MemoryGrid grid({}, {});
  EXPECT_EQ(BuildHtmlDocument(grid, nullptr),
            std::string("<html>\r\n<head>\r\n<title></title>\r\n</head>\r\n\r\n"
                        "<body>\r\n") +
                kTableStart + "\t<tr>\r\n\t</tr>\r\n</table>\r\n\r\n</body>\r\n</html>");
}

TEST(BuildHtmlDocumentTest, CompleteDocumentWithResultsViewSizes) {
  MemoryGrid grid({"Name", "Price"}, {{"  x", "3 "}});
  ExportOptions options;
  options.title = "Shop";
  options.heading = "Prices";
  EXPECT_EQ(
      BuildHtmlDocument(grid, &options),
      std::string("<html>\r\n<head>\r\n<title>Shop</title>\r\n</head>\r\n\r\n"
                  "<body>\r\n"
                  "<p align=\"center\"><font size=\"4\"><b>Prices</b></font></p>\r\n") +
          kTableStart +
          "\t<tr>\r\n"
          "\t\t<td align=\"center\"><font size=\"3\"><b>Name</b></font></td>\r\n"
          "\t\t<td align=\"center\"><font size=\"3\"><b>Price</b></font></td>\r\n"
          "\t</tr>\r\n"
          "\t<tr>\r\n"
          "\t\t<td><font size=\"2\">&nbsp;&nbsp;x</font></td>\r\n"
          "\t\t<td><font size=\"2\">3&nbsp;</font></td>\r\n"
          "\t</tr>\r\n"
          "</table>\r\n\r\n</body>\r\n</html>");
}

TEST(BuildHtmlDocumentTest, EqualFontSizesAreLeftOut) {
  MemoryGrid grid({"H"}, {{"d"}});
  ExportOptions options;
  options.heading_font_size = 3;
  options.header_font_size = 3;
  options.data_font_size = 2;
  std::string doc = BuildHtmlDocument(grid, &options);
  EXPECT_NE(doc.find("<td align=\"center\"><b>H</b></td>"), std::string::npos);
  EXPECT_NE(doc.find("<td><font size=\"2\">d</font></td>"), std::string::npos);

  options.heading_font_size = 4;
  options.data_font_size = 3;
  doc = BuildHtmlDocument(grid, &options);
  EXPECT_NE(doc.find("<font size=\"3\"><b>H</b>"), std::string::npos);
  EXPECT_NE(doc.find("<td>d</td>"), std::string::npos);
}

TEST(BuildHtmlDocumentTest, ColumnsInDisplayOrderWithoutExcludedOnes) {
  MemoryGrid grid({"A", "B", "C"}, {{"a", "b", "c"}});
  grid.SetDisplayOrder({2, 7, 0, 2, -1, 1});  // junk entries ignored
  grid.SetHeaderAlignment(0, kAlignRight);
  ExportOptions options;
  options.excluded_columns = {1, 99};
  std::string names = "kept,";
  options.header_names_out = &names;
  std::string doc = BuildHtmlDocument(grid, &options);
  EXPECT_EQ(names, "kept,C,A");  // appended to what the string held
  size_t c = doc.find(">c<"), a = doc.find(">a<");
  ASSERT_NE(c, std::string::npos);
  ASSERT_NE(a, std::string::npos);
  EXPECT_LT(c, a);
  EXPECT_EQ(doc.find(">b<"), std::string::npos);
  EXPECT_EQ(doc.find(">B<"), std::string::npos);
  // The header's right alignment carries over to the column's data cells.
  EXPECT_NE(doc.find("<td align=\"right\"><font size=\"2\">a</font>"),
            std::string::npos);
}

TEST(BuildHtmlDocumentTest, HeaderNamesOutDropsTrailingEmptyTitles) {
  MemoryGrid grid({"A", "", "B", "", ""}, {});
  ExportOptions options;
  std::string names;
  options.header_names_out = &names;
  BuildHtmlDocument(grid, &options);
  EXPECT_EQ(names, "A,,B");

  grid.SetHeaderReadable(false);
  names.clear();
  BuildHtmlDocument(grid, &options);
  EXPECT_EQ(names, "");
  EXPECT_NE(BuildHtmlDocument(grid, &options).find("<b>&nbsp;</b>"),
            std::string::npos);
}

TEST(BuildHtmlDocumentTest, HeaderColours) {
  MemoryGrid grid({"H"}, {});
  grid.SetBackgroundColour(0x102030);
  EXPECT_NE(BuildHtmlDocument(grid, nullptr)
                .find("<td align=\"center\" bgcolor=\"#302010\"><font size=\"3\">"),
            std::string::npos);
  grid.SetExtendedHeader(0x0000FF, 0x00FF00);
  EXPECT_NE(BuildHtmlDocument(grid, nullptr)
                .find("<td align=\"center\" bgcolor=\"#FF0000\">"
                      "<font color=\"#00FF00\" size=\"3\"><b>H</b>"),
            std::string::npos);
}

TEST(BuildHtmlDocumentTest, CellFormatsPercentDropDownAndLink) {
  MemoryGrid grid({"A", "B", "C", "D"}, {{"text", "first", "other", " site"}});
  CellFormat percent;
  percent.is_percent = true;
  percent.percent = 12.5;
  percent.bold = true;
  percent.background = 0x0000FF;
  grid.SetCellFormat(0, 0, percent);
  CellFormat dropdown;
  dropdown.is_dropdown = true;
  dropdown.has_selection = true;
  dropdown.selection = "chosen";
  grid.SetCellFormat(0, 1, dropdown);
  dropdown.has_selection = false;
  grid.SetCellFormat(0, 2, dropdown);
  CellFormat link;
  link.is_link = true;
  link.link = "http://127.0.0.1/";
  link.text_colour = 0xFF0000;
  grid.SetCellFormat(0, 3, link);

  std::string doc = BuildHtmlDocument(grid, nullptr);
  EXPECT_NE(doc.find("\t\t<td align=\"center\" bgcolor=\"#FF0000\">"
                     "<font size=\"2\"><b>12.50%</b></font></td>\r\n"),
            std::string::npos);
  EXPECT_NE(doc.find(">chosen<"), std::string::npos);
  EXPECT_NE(doc.find(">other<"), std::string::npos);
  EXPECT_NE(doc.find("<td><font color=\"#0000FF\" size=\"2\">"
                     "&nbsp;<A HREF=\"http://127.0.0.1/\">site</A></font></td>"),
            std::string::npos);

  // A link cell without an address is plain text.
  link.link.clear();
  grid.SetCellFormat(0, 3, link);
  EXPECT_EQ(BuildHtmlDocument(grid, nullptr).find("HREF"), std::string::npos);
}

TEST(BuildHtmlDocumentTest, PercentUsesDecimalPointWhateverTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") &&
      !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  MemoryGrid grid({"A"}, {{""}});
  CellFormat percent;
  percent.is_percent = true;
  percent.percent = 3.14159;
  grid.SetCellFormat(0, 0, percent);
  std::string doc = BuildHtmlDocument(grid, nullptr);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_NE(doc.find(">3.14%<"), std::string::npos);
}

class ExportListToHtmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quarry-html-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(ExportListToHtmlTest, WritesDocumentAndOpensOnlyWhenAsked) {
  std::vector<std::string> opened;
  const OpenAfterExportHook open = [&](const std::string& p) { opened.push_back(p); };
  MemoryGrid grid({"A"}, {{"1"}});
  ExportOptions options;
  options.file_type = kFileTypeHtml;
  const std::string path = (dir_ / "out.htm").string();

  ASSERT_TRUE(ExportListToHtml(grid, path, &options, open));
  std::ifstream in(path, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(written, BuildHtmlDocument(grid, &options));
  EXPECT_EQ(opened, std::vector<std::string>{path});

  options.open_after_export = false;
  ASSERT_TRUE(ExportListToHtml(grid, path, &options, open));
  ASSERT_TRUE(ExportListToHtml(grid, path, nullptr, open));
  EXPECT_EQ(opened.size(), 1u);

  // A file that cannot be created: false, nothing opened.
  options.open_after_export = true;
  EXPECT_FALSE(ExportListToHtml(grid, (dir_ / "no" / "out.htm").string(),
                                &options, open));
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));
}

}  // namespace
}  // namespace quarry
