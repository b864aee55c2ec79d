#include "controls/common/caption_text.h"

#include <gtest/gtest.h>

namespace quarry::controls {
namespace {

// Captions as written in a dialog editor: "\\n" below is the two
// characters backslash and n, "\\\\n" the three characters backslash,
// backslash, n.
TEST(CaptionTextTest, TheButtonSplitsOffItsToolTipOrBreaksLines) {
  struct Case {
    const char* text;
    SplitCaption split;
  } cases[] = {
      {"Go\\nOpen the address", {"Go", "Open the address"}},
      {"Go\\nOpen\\nnow", {"Go", "Open\\nnow"}},  // only the first separates
      {"Two\\\\nLines", {"Two\nLines", ""}},
      {"A\\\\nB\\nnot a tip", {"A\nB\\nnot a tip", ""}},  // "\\\\n" wins: no tool tip
      {"\\nOnly a tip", {"", "Only a tip"}},
      {"Plain", {"Plain", ""}},
      {"Ends with\\", {"Ends with\\", ""}},
      {"", {"", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitButtonCaption(c.text), c.split) << c.text;
}

TEST(CaptionTextTest, TheCheckBoxTakesTheFirstSeparatorThatIsNotALineBreak) {
  struct Case {
    const char* text;
    SplitCaption split;
  } cases[] = {
      {"Sort\\nSort the favourites", {"Sort", "Sort the favourites"}},
      {"Two\\\\nlines\\nand a tip", {"Two\nlines", "and a tip"}},
      {"Two\\\\nlines only", {"Two\nlines only", ""}},
      {"A\\\\n\\\\nB", {"A\n\nB", ""}},
      {"Tip\\nwith \\\\n inside", {"Tip", "with \\\\n inside"}},
      {"Plain", {"Plain", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCheckCaption(c.text), c.split) << c.text;
}

TEST(CaptionTextTest, EscapesBecomeBreaksAndTabsAndMnemonicsGo) {
  bool tab = false;
  EXPECT_EQ(ExpandEscapes("Name\\tValue\\nNext", &tab), "Name\tValue\nNext");
  EXPECT_TRUE(tab);
  EXPECT_EQ(ExpandEscapes("No\\xescape\\", &tab), "No\\xescape\\");
  EXPECT_FALSE(tab);
  EXPECT_EQ(WithoutMnemonics("&Go"), "Go");
  EXPECT_EQ(WithoutMnemonics("Fish && &Chips"), "Fish & Chips");
  EXPECT_EQ(WithoutMnemonics("Trailing&"), "Trailing");
}

}  // namespace
}  // namespace quarry::controls
