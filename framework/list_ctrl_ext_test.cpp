#include "framework/list_ctrl_ext.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "engine/delimited_export.h"
#include "engine/html_writer.h"
#include "framework/list_model.h"

namespace quarry {
namespace {

// A shown list of `rows` x `columns` cells "r<row>c<col>".
class ListTest : public ::testing::Test {
 protected:
  void Fill(int rows, int columns) {
    for (int c = 0; c < columns; ++c) {
      list.InsertColumn(c, QStringLiteral("T%1").arg(c), 80);
    }
    for (int r = 0; r < rows; ++r) {
      list.InsertItem(r, QStringLiteral("r%1c0").arg(r));
      for (int c = 1; c < columns; ++c) {
        list.SetItemText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
      }
    }
    list.resize(400, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  }

  // The centre of a cell in the viewport's coordinates.
  QPoint CellCentre(int row, int column) {
    return list.visualRect(list.model()->index(row, column)).center();
  }

  CListCtrlExt list;
};

TEST_F(ListTest, ColumnsAndRowsKeepTheirCellsAndFormatsTogether) {
  Fill(3, 2);
  ASSERT_TRUE(list.SetCellBold(2, 1, true));
  // A column inserted in the middle pushes the cells right of it along.
  EXPECT_EQ(list.InsertColumn(1, QStringLiteral("Mid")), 1);
  EXPECT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("r0c0"));
  EXPECT_EQ(list.GetItemText(0, 1), QString());
  EXPECT_EQ(list.GetItemText(0, 2), QStringLiteral("r0c1"));
  EXPECT_TRUE(list.GetCellFormat(2, 2).bold);
  EXPECT_FALSE(list.GetCellFormat(2, 1).bold);

  // Deleting a row moves the later rows, formats included, up.
  ASSERT_TRUE(list.DeleteItem(0));
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("r1c0"));
  EXPECT_TRUE(list.GetCellFormat(1, 2).bold);

  // Inserting before row 0 and past the end clamps.
  EXPECT_EQ(list.InsertItem(-4, QStringLiteral("first")), 0);
  EXPECT_EQ(list.InsertItem(99, QStringLiteral("last")), 3);
  EXPECT_EQ(list.GetItemText(3, 0), QStringLiteral("last"));

  // Outside the grid nothing is written.
  EXPECT_FALSE(list.SetItemText(4, 0, QStringLiteral("x")));
  EXPECT_FALSE(list.SetItemText(0, 3, QStringLiteral("x")));
  EXPECT_FALSE(list.SetCellBackground(0, -1, 0xC8C8C8));
  EXPECT_FALSE(list.DeleteItem(4));
  EXPECT_EQ(list.GetItemText(9, 9), QString());

