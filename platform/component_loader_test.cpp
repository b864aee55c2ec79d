#include "platform/component_loader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/class_registry.h"
#include "platform/com_dispatch.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "platform/testing/test_component_ids.h"

namespace quarry::com {
namespace {

namespace ids = testing::component;

const std::string kModule = QUARRY_TEST_COMPONENT;

// Points the process (and so the module's registration) at a fresh store.
class ComponentLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZT_REGISTRY_FILE", dir_.File("registry.db").c_str(), 1); }
  void TearDown() override { unsetenv("ZT_REGISTRY_FILE"); }
  platform::SettingsStore Store() { return platform::SettingsStore(dir_.File("registry.db")); }

  testing::TempDir dir_;
};

TEST_F(ComponentLoaderTest, AModuleLoadsOnceAndAnswersItsExports) {
  std::string error;
  const LoadedModule* module = LoadModule(kModule, &error);
  ASSERT_NE(module, nullptr) << error;
  EXPECT_EQ(LoadModule(kModule, nullptr), module);
  double version = 0;
  EXPECT_EQ(module->version(&version), S_OK);
  EXPECT_EQ(version, 1.02);
  char* name = nullptr;
  EXPECT_EQ(module->nice_name(&name), S_OK);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "Test Counter");
  FreeString(name);
  // Null pointers are accepted and nothing is written.
  EXPECT_EQ(module->version(nullptr), S_OK);
  EXPECT_EQ(module->nice_name(nullptr), S_OK);
  EXPECT_EQ(module->can_unload_now(), S_OK);
}

TEST_F(ComponentLoaderTest, FilesThatAreNoModulesAreRefusedWithAReason) {
  testing::WriteFileBytes(dir_.File("fake.so"), "not an ELF file");
  struct Case {
    std::string path;
    int status;
  } cases[] = {
      {dir_.File("missing.so"), 3},
      {dir_.File("fake.so"), 3},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(LoadModule(c.path, &error), nullptr) << c.path;
    EXPECT_FALSE(error.empty()) << c.path;
    RegistrationOutcome outcome = RunRegistration(c.path, false);
    EXPECT_EQ(outcome.status, c.status) << c.path;
    EXPECT_NE(outcome.message.find(c.path), std::string::npos) << outcome.message;
  }
}

TEST_F(ComponentLoaderTest, RegisteredClassesAreCreatedByIdentifierAndUnregisteredOnesNot) {
  platform::SettingsStore store = Store();
  void* raw = nullptr;
  EXPECT_EQ(CreateInstance(store, ids::kClsidCounter, IID_IDispatch, &raw), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(raw, nullptr);

  RegistrationOutcome outcome = RunRegistration(kModule, false);
  ASSERT_EQ(outcome.status, 0) << outcome.message;
  EXPECT_EQ(InprocServerPath(store, ids::kClsidCounter), LoadModule(kModule, nullptr)->path);

  std::string error;
  ComPtr<IDispatch> counter;
  ASSERT_EQ(CreateInstanceByProgId(store, ids::kProgId, IID_IDispatch, counter.Receive(), &error),
            S_OK)
      << error;
  EXPECT_EQ(LoadModule(kModule, nullptr)->can_unload_now(), S_FALSE);
  EXPECT_EQ(PutPropertyByName(counter.get(), "value", Variant::String("40")), S_OK);
  Variant result;
  EXPECT_EQ(CallMethod(counter.get(), 2, std::vector<Variant>{Variant::Int(2)}, &result), S_OK);
  EXPECT_EQ(result, Variant::Int(42));
  EXPECT_EQ(PutProperty(counter.get(), 1, Variant::String("x")), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(CallMethod(counter.get(), 2), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(CallMethod(counter.get(), 7), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(PutPropertyByName(counter.get(), "Nope", Variant::Int(1)), DISP_E_UNKNOWNNAME);
  EXPECT_FALSE(counter.As<IClassFactory>(IID_IClassFactory));
  counter.Reset();
  EXPECT_EQ(LoadModule(kModule, nullptr)->can_unload_now(), S_OK);

  // Another class from the same module: the module says it has none.
  EXPECT_EQ(CreateInstanceFromModule(kModule, ids::kLibId, IID_IDispatch, &raw),
            CLASS_E_CLASSNOTAVAILABLE);

  outcome = RunRegistration(kModule, true);
  ASSERT_EQ(outcome.status, 0) << outcome.message;
  EXPECT_EQ(CreateInstance(store, ids::kClsidCounter, IID_IDispatch, &raw), REGDB_E_CLASSNOTREG);
  EXPECT_TRUE(store.SubKeys("Software\\Classes\\CLSID").empty());
  EXPECT_TRUE(store.SubKeys("Software\\Classes\\TypeLib").empty());
}

TEST_F(ComponentLoaderTest, AClassWhoseModuleIsGoneIsNotCreated) {
  platform::SettingsStore store = Store();
  ClassRegistration cls;
  cls.clsid = ids::kClsidCounter;
  cls.type_name = "Counter";
  cls.module_path = dir_.File("deleted.so");
  ASSERT_TRUE(RegisterClass(store, cls));
  void* raw = nullptr;
  std::string error;
  EXPECT_EQ(CreateInstance(store, ids::kClsidCounter, IID_IDispatch, &raw, &error),
            CO_E_DLLNOTFOUND);
  EXPECT_NE(error.find("deleted.so"), std::string::npos) << error;
}

}  // namespace
}  // namespace quarry::com
