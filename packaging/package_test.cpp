// The Debian package as a user gets it: built with cpack from this build,
// unpacked with dpkg into a scratch root (a prefix the build never heard
// of), and run from there with nothing of the build tree in reach — the
// programs start, Quarry finds its help pages, modules and companions, the
// desktop files pass their validators, the manual pages render and the
// shell completion completes.
//
// Building the package takes a while, so the suite builds it once for all
// the tests here, which CTest runs as one test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::EnvOverrides;
using testing::ProcessResult;
using testing::RunProcess;

constexpr auto kPackTimeout = std::chrono::minutes(5);
constexpr auto kRunTimeout = std::chrono::seconds(60);

// The first program of that name on $PATH, or empty.
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return {};
}

std::string Describe(const ProcessResult& r) {
  return "exit " + std::to_string(r.exit_code) + (r.timed_out ? " (timed out)" : "") +
         "\nstdout: " + r.out + "\nstderr: " + r.err;
}

class PackageTest : public ::testing::Test {
 protected:
  // What the whole suite shares: the scratch folder, the package, the root.
  struct Package {
    testing::TempDir dir;
    std::string deb;
    std::string root;   // where it was unpacked
    std::string prefix; // root + "/usr"
    std::string error;
  };

  static void SetUpTestSuite() {
    package_ = std::make_unique<Package>();
    Package& p = *package_;
    const std::string out = p.dir.File("out");
    fs::create_directories(out);
    // The settings store and the home folder are scratch ones, so that
    // nothing an install step might do reaches the user's.
    const ProcessResult pack = RunProcess(
        {QUARRY_CPACK, "--config", QUARRY_CPACK_CONFIG, "-B", out},
        {"ZT_REGISTRY_FILE=" + p.dir.File("pack-registry.sqlite"), "HOME=" + p.dir.path()},
        {}, kPackTimeout);
    if (pack.exit_code != 0) {
      p.error = "cpack failed: " + Describe(pack);
      return;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
      if (entry.path().extension() == ".deb") p.deb = entry.path().string();
    }
    if (p.deb.empty()) {
      p.error = "cpack made no .deb: " + pack.out;
      return;
    }
    p.root = p.dir.File("root");
    const ProcessResult unpack =
        RunProcess({FindOnPath("dpkg"), "-x", p.deb, p.root}, {}, {}, kRunTimeout);
    if (unpack.exit_code != 0) p.error = "dpkg -x failed: " + Describe(unpack);
    p.prefix = p.root + "/usr";
  }
  static void TearDownTestSuite() { package_.reset(); }

  void SetUp() override { ASSERT_TRUE(package_->error.empty()) << package_->error; }

  static const Package& P() { return *package_; }
  static std::string Installed(const std::string& relative) {
    return P().prefix + "/" + relative;
  }

