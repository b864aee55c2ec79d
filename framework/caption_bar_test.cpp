#include "framework/caption_bar.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include "framework/dialog_units.h"
#include "framework/qt_colour.h"

namespace quarry {
namespace {

TEST(CaptionBarTest, TextIsWhatAssistiveTechnologyReads) {
  QWidget parent;
  auto* bar = new CCaptionBar(&parent);
  bar->SetText("Web Browser View");
  EXPECT_EQ(bar->Text(), "Web Browser View");
  EXPECT_EQ(bar->accessibleName(), "Web Browser View");

  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::StaticText);
  EXPECT_EQ(iface->text(QAccessible::Name), "Web Browser View");

  bar->SetText("Table Results View");
  EXPECT_EQ(iface->text(QAccessible::Name), "Table Results View");
  EXPECT_EQ(bar->property("text").toString(), "Table Results View");
}

TEST(CaptionBarTest, TextColourFollowsTheGreyOfWhatItIsDrawnOn) {
  CCaptionBar bar;
  bar.SetColours(Rgb(90, 90, 90), Rgb(0, 0, 0));
  EXPECT_EQ(bar.TextColour(), QColor(Qt::black));
  bar.SetColours(Rgb(89, 89, 89), Rgb(255, 255, 255));
  EXPECT_EQ(bar.TextColour(), QColor(Qt::white));

  CColourScheme dark;
  dark.DeriveFrom(0x202020, 0xF0F0F0);
  bar.SetColours(dark);
  EXPECT_EQ(bar.StartColour(), ToQColor(0x202020));
  EXPECT_EQ(bar.EndColour(), ToQColor(dark.Light3()));
  EXPECT_EQ(bar.TextColour(), QColor(Qt::white));

  bar.SetTextColour(Rgb(1, 2, 3));
  bar.SetColours(Rgb(200, 200, 200), Rgb(255, 255, 255));
  EXPECT_EQ(bar.TextColour(), QColor(1, 2, 3));
}

TEST(CaptionBarTest, PaintsAHorizontalGradientBetweenItsColours) {
  CCaptionBar bar;
  bar.SetColours(Rgb(200, 0, 0), Rgb(0, 0, 200));
  bar.resize(400, 24);
  const QImage image = bar.grab().toImage();
  // Sample away from the text and the bottom hairline.
  const QColor left = image.pixelColor(1, 2);
  const QColor right = image.pixelColor(image.width() - 2, 2);
  EXPECT_GT(left.red(), 180);
  EXPECT_LT(left.blue(), 20);
  EXPECT_GT(right.blue(), 180);
  EXPECT_LT(right.red(), 20);
}

TEST(CaptionBarTest, IsElevenDialogUnitsHighUnlessTheFontNeedsMore) {
  QWidget parent;
  QFont dialog_font = parent.font();
  dialog_font.setPixelSize(16);
  parent.setFont(dialog_font);
  auto* bar = new CCaptionBar(&parent);
  QFont small = bar->font();
  small.setPixelSize(8);
  bar->SetFont(small);
  const int eleven = DialogYToPixels(11, BaseUnitsOf(dialog_font));
  EXPECT_EQ(bar->sizeHint().height(), eleven);

  QFont big = bar->font();
  big.setPixelSize(60);
  bar->SetFont(big);
  EXPECT_GE(bar->sizeHint().height(), QFontMetrics(big).height());
  EXPECT_GT(bar->sizeHint().height(), eleven);
}

TEST(CaptionBarTest, DefaultFontIsBold) {
  CCaptionBar bar;
  EXPECT_EQ(bar.font().weight(), QFont::Bold);
}

}  // namespace
}  // namespace quarry
