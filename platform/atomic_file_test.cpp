#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace quarry::platform {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("atomic-file-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static mode_t Mode(const std::string& path) {
    struct stat info{};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
  }
  // Only the files the test made itself: no temporary file left behind.
  size_t EntryCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }

  fs::path folder_;
};

TEST_F(AtomicFileTest, ANewFileGetsTheBytesAndTheUsualCreateMode) {
  const mode_t old_mask = ::umask(022);
  ASSERT_TRUE(WriteFileAtomically(Path("new.csv"), "a,b\r\n"));
  ::umask(old_mask);
  EXPECT_EQ(Read(Path("new.csv")), "a,b\r\n");
  EXPECT_EQ(Mode(Path("new.csv")), 0644u);
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFileTest, AnExistingFileKeepsItsPermissionBits) {
  Put(Path("private.txt"), "old");
  ::chmod(Path("private.txt").c_str(), 0600);
  ASSERT_TRUE(WriteFileAtomically(Path("private.txt"), "new"));
  EXPECT_EQ(Read(Path("private.txt")), "new");
  EXPECT_EQ(Mode(Path("private.txt")), 0600u);
}

TEST_F(AtomicFileTest, AModeAskedForWinsOverTheOldFileAndTheUmask) {
  const struct {
    const char* name;
    bool existing;
    mode_t asked;
  } cases[] = {{"new program", false, 0755}, {"replaced program", true, 0750}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(c.name);
    if (c.existing) {
      Put(path, "old");
      ::chmod(path.c_str(), 0600);
    }
    AtomicFileWriter file(path);
    file.SetMode(c.asked);
    ASSERT_TRUE(file.Write("#!/bin/sh\n") && file.Commit()) << file.Reason();
    EXPECT_EQ(Mode(path), c.asked);
  }
}

TEST_F(AtomicFileTest, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  fs::create_directories(folder_ / "real");
  Put(Path("real/data.csv"), "old");
  ::chmod(Path("real/data.csv").c_str(), 0640);
  fs::create_symlink("real/data.csv", folder_ / "relative-link");
  fs::create_symlink(folder_ / "relative-link", folder_ / "link-to-link");

  ASSERT_TRUE(WriteFileAtomically(Path("link-to-link"), "new"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "link-to-link"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "relative-link"));
  EXPECT_EQ(Read(Path("real/data.csv")), "new");
  EXPECT_EQ(Mode(Path("real/data.csv")), 0640u);
}

TEST_F(AtomicFileTest, ADanglingLinkGetsItsTargetCreated) {
  fs::create_symlink("missing.txt", folder_ / "dangling");
  ASSERT_TRUE(WriteFileAtomically(Path("dangling"), "made"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling"));
  EXPECT_EQ(Read(Path("missing.txt")), "made");
}

TEST_F(AtomicFileTest, AnythingButARegularFileIsRefusedAndLeftAlone) {
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  fs::create_directories(folder_ / "folder");
  fs::create_symlink("/dev/null", folder_ / "to-device");
  struct Case {
    std::string path;
    std::string reason_end;
  };
  for (const Case& c : {Case{Path("pipe"), "' is not a regular file"},
                        Case{Path("folder"), "' is a folder"},
                        Case{Path("to-device"), "' is not a regular file"},
                        Case{"/dev/null", "' is not a regular file"}}) {
    SCOPED_TRACE(c.path);
    std::string reason;
    // A pipe must be refused without opening it: opening would block.
    EXPECT_FALSE(WriteFileAtomically(c.path, "x", &reason));
    EXPECT_TRUE(reason.ends_with(c.reason_end)) << reason;
  }
  struct stat info{};
  ASSERT_EQ(::lstat(Path("pipe").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_TRUE(fs::is_symlink(folder_ / "to-device"));
  EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(AtomicFileTest, AFailureNamesItsCauseAndLeavesNothingBehind) {
  std::string reason;
  EXPECT_FALSE(WriteFileAtomically(Path("no-such-folder/x.csv"), "x", &reason));
  EXPECT_EQ(reason, "No such file or directory: '" + Path("no-such-folder/x.csv") + "'");

  // Control bytes in a name are shown, not sent to the terminal.
  EXPECT_FALSE(WriteFileAtomically(Path("nope/\x1b[2J.csv"), "x", &reason));
  EXPECT_NE(reason.find("\\x1b[2J.csv"), std::string::npos) << reason;
  EXPECT_EQ(EntryCount(), 0u);
}

TEST_F(AtomicFileTest, AnAbandonedWriteLeavesTheOldFile) {
  Put(Path("kept.txt"), "old");
  {
    AtomicFileWriter file(Path("kept.txt"));
    ASSERT_TRUE(file.ok());
    ASSERT_TRUE(file.Write("half of the new"));
    // Destroyed without Commit: a failure on the way, or a cancel.
  }
  EXPECT_EQ(Read(Path("kept.txt")), "old");
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFileTest, PiecesWrittenInTurnArriveInOrder) {
  AtomicFileWriter file(Path("pieces.txt"));
  for (const char* piece : {"one ", "", "two ", "three"}) ASSERT_TRUE(file.Write(piece));
  ASSERT_TRUE(file.Commit());
  EXPECT_FALSE(file.Commit());  // once only
  EXPECT_EQ(Read(Path("pieces.txt")), "one two three");
}

}  // namespace
}  // namespace quarry::platform
