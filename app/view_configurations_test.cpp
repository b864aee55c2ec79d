#include "app/view_configurations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"
#include "framework/ks_controls.h"
#include "framework/spin_ctrl_ext.h"
#include "platform/component_loader.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

using V = CViewConfigurations;

const QString kPortMessage =
    QStringLiteral("Please enter a valid\nProxy Port value between\n1 and 9999999");
const QString kRestartMessage =
    QStringLiteral("Restart Quarry to\nUpdate Favorites Display Mode");

bool WaitFor(const std::function<bool()>& done, int limit_ms = 3000) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

// A view over a store of its own, with the messages it shows recorded.
class ConfigurationsTest : public ::testing::Test {
 protected:
  ConfigurationsTest() { settings_.Load(); }

  // Makes and initialises the view from what the store then holds.
  V& Open() {
    view_ = std::make_unique<V>();
    view_->SetMessageShower([this](QWidget*, const QString& text, QMessageBox::Icon) {
      messages_.push_back(text);
    });
    view_->Init(nullptr, nullptr, &settings_);
    view_->show();
    return *view_;
  }

  template <typename T>
  T* Ctl(int id) {
    return view_->ControlAs<T>(id);
  }
  QCheckBox* Box(int id) { return Ctl<QCheckBox>(id); }
  QPushButton* Button(int id) { return Ctl<QPushButton>(id); }
  QLineEdit* Edit(int id) { return Ctl<QLineEdit>(id); }
  QComboBox* Mode() { return Ctl<QComboBox>(V::kIdDisplayMode); }
  CSpinCtrlExt* Spin() { return Ctl<CSpinCtrlExt>(V::kIdInterval); }

  // Replaces the box's text as typing would.
  void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }

  uint32_t Stored(const char* key, const char* name) {
    return store_.GetDword(key, name, 0xDEADBEEF);
  }

  // Stores values that differ from every default.
  void StoreUnusualValues() {
    settings_.SetSortFavorites(1);
    settings_.SetUseTrayIcon(0);
    settings_.SetAutoUpdate(0);
    settings_.SetAutoUpdateInterval(40);
    settings_.SetFavoritesFillMode(2);
    settings_.SetUseProxy(1);
    settings_.SetProxyPort(8080);
    settings_.SetProxyServer("proxy.lan");
  }

  testing::TempDir dir_;
  platform::SettingsStore store_{dir_.File("registry.sqlite")};
  CAppSettings settings_{store_};
  std::unique_ptr<V> view_;
  std::vector<QString> messages_;
};

TEST_F(ConfigurationsTest, LoadsEveryControlFromTheStoreUnchanged) {
  StoreUnusualValues();
  V& view = Open();
  EXPECT_TRUE(Box(V::kIdSort)->isChecked());
  EXPECT_FALSE(Box(V::kIdHide)->isChecked());
  EXPECT_FALSE(Box(V::kIdUpdate)->isChecked());
  EXPECT_TRUE(Box(V::kIdProxy)->isChecked());
  EXPECT_EQ(Mode()->currentText(), QStringLiteral("Both"));
  // Outside 5..30, yet shown as stored.
  EXPECT_EQ(Spin()->Text(), QStringLiteral("40"));
  EXPECT_EQ(Edit(V::kIdAddress)->text(), QStringLiteral("proxy.lan"));
  EXPECT_EQ(Edit(V::kIdPort)->text(), QStringLiteral("8080"));
  EXPECT_FALSE(view.IsChanged());
  EXPECT_FALSE(Button(V::kIdApply)->isEnabled());
  EXPECT_FALSE(Button(V::kIdCancel)->isEnabled());
  EXPECT_TRUE(Button(V::kIdDefault)->isEnabled());
  EXPECT_TRUE(view.Init(nullptr, nullptr, &settings_));  // once only
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ConfigurationsTest, PortLimits) {
  settings_.SetUseProxy(1);
  settings_.SetProxyPort(8080);
  V& view = Open();
  QLineEdit* port = Edit(V::kIdPort);

  for (const QString& bad : {QStringLiteral("0"), QString(), QStringLiteral("10000000"),
                             QStringLiteral("99999999999999999999999")}) {
    SCOPED_TRACE(bad.toStdString());
    messages_.clear();
    Type(port, bad);
    Type(Edit(V::kIdAddress), QStringLiteral("other.lan"));
    EXPECT_FALSE(view.Apply());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], kPortMessage);
    // Nothing written, entries kept, still changed, focus in the port box.
    EXPECT_EQ(Stored(kOnlineKey, "ProxyPort"), 8080u);
    EXPECT_EQ(store_.GetString(kOnlineKey, "ProxyServer", "unset"), "unset");
    EXPECT_EQ(port->text(), bad);
    EXPECT_TRUE(view.IsChanged());
    EXPECT_TRUE(Button(V::kIdApply)->isEnabled());
    EXPECT_EQ(view.window()->focusWidget(), port);
  }

  messages_.clear();
  Type(port, QStringLiteral("9999999"));
  EXPECT_TRUE(view.Apply());
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Stored(kOnlineKey, "ProxyPort"), 9999999u);
  EXPECT_FALSE(view.IsChanged());

  // Digits only.
  Type(port, QStringLiteral("8a0-8"));
  EXPECT_EQ(port->text(), QStringLiteral("808"));
}

