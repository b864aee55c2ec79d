// The four modules as a host and the registration tool see them: loaded by
// path, their exports, their registration in a fresh store, and creation
// of their controls and property pages.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLineEdit>
#include <QWidget>

#include "controls/common/dispatch_ids.h"
#include "controls/testing/control_harness.h"
#include "platform/class_registry.h"
#include "platform/component_loader.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry::controls {
namespace {

struct Expected {
  const ModuleIdentity* module;
  double version;
  const char* nice_name;
  const char* misc_status;  // decimal, as registered
};

const Expected kExpected[] = {
    {&kButtonModule, 3.04, "Zt Button Ctrl", "135569"},
    {&kCheckModule, 2.04, "Zt Check Ctrl", "131473"},
    {&kGroupModule, 2.01, "Zt Group Ctrl", "197009"},
    {&kStaticModule, 4.02, "Zt Static Ctrl", "131473"},
};

// A fresh store for the registration, restored afterwards.
class FreshStore {
 public:
  FreshStore() {
    if (const char* old = getenv("ZT_REGISTRY_FILE")) saved_ = old;
    setenv("ZT_REGISTRY_FILE", dir_.File("registry.db").c_str(), 1);
  }
  ~FreshStore() { setenv("ZT_REGISTRY_FILE", saved_.c_str(), 1); }
  std::string Path() const { return dir_.File("registry.db"); }

 private:
  quarry::testing::TempDir dir_;
  std::string saved_;
};

TEST(ModuleExportsTest, VersionAndNiceNameAnswerAndAcceptNull) {
  for (const Expected& e : kExpected) {
    const std::string path = testing::ModulePath(*e.module);
    std::string error;
    const com::LoadedModule* module = com::LoadModule(path, &error);
    ASSERT_NE(module, nullptr) << error;
    ASSERT_NE(module->version, nullptr);
    ASSERT_NE(module->nice_name, nullptr);
    double version = 0;
    EXPECT_EQ(module->version(&version), com::S_OK);
    EXPECT_DOUBLE_EQ(version, e.version) << path;
    EXPECT_EQ(module->version(nullptr), com::S_OK);
    char* name = nullptr;
    EXPECT_EQ(module->nice_name(&name), com::S_OK);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, e.nice_name);
    com::FreeString(name);
    EXPECT_EQ(module->nice_name(nullptr), com::S_OK);
    EXPECT_NE(module->register_server, nullptr);
    EXPECT_NE(module->unregister_server, nullptr);
  }
}

TEST(ModuleExportsTest, RegistrationRoundTripsInAFreshStore) {
  for (const Expected& e : kExpected) {
    // A first control of the module opens the test's own store for the
    // module's settings, before the registration's store takes its place.
    testing::ControlOptions no_window;
    no_window.make_window = false;
    ASSERT_TRUE(testing::MakeControl(*e.module, nullptr, no_window));
    FreshStore fresh;
    const ModuleIdentity& id = *e.module;
    const std::string path = testing::ModulePath(id);
    com::RegistrationOutcome outcome = com::RunRegistration(path, false);
    ASSERT_EQ(outcome.status, 0) << outcome.message;

    platform::SettingsStore store(fresh.Path());
    const std::string key = com::ClassKey(id.ControlClsid());
    EXPECT_EQ(store.GetString(key, "", ""), id.control_type_name);
    EXPECT_EQ(com::InprocServerPath(store, id.ControlClsid()),
              com::LoadModule(path, nullptr)->path);
    EXPECT_EQ(store.GetString(key + "\\ProgID", "", ""), id.control_prog_id);
    EXPECT_EQ(store.GetString(key + "\\MiscStatus\\1", "", ""), e.misc_status);
    EXPECT_EQ(store.GetString(key + "\\Version", "", ""),
              std::to_string(id.major) + "." + std::to_string(id.minor));
    EXPECT_EQ(com::ClsidFromProgId(store, id.page_prog_id), id.PageClsid());
    EXPECT_TRUE(
        store.KeyExists("Software\\Classes\\Interface\\" + com::FormatGuid(id.EventsIid())));

    // Created by program identifier, as any host would.
    com::ComPtr<com::IControl> control;
    ASSERT_EQ(com::CreateInstanceByProgId(store, id.control_prog_id, com::IID_IControl,
                                          control.Receive()),
              com::S_OK);
    EXPECT_EQ(com::LoadModule(path, nullptr)->can_unload_now(), com::S_FALSE);
    control.Reset();

    outcome = com::RunRegistration(path, true);
    ASSERT_EQ(outcome.status, 0) << outcome.message;
    EXPECT_TRUE(store.SubKeys("Software\\Classes\\CLSID").empty()) << path;
    EXPECT_TRUE(store.SubKeys("Software\\Classes\\TypeLib").empty()) << path;
    EXPECT_TRUE(store.SubKeys("Software\\Classes\\Interface").empty()) << path;
    EXPECT_FALSE(
        store.KeyExists(std::string("Software\\Classes\\") + std::string(id.control_prog_id)));
  }
}

