// main() for the GUI tests: Qt without a display, and every per-user file
// a test might reach (the settings store, the XDG folders) moved into a
// private temporary folder, so no test run touches the user's own.

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

std::filesystem::path MakePrivateDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "quarry-gui-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// Sets `variable` to `folder`, creating it.
void PointAtFolder(const char* variable, const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  setenv(variable, folder.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  // Before QApplication: the platform plugin is chosen in its constructor,
  // and the test binary also runs at build time, where there is no display.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  const std::filesystem::path home = MakePrivateDir();
  if (home.empty()) {
    fprintf(stderr, "gui_test_main: cannot create a temporary folder\n");
    return 2;
  }
  setenv("ZT_REGISTRY_FILE", (home / "registry.db").c_str(), 1);
  PointAtFolder("XDG_CONFIG_HOME", home / "config");
  PointAtFolder("XDG_DATA_HOME", home / "data");
  PointAtFolder("XDG_STATE_HOME", home / "state");
  PointAtFolder("XDG_CACHE_HOME", home / "cache");
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);  // Qt wants one, mode 0700
  // Home too: start-up looks for the user's browser profiles there.
  PointAtFolder("HOME", home / "home");

  ::testing::InitGoogleTest(&argc, argv);
  int rc;
  {
    QApplication app(argc, argv);
    rc = RUN_ALL_TESTS();
  }

  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return rc;
}
