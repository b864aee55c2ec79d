// The label through its dispatch interface, as the module gives it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTest>
#include <QWidget>

#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"
#include "platform/testing/subprocess.h"

namespace quarry::controls {
namespace {

using com::Variant;
using namespace static_id;

class StaticModuleTest : public ::testing::Test {
 protected:
  std::unique_ptr<testing::TestControl> Make(const com::PropertyBag* state = nullptr,
                                             QRect rect = QRect(0, 0, 200, 20),
                                             std::string caption = "Label") {
    std::string error;
    // A stored state brings its own caption.
    if (state != nullptr) caption.clear();
    auto made = testing::MakeControl(kStaticModule, &parent_,
                                     testing::Options(rect, caption, state), &error);
    EXPECT_TRUE(made) << error;
    return made;
  }
  QWidget parent_;
};

TEST_F(StaticModuleTest, SetPropertySetsTheBorderStyleOnly) {
  auto label = Make();
  EXPECT_EQ(label->Call(kSetProperty, {Variant::Int(1), Variant::Int(3)}), com::S_OK);
  EXPECT_EQ(label->Get(kBorderStyle), Variant::Int(0));
  EXPECT_EQ(label->Call(kSetProperty, {Variant::Int(0), Variant::Int(3)}), com::S_OK);
  EXPECT_EQ(label->Get(kBorderStyle), Variant::Int(3));
  EXPECT_EQ(label->Call(kSetProperty, {Variant::Int(0)}), com::DISP_E_BADPARAMCOUNT);
  // Multiline and TextAlignment are stored even when unchanged; the others
  // ignore an unchanged value.
  com::PropertyBag bag;
  label->control->Save(&bag);
  label->Put(kTextAlignment, Variant::Int(0));
  EXPECT_TRUE(label->control->IsModified());
  label->control->Save(&bag);
  label->Put(kTransparent, Variant::Bool(true));
  EXPECT_FALSE(label->control->IsModified());
  EXPECT_EQ(label->Put(kLinePenWidth, Variant::Int(70000)), com::DISP_E_OVERFLOW);
  // The window text is the caption.
  label->Put(kWindowText, Variant::String("Port:"));
  EXPECT_EQ(label->Get(com::DISPID_CAPTION), Variant::String("Port:"));
}

TEST_F(StaticModuleTest, ALinkOpensItsAddressAndTellsTheContainer) {
  testing::OpenerStub opener;
  auto label = Make();
  parent_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));

  // Link mode without an address: blue text, but nothing to open.
  label->Put(kWebLink, Variant::Bool(true));
  EXPECT_EQ(label->window->cursor().shape(), Qt::ArrowCursor);
  QTest::mouseClick(label->window, Qt::LeftButton);
  EXPECT_TRUE(label->site.posted.empty());

  label->Put(kWebAddress, Variant::String("mailto:help@example.invalid"));
  EXPECT_EQ(label->window->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(label->window, Qt::LeftButton);
  ASSERT_EQ(label->site.posted.size(), 1u);
  EXPECT_EQ(label->site.posted[0].message, 0x82D0u);
  EXPECT_EQ(*reinterpret_cast<const std::string*>(label->site.posted[0].lparam),
            "mailto:help@example.invalid");
  // The keyboard reaches the link too.
  label->window->setFocus();
  QTest::keyClick(label->window, Qt::Key_Space);
  EXPECT_EQ(label->site.posted.size(), 2u);

  // The address opens on a worker, once per click; wait for both a
  // bounded time.
  EXPECT_TRUE(opener.WaitFor(2));
  EXPECT_EQ(opener.Opened(), "mailto:help@example.invalid\nmailto:help@example.invalid\n");
}

TEST_F(StaticModuleTest, StatesLoadByTheirVersion) {
  com::PropertyBag bag;
  bag.Set("Caption", Variant::String("Shown"));
  bag.Set("Text Alignment", Variant::Int(0x0100));
  bag.Set("Web Link", Variant::Bool(true));
  bag.Set("Border Style", Variant::Int(5));
  bag.Set("Override Web Link Fore Color", Variant::Bool(true));
  bag.Set("Transparent", Variant::Bool(false));
  bag.Set("Color Border", Variant::Colour(0x123456));
  bag.Set("Border Width", Variant::Int(3));
  struct Case {
    uint32_t version;
    int alignment;
    bool modified;
    bool link;
    int border;
    bool override_colour;
    bool transparent;
    COLORREF border_colour;
    int border_width;
  } cases[] = {
      {0x10000, 0x0100, false, false, 0, false, true, 0, 1},
      {0x20000, 0x0100, false, true, 0, false, true, 0, 1},
      {0x30000, 1, true, true, 5, false, true, 0, 1},  // the second byte, and modified
      {0x40000, 1, true, true, 5, true, true, 0, 1},
      {0x40001, 1, true, true, 5, true, true, 0, 1},  // 4.1: the 4.2 defaults
      {0x40002, 1, true, true, 5, true, false, 0x123456, 3},
  };
  for (const Case& c : cases) {
    bag.set_version(c.version);
    auto label = Make(&bag);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->Get(kTextAlignment), Variant::Int(c.alignment)) << std::hex << c.version;
    EXPECT_EQ(label->control->IsModified(), c.modified) << std::hex << c.version;
    EXPECT_EQ(label->Get(kWebLink), Variant::Bool(c.link)) << std::hex << c.version;
    EXPECT_EQ(label->Get(kBorderStyle), Variant::Int(c.border)) << std::hex << c.version;
    EXPECT_EQ(label->Get(kOverrideWebLinkForeColor), Variant::Bool(c.override_colour));
    EXPECT_EQ(label->Get(kTransparent), Variant::Bool(c.transparent)) << std::hex << c.version;
    EXPECT_EQ(label->Get(kColorBorder), Variant::Colour(c.border_colour)) << std::hex << c.version;
    EXPECT_EQ(label->Get(kBorderWidth), Variant::Int(c.border_width)) << std::hex << c.version;
    EXPECT_EQ(label->Get(com::DISPID_CAPTION), Variant::String("Shown"));
  }
  // One of the three 4.2 properties missing: all three take their defaults.
  bag.set_version(0x40002);
  bag.Remove("Color Border");
  auto partial = Make(&bag);
  EXPECT_EQ(partial->Get(kTransparent), Variant::Bool(true));
  EXPECT_EQ(partial->Get(kBorderWidth), Variant::Int(1));