  // Columns go with their cells; rows stay.
  list.DeleteAllColumns();
  EXPECT_EQ(list.GetColumnCount(), 0);
  EXPECT_EQ(list.GetItemCount(), 4);
  list.InsertColumn(0, QStringLiteral("New"));
  EXPECT_EQ(list.GetItemText(1, 0), QString());
  EXPECT_EQ(list.GetCellFormat(1, 0), CellFormat());
  list.DeleteAllItems();
  EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(ListTest, DisplayOrderFollowsTheHeader) {
  Fill(1, 3);
  EXPECT_EQ(list.GetColumnOrderArray(), (std::vector<int>{0, 1, 2}));
  // As if the user dragged the last column to the front.
  list.horizontalHeader()->moveSection(2, 0);
  EXPECT_EQ(list.DisplayOrder(), (std::vector<int>{2, 0, 1}));

  EXPECT_TRUE(list.SetColumnOrderArray({1, 2, 0}));
  EXPECT_EQ(list.GetColumnOrderArray(), (std::vector<int>{1, 2, 0}));
  EXPECT_FALSE(list.SetColumnOrderArray({1, 1, 0}));
  EXPECT_FALSE(list.SetColumnOrderArray({0, 1}));
  EXPECT_FALSE(list.SetColumnOrderArray({0, 1, 3}));
  EXPECT_EQ(list.GetColumnOrderArray(), (std::vector<int>{1, 2, 0}));
}

TEST_F(ListTest, EmptyTextIsDrawnOnlyWhileTheListHasNoRows) {
  Fill(0, 1);
  auto render = [this] {
    QImage image(list.size(), QImage::Format_ARGB32);
    list.render(&image);
    return image;
  };
  const QImage plain = render();
  list.SetEmptyText(QStringLiteral("There are no items to show\nParse Web Page for tables"));
  EXPECT_TRUE(list.ShowsEmptyText());
  EXPECT_NE(render(), plain);
  EXPECT_EQ(list.accessibleDescription(),
            QStringLiteral("There are no items to show Parse Web Page for tables"));

  list.InsertItem(0, QStringLiteral("Table 1"));
  EXPECT_FALSE(list.ShowsEmptyText());
  EXPECT_TRUE(list.accessibleDescription().isEmpty());
  list.DeleteItem(0);
  EXPECT_TRUE(list.ShowsEmptyText());
}

TEST_F(ListTest, HitTestFindsCellsHeaderAndNothing) {
  Fill(3, 3);
  const QPoint in_cell = list.viewport()->mapTo(&list, CellCentre(1, 2));
  EXPECT_EQ(list.SubItemHitTest(in_cell), (ListHitTest{1, 2, false}));
  EXPECT_EQ(list.HitTestGlobal(list.mapToGlobal(in_cell)), (ListHitTest{1, 2, false}));

  const QHeaderView* header = list.horizontalHeader();
  const QPoint on_header =
      header->mapTo(&list, QPoint(header->sectionViewportPosition(1) + 5,
                                  header->height() / 2));
  EXPECT_EQ(list.SubItemHitTest(on_header), (ListHitTest{-1, 1, true}));

  // Below the last row, and past the last column.
  const QPoint below = list.viewport()->mapTo(&list, QPoint(5, list.viewport()->height() - 3));
  EXPECT_EQ(list.SubItemHitTest(below), (ListHitTest{-1, -1, false}));
  const QPoint right = list.viewport()->mapTo(&list, QPoint(list.viewport()->width() - 3, CellCentre(0, 0).y()));
  EXPECT_EQ(list.SubItemHitTest(right), (ListHitTest{-1, -1, false}));
}

TEST_F(ListTest, ClicksNotifyButKeyboardMovesDoNot) {
  Fill(3, 2);
  QSignalSpy clicks(&list, &CListCtrlExt::clicked);
  QSignalSpy doubles(&list, &CListCtrlExt::doubleClicked);
  QSignalSpy keys(&list, &CListCtrlExt::keyPressed);

  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellCentre(1, 1));
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks.at(0).at(0).toInt(), 1);
  EXPECT_EQ(clicks.at(0).at(1).toInt(), 1);
  EXPECT_EQ(list.GetSelectedRow(), 1);

  list.setFocus();
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.GetSelectedRow(), 2);
  EXPECT_EQ(clicks.count(), 1);
  ASSERT_EQ(keys.count(), 1);
  EXPECT_EQ(keys.at(0).at(0).toInt(), int(Qt::Key_Down));

  // A click on empty space says so, a right click is no click.
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                    QPoint(5, list.viewport()->height() - 3));
  ASSERT_EQ(clicks.count(), 2);
  EXPECT_EQ(clicks.at(1).at(0).toInt(), -1);
  QTest::mouseClick(list.viewport(), Qt::RightButton, {}, CellCentre(0, 0));
  EXPECT_EQ(clicks.count(), 2);

  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
  ASSERT_EQ(doubles.count(), 1);
  EXPECT_EQ(doubles.at(0).at(0).toInt(), 0);
  EXPECT_EQ(doubles.at(0).at(1).toInt(), 1);
}

TEST_F(ListTest, ContextMenuSaysWhetherItCameFromTheKeyboard) {
  Fill(1, 1);
  QSignalSpy menus(&list, &CListCtrlExt::contextMenuRequested);
  // A right click reaches the list through its viewport, the menu key
  // through the list itself.
  QContextMenuEvent by_mouse(QContextMenuEvent::Mouse, QPoint(10, 10),
                             QPoint(300, 200));
  QApplication::sendEvent(list.viewport(), &by_mouse);
  QContextMenuEvent by_key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                           list.mapToGlobal(QPoint(0, 0)));
  QApplication::sendEvent(&list, &by_key);
  ASSERT_EQ(menus.count(), 2);
  EXPECT_EQ(menus.at(0).at(0).toPoint(), QPoint(300, 200));
  EXPECT_FALSE(menus.at(0).at(1).toBool());
  EXPECT_EQ(menus.at(1).at(0).toPoint(), list.mapToGlobal(QPoint(5, 5)));
  EXPECT_TRUE(menus.at(1).at(1).toBool());
}

