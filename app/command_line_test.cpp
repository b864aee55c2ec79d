#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

TEST(CommandLineTest, AnAddressIsKeptForTheBrowserAndTheDocumentIsNew) {
  CommandLineInfo info = ParseCommandLine({"https://example.org/a?b=1&c"});
  EXPECT_TRUE(info.error.empty());
  EXPECT_EQ(info.address, "https://example.org/a?b=1&c");
  EXPECT_EQ(info.shell_command, kShellFileNew);

  info = ParseCommandLine({});
  EXPECT_TRUE(info.error.empty());
  EXPECT_TRUE(info.address.empty());
  EXPECT_EQ(info.shell_command, kShellFileNew);
}

TEST(CommandLineTest, OptionsAndTheirEnd) {
  EXPECT_TRUE(ParseCommandLine({"--help"}).show_help);
  EXPECT_TRUE(ParseCommandLine({"-h"}).show_help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).show_version);
  EXPECT_TRUE(ParseCommandLine({"-v"}).show_version);

  // After "--" a leading dash belongs to the address.
  CommandLineInfo info = ParseCommandLine({"--", "-odd-name.html"});
  EXPECT_TRUE(info.error.empty());
  EXPECT_EQ(info.address, "-odd-name.html");
  EXPECT_FALSE(info.show_help);
}

TEST(CommandLineTest, NonsenseIsReportedNotGuessed) {
  EXPECT_NE(ParseCommandLine({"--frobnicate"}).error.find("--frobnicate"),
            std::string::npos);
  EXPECT_FALSE(ParseCommandLine({"a.html", "b.html"}).error.empty());
  // A lone "-" is not an option.
  EXPECT_EQ(ParseCommandLine({"-"}).address, "-");
}

TEST(CommandLineTest, ParseWantsAnAddress) {
  const CommandLineInfo info = ParseCommandLine({"--parse", "file:///tmp/a.html"});
  EXPECT_TRUE(info.error.empty());
  EXPECT_TRUE(info.parse);
  EXPECT_EQ(info.address, "file:///tmp/a.html");
  EXPECT_FALSE(ParseCommandLine({"--parse"}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"a.html"}).parse);
}

TEST(CommandLineTest, AFileGivenByItsPathOpensAsItsFileAddress) {
  testing::TempDir dir;
  const std::string folder = dir.path();
  std::filesystem::create_directories(folder + "/sub dir");
  std::ofstream(folder + "/sub dir/prices 50%.html") << "<table></table>";
  std::ofstream(folder + "/plain.htm") << "<table></table>";
  const std::string encoded = "file://" + folder + "/sub%20dir/prices%2050%25.html";
  struct Case {
    std::string arg;
    std::string address;
  } cases[] = {
      {"sub dir/prices 50%.html", encoded},
      {"./sub dir/../sub dir/prices 50%.html", encoded},
      {folder + "/plain.htm", "file://" + folder + "/plain.htm"},
      {"plain.htm", "file://" + folder + "/plain.htm"},
      // Addresses, and what only a browser can complete, stay as given.
      {"file://" + folder + "/plain.htm", "file://" + folder + "/plain.htm"},
      {"HTTPS://example.org/a b", "HTTPS://example.org/a b"},
      {"www.example.org", "www.example.org"},
      {"missing.html", "missing.html"},
      {"sub dir", "sub dir"},  // a folder is no page
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AddressFromArgument(c.arg, folder), c.address) << c.arg;
  }
  // Without a current folder a relative path is left alone.
  EXPECT_EQ(AddressFromArgument("plain.htm", ""), "plain.htm");
  EXPECT_TRUE(ParseCommandLine({"--paths"}).show_paths);
}

TEST(CommandLineTest, FaultOptions) {
  struct Case {
    std::vector<std::string> args;
    std::string simulate;
    std::string report;
    bool error;
  } cases[] = {
      {{"--simulate-fault=read"}, "read", "", false},
      {{"--simulate-fault=abort", "a.html"}, "abort", "", false},
      {{"--simulate-fault=write"}, "", "", true},
      {{"--simulate-fault="}, "", "", true},
      {{"--fault-report", "/tmp/r.raw"}, "", "/tmp/r.raw", false},
      {{"--fault-report=/tmp/r.txt"}, "", "/tmp/r.txt", false},
      {{"--fault-report"}, "", "", true},
  };
  for (const Case& c : cases) {
    const CommandLineInfo info = ParseCommandLine(c.args);
    EXPECT_EQ(!info.error.empty(), c.error) << c.args[0];
    if (c.error) continue;
    EXPECT_EQ(info.simulate_fault, c.simulate);
    EXPECT_EQ(info.fault_report, c.report);
  }
}

}  // namespace
}  // namespace quarry
