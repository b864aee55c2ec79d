#include "framework/msgbox/message_box_layout.h"

#include <gtest/gtest.h>

namespace quarry {
namespace {

// Base units of 6 x 16 pixels: 8 dialog units are 12 pixels across and
// 16 down, 4 units across are 6 pixels.
MessageBoxMeasures Measures() {
  MessageBoxMeasures m;
  m.base = {6, 16};
  m.text = QSize(300, 40);
  m.button = QSize(80, 26);
  m.button_count = 3;
  return m;
}

TEST(MessageBoxLayoutTest, MarginsAroundTextAndAButtonRowAtTheRight) {
  const MessageBoxLayout layout = LayOutMessageBox(Measures());
  EXPECT_EQ(layout.text, QRect(12, 16, 300, 40));
  ASSERT_EQ(layout.buttons.size(), 3u);
  // Row width 3 * 80 + 2 * 6 = 252, ending at the right margin.
  EXPECT_EQ(layout.buttons[0], QRect(12 + 300 - 252, 16 + 40 + 16, 80, 26));
  EXPECT_EQ(layout.buttons[1].left() - layout.buttons[0].right() - 1, 6);
  EXPECT_EQ(layout.buttons[2].right() + 1, 12 + 300);
  EXPECT_EQ(layout.client, QSize(300 + 24, 16 + 40 + 16 + 26 + 16));
}

TEST(MessageBoxLayoutTest, CentredButtonsAndAWideRow) {
  MessageBoxMeasures m = Measures();
  m.right_align_buttons = false;
  m.text = QSize(100, 20);
  // The row is wider than the text: it sets the width.
  MessageBoxLayout layout = LayOutMessageBox(m);
  EXPECT_EQ(layout.client.width(), 252 + 24);
  EXPECT_EQ(layout.buttons[0].left(), 12);
  m.text = QSize(400, 20);
  layout = LayOutMessageBox(m);
  EXPECT_EQ(layout.buttons[0].left(), 12 + (400 - 252) / 2);
}

TEST(MessageBoxLayoutTest, TheCaptionWidthIsAMinimum) {
  MessageBoxMeasures m = Measures();
  m.min_width = 500;
  EXPECT_EQ(LayOutMessageBox(m).client.width(), 524);
}

TEST(MessageBoxLayoutTest, IconAtTheLeftWithAShortTextAtItsMiddle) {
  MessageBoxMeasures m = Measures();
  m.icon = QSize(32, 32);
  m.text = QSize(200, 16);
  const MessageBoxLayout layout = LayOutMessageBox(m);
  EXPECT_EQ(layout.icon, QRect(12, 16, 32, 32));
  EXPECT_EQ(layout.text, QRect(12 + 32 + 12, 16 + 8, 200, 16));
  // The buttons go below the taller of the two.
  EXPECT_EQ(layout.buttons[0].top(), 16 + 32 + 16);
}

TEST(MessageBoxLayoutTest, TheCheckBoxSharesTheButtonLineOnlyWithRoomToSpare) {
  struct Case {
    int text_width;
    bool shares;
  };
  // Check box 150 + gap 6 + row 252 + 68 spare = 476.
  const Case cases[] = {{476, true}, {475, false}, {600, true}, {100, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text_width);
    MessageBoxMeasures m = Measures();
    m.text = QSize(c.text_width, 40);
    m.check = QSize(150, 20);
    const MessageBoxLayout layout = LayOutMessageBox(m);
    EXPECT_EQ(layout.check_shares_button_line, c.shares);
    EXPECT_EQ(layout.check.left(), 12);
    EXPECT_TRUE(layout.check.bottom() < layout.buttons[0].top() ||
                layout.check.right() < layout.buttons[0].left());
    const int below_text = 16 + 40 + 16;
    if (c.shares) {
      // One line: the taller buttons set its height, the box is centred on it.
      EXPECT_EQ(layout.buttons[0].top(), below_text);
      EXPECT_EQ(layout.check.top(), below_text + 3);
      EXPECT_EQ(layout.client.height(), below_text + 26 + 16);
    } else {
      EXPECT_EQ(layout.check.top(), below_text);
      EXPECT_EQ(layout.buttons[0].top(), below_text + 20 + 16);
      EXPECT_EQ(layout.client.height(), below_text + 20 + 16 + 26 + 16);
    }
  }
}

TEST(MessageBoxLayoutTest, CentredButtonsBesideTheCheckBoxStayClearOfIt) {
  MessageBoxMeasures m = Measures();
  m.right_align_buttons = false;
  m.text = QSize(700, 40);
  m.check = QSize(150, 20);
  const MessageBoxLayout layout = LayOutMessageBox(m);
  ASSERT_TRUE(layout.check_shares_button_line);
  const int room_left = 12 + 150 + 6;
  EXPECT_EQ(layout.buttons[0].left(), room_left + (12 + 700 - room_left - 252) / 2);
}

TEST(MessageBoxLayoutTest, ButtonsGrowAroundTheirCaptions) {
  EXPECT_EQ(GrownExtent(100, 1.1, 60, 6), 110 + 12);
  EXPECT_EQ(GrownExtent(20, 1.1, 60, 6), 60 + 12);
  EXPECT_EQ(GrownExtent(101, 1.1, 0, 0), 112);  // rounded up
}

}  // namespace
}  // namespace quarry
