// The hosts with the control modules registered: what the programs'
// dialogs get on a machine where Quarry is installed.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

#include "controls/common/appearance_settings.h"
#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"
#include "framework/colour/scheme_settings.h"
#include "framework/ks_controls.h"
#include "framework/ks_dialog.h"
#include "platform/class_registry.h"
#include "platform/component_loader.h"
#include "platform/settings_store.h"

namespace quarry {
namespace {

using com::Variant;

const DialogTemplate& Template() {
  static const DialogTemplate tpl{
      411,
      QStringLiteral("Modules"),
      220,
      120,
      {
          {1001, DialogItemKind::kGroupBox, QRect(4, 4, 212, 90), QStringLiteral("Proxy")},
          {-1, DialogItemKind::kLabel, QRect(10, 20, 40, 8), QStringLiteral("&Address:")},
          {1002, DialogItemKind::kEdit, QRect(52, 18, 100, 12), QString()},
          {1003, DialogItemKind::kCheckBox, QRect(10, 40, 100, 10), QStringLiteral("Use it")},
          {1004, DialogItemKind::kDefPushButton, QRect(110, 100, 50, 14), QStringLiteral("OK")},
          {1005, DialogItemKind::kPushButton, QRect(164, 100, 50, 14), QStringLiteral("Cancel")},
      }};
  return tpl;
}

// A dialog that is also a window, so link labels find it on their own.
class MessageDialog : public CKsDialog, public platform::MessageWindow {
 public:
  MessageDialog() : CKsDialog(Template()) {}
  std::vector<std::pair<uintptr_t, std::string>> links;

 protected:
  intptr_t WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
    if (message == platform::WM_LINK_CLICKED) {
      links.emplace_back(wparam, *reinterpret_cast<const std::string*>(lparam));
    }
    return 0;
  }
};

class KsControlsModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const controls::ModuleIdentity* module : controls::kAllModules) {
      const com::RegistrationOutcome outcome =
          com::RunRegistration(controls::testing::ModulePath(*module), false);
      ASSERT_EQ(outcome.status, 0) << outcome.message;
    }
  }
  void TearDown() override {
    for (const controls::ModuleIdentity* module : controls::kAllModules) {
      com::RunRegistration(controls::testing::ModulePath(*module), true);
    }
    store().DeleteKey(appearance::kKey);
  }
  platform::SettingsStore& store() { return platform::SettingsStore::User(); }
};

TEST_F(KsControlsModuleTest, HostsDriveTheModulesControlsByDispatchId) {
  QWidget parent;
  CKsButtonCtrl* go = CKsButtonCtrl::Create(&parent, 1016, QRect(1, 2, 10, 10), "&Go");
  ASSERT_NE(go, nullptr);
  ASSERT_TRUE(go->IsModuleControl());
  ASSERT_NE(go->Button(), nullptr);  // the module's button is a push button
  EXPECT_EQ(FindControl<QPushButton>(&parent, 1016), go->Button());
  EXPECT_EQ(go->GetGeometry(), QRect(1, 2, 37, 17));  // the button's minimum size
  EXPECT_EQ(go->GetCaption(), "&Go");
  EXPECT_EQ(go->Widget()->accessibleName(), "Go");
  EXPECT_EQ(go->GetProperty(controls::button_id::kStyle), Variant::Int(0));
  EXPECT_TRUE(go->SetProperty(controls::button_id::kStyle, Variant::Int(9)));
  EXPECT_EQ(go->GetProperty(controls::button_id::kStyle), Variant::Int(4));
  EXPECT_FALSE(go->SetProperty(controls::button_id::kStyle, Variant::String("x")));

  QSignalSpy clicks(go, &CKsControlHost::clicked);
  go->Button()->click();
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks.at(0).at(0).toInt(), 1016);
  go->SetEnabled(false);
  EXPECT_FALSE(go->IsEnabled());
  EXPECT_FALSE(go->Widget()->isEnabled());
  go->ShowWindow(false);
  EXPECT_FALSE(go->Widget()->isVisibleTo(&parent));

  CKsCheckCtrl* box = CKsCheckCtrl::Create(&parent, 1030, QRect(4, 30, 80, 16), "Sort");
  ASSERT_TRUE(box->IsModuleControl());
  QSignalSpy box_clicks(box, &CKsControlHost::clicked);
  box->SetValue(5);
  EXPECT_EQ(box->GetValue(), 1);
  EXPECT_EQ(box_clicks.count(), 0);
  box->CheckBox()->click();
  EXPECT_EQ(box->GetValue(), 0);
  EXPECT_EQ(box_clicks.count(), 1);

  CKsGroupCtrl* group = CKsGroupCtrl::Create(&parent, 1040, QRect(0, 0, 100, 60), "Frame");
  ASSERT_TRUE(group->IsModuleControl());
  EXPECT_EQ(group->GroupBox(), nullptr);
  EXPECT_EQ(group->GetCaption(), "Frame");

  // The host dies with its widget, and the control with both.
  QPointer<CKsButtonCtrl> host(go);
  delete go->Widget();
  EXPECT_TRUE(host.isNull());
  EXPECT_EQ(com::LoadModule(controls::testing::ModulePath(controls::kButtonModule), nullptr)
                ->can_unload_now(),
            com::S_OK);
}

