// Shared set-up of the retrieval tests: each test gets a fresh temporary
// folder and settings store (the user's real store is never touched), the
// offline switch off, a network probe that reports an interface up, and no
// user interface installed. Proxy and certificate variables of the
// environment are cleared for the whole test program, so only servers the
// tests start on 127.0.0.1 are ever reached.

#ifndef QUARRY_WEB_TESTING_WEB_TEST_ENVIRONMENT_H_
#define QUARRY_WEB_TESTING_WEB_TEST_ENVIRONMENT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/settings_store.h"

namespace quarry::testing {

class WebTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A path inside this test's temporary folder.
  std::string TempPath(const std::string& name) const;
  platform::SettingsStore& store() { return *store_; }

  std::filesystem::path dir_;
  std::unique_ptr<platform::SettingsStore> store_;
};

}  // namespace quarry::testing

#endif  // QUARRY_WEB_TESTING_WEB_TEST_ENVIRONMENT_H_
