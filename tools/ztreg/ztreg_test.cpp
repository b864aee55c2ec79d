// Runs the built ztreg program against stores in a private folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/settings_store.h"
#include "platform/testing/subprocess.h"

namespace quarry::ztreg {
namespace {

using platform::SettingsStore;
using quarry::testing::ProcessResult;
using quarry::testing::ReadFileBytes;
using quarry::testing::RunProcess;
using quarry::testing::TempDir;
using quarry::testing::WriteFileBytes;
using namespace std::chrono_literals;

constexpr char kGlobals[] = "HKCU\\Software\\Zandor Tech\\Globals";

class ZtregTest : public ::testing::Test {
 protected:
  ProcessResult Run(std::vector<std::string> args, std::string_view input = {}) {
    args.insert(args.begin(), ZTREG_BINARY);
    return RunProcess(args,
                      {"HOME=" + dir_.path(), "XDG_CONFIG_HOME=" + dir_.path(),
                       "ZT_REGISTRY_FILE=" + path_},
                      input, 30s);
  }
  // Runs a command that must succeed and returns its output.
  std::string Ok(std::vector<std::string> args, std::string_view input = {}) {
    ProcessResult result = Run(args, input);
    EXPECT_EQ(result.exit_code, 0) << args[0] << ": " << result.err;
    EXPECT_EQ(result.err, "");
    return result.out;
  }
  // Runs a command that must fail with `status` and one "ztreg: " line
  // containing `expected`, printing nothing else.
  void Fails(std::vector<std::string> args, int status, const std::string& expected) {
    std::string shown;
    for (const std::string& arg : args) shown += " '" + arg + "'";
    ProcessResult result = Run(args);
    EXPECT_EQ(result.exit_code, status) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_TRUE(result.err.starts_with("ztreg: ")) << shown << ": " << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << shown << ": " << result.err;
    EXPECT_NE(result.err.find(expected), std::string::npos) << shown << ": " << result.err;
  }

