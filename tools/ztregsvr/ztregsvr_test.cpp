#include "tools/ztregsvr/ztregsvr.h"

#include <gtest/gtest.h>

#include "platform/class_registry.h"
#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"
#include "platform/testing/test_component_ids.h"

namespace quarry::ztregsvr {
namespace {

namespace ids = testing::component;

class ZtregsvrTest : public ::testing::Test {
 protected:
  testing::ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), ZTREGSVR_BINARY);
    return testing::RunProcess(args, {"ZT_REGISTRY_FILE=" + Store()}, {}, std::chrono::seconds(30));
  }
  std::string Store() const { return dir_.File("registry.db"); }
  bool Registered() {
    platform::SettingsStore store(Store());
    return com::InprocServerPath(store, ids::kClsidCounter).has_value();
  }

  testing::TempDir dir_;
  const std::string module_ = QUARRY_TEST_COMPONENT;
};

TEST_F(ZtregsvrTest, RegistersAndUnregistersAModuleInTheStoreItIsGiven) {
  testing::ProcessResult r = Run({module_});
  EXPECT_EQ(r.exit_code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("DllRegisterServer"), std::string::npos) << r.out;
  EXPECT_TRUE(Registered());

  r = Run({"/U", "-s", module_});
  EXPECT_EQ(r.exit_code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(Registered());
}

TEST_F(ZtregsvrTest, FailuresHaveTheirOwnStatusAndSilenceHidesTheMessage) {
  testing::WriteFileBytes(dir_.File("text.so"), "plain text");
  struct Case {
    std::vector<std::string> args;
    int status;
    bool message;
  } cases[] = {
      {{}, kExitUsage, true},
      {{"/s"}, kExitUsage, false},
      {{"/i", module_}, kExitUsage, true},
      {{"--frobnicate", module_}, kExitUsage, true},
      {{dir_.File("missing.so")}, kExitLoadFailed, true},
      {{"/s", dir_.File("missing.so")}, kExitLoadFailed, false},
      // The first failure decides, but every module is tried.
      {{dir_.File("text.so"), module_}, kExitLoadFailed, true},
  };
  for (const Case& c : cases) {
    testing::ProcessResult r = Run(c.args);
    const std::string line = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.exit_code, c.status) << line;
    EXPECT_EQ(!r.err.empty(), c.message) << line << r.err;
  }
  EXPECT_TRUE(Registered());  // by the last case
  EXPECT_EQ(Run({"/?"}).exit_code, kExitOk);
}

}  // namespace
}  // namespace quarry::ztregsvr