TEST_F(ConfigurationsTest, ApplyWithoutProxyStillValidatesThePort) {
  settings_.SetUseProxy(0);
  settings_.SetProxyPort(0);
  V& view = Open();
  EXPECT_FALSE(Edit(V::kIdPort)->isEnabled());
  Box(V::kIdSort)->click();
  EXPECT_FALSE(view.Apply());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], kPortMessage);
  EXPECT_EQ(Stored(kSettingsKey, "SortFavorites"), 0xDEADBEEFu);
}

TEST_F(ConfigurationsTest, SpinStaysInsideItsRangeWhenStepped) {
  V& view = Open();
  CSpinCtrlExt* spin = Spin();
  EXPECT_EQ(spin->Text(), QStringLiteral("15"));
  spin->stepBy(1);
  EXPECT_EQ(spin->GetValue(), 16);
  ASSERT_TRUE(WaitFor([&] { return view.IsChanged(); }));
  spin->stepBy(100);
  EXPECT_EQ(spin->GetValue(), 30);
  spin->stepBy(-100);
  EXPECT_EQ(spin->GetValue(), 5);
  ASSERT_TRUE(view.Apply());
  EXPECT_EQ(Stored(kSettingsKey, "AutoUpdateInterval"), 5u);
}

TEST_F(ConfigurationsTest, OutOfRangeIntervalIsKeptUnlessStepped) {
  settings_.SetAutoUpdateInterval(2);
  V& view = Open();
  EXPECT_EQ(Spin()->Text(), QStringLiteral("2"));
  Box(V::kIdSort)->click();
  ASSERT_TRUE(view.Apply());
  EXPECT_EQ(Stored(kSettingsKey, "AutoUpdateInterval"), 2u);
  Spin()->stepBy(1);
  EXPECT_GE(Spin()->GetValue(), V::kIntervalLower);
  EXPECT_LE(Spin()->GetValue(), V::kIntervalUpper);
}

TEST_F(ConfigurationsTest, DefaultThenCancelRestoresEveryControl) {
  StoreUnusualValues();
  V& view = Open();
  view.Default();
  EXPECT_FALSE(Box(V::kIdSort)->isChecked());
  EXPECT_EQ(Spin()->GetValue(), 15);
  EXPECT_EQ(Mode()->currentText(), QStringLiteral("Tree"));
  EXPECT_TRUE(Box(V::kIdUpdate)->isChecked());
  // Hide and the proxy fields keep their values.
  EXPECT_FALSE(Box(V::kIdHide)->isChecked());
  EXPECT_TRUE(Box(V::kIdProxy)->isChecked());
  EXPECT_EQ(Edit(V::kIdPort)->text(), QStringLiteral("8080"));
  EXPECT_TRUE(view.IsChanged());
  EXPECT_TRUE(Button(V::kIdApply)->isEnabled());
  EXPECT_TRUE(Button(V::kIdCancel)->isEnabled());
  // Nothing written yet.
  EXPECT_EQ(Stored(kSettingsKey, "AutoUpdate"), 0u);

  // Also the fields Default leaves alone.
  Box(V::kIdHide)->click();
  Box(V::kIdProxy)->click();
  Type(Edit(V::kIdAddress), QStringLiteral("elsewhere"));

  Button(V::kIdCancel)->click();
  EXPECT_TRUE(Box(V::kIdSort)->isChecked());
  EXPECT_FALSE(Box(V::kIdHide)->isChecked());
  EXPECT_FALSE(Box(V::kIdUpdate)->isChecked());
  EXPECT_TRUE(Box(V::kIdProxy)->isChecked());
  EXPECT_TRUE(Edit(V::kIdAddress)->isEnabled());
  EXPECT_EQ(Mode()->currentText(), QStringLiteral("Both"));
  EXPECT_EQ(Spin()->Text(), QStringLiteral("40"));
  EXPECT_EQ(Edit(V::kIdAddress)->text(), QStringLiteral("proxy.lan"));
  EXPECT_EQ(Edit(V::kIdPort)->text(), QStringLiteral("8080"));
  EXPECT_FALSE(view.IsChanged());
  EXPECT_FALSE(Button(V::kIdApply)->isEnabled());
  EXPECT_FALSE(Button(V::kIdCancel)->isEnabled());
  EXPECT_EQ(Stored(kSettingsKey, "AutoUpdate"), 0u);
  EXPECT_EQ(Stored(kSettingsKey, "FavoritesFillMode"), 2u);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ConfigurationsTest, RestartMessageOnlyWhenDisplayModeChanged) {
  V& view = Open();
  Box(V::kIdSort)->click();
  ASSERT_TRUE(view.Apply());
  EXPECT_TRUE(messages_.empty());

  // The user picks "Both" (from "Tree").
  QTest::keyClick(Mode(), Qt::Key_Down);
  EXPECT_EQ(Mode()->currentIndex(), 2);
  EXPECT_TRUE(view.IsChanged());
  Button(V::kIdApply)->click();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], kRestartMessage);
  EXPECT_EQ(Stored(kSettingsKey, "FavoritesFillMode"), 2u);
  EXPECT_EQ(settings_.GetFavoritesFillMode(), 2u);
}