TEST_F(ListTest, ExportWritesWhatTheGridShows) {
  Fill(2, 3);
  list.SetColumnOrderArray({2, 0, 1});
  list.SetItemBytes(0, 0, "caf\xE9");
  // The context menu's grey highlight of row 1 and column 0.
  for (int c = 0; c < 3; ++c) list.SetCellBackground(1, c, 0xC8C8C8);
  list.SetCellBackground(0, 0, 0xC8C8C8);
  list.SetCellBold(0, 1, true);
  list.SetCellPercent(1, 1, 12.5);
  list.SetCellDropDown(1, 2, {QStringLiteral("a"), QStringLiteral("b")}, 1);
  list.SetCellLink(0, 2, QStringLiteral("http://x/"));

  const std::string csv = BuildDelimitedText(list, nullptr, kFileTypeCsv);
  EXPECT_NE(csv.find("T2,T0,T1"), std::string::npos) << csv;
  EXPECT_NE(csv.find("r0c2,caf\xE9,r0c1"), std::string::npos) << csv;
  EXPECT_NE(csv.find("b,r1c0,12.50%"), std::string::npos) << csv;

  const std::string html = BuildHtmlDocument(list, nullptr);
  EXPECT_NE(html.find("<td bgcolor=\"#C8C8C8\"><font size=\"2\">caf\xE9</font></td>"),
            std::string::npos) << html;
  EXPECT_NE(html.find("<font size=\"2\"><b>r0c1</b></font>"), std::string::npos) << html;
  EXPECT_NE(html.find("<A HREF=\"http://x/\">r0c2</A>"), std::string::npos) << html;
  EXPECT_NE(html.find("12.50%"), std::string::npos) << html;
  // White list background and no extended header: header cells carry no
  // bgcolor.
  EXPECT_NE(html.find("<td align=\"center\"><font size=\"3\"><b>T2</b></font></td>"),
            std::string::npos) << html;

  list.ClearAllFormats();
  EXPECT_EQ(BuildHtmlDocument(list, nullptr).find("bgcolor"), std::string::npos);
  EXPECT_EQ(list.GetItemText(1, 1), QStringLiteral("r1c1"));

  list.SetExtendedHeaderColours(0x00FF00, 0x0000FF);
  EXPECT_NE(BuildHtmlDocument(list, nullptr).find("bgcolor=\"#00FF00\""),
            std::string::npos);
}

TEST(ListBytesTest, PageBytesShowDecodedAndExportUnchanged) {
  const std::string cafe = "Caf\xC3\xA9";                  // UTF-8
  const std::string tokyo = "\xE6\x9D\xB1\xE4\xBA\xAC";  // UTF-8
  const std::string latin = "\xE9";                        // from "&#233;"
  const std::string mixed = "\xC3\xA9 \xE9";
  CListCtrlExt list;
  // A row given before any column keeps its bytes until the column comes.
  list.InsertItemBytes(0, cafe);
  list.InsertColumnBytes(0, cafe, 80);
  list.InsertColumnBytes(1, tokyo, 80);
  list.SetItemBytes(0, 1, tokyo);
  list.InsertItemBytes(1, latin);
  list.SetItemBytes(1, 1, mixed);

  EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(list.GetItemText(0, 1), QStringLiteral("\u6771\u4eac"));
  EXPECT_EQ(list.GetItemText(1, 0), QStringLiteral("\u00e9"));
  EXPECT_EQ(list.GetItemText(1, 1), QStringLiteral("\u00c3\u00a9 \u00e9"));
  EXPECT_EQ(list.GetColumnTitle(1), QStringLiteral("\u6771\u4eac"));
  EXPECT_EQ(list.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("Caf\u00e9"));
  EXPECT_EQ(list.model()->index(1, 0).data().toString(), QStringLiteral("\u00e9"));

  const std::string rows = cafe + "," + tokyo + "\r\n" + latin + "," + mixed + "\r\n";
  EXPECT_EQ(BuildDelimitedText(list, nullptr, kFileTypeCsv),
            cafe + "," + tokyo + "\r\n" + rows);
  const std::string html = BuildHtmlDocument(list, nullptr);
  for (const std::string& bytes : {cafe, tokyo, latin + "</font>", mixed}) {
    EXPECT_NE(html.find(bytes), std::string::npos) << bytes;
  }

  // Bytes travel with their cells when columns and rows come and go.
  list.InsertColumn(0, QStringLiteral("New"));
  ASSERT_TRUE(list.DeleteItem(0));
  EXPECT_EQ(list.GetItemBytes(0, 1), latin);
  EXPECT_EQ(list.GetItemBytes(0, 2), mixed);
  EXPECT_EQ(list.HeaderText(2), tokyo);
  ASSERT_TRUE(list.DeleteColumn(0));
  EXPECT_EQ(BuildDelimitedText(list, nullptr, kFileTypeCsv),
            cafe + "," + tokyo + "\r\n" + latin + "," + mixed + "\r\n");
}

