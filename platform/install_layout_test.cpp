// Finding an installation's files from the program's own path: installed
// trees wherever they are unpacked, multi-part and absolute folder names,
// programs outside any bin folder, the build tree, and a build tree whose
// name only begins like the program's folder.

#include "platform/install_layout.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

namespace quarry::platform {
namespace {

InstallLayout Debian() {
  InstallLayout layout;
  layout.bin_dir = "bin";
  layout.helpers_dir = "libexec/quarry";
  layout.help_dir = "share/quarry/help";
  layout.common_files_dir = "lib/x86_64-linux-gnu/common-files";
  layout.configured_prefix = "/usr";
  layout.build_dir = "/src/quarry/build";
  layout.build_programs_dir = "/src/quarry/build/bin";
  layout.build_helpers_dir = "/src/quarry/build/tools/qry";
  layout.build_help_dir = "/src/quarry/docs";
  layout.build_common_files_dir = "/src/quarry/build/common-files";
  return layout;
}

struct LayoutCase {
  const char* what;
  std::string program;
  InstallLayout layout;
  std::string prefix;
  std::string programs, help, common_files;
};

TEST(InstallLayoutTest, FoldersFollowTheProgram) {
  InstallLayout nested = Debian();
  nested.bin_dir = "opt/tools/bin/";
  InstallLayout absolute_lib = Debian();
  absolute_lib.common_files_dir = "/usr/lib64/common-files";
  InstallLayout no_build = Debian();
  no_build.build_dir.clear();

  const LayoutCase cases[] = {
      {"the package, installed", "/usr/bin/Quarry", Debian(), "/usr", "/usr/bin",
       "/usr/share/quarry/help", "/usr/lib/x86_64-linux-gnu/common-files"},
      {"the package, unpacked elsewhere", "/tmp/root/usr/bin/Quarry", Debian(), "/tmp/root/usr",
       "/tmp/root/usr/bin", "/tmp/root/usr/share/quarry/help",
       "/tmp/root/usr/lib/x86_64-linux-gnu/common-files"},
      {"a per-user install", "/home/ann/.local/bin/qry", Debian(), "/home/ann/.local",
       "/home/ann/.local/bin", "/home/ann/.local/share/quarry/help",
       "/home/ann/.local/lib/x86_64-linux-gnu/common-files"},
      {"a bin folder of several names", "/x/opt/tools/bin/Quarry", nested, "/x",
       "/x/opt/tools/bin", "/x/share/quarry/help", "/x/lib/x86_64-linux-gnu/common-files"},
      {"an absolute library folder stays", "/tmp/r/usr/bin/Quarry", absolute_lib, "/tmp/r/usr",
       "/tmp/r/usr/bin", "/tmp/r/usr/share/quarry/help", "/usr/lib64/common-files"},
      {"a program outside a bin folder", "/tmp/Quarry", Debian(), "/usr", "/usr/bin",
       "/usr/share/quarry/help", "/usr/lib/x86_64-linux-gnu/common-files"},
      {"a program in /bin itself", "/bin/Quarry", Debian(), "/", "/bin", "/share/quarry/help",
       "/lib/x86_64-linux-gnu/common-files"},
      {"no program path", "", Debian(), "/usr", "/usr/bin", "/usr/share/quarry/help",
       "/usr/lib/x86_64-linux-gnu/common-files"},
      {"the build tree", "/src/quarry/build/app/Quarry", Debian(), "/usr",
       "/src/quarry/build/bin", "/src/quarry/docs", "/src/quarry/build/common-files"},
      {"a tree whose name merely begins alike", "/src/quarry/build-asan/bin/Quarry", Debian(),
       "/src/quarry/build-asan", "/src/quarry/build-asan/bin",
       "/src/quarry/build-asan/share/quarry/help",
       "/src/quarry/build-asan/lib/x86_64-linux-gnu/common-files"},
      {"a layout without a build tree", "/src/quarry/build/bin/Quarry", no_build,
       "/src/quarry/build", "/src/quarry/build/bin", "/src/quarry/build/share/quarry/help",
       "/src/quarry/build/lib/x86_64-linux-gnu/common-files"},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(InstallationPrefix(c.program, c.layout), c.prefix);
    EXPECT_EQ(ResolveInstallFolder(InstallFolder::kPrograms, c.program, c.layout), c.programs);
    // Helpers live beside the programs' folder, in their own.
    const std::string helpers = ResolveInstallFolder(InstallFolder::kHelpers, c.program, c.layout);
    if (RunsFromBuildTree(c.program, c.layout)) {
      EXPECT_EQ(helpers, "/src/quarry/build/tools/qry");
    } else {
      EXPECT_EQ(helpers, (c.prefix == "/" ? "" : c.prefix) + "/libexec/quarry");
    }
    EXPECT_EQ(ResolveInstallFolder(InstallFolder::kHelp, c.program, c.layout), c.help);
    EXPECT_EQ(ResolveInstallFolder(InstallFolder::kCommonFiles, c.program, c.layout),
              c.common_files);
  }
}

TEST(InstallLayoutTest, TheEnvironmentOverridesSingleFolders) {
  setenv(kHelpFolderVariable, "/opt/help pages//", 1);
  setenv(kCommonFilesVariable, "/opt/common", 1);
  EXPECT_EQ(InstallationFolder(InstallFolder::kHelp), "/opt/help pages");
  EXPECT_EQ(InstallationFolder(InstallFolder::kCommonFiles), "/opt/common");
  // Programs have no override: they are always the installation's.
  EXPECT_EQ(InstallationFolder(InstallFolder::kPrograms),
            ResolveInstallFolder(InstallFolder::kPrograms, RunningProgramPath(), BuiltLayout()));
  setenv(kHelpFolderVariable, "", 1);
  unsetenv(kCommonFilesVariable);
  // This test runs from the build tree: the build's own folders apply.
  ASSERT_TRUE(RunsFromBuildTree(RunningProgramPath(), BuiltLayout()));
  EXPECT_EQ(InstallationFolder(InstallFolder::kHelp), BuiltLayout().build_help_dir);
  EXPECT_EQ(InstallationFolder(InstallFolder::kCommonFiles),
            BuiltLayout().build_common_files_dir);
  unsetenv(kHelpFolderVariable);
}

}  // namespace
}  // namespace quarry::platform
