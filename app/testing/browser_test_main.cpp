// main() for test programs that start the embedded browser. The browser's
// environment has to be in place before the application object exists, and
// every per-user file the program or the browser might reach (settings
// store, caches, storage, browser profiles under the home folder) goes to a
// private temporary folder that is removed at exit.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/explorer.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking", 1);

  std::string pattern =
      (std::filesystem::temp_directory_path() / "quarry-browser-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 2;
  const std::filesystem::path home(pattern);
  setenv("HOME", home.c_str(), 1);
  setenv("ZT_REGISTRY_FILE", (home / "registry.db").c_str(), 1);
  for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME",
                           "XDG_STATE_HOME"}) {
    const std::filesystem::path folder = home / name;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    setenv(name, folder.c_str(), 1);
  }
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);  // Qt wants one, mode 0700
  quarry::PrepareEmbeddedBrowser();

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
