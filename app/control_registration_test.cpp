#include "app/control_registration.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "controls/common/module_identity.h"
#include "platform/class_registry.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

class ControlRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("ZT_REGISTRY_FILE")) saved_ = old;
    setenv("ZT_REGISTRY_FILE", dir_.File("registry.db").c_str(), 1);
    folder_ = dir_.File("Kestrane");
    fs::create_directories(folder_);
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("ZT_REGISTRY_FILE");
    } else {
      setenv("ZT_REGISTRY_FILE", saved_.c_str(), 1);
    }
  }
  // Puts a built module into the shared components folder.
  void Install(const controls::ModuleIdentity& module) {
    const std::string name = std::string(module.module_name) + ".so";
    fs::copy_file(std::string(QUARRY_MODULE_DIR) + "/" + name, folder_ + "/" + name,
                  fs::copy_options::overwrite_existing);
  }

  testing::TempDir dir_;
  std::string folder_;
  std::string saved_;
};

TEST_F(ControlRegistrationTest, MissingRegistrationsAreMadeForInstalledModulesOnly) {
  Install(controls::kButtonModule);
  Install(controls::kStaticModule);
  platform::SettingsStore store(dir_.File("registry.db"));
  EXPECT_EQ(RegisterMissingControls(folder_, store),
            (std::vector<std::string>{"KsButton", "KsStatic"}));
  EXPECT_EQ(com::InprocServerPath(store, controls::kButtonModule.ControlClsid()),
            fs::canonical(folder_ + "/KsButton.so").string());
  EXPECT_FALSE(com::InprocServerPath(store, controls::kCheckModule.ControlClsid()));
  // Registered ones stay as they are.
  EXPECT_TRUE(RegisterMissingControls(folder_, store).empty());
}

TEST_F(ControlRegistrationTest, ARegistrationAtAFileThatIsGoneIsMadeAgain) {
  Install(controls::kGroupModule);
  platform::SettingsStore store(dir_.File("registry.db"));
  const std::string key = com::ClassKey(controls::kGroupModule.ControlClsid());
  ASSERT_TRUE(store.SetString(key + "\\InprocServer32", "", "/gone/KsGroup.so"));
  EXPECT_EQ(RegisterMissingControls(folder_, store), std::vector<std::string>{"KsGroup"});
  EXPECT_EQ(com::InprocServerPath(store, controls::kGroupModule.ControlClsid()),
            fs::canonical(folder_ + "/KsGroup.so").string());
  EXPECT_TRUE(RegisterMissingControls(dir_.File("nowhere"), store).empty());
}

}  // namespace
}  // namespace quarry