  // Runs a program of the unpacked root as a user would, with a fresh
  // settings store and nothing that could lead it to the build tree.
  ProcessResult RunInstalled(const std::vector<std::string>& argv,
                             EnvOverrides extra = {}) const {
    EnvOverrides env = {"LD_LIBRARY_PATH", "QUARRY_HELP_DIR", "ZT_COMMON_FILES_DIR",
                        "ZT_REGISTRY_FILE=" + run_dir_.File("registry.sqlite"),
                        "HOME=" + run_dir_.path(), "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                        "XDG_STATE_HOME", "QT_QPA_PLATFORM=offscreen"};
    env.insert(env.end(), extra.begin(), extra.end());
    return RunProcess(argv, env, {}, kRunTimeout);
  }

  testing::TempDir run_dir_;
  static std::unique_ptr<Package> package_;
};

std::unique_ptr<PackageTest::Package> PackageTest::package_;

TEST_F(PackageTest, ThePackageSaysWhatItIsAndWhatItNeeds) {
  const ProcessResult info =
      RunProcess({FindOnPath("dpkg-deb"), "--field", P().deb}, {}, {}, kRunTimeout);
  ASSERT_EQ(info.exit_code, 0) << Describe(info);
  for (const std::string field :
       {"Package: quarry\n", "Version: " QUARRY_VERSION "\n", "Section: utils\n",
        "Maintainer: Zandor Tech <support@quarry.example>\n"}) {
    EXPECT_NE(info.out.find(field), std::string::npos) << field << "\n" << info.out;
  }
  // Computed from the programs and modules, plus the platform plugins.
  for (const std::string dependency :
       {"libqt6widgets6", "libqt6webenginecore6", "libcurl4", "libsqlite3-0", "libc6",
        "qt6-qpa-plugins"}) {
    EXPECT_NE(info.out.find(dependency), std::string::npos) << dependency << "\n" << info.out;
  }
}

TEST_F(PackageTest, EveryFileIsWhereTheDesktopLooksForIt) {
  const std::vector<std::string> files = {
      "bin/Quarry", "bin/qry", "bin/ztreg", "bin/ztregsvr", "bin/KspAutoUpdater",
      QUARRY_HELPERS_INSTALL_DIR "/quarry-render",
      QUARRY_MODULE_INSTALL_DIR "/KsButton.so", QUARRY_MODULE_INSTALL_DIR "/KsCheck.so",
      QUARRY_MODULE_INSTALL_DIR "/KsGroup.so", QUARRY_MODULE_INSTALL_DIR "/KsStatic.so",
      QUARRY_HELP_INSTALL_DIR "/index.html",
      "share/applications/example.quarry.Quarry.desktop",
      "share/metainfo/example.quarry.Quarry.metainfo.xml",
      "share/icons/hicolor/16x16/apps/quarry.png", "share/icons/hicolor/48x48/apps/quarry.png",
      "share/icons/hicolor/256x256/apps/quarry.png",
      "share/icons/hicolor/scalable/apps/quarry.svg", "share/man/man1/qry.1",
      "share/man/man1/ztreg.1", "share/man/man1/Quarry.1",
      "share/bash-completion/completions/qry"};
  for (const std::string& file : files) {
    EXPECT_TRUE(fs::is_regular_file(Installed(file))) << file;
  }
  // Nothing of the build's own: no tests, no static libraries, no headers.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(P().root)) {
    const std::string name = entry.path().filename().string();
    EXPECT_FALSE(name.ends_with("_tests") || name.ends_with(".a") || name.ends_with(".h"))
        << entry.path();
  }
}

TEST_F(PackageTest, TheProgramsRunFromTheUnpackedRoot) {
  const ProcessResult qry = RunInstalled({Installed("bin/qry"), "--version"});
  EXPECT_EQ(qry.exit_code, 0) << Describe(qry);
  EXPECT_NE(qry.out.find(QUARRY_VERSION), std::string::npos) << qry.out;

  const ProcessResult quarry = RunInstalled({Installed("bin/Quarry"), "--version"});
  EXPECT_EQ(quarry.exit_code, 0) << Describe(quarry);
  EXPECT_EQ(quarry.out.rfind("Quarry " QUARRY_VERSION, 0), 0u) << quarry.out;

  // The sample page that ships with the help pages has tables to list.
  const std::string sample = Installed(QUARRY_HELP_INSTALL_DIR "/sample-page.html");
  const ProcessResult tables = RunInstalled({Installed("bin/qry"), "tables", sample});
  EXPECT_EQ(tables.exit_code, 0) << Describe(tables);
  EXPECT_FALSE(tables.out.empty());

  // --render starts the installed helper, which loads the page off screen.
  const ProcessResult rendered = RunInstalled(
      {Installed("bin/qry"), "tables", sample, "--render"},
      {"QRY_RENDER_HELPER"});
  EXPECT_EQ(rendered.exit_code, 0) << Describe(rendered);
  EXPECT_EQ(rendered.out, tables.out);

  const ProcessResult ztreg = RunInstalled(
      {Installed("bin/ztreg"), "set", "HKCU\\Software\\Zandor Tech\\Globals", "OfflineMode",
       "--dword", "0"});
  EXPECT_EQ(ztreg.exit_code, 0) << Describe(ztreg);
}

TEST_F(PackageTest, QuarryFindsItsHelpModulesAndCompanionsBesideItself) {
  const ProcessResult paths = RunInstalled({Installed("bin/Quarry"), "--paths"});
  EXPECT_EQ(paths.exit_code, 0) << Describe(paths);
  EXPECT_NE(paths.out.find(Installed(QUARRY_HELP_INSTALL_DIR "/index.html")), std::string::npos)
      << paths.out;
  // Each module was loaded from the root and said who it is.
  EXPECT_NE(paths.out.find(Installed(QUARRY_MODULE_INSTALL_DIR "/KsButton.so (")),
            std::string::npos)
      << paths.out;
  EXPECT_NE(paths.out.find(Installed("bin/KspAutoUpdater")), std::string::npos) << paths.out;
  EXPECT_EQ(paths.out.find(QUARRY_BUILD_TREE), std::string::npos) << paths.out;
}

