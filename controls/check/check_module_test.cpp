// The check box through its dispatch interface, as the module gives it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QTest>
#include <QWidget>

#include "controls/common/appearance_settings.h"
#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"
#include "framework/colour/scheme_settings.h"
#include "platform/settings_store.h"

namespace quarry::controls {
namespace {

using com::Variant;
using namespace check_id;

class CheckModuleTest : public ::testing::Test {
 protected:
  std::unique_ptr<testing::TestControl> Make(const com::PropertyBag* state = nullptr,
                                             QRect rect = QRect(0, 0, 160, 20)) {
    std::string error;
    auto made =
        testing::MakeControl(kCheckModule, &parent_, testing::Options(rect, "Sort", state), &error);
    EXPECT_TRUE(made) << error;
    return made;
  }
  QWidget parent_;
};

TEST_F(CheckModuleTest, TheOffColourFollowsTheFaceWhileInSync) {
  auto check = Make();
  check->Put(kColorCheckFace, Variant::Colour(0x00A000));
  EXPECT_EQ(check->Get(kColorCheckOffFace), Variant::Colour(0x00A000));
  check->Put(kColorCheckOffFace, Variant::Colour(0x0000A0));
  EXPECT_EQ(check->Get(kKeepColorsInSync), Variant::Bool(false));
  check->Put(kColorCheckFace, Variant::Colour(0x00B000));
  EXPECT_EQ(check->Get(kColorCheckOffFace), Variant::Colour(0x0000A0));
  check->Put(kColorCheckOffFace, Variant::Colour(0x00B000));
  EXPECT_EQ(check->Get(kKeepColorsInSync), Variant::Bool(true));
  for (auto [value, stored] : {std::pair{5, 2}, {-1, 0}, {1, 1}}) {
    check->Put(kType, Variant::Int(value));
    EXPECT_EQ(check->Get(kType), Variant::Int(stored)) << value;
  }
  check->Put(kStyle, Variant::Int(4));
  EXPECT_EQ(check->Get(kStyle), Variant::Int(1));
}

TEST_F(CheckModuleTest, ALockedBoxKeepsItsStateAndRaisesNothing) {
  auto check = Make();
  parent_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));
  auto* box = static_cast<QCheckBox*>(check->window);

  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_EQ(check->Get(kCheck), Variant::Bool(true));
  EXPECT_TRUE(box->isChecked());  // screen readers read the window's state
  EXPECT_EQ(check->log.events, std::vector<com::DISPID>{com::DISPID_CLICK});

  check->Put(kLocked, Variant::Bool(true));
  QTest::mouseClick(box, Qt::LeftButton);
  box->click();
  check->Put(kCheck, Variant::Bool(false));
  EXPECT_EQ(check->Get(kCheck), Variant::Bool(true));
  EXPECT_EQ(check->log.events.size(), 1u);

  check->Put(kLocked, Variant::Bool(false));
  check->Put(kCheck, Variant::Bool(false));  // the program's own change: no event
  EXPECT_EQ(check->Get(kCheck), Variant::Bool(false));
  EXPECT_FALSE(box->isChecked());
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(check->Get(kCheck), Variant::Bool(true));
  EXPECT_EQ(check->log.events.size(), 2u);
}

TEST_F(CheckModuleTest, StatesLoadByTheirVersion) {
  com::PropertyBag bag;
  bag.Set("Check", Variant::Bool(true));
  bag.Set("Color Check Face", Variant::Colour(0x00C000));
  bag.Set("Color Check Off Face", Variant::Colour(0x0000C0));
  bag.Set("Keep Colors In Sync", Variant::Bool(false));
  bag.Set("Type", Variant::Int(2));
  bag.Set("Transparent", Variant::Bool(false));
  struct Case {
    uint32_t version;
    COLORREF off;
    int type;
    bool transparent;
  } cases[] = {
      {0x10000, 0x00C000, 0, true},  // 1.0 had no off colour: the face's
      {0x10005, 0x00C000, 0, true},  {0x20000, 0x0000C0, 2, true},
      {0x20002, 0x0000C0, 2, true},  // Transparent came with 2.3
      {0x20003, 0x0000C0, 2, false},
  };
  for (const Case& c : cases) {
    bag.set_version(c.version);
    auto check = Make(&bag);
    ASSERT_TRUE(check);
    EXPECT_EQ(check->Get(kCheck), Variant::Bool(true)) << std::hex << c.version;
    EXPECT_EQ(check->Get(kColorCheckFace), Variant::Colour(0x00C000)) << std::hex << c.version;
    EXPECT_EQ(check->Get(kColorCheckOffFace), Variant::Colour(c.off)) << std::hex << c.version;
    EXPECT_EQ(check->Get(kType), Variant::Int(c.type)) << std::hex << c.version;
    EXPECT_EQ(check->Get(kTransparent), Variant::Bool(c.transparent)) << std::hex << c.version;
    com::PropertyBag saved;
    check->control->Save(&saved);
    EXPECT_EQ(saved.version(), 0x20004u);
  }
}