TEST_F(ConfigurationsTest, UnknownStoredDisplayModeIsNotOverwritten) {
  settings_.SetFavoritesFillMode(7);
  V& view = Open();
  EXPECT_EQ(Mode()->currentIndex(), -1);
  Box(V::kIdSort)->click();
  ASSERT_TRUE(view.Apply());
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Stored(kSettingsKey, "FavoritesFillMode"), 7u);
}

TEST_F(ConfigurationsTest, ApplyWritesEverySettingThrough) {
  V& view = Open();
  Box(V::kIdSort)->click();
  Box(V::kIdHide)->click();
  Box(V::kIdUpdate)->click();
  Box(V::kIdProxy)->click();
  Spin()->stepBy(3);
  Type(Edit(V::kIdAddress), QStringLiteral("cache.example.lan"));
  Type(Edit(V::kIdPort), QStringLiteral("3128"));
  QTest::keyClick(Mode(), Qt::Key_Up);
  ASSERT_TRUE(view.Apply());

  // A second settings object reads the store afresh.
  CAppSettings fresh(store_);
  fresh.Load();
  EXPECT_EQ(fresh.GetSortFavorites(), 1u);
  EXPECT_EQ(fresh.GetUseTrayIcon(), 0u);
  EXPECT_EQ(fresh.GetAutoUpdate(), 0u);
  EXPECT_EQ(fresh.GetAutoUpdateInterval(), 18u);
  EXPECT_EQ(fresh.GetFavoritesFillMode(), 0u);
  EXPECT_EQ(fresh.GetUseProxy(), 1u);
  EXPECT_EQ(fresh.GetProxyPort(), 3128u);
  EXPECT_EQ(fresh.GetProxyServer(), "cache.example.lan");
  EXPECT_EQ(messages_, std::vector<QString>{kRestartMessage});
  fresh.Stop();
}

TEST_F(ConfigurationsTest, ButtonsFollowTheChangedFlag) {
  V& view = Open();
  auto enabled = [&] {
    EXPECT_EQ(Button(V::kIdApply)->isEnabled(), view.IsChanged());
    EXPECT_EQ(Button(V::kIdCancel)->isEnabled(), view.IsChanged());
    return view.IsChanged();
  };
  EXPECT_FALSE(enabled());
  for (int id : {V::kIdSort, V::kIdHide, V::kIdUpdate, V::kIdProxy}) {
    Box(id)->click();
    EXPECT_TRUE(enabled()) << id;
    Button(V::kIdCancel)->click();
    EXPECT_FALSE(enabled()) << id;
  }
  Box(V::kIdProxy)->click();
  Button(V::kIdApply)->click();
  EXPECT_FALSE(enabled());
  for (int id : {V::kIdAddress, V::kIdPort}) {
    QTest::keyClicks(Edit(id), QStringLiteral("1"));
    EXPECT_TRUE(enabled()) << id;
    Button(V::kIdCancel)->click();
    EXPECT_FALSE(enabled()) << id;
  }
  Button(V::kIdDefault)->click();
  EXPECT_TRUE(enabled());
}

TEST_F(ConfigurationsTest, ProxyBoxEnablesItsFields) {
  Open();
  auto fields = [&] {
    return std::vector<bool>{Edit(V::kIdAddress)->isEnabled(),
                             Edit(V::kIdPort)->isEnabled(),
                             Ctl<QLabel>(V::kIdAddressLabel)->isEnabled(),
                             Ctl<QLabel>(V::kIdPortLabel)->isEnabled()};
  };
  EXPECT_EQ(fields(), std::vector<bool>(4, false));
  Box(V::kIdProxy)->click();
  EXPECT_EQ(fields(), std::vector<bool>(4, true));
  Box(V::kIdProxy)->click();
  EXPECT_EQ(fields(), std::vector<bool>(4, false));
}

