#include "framework/ks_controls.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "framework/ks_dialog.h"

namespace quarry {
namespace {

const DialogTemplate& TestTemplate() {
  static const DialogTemplate tpl{
      409, QStringLiteral("Hosts"), 200, 100,
      {
          {1013, DialogItemKind::kPushButton, QRect(10, 10, 50, 14), QStringLiteral("Export")},
          {1017, DialogItemKind::kCheckBox, QRect(10, 30, 54, 10), QStringLiteral("Has Header")},
          {6180, DialogItemKind::kLabel, QRect(10, 50, 54, 8), QStringLiteral("Web Address:")},
          {6125, DialogItemKind::kGroupBox, QRect(5, 4, 190, 90), QStringLiteral("Options")},
      }};
  return tpl;
}

// A dialog that is also a window, so link labels find it on their own.
class MessageDialog : public CKsDialog, public platform::MessageWindow {
 public:
  MessageDialog() : CKsDialog(TestTemplate()) {}
  std::vector<std::pair<uintptr_t, std::string>> links;

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    if (message == platform::WM_LINK_CLICKED) {
      links.emplace_back(wparam, *reinterpret_cast<const std::string*>(lparam));
    }
    return 0;
  }
};

TEST(KsControlsTest, TemplateControlsAreDrivenThroughTheirHosts) {
  CKsDialog dlg(TestTemplate());
  QSignalSpy commands(&dlg, &CKsDialog::commandIssued);

  CKsButtonCtrl* button = CKsButtonCtrl::FromTemplate(&dlg, 1013);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(CKsButtonCtrl::FromTemplate(&dlg, 1013), button);
  EXPECT_EQ(CKsButtonCtrl::FromTemplate(&dlg, 1017), nullptr);  // not a button
  EXPECT_EQ(button->GetCaption(), QStringLiteral("Export"));
  QSignalSpy button_clicks(button, &CKsControlHost::clicked);
  button->Button()->click();
  ASSERT_EQ(button_clicks.count(), 1);
  EXPECT_EQ(button_clicks.at(0).at(0).toInt(), 1013);
  EXPECT_EQ(commands.count(), 1);  // the dialog still hears its own button
  button->SetEnabled(false);
  EXPECT_FALSE(button->IsEnabled());
  button->SetToolTip(QStringLiteral("Click to Parse the Web Page"));
  EXPECT_EQ(button->Widget()->accessibleDescription(),
            QStringLiteral("Click to Parse the Web Page"));
  button->SetCaption(QStringLiteral("&Go"));
  EXPECT_EQ(button->Widget()->accessibleName(), QStringLiteral("Go"));

  CKsCheckCtrl* check = CKsCheckCtrl::FromTemplate(&dlg, 1017);
  ASSERT_NE(check, nullptr);
  QSignalSpy check_clicks(check, &CKsControlHost::clicked);
  check->SetValue(5);
  EXPECT_EQ(check->GetValue(), 1);
  EXPECT_EQ(check_clicks.count(), 0);  // the program's own change
  check->CheckBox()->click();
  EXPECT_EQ(check->GetValue(), 0);
  EXPECT_EQ(check_clicks.count(), 1);

  CKsStaticCtrl* label = CKsStaticCtrl::FromTemplate(&dlg, 6180);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->GetCaption(), QStringLiteral("Web Address:"));
  CKsGroupCtrl* group = CKsGroupCtrl::FromTemplate(&dlg, 6125);
  ASSERT_NE(group, nullptr);
  group->SetCaption(QStringLiteral("Proxy"));
  EXPECT_EQ(dlg.ItemText(6125), QStringLiteral("Proxy"));
}

TEST(KsControlsTest, CreatedControlsAreNamedLikeTemplateOnes) {
  QWidget parent;
  CKsButtonCtrl* go = CKsButtonCtrl::Create(&parent, 1016, QRect(1, 2, 50, 20),
                                            QStringLiteral("Go"));
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(FindControl<QPushButton>(&parent, 1016), go->Button());
  EXPECT_EQ(go->GetGeometry(), QRect(1, 2, 50, 20));
  EXPECT_EQ(go->Widget()->accessibleName(), QStringLiteral("Go"));
  const DialogBaseUnits base{8, 16};
  CKsCheckCtrl* box = CKsCheckCtrl::Create(&parent, 1030, QRect(4, 8, 40, 8), base,
                                           QStringLiteral("Sort"));
  EXPECT_EQ(box->GetGeometry(), QRect(8, 16, 80, 16));
  EXPECT_EQ(CKsGroupCtrl::Create(nullptr, 1, QRect(), QString()), nullptr);

  // The host dies with its widget.
  QPointer<CKsButtonCtrl> host(go);
  delete go->Widget();
  EXPECT_TRUE(host.isNull());
}

TEST(KsControlsTest, LinkLabelPostsItsIdAndAKeptAddress) {
  MessageDialog dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  CKsStaticCtrl* label = CKsStaticCtrl::FromTemplate(&dlg, 6180);
  QSignalSpy links(label, &CKsStaticCtrl::linkClicked);

  // Not a link yet: a click does nothing.
  QTest::mouseClick(label->Label(), Qt::LeftButton);
  EXPECT_EQ(links.count(), 0);

  label->SetLink(QStringLiteral("http://example.invalid/help"));
  EXPECT_EQ(label->NotifyWindow(), dlg.Handle());
  EXPECT_EQ(label->Label()->focusPolicy(), Qt::StrongFocus);
  QTest::mouseClick(label->Label(), Qt::LeftButton);
  // The address changes before the message is handled, and the label goes:
  // the receiver still reads the address that was clicked.
  label->SetLink(QStringLiteral("http://example.invalid/other"));
  label->Label()->setFocus();
  QTest::keyClick(label->Label(), Qt::Key_Space);
  delete label->Widget();
  for (int i = 0; i < 50 && dlg.links.size() < 2; ++i) QTest::qWait(10);
  ASSERT_EQ(dlg.links.size(), 2u);
  EXPECT_EQ(dlg.links[0].first, 6180u);
  EXPECT_EQ(dlg.links[0].second, "http://example.invalid/help");
  EXPECT_EQ(dlg.links[1].second, "http://example.invalid/other");
  EXPECT_EQ(links.count(), 2);

  EXPECT_EQ(CKsStaticCtrl::KeptAddress("a"), CKsStaticCtrl::KeptAddress("a"));
}

}  // namespace
}  // namespace quarry