TEST_F(KsControlsModuleTest, ALinkLabelOpensItsAddressAndPostsAKeptCopy) {
  controls::testing::OpenerStub opener;
  MessageDialog dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  CKsStaticCtrl* label = CKsStaticCtrl::Create(&dlg, 6180, QRect(10, 10, 120, 16), "Help");
  ASSERT_TRUE(label->IsModuleControl());
  EXPECT_TRUE(label->OpensLinksItself());
  EXPECT_EQ(label->Label(), nullptr);
  QSignalSpy links(label, &CKsStaticCtrl::linkClicked);

  label->SetLink("mailto:help@example.invalid");
  QTest::mouseClick(label->Widget(), Qt::LeftButton);
  label->SetLink("mailto:other@example.invalid");
  for (int i = 0; i < 200 && dlg.links.empty(); ++i) QTest::qWait(10);
  ASSERT_EQ(dlg.links.size(), 1u);
  EXPECT_EQ(dlg.links[0].first, 6180u);
  EXPECT_EQ(dlg.links[0].second, "mailto:help@example.invalid");
  ASSERT_EQ(links.count(), 1);
  EXPECT_TRUE(opener.WaitFor(1));
  EXPECT_EQ(opener.Opened(), "mailto:help@example.invalid\n");
  label->SetLink(QString());
  QTest::mouseClick(label->Widget(), Qt::LeftButton);
  EXPECT_EQ(links.count(), 1);
}

TEST_F(KsControlsModuleTest, DialogsBuildTheirTemplatesFromTheModulesAndDressThem) {
  ASSERT_TRUE(store().SetDword(appearance::kKey, controls::kButtonStyle, 2000));
  ASSERT_TRUE(store().SetDword(appearance::kKey, controls::kButtonType, 3));
  ASSERT_TRUE(store().SetDword(appearance::kKey, controls::kGroupStyle, 2));
  ASSERT_TRUE(store().SetDword(appearance::kKey, controls::kButtonSides, 1));
  CKsDialog dialog(Template());
  CColourScheme scheme;
  scheme.DeriveFrom(0x339ADF, 0xF0F0F0);
  dialog.SetColourScheme(scheme);
  QSignalSpy commands(&dialog, &CKsDialog::commandIssued);

  CKsButtonCtrl* ok = CKsButtonCtrl::FromTemplate(&dialog, 1004);
  ASSERT_NE(ok, nullptr);
  ASSERT_TRUE(ok->IsModuleControl());
  EXPECT_TRUE(ok->Button()->isDefault());
  EXPECT_EQ(ok->GetProperty(controls::button_id::kDefaultButton), Variant::Bool(true));
  EXPECT_EQ(ok->GetProperty(controls::button_id::kColorBtnFace), Variant::Colour(0x339ADF));
  EXPECT_EQ(ok->GetProperty(controls::button_id::kStyle), Variant::Int(3));  // "ButtonType"
  EXPECT_EQ(ok->GetProperty(controls::button_id::kButtonSides), Variant::Int(1));
  EXPECT_EQ(ok->GetProperty(com::DISPID_BACKCOLOR), Variant::Colour(scheme.Face()));
  EXPECT_EQ(CKsButtonCtrl::FromTemplate(&dialog, 1003), nullptr);  // a check box
  ok->Button()->click();
  ASSERT_EQ(commands.count(), 1);
  EXPECT_EQ(commands.at(0).at(0).toInt(), 1004);

  CKsCheckCtrl* check = CKsCheckCtrl::FromTemplate(&dialog, 1003);
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->GetProperty(controls::check_id::kColorCheckFace), Variant::Colour(0x339ADF));
  check->CheckBox()->click();
  EXPECT_EQ(commands.count(), 2);

  CKsGroupCtrl* group = CKsGroupCtrl::FromTemplate(&dialog, 1001);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->GetProperty(controls::group_id::kGroupStyle), Variant::Int(2));
  EXPECT_EQ(group->GetProperty(controls::group_id::kColorBorder), Variant::Colour(scheme.Dark1()));
  dialog.SetItemText(1001, "Server");
  EXPECT_EQ(dialog.ItemText(1001), "Server");
  EXPECT_EQ(group->Widget()->accessibleName(), "Server");

  // The label's mnemonic moves the focus to the edit after it.
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QShortcut* shortcut = nullptr;
  for (QShortcut* s : dialog.findChildren<QShortcut*>()) {
    if (s->key() == QKeySequence(Qt::ALT | Qt::Key_A)) shortcut = s;
  }
  ASSERT_NE(shortcut, nullptr);
  emit shortcut->activated();
  EXPECT_EQ(QApplication::focusWidget(), dialog.Control(1002));

  // A changed style reaches the controls when the desktop's colours change.
  ASSERT_TRUE(store().SetDword(appearance::kKey, controls::kButtonStyle, 1));
  QEvent change(QEvent::PaletteChange);
  QApplication::sendEvent(&dialog, &change);
  EXPECT_EQ(ok->GetProperty(controls::button_id::kStyle), Variant::Int(1));
}

TEST_F(KsControlsModuleTest, AModuleThatCannotBeLoadedLeavesAStandardWidget) {
  const std::string key = com::ClassKey(controls::kButtonModule.ControlClsid());
  ASSERT_TRUE(store().SetString(key + "\\InprocServer32", "", "/nonexistent/KsButton.so"));
  QWidget parent;
  CKsButtonCtrl* button = CKsButtonCtrl::Create(&parent, 1, QRect(0, 0, 10, 10), "Still here");
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(button->IsModuleControl());
  ASSERT_NE(button->Button(), nullptr);
  EXPECT_EQ(button->Button()->text(), "Still here");
  EXPECT_EQ(button->GetGeometry(), QRect(0, 0, 10, 10));
  EXPECT_FALSE(button->SetProperty(controls::button_id::kStyle, Variant::Int(1)));
  EXPECT_EQ(button->GetProperty(controls::button_id::kStyle), std::nullopt);
}

}  // namespace
}  // namespace quarry