TEST_F(ConfigurationsTest, EveryControlIsNamedAndTheMainOnesExplained) {
  Open();
  for (QWidget* w : view_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->property("controlId").isNull()) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
  for (int id : {V::kIdGroup, V::kIdModeLabel, V::kIdSort, V::kIdHide, V::kIdUpdate,
                 V::kIdDaysLabel, V::kIdProxy, V::kIdAddressLabel, V::kIdPortLabel,
                 V::kIdDefault, V::kIdCancel, V::kIdApply}) {
    EXPECT_FALSE(view_->Control(id)->toolTip().isEmpty()) << id;
  }
  EXPECT_EQ(Mode()->accessibleName(), QStringLiteral("Favorites Display Mode"));
}

// The same view with the control modules registered, as an installed
// Quarry builds it.
class ConfigurationsWithModulesTest : public ConfigurationsTest {
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
  }
  CKsControlHost* Host(int id) { return HostOf(view_->Control(id)); }
};

TEST_F(ConfigurationsWithModulesTest, TheModulesControlsWorkAsTheStandardOnes) {
  StoreUnusualValues();
  V& view = Open();
  for (int id : {V::kIdGroup, V::kIdModeLabel, V::kIdSort, V::kIdHide, V::kIdUpdate,
                 V::kIdDaysLabel, V::kIdRuleLeft, V::kIdProxy, V::kIdAddressLabel,
                 V::kIdDefault, V::kIdCancel, V::kIdApply}) {
    ASSERT_NE(Host(id), nullptr) << id;
    EXPECT_TRUE(Host(id)->IsModuleControl()) << id;
  }
  // Loaded from the store like the standard boxes.
  EXPECT_TRUE(Box(V::kIdSort)->isChecked());
  EXPECT_FALSE(Box(V::kIdHide)->isChecked());
  EXPECT_EQ(static_cast<CKsCheckCtrl*>(Host(V::kIdProxy))->GetValue(), 1);
  EXPECT_TRUE(Host(V::kIdAddressLabel)->IsEnabled());
  EXPECT_EQ(Host(V::kIdRuleLeft)->GetProperty(controls::static_id::kLine),
            com::Variant::Bool(true));

  // A click changes the settings' view, Cancel undoes it, the proxy box
  // switches its fields.
  EXPECT_FALSE(Button(V::kIdApply)->isEnabled());
  Box(V::kIdHide)->click();
  EXPECT_TRUE(view.IsChanged());
  EXPECT_TRUE(Button(V::kIdApply)->isEnabled());
  Button(V::kIdCancel)->click();
  EXPECT_FALSE(view.IsChanged());
  EXPECT_FALSE(Box(V::kIdHide)->isChecked());
  Box(V::kIdProxy)->click();
  EXPECT_FALSE(Host(V::kIdAddressLabel)->IsEnabled());
  EXPECT_FALSE(Edit(V::kIdAddress)->isEnabled());
  Button(V::kIdApply)->click();
  EXPECT_EQ(Stored(kOnlineKey, "UseProxy"), 0u);
}

TEST_F(ConfigurationsTest, ParseReadsIsStoredOnApplyAndKeptOnCancel) {
  V& view = Open();
  QComboBox* reads = Ctl<QComboBox>(V::kIdParseReads);
  ASSERT_NE(reads, nullptr);
  EXPECT_EQ(reads->currentText(), QStringLiteral("the address again (as downloaded)"));
  EXPECT_FALSE(reads->toolTip().isEmpty());

  // Chosen and cancelled: nothing stored, the control back as it was.
  QTest::keyClick(reads, Qt::Key_Down);
  EXPECT_EQ(reads->currentText(), QStringLiteral("the page as shown"));
  EXPECT_TRUE(view.IsChanged());
  view.Cancel();
  EXPECT_EQ(reads->currentIndex(), 0);
  EXPECT_EQ(Stored("Software\\Zandor Tech\\Quarry\\Settings", "ParsePageAsShown"), 0xDEADBEEFu);

  QTest::keyClick(reads, Qt::Key_Down);
  ASSERT_TRUE(view.Apply());
  EXPECT_EQ(Stored("Software\\Zandor Tech\\Quarry\\Settings", "ParsePageAsShown"), 1u);
  EXPECT_EQ(settings_.GetParsePageAsShown(), 1u);

  // Any non-zero stored value reads as "the page as shown".
  store_.SetDword("Software\\Zandor Tech\\Quarry\\Settings", "ParsePageAsShown", 7);
  settings_.Load();
  view.Cancel();
  EXPECT_EQ(reads->currentIndex(), 1);
  QTest::keyClick(reads, Qt::Key_Up);
  ASSERT_TRUE(view.Apply());
  EXPECT_EQ(Stored("Software\\Zandor Tech\\Quarry\\Settings", "ParsePageAsShown"), 0u);
}

}  // namespace
}  // namespace quarry