TEST_F(PackageTest, NoProgramOrModuleLeadsBackToTheBuildTree) {
  const std::string readelf = FindOnPath("readelf");
  if (readelf.empty()) GTEST_SKIP() << "readelf is not installed";
  for (const std::string file :
       {"bin/Quarry", "bin/qry", "bin/ztreg", "bin/ztregsvr", "bin/KspAutoUpdater",
        QUARRY_MODULE_INSTALL_DIR "/KsStatic.so"}) {
    const ProcessResult dynamic = RunProcess({readelf, "-d", Installed(file)}, {}, {}, kRunTimeout);
    ASSERT_EQ(dynamic.exit_code, 0) << Describe(dynamic);
    EXPECT_EQ(dynamic.out.find("RPATH"), std::string::npos) << file << dynamic.out;
    EXPECT_EQ(dynamic.out.find("RUNPATH"), std::string::npos) << file << dynamic.out;
  }
}

TEST_F(PackageTest, TheDesktopFilesPassTheirValidators) {
  struct Check {
    const char* tool;
    std::vector<std::string> args;
  } checks[] = {
      {"desktop-file-validate", {Installed("share/applications/example.quarry.Quarry.desktop")}},
      {"appstreamcli",
       {"validate", "--no-net", Installed("share/metainfo/example.quarry.Quarry.metainfo.xml")}},
  };
  for (const Check& check : checks) {
    const std::string tool = FindOnPath(check.tool);
    if (tool.empty()) {
      ADD_FAILURE() << check.tool << " is not installed (scripts/install-deps.sh installs it)";
      continue;
    }
    std::vector<std::string> argv = {tool};
    argv.insert(argv.end(), check.args.begin(), check.args.end());
    const ProcessResult result = RunProcess(argv, {}, {}, kRunTimeout);
    EXPECT_EQ(result.exit_code, 0) << check.tool << ": " << Describe(result);
  }
  // "Open With Quarry" for local pages, passing them as addresses.
  const std::string desktop =
      testing::ReadFileBytes(Installed("share/applications/example.quarry.Quarry.desktop"));
  EXPECT_NE(desktop.find("\nExec=Quarry %U\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nMimeType=text/html;application/xhtml+xml;\n"), std::string::npos);
}

TEST_F(PackageTest, TheManualPagesRender) {
  const std::string man = FindOnPath("man");
  if (man.empty()) GTEST_SKIP() << "man is not installed";
  for (const std::string page : {"qry", "ztreg", "Quarry"}) {
    const ProcessResult shown =
        RunProcess({man, "-l", Installed("share/man/man1/" + page + ".1")},
                   {"MANPAGER=cat", "PAGER=cat", "MANWIDTH=80", "MAN_KEEP_FORMATTING"}, {},
                   kRunTimeout);
    EXPECT_EQ(shown.exit_code, 0) << page << ": " << Describe(shown);
    EXPECT_NE(shown.out.find("SYNOPSIS"), std::string::npos) << shown.out;
    EXPECT_TRUE(shown.err.empty()) << page << ": " << shown.err;
  }
}

TEST_F(PackageTest, TheShellCompletesQrysCommandsAndOptions) {
  const std::string bash = FindOnPath("bash");
  ASSERT_FALSE(bash.empty());
  struct Case {
    std::string words;  // the command line so far; the last word is completed
    std::string expected;
  } cases[] = {
      {"qry ''", "tables export"},
      {"qry ex", "export"},
      {"qry tables page.html --j", "--json --jobs"},
      {"qry export page.html --t", "--table"},
      {"qry export page.html --he", "--header --help"},
      {"qry tables x --pr", "--proxy"},
      {"qry tables x --render-t", "--render-timeout"},
      {"qry tables x --render-timeout ''", ""},  // seconds: nothing to offer
      {"qry tables a b --format ''", "text json jsonl"},
      {"qry export a b --all --format x", "xlsx"},
      {"qry export a --ov", "--overwrite"},
  };
  for (const Case& c : cases) {
    const std::string script =
        "source '" + Installed("share/bash-completion/completions/qry") + "'\n" +
        "COMP_WORDS=(" + c.words + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n" +
        "_qry; echo \"${COMPREPLY[*]}\"\n";
    const ProcessResult result = RunProcess({bash, "--norc", "-c", script}, {}, {}, kRunTimeout);
    EXPECT_EQ(result.exit_code, 0) << Describe(result);
    EXPECT_EQ(result.out, c.expected + "\n") << c.words;
  }
}

}  // namespace
}  // namespace quarry
