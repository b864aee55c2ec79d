// Runs the built ztreg program against stores in a private folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/settings_store.h"
#include "platform/testing/store_files.h"
#include "platform/testing/subprocess.h"

namespace quarry::ztreg {
namespace {

using platform::SettingsStore;
using quarry::testing::DeepKeyPath;
using quarry::testing::FirstFormatValue;
using quarry::testing::ProcessResult;
using quarry::testing::ReadFileBytes;
using quarry::testing::RunProcess;
using quarry::testing::TempDir;
using quarry::testing::WriteFileBytes;
using quarry::testing::WriteFirstFormatStore;
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
  // Runs `script` in a shell with $Z naming the ztreg program.
  ProcessResult Shell(const std::string& script) {
    return RunProcess({"/bin/sh", "-c", script},
                      {"HOME=" + dir_.path(), "XDG_CONFIG_HOME=" + dir_.path(),
                       "ZT_REGISTRY_FILE=" + path_, std::string("Z=") + ZTREG_BINARY},
                      {}, 60s);
  }
  static void ExpectOneLineFailure(const ProcessResult& result, int status,
                                   const std::string& expected) {
    EXPECT_EQ(result.exit_code, status) << result.err;
    EXPECT_TRUE(result.err.starts_with("ztreg: ")) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
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
  Fails({"query", "A\nB\x1b[2J"}, 2, "bad key \"A\\x0aB\\x1b[2J\": a key name contains a control");
  Fails({"set", DeepKeyPath(513, "k"), "v", "--dword", "1"}, 2, "513 levels; at most 512");
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

TEST_F(ZtregTest, ImportReadsOnlyFilesAndPipesOfBoundedSize) {
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string sparse = dir_.File("sparse.txt");
  ASSERT_TRUE(WriteFileBytes(sparse, ""));
  ASSERT_EQ(truncate(sparse.c_str(), (64 << 20) + 1), 0);
  struct Case {
    const char* name;
    std::string script;
    const char* error;  // null when the import succeeds
  };
  const Case cases[] = {
      {"a folder", "exec \"$Z\" import '" + dir_.path() + "'", "is a folder, not a file"},
      {"a folder as standard input", "exec \"$Z\" import - < '" + dir_.path() + "'",
       "cannot read standard input: it is a folder"},
      {"a device", "exec \"$Z\" import /dev/zero", "neither a regular file nor a pipe"},
      {"a device as standard input", "exec \"$Z\" import - < /dev/zero",
       "neither a regular file nor a pipe"},
      {"a file over the limit", "exec \"$Z\" import '" + sparse + "'", "more than 64 MiB"},
      {"a pipe over the limit", "head -c 67108865 /dev/zero | \"$Z\" import -",
       "more than 64 MiB"},
      {"a pipe at the limit", "yes '# comment' 2>/dev/null | head -c 67108864 | \"$Z\" import -", nullptr},
      {"a named pipe",
       "printf '[HKCU\\\\Piped]\\n\"v\" = dword 3\\n' > '" + fifo + "' & exec \"$Z\" import '" +
           fifo + "'",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult result = Shell(c.script);
    if (c.error == nullptr) {
      EXPECT_EQ(result.exit_code, 0) << result.err;
      EXPECT_EQ(result.err, "");
    } else {
      ExpectOneLineFailure(result, 1, c.error);
      EXPECT_NE(access(path_.c_str(), F_OK), 0) << "a refused input must not create the store";
    }
  }
  EXPECT_EQ(Ok({"query", "HKCU\\Piped", "v"}), "\"v\" = dword 3\n");
}

TEST_F(ZtregTest, ImportStoresAllOrNothing) {
  Ok({"set", kGlobals, "OfflineMode", "--dword", "1"});
  const std::string before = Ok({"export"});
  // Refused by the check of the whole text: nothing is opened or written.
  ProcessResult nul = Run({"import", "-"}, "[HKCU\\A]\n\"x\" = dword 1\n\"a\\x00b\" = string \"x\"\n");
  ExpectOneLineFailure(nul, 2, "standard input: line 3: the value name contains a NUL");
  // Refused by the store halfway through: the writes before are undone.
  ASSERT_EQ(quarry::testing::RunSql(
                path_, "CREATE TRIGGER refuse BEFORE INSERT ON key_values WHEN new.name = "
                       "'Poison' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END;"),
            "");
  ProcessResult poison =
      Run({"import", "-"}, "[HKCU\\A]\n\"x\" = dword 1\n[HKCU\\B]\n\"Poison\" = dword 2\n");
  ExpectOneLineFailure(poison, 1, "cannot store \"Poison\" in HKCU\\B");
  EXPECT_NE(poison.err.find("nothing was imported"), std::string::npos) << poison.err;
  EXPECT_EQ(Ok({"export"}), before);
}

TEST_F(ZtregTest, DeepKeysAreBoundedAndCheap) {
  // Far over the limit: refused at once, in a short line, creating nothing.
  ProcessResult huge = Run({"set", "HKCU\\" + DeepKeyPath(20000, "a"), "v", "--dword", "1"});
  ExpectOneLineFailure(huge, 2, "40004 characters long; at most 16383");
  EXPECT_LT(huge.err.size(), 300u);
  EXPECT_NE(access(path_.c_str(), F_OK), 0);

  const std::string deepest = "HKCU\\" + DeepKeyPath(512, std::string(31, 'k'));
  Ok({"set", deepest, "v", "--dword", "7"});
  EXPECT_EQ(Ok({"query", deepest, "v"}), "\"v\" = dword 7\n");
  const std::string exported = Ok({"export"});
  path_ = dir_.File("copy.sqlite");
  Ok({"import", "-"}, exported);
  EXPECT_EQ(Ok({"export"}), exported);
}

TEST_F(ZtregTest, KeysTooDeepFromAnOlderVersionCanBeDeletedButNotExported) {
  ASSERT_TRUE(WriteFirstFormatStore(
      path_, {"Software\\Deep\\" + DeepKeyPath(600, "d")},
      {FirstFormatValue{"Software\\Deep", "v", 4, {1, 0, 0, 0}}}));
  ProcessResult result = Run({"export"});
  ExpectOneLineFailure(result, 1, "513 levels");
  EXPECT_NE(result.err.find("delete the key above it"), std::string::npos) << result.err;
  Ok({"delete", "HKCU\\Software\\Deep"});
  EXPECT_EQ(Ok({"export"}), "# Settings exported by ztreg; \"ztreg import FILE\" stores them again.\n\n"
                            "[HKCU\\Software]\n\n");
}

TEST_F(ZtregTest, StoreOpenToOthersIsMadePrivateSayingSoOnce) {
  Ok({"set", kGlobals, "OfflineMode", "--dword", "1"});
  ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
  ProcessResult first = Run({"query", kGlobals, "OfflineMode"});
  EXPECT_EQ(first.exit_code, 0);
  EXPECT_EQ(first.out, "\"OfflineMode\" = dword 1\n");
  EXPECT_TRUE(first.err.starts_with("ztreg: The settings file")) << first.err;
  EXPECT_NE(first.err.find("now private to you (mode 0600)"), std::string::npos) << first.err;
  EXPECT_EQ(std::count(first.err.begin(), first.err.end(), '\n'), 1) << first.err;
  EXPECT_EQ(Ok({"query", kGlobals, "OfflineMode"}), "\"OfflineMode\" = dword 1\n");
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