TEST_F(CheckModuleTest, TheLampShowsTheStateAtTheChosenSide) {
  auto check = Make(nullptr, QRect(0, 0, 160, 20));
  check->Put(kColorCheckFace, Variant::Colour(0x0000C0));  // red
  // The lamp's body, a little right of its centre (the glint is up left).
  const QPoint lamp(7, 12);
  const QColor off = testing::Render(check->window).pixelColor(lamp);
  check->Put(kCheck, Variant::Bool(true));
  const QColor on = testing::Render(check->window).pixelColor(lamp);
  EXPECT_GT(on.red(), on.green() + 80) << on.name().toStdString();
  EXPECT_GT(off.green(), on.green() + 60) << off.name().toStdString();  // pale when off

  check->Put(kStyle, Variant::Int(1));
  const QImage right = testing::Render(check->window);
  EXPECT_EQ(right.pixelColor(lamp), QColor(Qt::white));
  const QColor moved = right.pixelColor(160 - 12 + lamp.x(), lamp.y());
  EXPECT_GT(moved.red(), moved.green() + 80) << moved.name().toStdString();

  check->Put(com::DISPID_ENABLED, Variant::Bool(false));
  const QColor disabled = testing::Render(check->window).pixelColor(160 - 12 + lamp.x(), lamp.y());
  EXPECT_EQ(disabled.red(), disabled.green());
}

TEST_F(CheckModuleTest, AForcedCharacterSetComesWithTheLooksWeight) {
  platform::SettingsStore store(getenv("ZT_REGISTRY_FILE"));
  com::PropertyBag bag;
  bag.set_version(0x20004);
  bag.Set("Font", Variant::Font(com::FontDesc{"DejaVu Sans", 9, 700, false, false, false, 0}));
  struct Case {
    std::optional<uint32_t> charset;
    std::optional<uint32_t> custom;
    std::optional<uint32_t> weight;
    int expected_charset;
    int expected_weight;
  } cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, 0, 700},  // no key: the stored font stays
      {238, std::nullopt, std::nullopt, 238, 400},         // custom look: 400
      {238, 0, 600, 238, 600},                             // standard look: FontWeight
      {238, 0, 0, 238, 700},                               // ... or 700
  };
  for (const Case& c : cases) {
    store.DeleteKey(appearance::kKey);
    if (c.charset) store.SetDword(appearance::kKey, kFontCharSet, *c.charset);
    if (c.custom) store.SetDword(appearance::kKey, kUseCustomControls, *c.custom);
    if (c.weight) store.SetDword(appearance::kKey, kFontWeight, *c.weight);
    auto check = Make(&bag);
    ASSERT_TRUE(check);
    std::optional<com::FontDesc> font = check->Get(com::DISPID_FONT).ToFont();
    ASSERT_TRUE(font);
    EXPECT_EQ(font->charset, c.expected_charset);
    EXPECT_EQ(font->weight, c.expected_weight);
  }
  store.DeleteKey(appearance::kKey);
}

TEST_F(CheckModuleTest, TheStandardLookKeepsTheStateInTheWindow) {
  platform::SettingsStore store(getenv("ZT_REGISTRY_FILE"));
  store.SetDword(appearance::kKey, kUseCustomControls, 0);
  auto check = Make();
  store.DeleteKey(appearance::kKey);
  auto* box = static_cast<QCheckBox*>(check->window);
  box->setChecked(true);
  EXPECT_EQ(check->Get(kCheck), Variant::Bool(true));
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(check->Get(kCheck), Variant::Bool(false));
  EXPECT_EQ(check->log.events, std::vector<com::DISPID>{com::DISPID_CLICK});
  check->Put(kLocked, Variant::Bool(true));
  box->click();
  EXPECT_FALSE(box->isChecked());
}

TEST_F(CheckModuleTest, TheCaptionSplitGivesTwoLinesAndATip) {
  auto check = Make();
  check->Put(com::DISPID_CAPTION, Variant::String("&Sort\\\\nby name\\nKeeps them tidy"));
  EXPECT_EQ(check->window->toolTip(), "Keeps them tidy");
  EXPECT_EQ(check->window->accessibleName(), "Sort by name");
  EXPECT_EQ(static_cast<QCheckBox*>(check->window)->text(), "&Sort\nby name");
}

}  // namespace
}  // namespace quarry::controls
