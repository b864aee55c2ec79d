#include "platform/class_registry.h"

#include <gtest/gtest.h>

#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry::com {
namespace {

constexpr Guid kLib{0x58D20EC1, 0x0FA7, 0x488F, {0xB5, 0x20, 0xAE, 0xB4, 0xB6, 0x10, 0x5A, 0xED}};

class ClassRegistryTest : public ::testing::Test {
 protected:
  TypeLibRegistration Library() const {
    return {kLib,
            2,
            1,
            "KSGROUPLib",
            "/opt/x/KsGroup.so",
            {{kLib.Offset(1), "_DKsGroup"}, {kLib.Offset(2), "_DKsGroupEvents"}}};
  }
  ClassRegistration Control() const {
    ClassRegistration cls;
    cls.clsid = kLib.Offset(3);
    cls.type_name = "KsGroup Control";
    cls.prog_id = "KSGROUP.KsGroupCtrl.1";
    cls.module_path = "/opt/x/KsGroup.so";
    cls.control = true;
    cls.misc_status = 0x30191;
    cls.type_lib = kLib;
    cls.type_lib_major = 2;
    cls.type_lib_minor = 1;
    return cls;
  }

  testing::TempDir dir_;
  platform::SettingsStore store_{dir_.File("registry.db")};
};

TEST_F(ClassRegistryTest, RegistrationWritesTheClassKeysAndFindsTheModule) {
  ASSERT_TRUE(RegisterTypeLib(store_, Library()));
  ASSERT_TRUE(RegisterClass(store_, Control()));
  const std::string key = "Software\\Classes\\CLSID\\{58D20EC4-0FA7-488F-B520-AEB4B6105AED}";
  EXPECT_EQ(store_.GetString(key, "", ""), "KsGroup Control");
  EXPECT_EQ(store_.GetString(key + "\\InprocServer32", "ThreadingModel", ""), "Apartment");
  EXPECT_EQ(store_.GetString(key + "\\MiscStatus\\1", "", ""), "197009");
  EXPECT_EQ(store_.GetString(key + "\\Version", "", ""), "2.1");
  EXPECT_TRUE(store_.KeyExists(key + "\\Control"));
  EXPECT_EQ(store_.GetString("Software\\Classes\\TypeLib\\{58D20EC1-0FA7-488F-B520-AEB4B6105AED}"
                             "\\2.1\\0\\linux",
                             "", ""),
            "/opt/x/KsGroup.so");
  EXPECT_EQ(store_.GetString("Software\\Classes\\Interface\\{58D20EC3-0FA7-488F-B520-AEB4B6105AED}",
                             "", ""),
            "_DKsGroupEvents");

  EXPECT_EQ(InprocServerPath(store_, Control().clsid), "/opt/x/KsGroup.so");
  EXPECT_EQ(ClsidFromProgId(store_, "ksgroup.ksgroupctrl.1"), Control().clsid);
  EXPECT_EQ(ClsidFromProgId(store_, "KSGROUP.Other.1"), std::nullopt);
  EXPECT_EQ(InprocServerPath(store_, kLib), std::nullopt);
}

TEST_F(ClassRegistryTest, UnregisteringLeavesOnlyWhatOthersOwn) {
  ASSERT_TRUE(store_.SetDword("Software\\Classes\\Other", "Kept", 1));
  ASSERT_TRUE(RegisterTypeLib(store_, Library()));
  ASSERT_TRUE(RegisterClass(store_, Control()));
  // Another version of the library stays registered.
  TypeLibRegistration older = Library();
  older.minor = 0;
  older.interfaces.clear();
  ASSERT_TRUE(RegisterTypeLib(store_, older));

  EXPECT_TRUE(UnregisterClass(store_, Control()));
  EXPECT_TRUE(UnregisterTypeLib(store_, Library()));
  EXPECT_FALSE(store_.KeyExists(ClassKey(Control().clsid)));
  EXPECT_FALSE(store_.KeyExists("Software\\Classes\\KSGROUP.KsGroupCtrl.1"));
  EXPECT_FALSE(
      store_.KeyExists("Software\\Classes\\Interface\\{58D20EC2-0FA7-488F-B520-AEB4B6105AED}"));
  EXPECT_TRUE(
      store_.KeyExists("Software\\Classes\\TypeLib\\{58D20EC1-0FA7-488F-B520-AEB4B6105AED}\\2.0"));
  EXPECT_TRUE(UnregisterTypeLib(store_, older));
  EXPECT_FALSE(
      store_.KeyExists("Software\\Classes\\TypeLib\\{58D20EC1-0FA7-488F-B520-AEB4B6105AED}"));
  EXPECT_TRUE(store_.KeyExists("Software\\Classes\\Other"));
  // Unregistering what is not there succeeds.
  EXPECT_TRUE(UnregisterClass(store_, Control()));
}

TEST_F(ClassRegistryTest, AProgramIdentifierTakenOverByAnotherClassIsKept) {
  ASSERT_TRUE(RegisterClass(store_, Control()));
  ClassRegistration other = Control();
  other.clsid = kLib.Offset(9);
  ASSERT_TRUE(RegisterClass(store_, other));  // takes the name over
  EXPECT_TRUE(UnregisterClass(store_, Control()));
  EXPECT_EQ(ClsidFromProgId(store_, "KSGROUP.KsGroupCtrl.1"), other.clsid);
}

TEST_F(ClassRegistryTest, AnUnusableStoreFailsRegistration) {
  testing::WriteFileBytes(dir_.File("broken.db"), "this is not a database, not at all......");
  platform::SettingsStore broken(dir_.File("broken.db"));
  EXPECT_FALSE(RegisterTypeLib(broken, Library()));
  EXPECT_FALSE(RegisterClass(broken, Control()));
  EXPECT_EQ(InprocServerPath(broken, Control().clsid), std::nullopt);
}

}  // namespace
}  // namespace quarry::com