TEST(ModuleExportsTest, AStoreThatCannotBeWrittenFailsAtTheTypeLibrary) {
  FreshStore fresh;
  quarry::testing::WriteFileBytes(fresh.Path(), "not a settings store, and never one..........");
  const com::RegistrationOutcome outcome =
      com::RunRegistration(testing::ModulePath(kCheckModule), false);
  EXPECT_EQ(outcome.status, 5);
  EXPECT_EQ(outcome.result, com::SELFREG_E_TYPELIB);
}

TEST(ModuleExportsTest, ThePropertyPageEditsItsControlByName) {
  QWidget parent;
  struct Case {
    const ModuleIdentity* module;
    std::string caption_property;
  } cases[] = {{&kButtonModule, "Text"},
               {&kCheckModule, "Caption"},
               {&kGroupModule, "Caption"},
               {&kStaticModule, "Caption"}};
  for (const Case& c : cases) {
    std::unique_ptr<testing::TestControl> made =
        testing::MakeControl(*c.module, &parent, testing::Options(QRect(0, 0, 100, 30), "Before"));
    ASSERT_TRUE(made);
    com::ComPtr<com::IPropertyPage> page;
    ASSERT_EQ(com::CreateInstanceFromModule(testing::ModulePath(*c.module), c.module->PageClsid(),
                                            com::IID_IPropertyPage, page.Receive()),
              com::S_OK);
    EXPECT_EQ(page->Title(), "General");
    page->SetObject(made->control.get());
    QWidget* window = page->CreatePageWindow(&parent);
    ASSERT_NE(window, nullptr);
    QWidget* edit = window->findChild<QWidget*>("ctl201");
    ASSERT_NE(edit, nullptr);
    // The field shows the control's caption, and Apply writes it back.
    if (auto* line = qobject_cast<QLineEdit*>(edit)) {
      EXPECT_EQ(line->text(), "Before");
      line->setText("After");
    } else {
      edit->setProperty("plainText", "After");
    }
    EXPECT_EQ(page->Apply(), com::S_OK);
    EXPECT_EQ(made->Get(com::DISPID_CAPTION), com::Variant::String("After"));
    page->SetObject(nullptr);

    std::vector<com::Guid> pages;
    ASSERT_EQ(made->control->GetPages(&pages), com::S_OK);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_EQ(pages[0], c.module->PageClsid());
    EXPECT_EQ(pages.size(), c.module == &kCheckModule ? 3u : 4u);  // picture page
  }
}

TEST(ModuleExportsTest, TheCheckPagesValueIsTheCheckState) {
  QWidget parent;
  auto made = testing::MakeControl(kCheckModule, &parent);
  ASSERT_TRUE(made);
  EXPECT_EQ(com::PutPropertyByName(made->control.get(), "Value", com::Variant::Bool(true)),
            com::S_OK);
  EXPECT_EQ(made->Get(check_id::kCheck), com::Variant::Bool(true));
}

}  // namespace
}  // namespace quarry::controls