TEST(ListBytesTest, TypedTextReplacesBytesAndExportsAsUtf8) {
  CListCtrlExt list;
  list.InsertColumnBytes(0, "T\xE9", 80);
  list.InsertItemBytes(0, "\xE9");
  // Characters above U+00FF would not survive a Latin-1 export.
  ASSERT_TRUE(list.SetItemText(0, 0, QStringLiteral("\u6771\u4eac \u00e9")));
  ASSERT_TRUE(list.SetColumnTitle(0, QStringLiteral("\u00e9")));
  EXPECT_EQ(list.GetItemBytes(0, 0), std::nullopt);
  EXPECT_EQ(list.CellText(0, 0), "\xE6\x9D\xB1\xE4\xBA\xAC \xC3\xA9");
  EXPECT_EQ(list.HeaderText(0), "\xC3\xA9");
  // Out of range: refused, nothing kept.
  EXPECT_FALSE(list.SetItemBytes(0, 1, "x"));
  EXPECT_FALSE(list.SetItemBytes(1, 0, "x"));
  EXPECT_EQ(list.GetItemBytes(5, 0), std::nullopt);
  EXPECT_FALSE(list.SetColumnTitleBytes(1, "x"));

  // Links and drop-down choices typed by the user go out as UTF-8 too.
  list.InsertColumn(1, QString());
  ASSERT_TRUE(list.SetCellLink(0, 1, QStringLiteral("http://x/\u6771")));
  EXPECT_EQ(list.GetCellFormat(0, 1).link, "http://x/\xE6\x9D\xB1");
  EXPECT_EQ(list.model()->index(0, 1).data(kLinkRole).toString(),
            QStringLiteral("http://x/\u6771"));
  ASSERT_TRUE(list.SetCellDropDown(0, 1, {QStringLiteral("\u4eac")}, 0));
  EXPECT_EQ(list.GetCellFormat(0, 1).selection, "\xE4\xBA\xAC");
  EXPECT_EQ(list.model()->index(0, 1).data().toString(), QStringLiteral("\u4eac"));
}

TEST_F(ListTest, ScreenReadersSeeRowsCellsAndHeaders) {
  Fill(2, 2);
  list.setAccessibleName(QStringLiteral("Tables"));
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&list);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Tables"));
  QAccessibleTableInterface* table = iface->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->columnCount(), 2);
  QAccessibleInterface* cell = table->cellAt(1, 1);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("r1c1"));
  EXPECT_EQ(table->columnDescription(1), QStringLiteral("T1"));
}

// Rows appended whole behave as rows filled cell by cell: they show their
// bytes decoded, export them unchanged and take typed text later; a row
// without a tool tip of its own asks the source, one with it does not.
TEST(ListBytesTest, RowsAppendedWholeShowExportAndAskForTheirToolTips) {
  CListCtrlExt list;
  list.InsertColumn(0, QStringLiteral("A"));
  list.InsertColumn(1, QStringLiteral("B"));
  list.InsertItem(0, QStringLiteral("first"));
  list.AppendItemsBytes({{"\xE9", "x"}, {"y"}});
  ASSERT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(1, 0), QStringLiteral("\u00e9"));
  EXPECT_EQ(list.GetItemBytes(1, 0), "\xE9");
  EXPECT_EQ(list.GetItemText(2, 1), QString());
  EXPECT_EQ(BuildDelimitedText(list, nullptr, kFileTypeCsv), "A,B\r\nfirst\r\n\xE9,x\r\ny\r\n");
  list.SetItemText(2, 1, QStringLiteral("typed"));
  EXPECT_EQ(list.GetItemText(2, 1), QStringLiteral("typed"));
  EXPECT_EQ(list.GetItemBytes(2, 0), "y");

  int asked = 0;
  list.SetItemToolTipSource([&asked](int row) {
    ++asked;
    return row == 2 ? QString() : QStringLiteral("tip %1").arg(row);
  });
  list.SetItemToolTip(0, QStringLiteral("own"));
  const auto tip = [&](int row) { return list.model()->index(row, 1).data(Qt::ToolTipRole); };
  EXPECT_EQ(tip(0).toString(), QStringLiteral("own"));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(tip(1).toString(), QStringLiteral("tip 1"));
  EXPECT_FALSE(tip(2).isValid());
  EXPECT_EQ(asked, 2);
}

TEST(ListLargeTest, TenThousandRowsFill) {
  CListCtrlExt list;
  list.resize(400, 300);
  list.show();
  for (int c = 0; c < 5; ++c) list.InsertColumn(c, QStringLiteral("C%1").arg(c), 60);
  for (int r = 0; r < 10000; ++r) {
    const int row = list.InsertItem(r, QString::number(r));
    for (int c = 1; c < 5; ++c) list.SetItemText(row, c, QStringLiteral("x"));
  }
  EXPECT_EQ(list.GetItemCount(), 10000);
  EXPECT_EQ(list.GetItemText(9999, 0), QStringLiteral("9999"));
  list.SetSelectedRow(9999);
  EXPECT_EQ(list.GetSelectedRow(), 9999);
}

}  // namespace
}  // namespace quarry
