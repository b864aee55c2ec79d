#include "fault/report_store.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace quarry {
namespace {

namespace fs = std::filesystem;

TEST(ReportStoreTest, FolderFollowsTheStateFolderRules) {
  EXPECT_EQ(FaultReportFolderFrom("/s", "/home/ann"), "/s/quarry/fault-reports");
  // A relative state folder is ignored, as the rules say.
  EXPECT_EQ(FaultReportFolderFrom("rel", "/home/ann"),
            "/home/ann/.local/state/quarry/fault-reports");
  EXPECT_EQ(FaultReportFolderFrom(nullptr, "/home/ann"),
            "/home/ann/.local/state/quarry/fault-reports");
  EXPECT_EQ(FaultReportFolderFrom(nullptr, nullptr), "");
}

TEST(ReportStoreTest, KeepsTheNewestTwentyAndLeavesOtherFilesAlone) {
  const fs::path folder = fs::temp_directory_path() /
                          ("quarry-report-store-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "notes.txt") << "mine";
  std::ofstream(folder / "fault-1-2.raw") << "raw";
  const std::time_t base = 1700000000;
  std::string error;
  std::string newest;
  for (int i = 0; i < 25; ++i) {
    newest = KeepReport(folder.string(), "report " + std::to_string(i), base + i * 60, 42, &error);
    ASSERT_FALSE(newest.empty()) << error;
  }
  const std::vector<std::string> kept = KeptReports(folder.string());
  ASSERT_EQ(kept.size(), kKeptReports);
  EXPECT_EQ(kept.front(), newest);
  std::ifstream in(kept.front());
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "report 24");
  // The oldest five went; what is not a report stays.
  EXPECT_EQ(kept.back(), (folder / ReportFileName(base + 5 * 60, 42)).string());
  EXPECT_TRUE(fs::exists(folder / "notes.txt"));
  EXPECT_TRUE(fs::exists(folder / "fault-1-2.raw"));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quarry