  // Saved, the caption goes under "WindowText" as well.
  com::PropertyBag saved;
  partial->control->Save(&saved);
  EXPECT_EQ(saved.version(), 0x40002u);
  ASSERT_NE(saved.Find("WindowText"), nullptr);
  EXPECT_EQ(*saved.Find("WindowText"), Variant::String("Shown"));
}

TEST_F(StaticModuleTest, LinesBordersAndLinksAreDrawnWhereTheySay) {
  auto line = Make(nullptr, QRect(0, 0, 100, 8), "");
  line->Put(kLine, Variant::Bool(true));
  line->Put(kLinePenWidth, Variant::Int(2));
  line->Put(com::DISPID_FORECOLOR, Variant::Colour(0x0000FF));  // red
  line->Put(kColorTextShadow, Variant::Colour(0x00FF00));       // green
  line->Put(kShowTextShadow, Variant::Int(1));
  const QImage lines = testing::Render(line->window, Qt::white);
  // Rows 0-1 red (y = 0 + 2 / 2, pen 2 centred), row 2 the shadow's.
  EXPECT_EQ(lines.pixelColor(50, 0), QColor(255, 0, 0));
  EXPECT_EQ(lines.pixelColor(50, 1), QColor(255, 0, 0));
  EXPECT_EQ(lines.pixelColor(50, 2), QColor(0, 255, 0));
  EXPECT_EQ(lines.pixelColor(0, 2), QColor(Qt::white));   // the shadow starts 1 px right
  EXPECT_EQ(lines.pixelColor(99, 1), QColor(0, 255, 0));  // the line stops 1 px short
  EXPECT_EQ(lines.pixelColor(99, 0), QColor(Qt::white));
  EXPECT_EQ(lines.pixelColor(50, 5), QColor(Qt::white));

  auto thin = Make(nullptr, QRect(0, 0, 100, 30), "Boxed");
  thin->Put(kBorderStyle, Variant::Int(5));
  thin->Put(kColorBorder, Variant::Colour(0xFF0000));  // blue
  const QImage boxed = testing::Render(thin->window, Qt::white);
  EXPECT_EQ(boxed.pixelColor(0, 0), QColor(0, 0, 255));
  EXPECT_EQ(boxed.pixelColor(99, 29), QColor(0, 0, 255));

  auto link = Make(nullptr, QRect(0, 0, 200, 30), "WWWWWWWW");
  link->Put(com::DISPID_FONT, Variant::Font(com::FontDesc{"DejaVu Sans", 16, 700}));
  link->Put(kWebLink, Variant::Bool(true));
  link->Put(kShowTextShadow, Variant::Int(0));
  const QImage text = testing::Render(link->window, Qt::white);
  bool blue = false;
  for (int x = 0; x < 100 && !blue; ++x) {
    for (int y = 0; y < 30 && !blue; ++y) blue = text.pixelColor(x, y) == QColor(0, 0, 255);
  }
  EXPECT_TRUE(blue);
}

}  // namespace
}  // namespace quarry::controls
