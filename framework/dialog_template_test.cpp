#include "framework/dialog_template.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "framework/caption_bar.h"
#include "framework/dialog_font.h"
#include "framework/dialog_units.h"
#include "framework/ks_dialog.h"
#include "framework/qt_colour.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

TEST(DialogUnitsTest, ConvertWithQuarterWidthsAndEighthHeightsRounded) {
  const DialogBaseUnits base{7, 15};
  EXPECT_EQ(DialogXToPixels(4, base), 7);
  EXPECT_EQ(DialogYToPixels(8, base), 15);
  EXPECT_EQ(DialogXToPixels(1, base), 2);   // 1.75
  EXPECT_EQ(DialogXToPixels(2, base), 4);   // 3.5, half away from zero
  EXPECT_EQ(DialogXToPixels(-2, base), -4);
  EXPECT_EQ(DialogYToPixels(1, base), 2);   // 1.875
  EXPECT_EQ(DialogXToPixels(0, base), 0);
  EXPECT_EQ(MapDialogSize(QSize(369, 271), base),
            QSize(DialogXToPixels(369, base), DialogYToPixels(271, base)));
}

TEST(DialogUnitsTest, NeighbouringRectanglesStayNeighboursInPixels) {
  const DialogBaseUnits base{7, 15};
  for (int x = 0; x < 200; ++x) {
    const QRect a = MapDialogRect(QRect(x, x, 1, 1), base);
    const QRect b = MapDialogRect(QRect(x + 1, x + 1, 1, 1), base);
    ASSERT_EQ(a.left() + a.width(), b.left()) << x;
    ASSERT_EQ(a.top() + a.height(), b.top()) << x;
  }
  const QRect r = MapDialogRect(QRect(10, 20, 50, 14), base);
  EXPECT_EQ(r.left(), DialogXToPixels(10, base));
  EXPECT_EQ(r.top(), DialogYToPixels(20, base));
  EXPECT_EQ(r.width(), DialogXToPixels(60, base) - DialogXToPixels(10, base));
  EXPECT_EQ(r.height(), DialogYToPixels(34, base) - DialogYToPixels(20, base));
}

TEST(DialogUnitsTest, BaseUnitsComeFromTheFontAndGrowWithIt) {
  QFont small = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  small.setPixelSize(10);
  QFont large = small;
  large.setPixelSize(20);
  const DialogBaseUnits s = BaseUnitsOf(small);
  const DialogBaseUnits l = BaseUnitsOf(large);
  EXPECT_EQ(s.y, QFontMetrics(small).height());
  EXPECT_GT(l.x, s.x);
  EXPECT_GT(l.y, s.y);
  // An average letter is narrower than the line is high.
  EXPECT_GT(s.x, 0);
  EXPECT_LT(s.x, s.y);
}

DialogTemplate SampleTemplate() {
  return DialogTemplate{
      410,
      "Sample",
      200,
      120,
      {
          {1001, DialogItemKind::kGroupBox, QRect(2, 20, 196, 60), "Options"},
          {-1, DialogItemKind::kLabel, QRect(5, 5, 30, 8), "&Address:"},
          {1002, DialogItemKind::kEdit, QRect(40, 4, 100, 12), "http://x/"},
          {1003, DialogItemKind::kDefPushButton, QRect(145, 4, 25, 12), "&Go"},
          {1004, DialogItemKind::kCheckBox, QRect(8, 30, 80, 10), "Has &Header"},
          {1005, DialogItemKind::kList, QRect(8, 45, 180, 30), "", "Tables"},
          {1006, DialogItemKind::kCaptionBar, QRect(0, 85, 200, 11), "Caption"},
          {1007, DialogItemKind::kPlaceholder, QRect(0, 96, 200, 24), ""},
          {1008, DialogItemKind::kPushButton, QRect(170, 4, 25, 12), "A && B"},
          {1009, DialogItemKind::kComboBox, QRect(100, 30, 60, 80), "Comma"},
      }};
}