  TempDir dir_;
  std::string path_ = dir_.File("registry.sqlite");
};

TEST_F(ZtregTest, SetsAndQueriesEveryType) {
  Ok({"set", kGlobals, "OfflineMode", "--dword", "0x1"});
  Ok({"set", kGlobals, "Max", "--dword=4294967295"});
  Ok({"set", kGlobals, "Big", "--qword", "18446744073709551615"});
  Ok({"set", kGlobals, "Name", "--string", "say \"hi\"\\n"});
  Ok({"set", kGlobals, "Path", "--expand-string", "%HOME%/x"});
  Ok({"set", kGlobals, "Blob", "--binary", "00 01 fe"});
  // "--" ends the options, so a name may start with "--"; an option's data
  // is taken as it is.
  Ok({"set", "software\\zandor tech\\GLOBALS", "--string", "--", "--", "--dash"});

  EXPECT_EQ(Ok({"query", kGlobals, "offlinemode"}), "\"OfflineMode\" = dword 1\n");
  EXPECT_EQ(Ok({"query", kGlobals}),
            "[HKCU\\Software\\Zandor Tech\\Globals]\n"
            "\"--dash\" = string \"--\"\n"
            "\"Big\" = qword 18446744073709551615\n"
            "\"Blob\" = binary 00 01 fe\n"
            "\"Max\" = dword 4294967295\n"
            "\"Name\" = string \"say \\\"hi\\\"\\\\n\"\n"
            "\"OfflineMode\" = dword 1\n"
            "\"Path\" = expand-string \"%HOME%/x\"\n");
  EXPECT_EQ(Ok({"query", "HKCU\\Software"}), "[HKCU\\Software]\n# subkey Zandor Tech\n");

  // What ztreg wrote is what the programs read.
  SettingsStore store(path_);
  EXPECT_EQ(store.GetDword(kGlobals, "OfflineMode", 0), 1u);
  EXPECT_EQ(store.GetString(kGlobals, "Name", ""), "say \"hi\"\\n");
  EXPECT_EQ(store.GetBinary(kGlobals, "Blob"), (std::vector<uint8_t>{0, 1, 0xfe}));
}

TEST_F(ZtregTest, ExportImportsBackIntoAnotherStore) {
  Ok({"set", kGlobals, "OfflineMode", "--dword", "1"});
  Ok({"set", "HKCU\\Software\\Zandor Tech\\ZtControls", "FaceName", "--string", "Sans\tSerif"});
  Ok({"set", "HKCU\\Software\\Zandor Tech\\ZtControls", "Blob", "--binary", ""});
  const std::string everything = Ok({"export"});
  EXPECT_NE(everything.find("\"FaceName\" = string \"Sans\\tSerif\""), std::string::npos);

  path_ = dir_.File("copy.sqlite");
  Ok({"import", "-"}, everything);
  EXPECT_EQ(Ok({"export"}), everything);
  const std::string file = dir_.File("globals.txt");
  ASSERT_TRUE(WriteFileBytes(file, Ok({"export", kGlobals})));
  Ok({"delete", "HKCU\\Software"});
  Ok({"import", file});
  EXPECT_EQ(Ok({"query", kGlobals, "OfflineMode"}), "\"OfflineMode\" = dword 1\n");
  Fails({"query", "HKCU\\Software\\Zandor Tech\\ZtControls"}, 1, "key not found");

  // A text with an error is refused whole.
  ProcessResult bad = Run({"import", "-"}, "[HKCU\\New]\n\"a\" = dword 1\n\"b\" = dword x\n");
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("line 3"), std::string::npos) << bad.err;
  Fails({"query", "HKCU\\New"}, 1, "key not found");
}

TEST_F(ZtregTest, DeletesValuesAndWholeTrees) {
  Ok({"set", "HKCU\\Software\\A\\Sub", "v", "--dword", "1"});
  Ok({"set", "HKCU\\Software\\AB", "v", "--dword", "2"});
  Ok({"delete", "HKCU\\Software\\AB", "V"});
  Fails({"delete", "HKCU\\Software\\AB", "v"}, 1, "value \"v\" not found in HKCU\\Software\\AB");
  Ok({"delete", "HKCU\\Software\\A"});
  Fails({"delete", "HKCU\\Software\\A"}, 1, "key not found: HKCU\\Software\\A");
  EXPECT_EQ(Ok({"query", "HKCU\\Software"}), "[HKCU\\Software]\n# subkey AB\n");
}

TEST_F(ZtregTest, BadCommandLinesFailWithOneLineAndTouchNothing) {
  Fails({}, 2, "no command");
  Fails({"frob"}, 2, "unknown command");
  Fails({"query"}, 2, "usage");
  Fails({"query", ""}, 2, "key is empty");
  Fails({"query", "HKLM\\Software"}, 2, "HKLM");
  Fails({"query", "HKEY_USERS\\x"}, 2, "HKEY_USERS");
  Fails({"query", "HKCU\\\\Software"}, 2, "empty key name");
  Fails({"query", "Software\\\\Zandor Tech"}, 2, "empty key name");
  Fails({"query", "A", "b", "c"}, 2, "usage");
  Fails({"query", "A", "--dword", "1"}, 2, "unknown option --dword");
  Fails({"set", "A", "v"}, 2, "give the type");
  Fails({"set", "A", "v", "--dword", "1", "--string", "x"}, 2, "only one");
  Fails({"set", "A", "v", "--text", "x"}, 2, "unknown option --text");
  Fails({"set", "A", "v", "--dword"}, 2, "needs a value");
  Fails({"set", "HKCU", "v", "--dword", "1"}, 2, "root");
  Fails({"set", "A", "v", "--dword", "-1"}, 2, "negative");
  Fails({"set", "A", "v", "--dword", "4294967296"}, 2, "too large");
  Fails({"set", "A", "v", "--dword", "0x100000000"}, 2, "too large");
  Fails({"set", "A", "v", "--dword", "12abc"}, 2, "not a number");
  Fails({"set", "A", "v", "--dword", ""}, 2, "missing");
  Fails({"set", "A", "v", "--qword", "18446744073709551616"}, 2, "too large");
  Fails({"set", "A", "v", "--binary", "0g"}, 2, "bad hex digit 'g'");
  Fails({"set", "A", "v", "--binary", "abc"}, 2, "odd number");
  Fails({"delete", "HKCU"}, 2, "root");
  Fails({"export", "A", "B"}, 2, "usage");
  EXPECT_NE(access(path_.c_str(), F_OK), 0) << "a bad command line must not create the store";

  Fails({"query", "HKCU\\Software\\Nope"}, 1, "key not found: HKCU\\Software\\Nope");
  Fails({"query", "HKCU", "v"}, 1, "value \"v\" not found in HKCU");
  Fails({"delete", "Software\\Nope"}, 1, "key not found");
  Fails({"export", "Software\\Nope"}, 1, "key not found");
  Fails({"import", dir_.File("missing.txt")}, 1, "cannot read");

  ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("ztreg query KEY [VALUE]"), std::string::npos);
}

TEST_F(ZtregTest, DamagedStoreFailsEveryCommandAndStaysAsItIs) {
  const std::string garbage(5000, '\x01');
  ASSERT_TRUE(WriteFileBytes(path_, garbage));
  Fails({"query", kGlobals}, 1, "is not a settings store");
  Fails({"set", kGlobals, "OfflineMode", "--dword", "1"}, 1, path_);
  Fails({"delete", kGlobals}, 1, path_);
  Fails({"export"}, 1, path_);
  EXPECT_EQ(ReadFileBytes(path_), garbage);
}

}  // namespace
}  // namespace quarry::ztreg
