// The bus's service file: where it goes, how the program's path is quoted,
// and removing it.

#include "updater/app/service_registration.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quarry::updater {
namespace {

TEST(ServiceRegistrationTest, TheExecLineQuotesAnyPath) {
  struct Case {
    const char* program;
    const char* exec;
  } cases[] = {
      {"/usr/bin/KspAutoUpdater", "Exec='/usr/bin/KspAutoUpdater' --automation\n"},
      {"/opt/My Apps/KspAutoUpdater", "Exec='/opt/My Apps/KspAutoUpdater' --automation\n"},
      {"/home/o'neil/bin/KspAutoUpdater",
       "Exec='/home/o'\\''neil/bin/KspAutoUpdater' --automation\n"},
  };
  for (const auto& c : cases) {
    const std::string text = ServiceFileText(c.program);
    EXPECT_EQ(text.rfind("[D-BUS Service]\nName=com.Kestrane.KspAutoUpdater\n", 0), 0u);
    EXPECT_NE(text.find(c.exec), std::string::npos) << text;
  }
}

TEST(ServiceRegistrationTest, RegisteringWritesTheFileAndUnregisteringRemovesIt) {
  const std::string data = std::getenv("XDG_DATA_HOME");
  EXPECT_EQ(ServiceFilePath(), data + "/dbus-1/services/com.Kestrane.KspAutoUpdater.service");
  std::string error;
  ASSERT_TRUE(RegisterServer("/opt/k/KspAutoUpdater", &error)) << error;
  std::ifstream in(ServiceFilePath());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            ServiceFileText("/opt/k/KspAutoUpdater"));
  ASSERT_TRUE(UnregisterServer(&error)) << error;
  EXPECT_FALSE(std::filesystem::exists(ServiceFilePath()));
  EXPECT_TRUE(UnregisterServer(&error));  // nothing to remove is fine

  const std::string saved = data;
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  EXPECT_EQ(ServiceFilePath().rfind(std::string(std::getenv("HOME")) + "/.local/share/", 0), 0u);
  setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace quarry::updater
