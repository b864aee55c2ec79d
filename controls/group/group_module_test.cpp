// The group box through its dispatch interface, as the module gives it.

#include <gtest/gtest.h>

#include <QWidget>

#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"

namespace quarry::controls {
namespace {

using com::Variant;
using namespace group_id;

class GroupModuleTest : public ::testing::Test {
 protected:
  std::unique_ptr<testing::TestControl> Make(const com::PropertyBag* state = nullptr,
                                             QRect rect = QRect(0, 0, 200, 120),
                                             std::string caption = "Options") {
    std::string error;
    if (state != nullptr) caption.clear();
    auto made = testing::MakeControl(kGroupModule, &parent_, testing::Options(rect, caption, state),
                                     &error);
    EXPECT_TRUE(made) << error;
    return made;
  }
  QWidget parent_;
};

TEST_F(GroupModuleTest, ValuesOutsideTheirRangeAreRefused) {
  auto group = Make();
  struct Case {
    com::DISPID id;
    Variant value;
    com::HRESULT result;
    Variant stored;
  } cases[] = {
      {kGroupStyle, Variant::Int(3), com::E_INVALIDARG, Variant::Int(1)},
      {kGroupStyle, Variant::Int(2), com::S_OK, Variant::Int(2)},
      {kBorderLineStyle, Variant::Int(10), com::E_INVALIDARG, Variant::Int(9)},
      {kBorderWidth, Variant::Int(-1), com::E_INVALIDARG, Variant::Int(2)},
      {kBorderCornerRadius, Variant::Int(-5), com::E_INVALIDARG, Variant::Int(25)},
      {kHeaderSeparatorWidth, Variant::Int(-1), com::E_INVALIDARG, Variant::Int(5)},
      {kHeaderHeight, Variant::Int(-2), com::E_INVALIDARG, Variant::Int(-1)},
      {kHeaderHeight, Variant::Int(0), com::S_OK, Variant::Int(0)},
      {kDropShadowDirection, Variant::Int(4), com::E_INVALIDARG, Variant::Int(2)},
      {kPictureAlignment, Variant::Int(7), com::S_OK, Variant::Int(3)},
      {kShadowOpacity, Variant::Int(0x1FF), com::S_OK, Variant::Int(255)},
      {kTransparent, Variant::Int(9), com::S_OK, Variant::Bool(true)},
      {kColorInnerBackgroundLower, Variant::Int(-1), com::S_OK, Variant::Colour(0xFFFFFFFF)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(group->Put(c.id, c.value), c.result) << c.id << " " << c.value.Describe();
    EXPECT_EQ(group->Get(c.id), c.stored) << c.id << " " << c.value.Describe();
  }
  // A refused value does not mark the control modified.
  com::PropertyBag bag;
  group->control->Save(&bag);
  group->Put(kGroupStyle, Variant::Int(7));
  EXPECT_FALSE(group->control->IsModified());
}

TEST_F(GroupModuleTest, StatesLoadByTheirVersion) {
  com::PropertyBag bag;
  bag.Set("Picture Alignment", Variant::Int(9));
  bag.Set("Show Shadow", Variant::Int(0));
  bag.Set("Group Style", Variant::Int(2));
  bag.Set("Opacity", Variant::Int(100));
  bag.Set("Header Height", Variant::Int(30));
  struct Case {
    uint32_t version;
    int picture_alignment, show_shadow, style, opacity, header;
  } cases[] = {
      {0x00000, 3, 1, 1, 204, -1},
      {0x10000, 3, 0, 1, 204, -1},  // 9 is out of range: 3
      {0x20000, 3, 0, 2, 100, 30},
  };
  for (const Case& c : cases) {
    bag.set_version(c.version);
    auto group = Make(&bag);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->Get(kPictureAlignment), Variant::Int(c.picture_alignment)) << c.version;
    EXPECT_EQ(group->Get(kShowTextShadow), Variant::Int(c.show_shadow)) << c.version;
    EXPECT_EQ(group->Get(kGroupStyle), Variant::Int(c.style)) << c.version;
    EXPECT_EQ(group->Get(kShadowOpacity), Variant::Int(c.opacity)) << c.version;
    EXPECT_EQ(group->Get(kHeaderHeight), Variant::Int(c.header)) << c.version;
    com::PropertyBag saved;
    group->control->Save(&saved);
    EXPECT_EQ(saved.version(), 0x20001u);
    EXPECT_EQ(saved.Find("Color Border"), nullptr);  // set by the host, never stored
  }
}

TEST_F(GroupModuleTest, TheCleanBoxDrawsHeaderInsideAndShadowWhereTheySay) {
  auto group = Make();
  group->Put(com::DISPID_BACKCOLOR, Variant::Colour(0xFFFFFF));
  group->Put(kColorHeaderBackgroundUpper, Variant::Colour(0x0000FF));  // red
  group->Put(kColorHeaderBackgroundLower, Variant::Colour(0x0000FF));
  group->Put(kColorHeaderSeparator, Variant::Colour(0x00FF00));       // green
  group->Put(kColorInnerBackgroundLower, Variant::Colour(0xFF0000));  // blue
  group->Put(kColorBorder, Variant::Colour(0x000000));
  const QImage box = testing::Render(group->window, Qt::white);
  const int header = QFontMetrics(group->window->font()).height() * 185 / 100 + 5;
  // Inside the header, left of the caption: red.
  EXPECT_EQ(box.pixelColor(20, header / 3), QColor(255, 0, 0));
  // The separator's last rows: green.
  EXPECT_EQ(box.pixelColor(100, header + 2), QColor(0, 255, 0));
  // The inner background: white at the top, blue towards the bottom.
  const QColor low = box.pixelColor(100, 100);
  EXPECT_GT(low.blue(), low.red() + 100) << low.name().toStdString();
  // The border (width 2) at the left middle: black.
  EXPECT_EQ(box.pixelColor(2, 60), QColor(0, 0, 0));
  // The drop shadow lies to the lower right, outside the box.
  const QColor shadow = box.pixelColor(197, 60);
  EXPECT_LT(shadow.red(), 200) << shadow.name().toStdString();
  EXPECT_EQ(box.pixelColor(1, 117), QColor(Qt::white));

  // No header band at height 0; back to the computed one at -1.
  group->Put(kHeaderHeight, Variant::Int(0));
  EXPECT_NE(testing::Render(group->window, Qt::white).pixelColor(20, header / 3),
            QColor(255, 0, 0));
  group->Put(kHeaderHeight, Variant::Int(-1));
  EXPECT_EQ(testing::Render(group->window, Qt::white).pixelColor(20, header / 3),
            QColor(255, 0, 0));

  // A one-pixel border in line style "none": no line, the inside still
  // one pixel in.
  group->Put(kShowDropShadow, Variant::Bool(false));
  group->Put(kBorderWidth, Variant::Int(1));
  group->Put(kBorderLineStyle, Variant::Int(6));
  const QImage plain = testing::Render(group->window, Qt::magenta);
  EXPECT_EQ(plain.pixelColor(1, 60), QColor(Qt::magenta));
  EXPECT_NE(plain.pixelColor(2, 60), QColor(Qt::magenta));
}

TEST_F(GroupModuleTest, TheStandardAndFancyStylesHaveTheirOwnFrames) {
  auto group = Make();
  group->Put(kGroupStyle, Variant::Int(0));
  const QImage standard = testing::Render(group->window, Qt::magenta);
  // The etched frame's left line, and the caption's gap in the top line.
  const int y = QFontMetrics(group->window->font()).height() / 2;
  EXPECT_NE(standard.pixelColor(0, 60), QColor(Qt::magenta));
  EXPECT_EQ(standard.pixelColor(100, 60), QColor(Qt::magenta));  // not filled
  const int caption = QFontMetrics(group->window->font()).horizontalAdvance("Options");
  const int gap = (200 - caption) / 8;
  EXPECT_NE(standard.pixelColor(gap - 2, y), QColor(Qt::magenta));
  EXPECT_EQ(standard.pixelColor(gap + 1, y), QColor(Qt::magenta));

  // A caption almost as wide as the box leaves no gap: the top line runs
  // on from the left edge.
  auto narrow = Make(nullptr, QRect(0, 0, caption + 7, 40), "Options");
  narrow->Put(kGroupStyle, Variant::Int(0));
  const QImage no_gap = testing::Render(narrow->window, Qt::magenta);
  EXPECT_NE(no_gap.pixelColor(0, y), QColor(Qt::magenta));
  EXPECT_NE(no_gap.pixelColor(caption + 5, y), QColor(Qt::magenta));

  group->Put(kGroupStyle, Variant::Int(2));
  group->Put(kColorBorder, Variant::Colour(0x0000A0));  // dark red pieces
  group->Put(kColorBackGround, Variant::Colour(0x00FF00));
  const QImage fancy = testing::Render(group->window, Qt::magenta);
  const QColor edge = fancy.pixelColor(3, 60);  // the left edge tile
  EXPECT_GT(edge.red(), edge.blue() + 40) << edge.name().toStdString();
}

}  // namespace
}  // namespace quarry::controls
