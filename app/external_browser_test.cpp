#include "app/external_browser.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "app/link_opener.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

TEST(ExecCommandTest, ReplacesTheFirstUrlFieldAndDropsTheRest) {
  const std::string url = "http://a.example/?q=1&r=2";
  EXPECT_EQ(ExecCommand("firefox %u", url), (std::vector<std::string>{"firefox", url}));
  EXPECT_EQ(ExecCommand("/usr/bin/browser --new-window %U %F %i", url),
            (std::vector<std::string>{"/usr/bin/browser", "--new-window", url}));
  EXPECT_EQ(ExecCommand("\"/opt/My Browser/run\" --x=%%%u", url),
            (std::vector<std::string>{"/opt/My Browser/run", "--x=%" + url}));
  EXPECT_EQ(ExecCommand("plain", url), (std::vector<std::string>{"plain", url}));
  EXPECT_TRUE(ExecCommand("", url).empty());
  EXPECT_TRUE(ExecCommand("\"unbalanced %u", url).empty());
}

TEST(ExecCommandTest, ReadsExecOnlyFromTheDesktopEntryGroup) {
  EXPECT_EQ(DesktopEntryExec("[Desktop Entry]\nName=B\nExec=b %u\n[Desktop Action new]\nExec=b -n\n"),
            "b %u");
  EXPECT_EQ(DesktopEntryExec("[Desktop Action new]\nExec=b -n\n"), std::nullopt);
}

// A desktop with a fake "xdg-settings", a fake "xdg-open" and a fake
// browser on PATH, each recording its arguments.
class ExternalBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quarry-xb-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "data" / "applications");
    old_path_ = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", ((dir_ / "bin").string() + ":" + old_path_).c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir_ / "none").c_str(), 1);
    Script("fakebrowser", "echo \"$@\" > " + (dir_ / "browser.log").string());
    Script("xdg-open", "echo \"$@\" > " + (dir_ / "opener.log").string() + "\nexit 3");
    WriteFile(dir_ / "data" / "applications" / "fake.desktop",
              "[Desktop Entry]\nType=Application\nExec=fakebrowser --url %u\n");
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  static void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
  }
  void Script(const std::string& name, const std::string& body) {
    const fs::path path = dir_ / "bin" / name;
    WriteFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
  }
  std::string Log(const std::string& name) {
    std::ifstream in(dir_ / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
  std::string old_path_;
};

TEST_F(ExternalBrowserTest, WebAddressesGoToTheDefaultBrowserFoundOnce) {
  Script("xdg-settings", "echo fake.desktop");
  ExternalBrowser browser;
  EXPECT_EQ(browser.CommandFor("HTTPS://x.example/"),
            (std::vector<std::string>{"fakebrowser", "--url", "HTTPS://x.example/"}));
  EXPECT_EQ(browser.CommandFor("file:///tmp/x.html"),
            (std::vector<std::string>{"xdg-open", "file:///tmp/x.html"}));
  // The desktop changes its mind; this run keeps what it found.
  Script("xdg-settings", "echo other.desktop");
  EXPECT_EQ(browser.CommandFor("http://y/")[0], "fakebrowser");

  const OpenOutcome outcome = RunOpener(OpenerCommand("http://z.example/", browser),
                                        "http://z.example/", std::chrono::seconds(5));
  EXPECT_TRUE(outcome.ok) << outcome.reason;
  EXPECT_EQ(Log("browser.log"), "--url http://z.example/\n");
}

TEST_F(ExternalBrowserTest, WithoutADefaultTheOpenerDecidesAndItsFailureIsReported) {
  Script("xdg-settings", "exit 1");
  ExternalBrowser browser;
  EXPECT_EQ(browser.CommandFor("http://a/")[0], "xdg-open");
  const OpenOutcome outcome =
      RunOpener(OpenerCommand("http://a/", browser), "http://a/", std::chrono::seconds(5));
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.reason.find("no program"), std::string::npos) << outcome.reason;
  EXPECT_EQ(Log("opener.log"), "http://a/\n");
}

// The program's opener, on its worker threads, goes to the default browser
// for web addresses.
TEST_F(ExternalBrowserTest, OpensOnAWorkerThread) {
  Script("xdg-settings", "echo fake.desktop");
  unsetenv("QUARRY_OPENER");
  ExternalBrowser browser;
  LinkOpener opener(browser);
  std::promise<OpenOutcome> result;
  opener.Open("http://async/", [&](const OpenOutcome& o) { result.set_value(o); });
  auto future = result.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(future.get().ok);
  EXPECT_EQ(Log("browser.log"), "--url http://async/\n");
}

}  // namespace
}  // namespace quarry
