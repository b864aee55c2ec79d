#include "app/trace_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/testing/subprocess.h"

namespace quarry {
namespace {

using quarry::testing::ReadFileBytes;
using quarry::testing::TempDir;
using quarry::testing::WriteFileBytes;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
  return lines;
}

TEST(TraceFilePathTest, OverrideThenStateFolderThenHome) {
  EXPECT_EQ(TraceFilePathFrom("/tmp/t.log", "/state", "/home/u"), "/tmp/t.log");
  EXPECT_EQ(TraceFilePathFrom("", "/state", "/home/u"), "/state/quarry/QuarryTrace.log");
  EXPECT_EQ(TraceFilePathFrom(nullptr, nullptr, "/home/u"),
            "/home/u/.local/state/quarry/QuarryTrace.log");
  // A relative state folder is ignored, as the XDG rules say.
  EXPECT_EQ(TraceFilePathFrom(nullptr, "state", "/home/u"),
            "/home/u/.local/state/quarry/QuarryTrace.log");
  EXPECT_EQ(TraceFilePathFrom(nullptr, nullptr, nullptr), "");
}

TEST(TraceLogTest, StartCreatesTheFileWithADatedHeader) {
  TempDir dir;
  const std::string path = dir.File("state/quarry/QuarryTrace.log");
  TraceLog log;
  log.Trace("before start %d", 1);  // off: nothing, and no file
  EXPECT_FALSE(log.IsRunning());

  ASSERT_TRUE(log.Start(path));
  EXPECT_TRUE(log.IsRunning());
  EXPECT_EQ(log.Path(), path);
  const std::string header = ReadFileBytes(path);
  EXPECT_TRUE(std::regex_match(header,
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\r\n\r\n)")))
      << header;
  struct stat info{};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  log.Trace("page %s has %d tables\n", "a.html", 3);
  log.Stop();
  log.Trace("after stop");
  const std::vector<std::string> lines = Lines(ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(std::regex_match(lines[2],
                               std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \[\d+\] page a\.html has 3 tables)")))
      << lines[2];
}

TEST(TraceLogTest, ALaterRunAppendsBelowWhatIsThere) {
  TempDir dir;
  const std::string path = dir.File("QuarryTrace.log");
  ASSERT_TRUE(WriteFileBytes(path, "old run\r\n"));
  TraceLog log;
  ASSERT_TRUE(log.Start(path));
  ASSERT_TRUE(log.Start(dir.File("other.log"))) << "a running log stays as it is";
  EXPECT_EQ(log.Path(), path);
  log.Stop();
  const std::vector<std::string> lines = Lines(ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "old run");
  EXPECT_EQ(lines[2], "");
}

TEST(TraceLogTest, AnUnwritablePlaceLeavesTracingOff) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("file"), "x"));
  TraceLog log;
  EXPECT_FALSE(log.Start(dir.File("file/sub/trace.log")));
  EXPECT_FALSE(log.Start(""));
  EXPECT_FALSE(log.IsRunning());
  EXPECT_EQ(log.Path(), "");
}

TEST(TraceLogTest, LinesFromManyThreadsStayWhole) {
  TempDir dir;
  const std::string path = dir.File("trace.log");
  TraceLog log;
  ASSERT_TRUE(log.Start(path));
  constexpr int kThreads = 6;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i) log.Trace("thread %d line %d %s", t, i, "xxxxxxxxxxxxxxxx");
    });
  }
  for (auto& th : threads) th.join();
  log.Stop();
  const std::vector<std::string> lines = Lines(ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 2u + kThreads * kLines);
  const std::regex shape(R"(\S+ \[\d+\] thread (\d) line (\d+) x{16})");
  std::vector<int> next(kThreads, 0);
  for (size_t i = 2; i < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, shape)) << lines[i];
    EXPECT_EQ(std::stoi(m[2]), next[std::stoi(m[1])]++);
  }
}

}  // namespace
}  // namespace quarry
