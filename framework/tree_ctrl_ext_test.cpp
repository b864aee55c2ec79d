#include "framework/tree_ctrl_ext.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace quarry {
namespace {

TEST(TreeCtrlExtTest, FoldersAndItemsKeepTheirData) {
  CTreeCtrlExt tree;
  QTreeWidgetItem* news = tree.InsertFolder(nullptr, QStringLiteral("News"));
  QTreeWidgetItem* deep = tree.InsertFolder(news, QStringLiteral("Deep"));
  QTreeWidgetItem* page = tree.InsertItem(deep, QStringLiteral("Paper"), 36002);
  QTreeWidgetItem* top = tree.InsertItem(nullptr, QStringLiteral("Home"), 36000);

  EXPECT_EQ(tree.GetCount(), 4);
  EXPECT_EQ(tree.topLevelItemCount(), 2);
  EXPECT_EQ(page->parent(), deep);
  EXPECT_TRUE(CTreeCtrlExt::IsFolder(news));
  EXPECT_FALSE(CTreeCtrlExt::IsFolder(top));
  EXPECT_EQ(CTreeCtrlExt::GetItemData(page), 36002u);
  EXPECT_EQ(CTreeCtrlExt::GetItemData(news), 0u);
  EXPECT_EQ(CTreeCtrlExt::GetItemData(nullptr), 0u);
  CTreeCtrlExt::SetItemData(top, 36005);
  EXPECT_EQ(CTreeCtrlExt::GetItemData(top), 36005u);
  EXPECT_FALSE(page->icon(0).isNull());
  EXPECT_FALSE(news->icon(0).isNull());
  tree.SetImagesShown(false);
  EXPECT_TRUE(page->icon(0).isNull());

  tree.SetBkColour(0xFFFFFF);
  tree.SetTextColour(0);
  tree.SetLineColour(0xC8C8C8);
  tree.SetInsertMarkColour(0xC8C8C8);
  EXPECT_EQ(tree.GetLineColour(), 0xC8C8C8u);
  EXPECT_EQ(tree.palette().color(QPalette::Base), QColor(Qt::white));

  tree.DeleteAllItems();
  EXPECT_EQ(tree.GetCount(), 0);
}

TEST(TreeCtrlExtTest, OnlyMouseMadeSelectionsSayTheyAre) {
  CTreeCtrlExt tree;
  tree.resize(200, 200);
  QTreeWidgetItem* first = tree.InsertItem(nullptr, QStringLiteral("One"), 36000);
  QTreeWidgetItem* second = tree.InsertItem(nullptr, QStringLiteral("Two"), 36001);
  tree.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
  QSignalSpy by_mouse(&tree, &CTreeCtrlExt::selectionChangedByMouse);
  QSignalSpy other(&tree, &CTreeCtrlExt::selectionChangedOther);

  tree.SelectItem(first);
  EXPECT_EQ(tree.GetSelectedItem(), first);
  EXPECT_EQ(by_mouse.count(), 0);
  EXPECT_EQ(other.count(), 1);

  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                    tree.visualItemRect(second).center());
  ASSERT_EQ(by_mouse.count(), 1);
  EXPECT_EQ(by_mouse.at(0).at(0).value<uintptr_t>(), 36001u);
  EXPECT_EQ(tree.GetSelectedItem(), second);

  tree.setFocus();
  QTest::keyClick(&tree, Qt::Key_Up);
  EXPECT_EQ(tree.GetSelectedItem(), first);
  EXPECT_EQ(by_mouse.count(), 1);
  EXPECT_EQ(other.count(), 2);
}

}  // namespace
}  // namespace quarry