TEST(DialogTemplateTest, ControlsAreCreatedAtTheirRectanglesWithTheirIds) {
  QWidget parent;
  const DialogBaseUnits base{6, 13};
  const DialogTemplate tpl = SampleTemplate();
  const std::vector<QWidget*> made = CreateDialogControls(tpl, &parent, base);
  ASSERT_EQ(made.size(), tpl.items.size());
  for (size_t i = 0; i < made.size(); ++i) {
    const DialogItem& item = tpl.items[i];
    EXPECT_EQ(made[i]->parent(), &parent);
    if (item.kind != DialogItemKind::kComboBox) {
      EXPECT_EQ(made[i]->geometry(), MapDialogRect(item.rect, base)) << item.id;
    }
    EXPECT_EQ(made[i]->objectName(), QString("ctl%1").arg(item.id));
    EXPECT_EQ(made[i]->property(kControlIdProperty).toInt(), item.id);
    EXPECT_FALSE(made[i]->accessibleName().isEmpty()) << item.id;
  }
  EXPECT_EQ(FindControl<QGroupBox>(&parent, 1001)->title(), "Options");
  EXPECT_EQ(FindControl<QLineEdit>(&parent, 1002)->text(), "http://x/");
  EXPECT_TRUE(FindControl<QPushButton>(&parent, 1003)->isDefault());
  EXPECT_FALSE(FindControl<QPushButton>(&parent, 1008)->isDefault());
  EXPECT_NE(FindControl<QCheckBox>(&parent, 1004), nullptr);
  EXPECT_NE(FindControl<QFrame>(&parent, 1005), nullptr);
  EXPECT_EQ(FindControl<CCaptionBar>(&parent, 1006)->Text(), "Caption");
  EXPECT_NE(FindControl(&parent, 1007), nullptr);
  // The closed drop-down list keeps its place and width, not the height
  // its opened list reaches down to.
  auto* combo = FindControl<QComboBox>(&parent, 1009);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->currentText(), "Comma");
  const QRect full = MapDialogRect(QRect(100, 30, 60, 80), base);
  EXPECT_EQ(combo->geometry().topLeft(), full.topLeft());
  EXPECT_EQ(combo->width(), full.width());
  EXPECT_EQ(combo->height(), combo->sizeHint().height());
  // Wrong type or id: nothing.
  EXPECT_EQ(FindControl<QLineEdit>(&parent, 1003), nullptr);
  EXPECT_EQ(FindControl(&parent, 9999), nullptr);
}

TEST(DialogTemplateTest, ControlsAreNamedForAssistiveTechnology) {
  QWidget parent;
  CreateDialogControls(SampleTemplate(), &parent, DialogBaseUnits{6, 13});
  // The edit is named by its label, not by its content.
  EXPECT_EQ(FindControl(&parent, 1002)->accessibleName(), "Address");
  EXPECT_EQ(FindControl(&parent, 1003)->accessibleName(), "Go");
  EXPECT_EQ(FindControl(&parent, 1004)->accessibleName(), "Has Header");
  EXPECT_EQ(FindControl(&parent, 1005)->accessibleName(), "Tables");
  EXPECT_EQ(FindControl(&parent, 1008)->accessibleName(), "A & B");
  EXPECT_EQ(FindControl(&parent, 1007)->accessibleName(), "Control 1007");
  EXPECT_EQ(FindControl(&parent, 1009)->accessibleName(), "Control 1009");

  // The label's mnemonic moves focus to the edit after it.
  auto* label = FindControl<QLabel>(&parent, -1);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->buddy(), FindControl(&parent, 1002));
  EXPECT_EQ(label->text(), "&Address:");
}

TEST(DialogTemplateTest, GroupBoxStaysBehindTheControlsItFrames) {
  QWidget parent;
  DialogTemplate tpl = SampleTemplate();
  // Listed last, drawn first all the same.
  std::rotate(tpl.items.begin(), tpl.items.begin() + 1, tpl.items.end());
  CreateDialogControls(tpl, &parent, DialogBaseUnits{6, 13});
  const QWidget* box = FindControl(&parent, 1001);
  const QWidget* check = FindControl(&parent, 1004);
  ASSERT_TRUE(box->geometry().contains(check->geometry()));
  EXPECT_EQ(parent.childAt(check->geometry().center()), check);
}

TEST(DialogTemplateTest, StripMnemonicKeepsDoubledAmpersands) {
  EXPECT_EQ(StripMnemonic("&Go"), "Go");
  EXPECT_EQ(StripMnemonic("Fish && &Chips"), "Fish & Chips");
  EXPECT_EQ(StripMnemonic("Trailing&"), "Trailing");
  EXPECT_EQ(StripMnemonic(""), "");
}

class RecordingDialog : public CKsDialog {
 public:
  using CKsDialog::CKsDialog;
  bool OnCommand(int id) override {
    commands.push_back(id);
    return true;
  }
  std::vector<int> commands;
};

