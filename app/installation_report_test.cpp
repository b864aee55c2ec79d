// What "Quarry --paths" says of an installation: a whole one, and ones with
// each kind of piece missing or broken.

#include "app/installation_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "controls/common/module_identity.h"
#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

class InstallationReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_ = {dir_.File("help"), dir_.File("Kestrane"), dir_.File("bin")};
    for (const std::string& folder : {folders_.help, folders_.modules, folders_.programs}) {
      fs::create_directories(folder);
    }
    std::ofstream(folders_.help + "/index.html") << "<html></html>";
    for (const controls::ModuleIdentity* module : controls::kAllModules) {
      const std::string name = std::string(module->module_name) + ".so";
      fs::copy_file(std::string(QUARRY_MODULE_DIR) + "/" + name, folders_.modules + "/" + name);
    }
    for (const char* program : {"KspAutoUpdater", "ztregsvr"}) {
      const std::string path = folders_.programs + "/" + program;
      std::ofstream(path) << "#!/bin/sh\n";
      chmod(path.c_str(), 0755);
    }
  }
  InstallationReport Check() const {
    return CheckInstallation(folders_, {"KspAutoUpdater", "ztregsvr"});
  }

  testing::TempDir dir_;
  InstallationFolders folders_;
};

TEST_F(InstallationReportTest, AWholeInstallationNamesWhereEachPieceIs) {
  const InstallationReport report = Check();
  EXPECT_TRUE(report.complete) << report.text;
  EXPECT_NE(report.text.find(folders_.help + "/index.html\n"), std::string::npos);
  // Each module is loaded and says who it is.
  EXPECT_NE(report.text.find(folders_.modules + "/KsButton.so (" +
                             std::string(controls::kButtonModule.nice_name)),
            std::string::npos)
      << report.text;
  EXPECT_EQ(report.text.find("missing"), std::string::npos);
}

TEST_F(InstallationReportTest, EachMissingOrBrokenPieceIsNamed) {
  struct Case {
    const char* what;
    std::function<void(const InstallationFolders&)> damage;
    std::string expected;
  } cases[] = {
      {"no help index", [](const InstallationFolders& f) { fs::remove(f.help + "/index.html"); },
       "/index.html (missing)"},
      {"a module gone", [](const InstallationFolders& f) { fs::remove(f.modules + "/KsCheck.so"); },
       "KsCheck.so (missing)"},
      {"a module that is no library",
       [](const InstallationFolders& f) {
         std::ofstream(f.modules + "/KsGroup.so", std::ios::trunc) << "not a library";
       },
       "KsGroup.so (does not load)"},
      {"a program that cannot run",
       [](const InstallationFolders& f) { chmod((f.programs + "/ztregsvr").c_str(), 0644); },
       "/ztregsvr (missing)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_.path());
    SetUp();
    c.damage(folders_);
    const InstallationReport report = Check();
    EXPECT_FALSE(report.complete);
    EXPECT_NE(report.text.find(c.expected), std::string::npos) << report.text;
  }
}

}  // namespace
}  // namespace quarry
