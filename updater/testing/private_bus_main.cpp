// main() for tests that need a D-Bus session bus of their own: the test
// program starts itself again under dbus-run-session, with every per-user
// folder (settings store, XDG folders, the common files folder) in a fresh
// temporary folder, so a test never reaches the user's own bus, services or
// settings. Qt runs without a display.

#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace {

constexpr char kInsideVariable[] = "QUARRY_PRIVATE_BUS_DIR";

int RunUnderPrivateBus(int argc, char** argv) {
  std::string pattern = (std::filesystem::temp_directory_path() / "quarry-bus-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("private_bus_main: mkdtemp");
    return 2;
  }
  const std::filesystem::path home = pattern;
  const auto folder = [&home](const char* variable, const char* name) {
    std::error_code ignored;
    std::filesystem::create_directories(home / name, ignored);
    setenv(variable, (home / name).c_str(), 1);
  };
  // The bus hands its environment to the programs it starts, so all of
  // this must be in place before it runs.
  folder("HOME", "home");
  folder("XDG_CONFIG_HOME", "config");
  folder("XDG_DATA_HOME", "data");
  folder("XDG_CACHE_HOME", "cache");
  folder("ZT_COMMON_FILES_DIR", "common");
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  setenv("ZT_REGISTRY_FILE", (home / "registry.db").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv(kInsideVariable, home.c_str(), 1);

  std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, "dbus-run-session", nullptr, nullptr, args.data(), environ) != 0) {
    std::fprintf(stderr, "private_bus_main: dbus-run-session is not installed (package dbus-daemon)\n");
    status = 1;
  } else {
    while (waitpid(pid, &status, 0) < 0) {
    }
    status = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (getenv(kInsideVariable) == nullptr) return RunUnderPrivateBus(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