TEST(KsDialogTest, SizedToTheTemplateInItsOwnFont) {
  CKsDialog dialog(SampleTemplate());
  const DialogBaseUnits base = BaseUnitsOf(dialog.font());
  EXPECT_EQ(dialog.BaseUnits(), base);
  EXPECT_EQ(dialog.size(), MapDialogSize(QSize(200, 120), base));
  EXPECT_EQ(dialog.TemplateId(), 410);
  EXPECT_EQ(dialog.accessibleName(), "Sample");
  EXPECT_EQ(dialog.Controls().size(), 10u);
  EXPECT_EQ(dialog.Control(1002)->geometry(),
            dialog.MapDialogRect(QRect(40, 4, 100, 12)));
}

TEST(KsDialogTest, ButtonsAndCheckBoxesIssueTheirIds) {
  RecordingDialog dialog(SampleTemplate());
  QSignalSpy spy(&dialog, &CKsDialog::commandIssued);
  dialog.ControlAs<QPushButton>(1003)->click();
  dialog.ControlAs<QCheckBox>(1004)->click();
  // Programmatic state changes are not user commands.
  dialog.ControlAs<QCheckBox>(1004)->setChecked(false);
  EXPECT_EQ(dialog.commands, (std::vector<int>{1003, 1004}));
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 1003);
}

TEST(KsDialogTest, ItemTextReadsAndWritesByKind) {
  CKsDialog dialog(SampleTemplate());
  EXPECT_EQ(dialog.ItemText(1002), "http://x/");
  dialog.SetItemText(1002, "http://y/");
  EXPECT_EQ(dialog.ControlAs<QLineEdit>(1002)->text(), "http://y/");
  EXPECT_EQ(dialog.Control(1002)->accessibleName(), "Address");
  dialog.SetItemText(1004, "&Wrap");
  EXPECT_EQ(dialog.ItemText(1004), "&Wrap");
  EXPECT_EQ(dialog.Control(1004)->accessibleName(), "Wrap");
  dialog.SetItemText(1001, "Layout");
  EXPECT_EQ(dialog.ItemText(1001), "Layout");
  EXPECT_TRUE(dialog.ItemText(1005).isEmpty());
  dialog.SetItemText(4242, "nothing");  // no such control: no effect
}

TEST(KsDialogTest, BackgroundIsPaintedInTheSchemesColours) {
  CKsDialog dialog(DialogTemplate{1, "Empty", 100, 100, {}});
  CColourScheme scheme;
  scheme.DeriveFrom(0x339ADF, Rgb(200, 200, 200));
  dialog.SetColourScheme(scheme);
  const QImage image = dialog.grab().toImage();
  const QColor top = image.pixelColor(image.width() / 2, 0);
  const QColor bottom = image.pixelColor(image.width() / 2, image.height() - 1);
  // The top leans towards the scheme's warm tint, the bottom is the face.
  EXPECT_GT(top.red(), top.blue());
  EXPECT_NEAR(bottom.red(), 200, 3);
  EXPECT_NEAR(bottom.blue(), 200, 3);
  EXPECT_EQ(dialog.ColourScheme().Base(), 0x339ADFu);
}

class DialogFontTest : public ::testing::Test {
 protected:
  static constexpr std::string_view kKey = "Software\\Zandor Tech\\ZtControls";
  testing::TempDir dir_;
  platform::SettingsStore store_{dir_.File("registry.db")};
  QFont desktop_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
};

TEST_F(DialogFontTest, DesktopFontUnlessTheUserSetOne) {
  desktop_.setPointSize(10);
  EXPECT_EQ(DialogFont(store_, desktop_), desktop_);

  ASSERT_TRUE(store_.SetString(kKey, "FaceName", "No Such Face 12345"));
  ASSERT_TRUE(store_.SetDword(kKey, "FontHeight", 200));
  EXPECT_EQ(DialogFont(store_, desktop_), desktop_);

  ASSERT_TRUE(store_.SetString(kKey, "FaceName", "DejaVu Serif"));
  ASSERT_TRUE(store_.SetDword(kKey, "FontHeight", 12));
  ASSERT_TRUE(store_.SetDword(kKey, "FontItalic", 1));
  ASSERT_TRUE(store_.SetDword(kKey, "FontUnderline", 0x10000));  // low word 0
  const QFont font = DialogFont(store_, desktop_);
  if (QFontDatabase::hasFamily("DejaVu Serif")) {
    EXPECT_EQ(font.family(), "DejaVu Serif");
  }
  EXPECT_EQ(font.pointSize(), 12);
  EXPECT_TRUE(font.italic());
  EXPECT_FALSE(font.underline());
  EXPECT_FALSE(font.strikeOut());
}

}  // namespace
}  // namespace quarry
