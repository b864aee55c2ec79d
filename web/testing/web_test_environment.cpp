#include "web/testing/web_test_environment.h"

#include <csignal>
#include <cstdlib>
#include <random>

#include "web/offline_state.h"
#include "web/retrieval_ui.h"
#include "web/web_settings.h"

namespace quarry::testing {

namespace {

std::filesystem::path MakeTempDir(const char* prefix) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  char* made = ::mkdtemp(pattern.data());
  if (made == nullptr) std::abort();
  return made;
}

// Runs once before any test: keeps every test away from the user's own
// store and from proxies or certificate files the environment names.
class Isolation : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = MakeTempDir("quarry-web-env-");
    ::setenv("ZT_REGISTRY_FILE", (dir_ / "registry.sqlite").c_str(), 1);
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY",
                             "all_proxy", "ftp_proxy", "FTP_PROXY", "no_proxy", "NO_PROXY",
                             "QUARRY_CA_FILE", "CURL_CA_BUNDLE"}) {
      ::unsetenv(name);
    }
    // A client hanging up mid-answer must not kill the test server.
    std::signal(SIGPIPE, SIG_IGN);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

 private:
  std::filesystem::path dir_;
};

const bool kIsolationRegistered = [] {
  ::testing::AddGlobalTestEnvironment(new Isolation);
  return true;
}();

}  // namespace

void WebTest::SetUp() {
  dir_ = MakeTempDir("quarry-web-test-");
  store_ = std::make_unique<platform::SettingsStore>((dir_ / "registry.sqlite").string());
  ASSERT_TRUE(store_->IsUsable()) << store_->Problem();
  SetWebSettingsStore(store_.get());
  // The switch is process-wide: start each test with it off and unstored.
  SaveOfflineFlag(0);
  store_->DeleteValue(kGlobalsKey, kOfflineModeValue);
  SetNetworkProbe([] {
    NetworkState state;
    state.up = true;
    state.lan = true;
    return state;
  });
  SetRetrievalUi(nullptr);
}

void WebTest::TearDown() {
  SetRetrievalUi(nullptr);
  SetNetworkProbe(nullptr);
  SaveOfflineFlag(0);
  SetWebSettingsStore(nullptr);
  store_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string WebTest::TempPath(const std::string& name) const { return (dir_ / name).string(); }

}  // namespace quarry::testing
