// The installation's journal: every phase and awkward path survives a round
// trip, and anything less than a whole journal is no journal.

#include "updater/install_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quarry {
namespace {

TEST(InstallJournalTest, RoundTripsEveryPhaseAndAwkwardNames) {
  for (auto phase : {InstallJournal::Phase::kReplacing, InstallJournal::Phase::kRestoring,
                     InstallJournal::Phase::kFinishing}) {
    InstallJournal journal;
    journal.phase = phase;
    journal.entries = {
        {"/opt/k/KsButton.so", "KsButton.so", std::string(64, 'a'), FileKind::kLibrary, 0644, "",
         310},
        {"/home/ann/My Apps/100%\tnew\r\nQuarry", "1-Quarry", "", FileKind::kProgram, 0750,
         "Software\\Zandor Tech\\Quarry\\SoftwareUpdate", 0},
        {"/opt/k/Qry.chm", "Qry.chm", "ff", FileKind::kData, 0600, "x", 4294967295u},
    };
    const auto back = DecodeJournal(EncodeJournal(journal));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, journal);
  }
  InstallJournal empty;
  EXPECT_EQ(DecodeJournal(EncodeJournal(empty)), empty);
}

TEST(InstallJournalTest, AnythingButAWholeJournalIsRefused) {
  InstallJournal journal;
  journal.entries = {{"/a/b", "b", "00", FileKind::kData, 0644, "", 100}};
  const std::string good = EncodeJournal(journal);
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string copy = good;
    copy.replace(copy.find(from), from.size(), to);
    return copy;
  };
  const std::string cases[] = {
      "",
      good.substr(0, good.size() - 1),          // cut before the last line end
      good.substr(0, good.find("end")),         // the end marker missing
      replaced("KspInstallJournal 1", "KspInstallJournal 2"),
      replaced("replacing", "guessing"),
      replaced("\tdata\t", "\tdevice\t"),
      replaced("\t644\t", "\t99999\t"),
      replaced("\t100\n", "\t-1\n"),
      replaced("/a/b", "/a/%zz"),
      replaced("\t644", "\t644\textra"),
  };
  for (const std::string& text : cases) {
    EXPECT_FALSE(DecodeJournal(text).has_value()) << text;
  }
}

TEST(InstallJournalTest, FileKindsByNameAndPermission) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("kind-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto make = [&](const char* name, mode_t mode) {
    const std::string path = (dir / name).string();
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), mode);
    return path;
  };
  const struct {
    std::string path;
    FileKind kind;
  } cases[] = {
      {make("KsButton.so", 0755), FileKind::kLibrary},  // modules are libraries, bits or not
      {make("libfoo.so.2", 0644), FileKind::kLibrary},
      {make("OLD.DLL", 0644), FileKind::kLibrary},
      {make("Setup.exe", 0644), FileKind::kProgram},
      {make("Quarry", 0755), FileKind::kProgram},
      {make("Qry.chm", 0644), FileKind::kData},
      {make("notes.so.txt", 0644), FileKind::kData},
      {(dir / "missing").string(), FileKind::kData},
  };
  for (const auto& c : cases) EXPECT_EQ(FileKindOf(c.path), c.kind) << c.path;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quarry
