// The button through its dispatch interface, as the module gives it.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"

namespace quarry::controls {
namespace {

using com::Variant;
using namespace button_id;

class ButtonModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    button_ = testing::MakeControl(kButtonModule, &parent_,
                                   testing::Options(QRect(0, 0, 90, 23), "Go"), &error);
    ASSERT_TRUE(button_) << error;
  }
  QWidget parent_;
  std::unique_ptr<testing::TestControl> button_;
};

TEST_F(ButtonModuleTest, SettersClampAndIgnoreUnchangedValues) {
  struct Case {
    com::DISPID id;
    Variant value;
    Variant stored;
  } cases[] = {
      {kAlignment, Variant::Int(-1), Variant::Int(0)},
      {kAlignment, Variant::Int(9), Variant::Int(3)},
      {kStyle, Variant::Int(9), Variant::Int(4)},
      {kStyle, Variant::Int(2), Variant::Int(2)},
      {kButtonSides, Variant::Int(7), Variant::Int(1)},
      {kPictureAlignment, Variant::Int(7), Variant::Int(4)},
      {kPictureAlignment, Variant::String("-3"), Variant::Int(0)},
      {kColorBtnFace, Variant::Int(-1), Variant::Colour(0xFFFFFFFF)},
      {kShowTextShadow, Variant::Int(5), Variant::Bool(true)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(button_->Put(c.id, c.value), com::S_OK) << c.id;
    EXPECT_EQ(button_->Get(c.id), c.stored) << c.id << " " << c.value.Describe();
  }
  EXPECT_EQ(button_->Put(kStyle, Variant::String("glass")), com::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(button_->Get(kStyle), Variant::Int(2));

  // Saving clears the modified flag; an unchanged value leaves it clear,
  // except Transparent, which marks the control modified whatever it is.
  com::PropertyBag bag;
  ASSERT_EQ(button_->control->Save(&bag), com::S_OK);
  EXPECT_FALSE(button_->control->IsModified());
  button_->Put(kStyle, Variant::Int(2));
  button_->Put(kColorTextHighlight, Variant::Colour(0x28FEFC));
  EXPECT_FALSE(button_->control->IsModified());
  button_->Put(kTransparent, Variant::Bool(true));
  EXPECT_TRUE(button_->control->IsModified());
}

TEST_F(ButtonModuleTest, BothNameSetsReachTheSameMembers) {
  for (const char* name : {"Color Button Face", "ColorBtnFace", "colorbtnface", "Show Shadow"}) {
    com::DISPID id = 0;
    const com::HRESULT hr = button_->control->GetIDOfName(name, &id);
    if (std::string(name) == "Show Shadow") {
      EXPECT_EQ(hr, com::DISP_E_UNKNOWNNAME);  // a persisted name, not a member
    } else {
      EXPECT_EQ(hr, com::S_OK) << name;
      EXPECT_EQ(id, kColorBtnFace) << name;
    }
  }
  com::DISPID id = 0;
  EXPECT_EQ(button_->control->GetIDOfName("About Box", &id), com::S_OK);
  EXPECT_EQ(id, com::DISPID_ABOUTBOX);
}

TEST_F(ButtonModuleTest, AStateFrom33LoadsItsOldNamesAndSavesAs34) {
  com::PropertyBag old;
  old.set_version(com::MakeVersion(3, 3));
  old.Set("Caption", Variant::String("Next"));
  old.Set("Style", Variant::Int(2));       // the alignment, in 3.3
  old.Set("ButtonType", Variant::Int(3));  // the style, in 3.3
  old.Set("ButtonSides", Variant::Int(7));
  old.Set("Transparent", Variant::Bool(false));
  old.Set("Default Button", Variant::Bool(true));
  ASSERT_EQ(button_->control->Load(old), com::S_OK);
  EXPECT_EQ(button_->Get(kAlignment), Variant::Int(2));
  EXPECT_EQ(button_->Get(kStyle), Variant::Int(3));
  EXPECT_EQ(button_->Get(kButtonSides), Variant::Int(1));
  EXPECT_EQ(button_->Get(kTransparent), Variant::Bool(false));
  EXPECT_EQ(button_->Get(kDefaultButton), Variant::Bool(true));
  EXPECT_EQ(button_->Get(com::DISPID_CAPTION), Variant::String("Next"));

  com::PropertyBag saved;
  ASSERT_EQ(button_->control->Save(&saved), com::S_OK);
  EXPECT_EQ(saved.version(), 0x30004u);
  ASSERT_NE(saved.Find("Alignment"), nullptr);
  EXPECT_EQ(*saved.Find("Alignment"), Variant::Int(2));
  EXPECT_EQ(*saved.Find("Style"), Variant::Int(3));
  EXPECT_EQ(saved.Find("ButtonType"), nullptr);

  // Through the stored form and back: the same properties.
  std::string error;
  std::optional<com::PropertyBag> again = com::PropertyBag::Parse(saved.Serialize(), &error);
  ASSERT_TRUE(again) << error;
  auto other = testing::MakeControl(kButtonModule, &parent_,
                                    testing::Options(QRect(0, 30, 90, 23), "", &*again));
  ASSERT_TRUE(other);
  for (com::DISPID id : {kAlignment, kStyle, kButtonSides, kTransparent, kDefaultButton,
                         kColorBtnFace, kPictureAlignment, com::DISPID_CAPTION}) {
    EXPECT_EQ(other->Get(id), button_->Get(id)) << id;
  }
}

TEST_F(ButtonModuleTest, EachVersionGateReadsOnlyWhatItsVersionHad) {
  com::PropertyBag bag;
  bag.Set("Default Button", Variant::Bool(true));
  bag.Set("Transparent", Variant::Bool(false));
  bag.Set("ButtonSides", Variant::Int(1));
  bag.Set("Alignment", Variant::Int(1));
  bag.Set("Style", Variant::Int(2));
  bag.Set("Show Shadow", Variant::Bool(false));
  struct Case {
    uint32_t version;
    bool default_button, transparent;
    int sides, alignment, style;
    bool shadow;
  } cases[] = {
      {0x00009, false, true, 0, 0, 0, true},   // below 1.0: nothing
      {0x10000, false, true, 0, 2, 0, false},  // 1.0: "Style" is the alignment
      {0x20000, true, true, 0, 2, 0, false},
      {0x30000, true, true, 1, 2, 0, false},  // no "ButtonType": style 0
      {0x30002, true, false, 1, 2, 0, false},
      {0x30004, true, false, 1, 1, 2, false},
  };
  for (const Case& c : cases) {
    bag.set_version(c.version);
    ASSERT_EQ(button_->control->Load(bag), com::S_OK);
    EXPECT_EQ(button_->Get(kDefaultButton), Variant::Bool(c.default_button))
        << std::hex << c.version;
    EXPECT_EQ(button_->Get(kTransparent), Variant::Bool(c.transparent)) << std::hex << c.version;
    EXPECT_EQ(button_->Get(kButtonSides), Variant::Int(c.sides)) << std::hex << c.version;
    EXPECT_EQ(button_->Get(kAlignment), Variant::Int(c.alignment)) << std::hex << c.version;
    EXPECT_EQ(button_->Get(kStyle), Variant::Int(c.style)) << std::hex << c.version;
    EXPECT_EQ(button_->Get(kShowTextShadow), Variant::Bool(c.shadow)) << std::hex << c.version;
  }
  // In 3.4 a state with neither "Alignment" nor "Style" has both at 0.
  com::PropertyBag bare;
  bare.set_version(0x30004);
  bare.Set("Style", Variant::String("not a number"));
  ASSERT_EQ(button_->control->Load(bare), com::S_OK);
  EXPECT_EQ(button_->Get(kAlignment), Variant::Int(0));
  EXPECT_EQ(button_->Get(kStyle), Variant::Int(0));
}

TEST_F(ButtonModuleTest, TheContainerSizeIsRaisedToTheMinimums) {
  struct Case {
    int alignment, width, height, out_width, out_height;
  } cases[] = {
      {0, 10, 10, 37, 17}, {1, 10, 17, 22, 17}, {2, 10, 17, 22, 17}, {0, 10, 23, 49, 23},
      {1, 10, 23, 28, 23}, {0, 10, 20, 10, 20}, {3, 1, 30, 4, 30},   {0, 80, 23, 80, 23},
  };
  for (const Case& c : cases) {
    button_->Put(kAlignment, Variant::Int(c.alignment));
    int w = c.width, h = c.height;
    ASSERT_EQ(button_->control->AdjustExtent(&w, &h), com::S_OK);
    EXPECT_EQ(w, c.out_width) << c.alignment << " " << c.width << "x" << c.height;
    EXPECT_EQ(h, c.out_height) << c.alignment << " " << c.width << "x" << c.height;
  }
}

TEST_F(ButtonModuleTest, RenderedFacesShowStateColourAndTransparency) {
  button_->Put(kColorBtnFace, Variant::Colour(0x0000C0));  // red
  button_->Put(com::DISPID_FORECOLOR, Variant::Colour(0));
  const QImage normal = testing::Render(button_->window, Qt::magenta);
  // The capsule's corner is transparent: the background shows.
  EXPECT_EQ(normal.pixelColor(0, 0), QColor(Qt::magenta));
  // Below the caption, inside the face: the face colour's hue.
  const QColor face = normal.pixelColor(8, 18);
  EXPECT_GT(face.red(), face.green() + 50) << face.name().toStdString();

  button_->Put(com::DISPID_ENABLED, Variant::Bool(false));
  const QColor disabled = testing::Render(button_->window, Qt::magenta).pixelColor(8, 18);
  EXPECT_EQ(disabled.red(), disabled.green());
  EXPECT_EQ(disabled.green(), disabled.blue());
  button_->Put(com::DISPID_ENABLED, Variant::Bool(true));

  // Opaque: the corner takes the background colour instead.
  button_->Put(kTransparent, Variant::Bool(false));
  button_->Put(com::DISPID_BACKCOLOR, Variant::Colour(0x00FF00));
  EXPECT_EQ(testing::Render(button_->window, Qt::magenta).pixelColor(0, 0), QColor(0, 255, 0));

  // A show command other than 5 stops the face being painted.
  Variant was_visible;
  ASSERT_EQ(button_->Call(kShowWindow, {Variant::Int(1)}, &was_visible), com::S_OK);
  const QImage hidden = testing::Render(button_->window, Qt::magenta);
  EXPECT_EQ(hidden.pixelColor(45, 12), QColor(Qt::magenta));
  button_->Call(kShowWindow, {Variant::Int(5)});
  EXPECT_NE(testing::Render(button_->window, Qt::magenta).pixelColor(45, 18), QColor(Qt::magenta));
  button_->Call(kShowWindow, {Variant::Int(0)}, &was_visible);
  EXPECT_FALSE(button_->window->isVisibleTo(&parent_));
}

TEST_F(ButtonModuleTest, ClicksRaiseClickAndRightClickAndTheCaptionCarriesTheToolTip) {
  parent_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));
  QTest::mouseClick(button_->window, Qt::LeftButton);
  QTest::mouseClick(button_->window, Qt::RightButton);
  static_cast<QPushButton*>(button_->window)->click();  // as a screen reader presses it
  EXPECT_EQ(button_->log.events,
            (std::vector<com::DISPID>{com::DISPID_CLICK, kRightClickEvent, com::DISPID_CLICK}));
  // A press outside the button, released outside: nothing.
  QTest::mousePress(button_->window, Qt::LeftButton, {}, QPoint(200, 200));
  QTest::mouseRelease(button_->window, Qt::LeftButton, {}, QPoint(200, 200));
  EXPECT_EQ(button_->log.events.size(), 3u);

  button_->window->setFocus();
  QTest::keyClick(button_->window, Qt::Key_Return);
  EXPECT_EQ(button_->log.events.size(), 4u);

  button_->Put(com::DISPID_CAPTION, Variant::String("&Go\\nOpen the address"));
  EXPECT_EQ(button_->window->toolTip(), "Open the address");
  EXPECT_EQ(button_->window->accessibleName(), "Go");
  button_->Put(com::DISPID_CAPTION, Variant::String("Two\\\\nlines\\nno tip"));
  EXPECT_EQ(button_->window->toolTip(), "");
  EXPECT_EQ(button_->window->accessibleName(), "Two lines\\nno tip");
}

}  // namespace
}  // namespace quarry::controls
