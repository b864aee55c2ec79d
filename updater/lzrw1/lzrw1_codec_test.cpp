// Whole files through the container: names, refusals, and what a refusal
// leaves behind.

#include "updater/lzrw1/lzrw1_codec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "updater/lzrw1/lzrw1_container.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;

class RecordingUi : public CodecUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void BeginWait() override { ++waits; }
  void EndWait() override { --waits; }
  std::vector<std::string> messages;
  int waits = 0;
};

class Lzrw1CodecTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "lzrw1-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "download");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  RecordingUi ui_;
  CLZRW1Codec codec_{&ui_};
};

std::string Text(size_t n) {
  std::string out;
  while (out.size() < n) out += "Quarry pulls the tables out of web pages.\r\n";
  out.resize(n);
  return out;
}

TEST_F(Lzrw1CodecTest, AFileComesBackUnderItsStoredName) {
  const std::string original = Text(50000);
  Write(Path("KsButton.so"), original);
  std::string packed = Path("KsButton.so.lzr");
  ASSERT_EQ(codec_.ProcessFile(Path("KsButton.so"), &packed, 1, 1), 1) << codec_.ErrorText();
  EXPECT_LT(fs::file_size(packed), original.size() / 2);

  std::string target = Path("download/anything.tmp");
  ASSERT_EQ(codec_.ProcessFile(packed, &target, 0, 1), 1) << codec_.ErrorText();
  EXPECT_EQ(target, Path("download/KsButton.so"));
  EXPECT_EQ(Read(target), original);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(ui_.waits, 0);  // every wait cursor was taken down again
}

TEST_F(Lzrw1CodecTest, WithoutUseNameTheCallersPathIsKept) {
  Write(Path("a.txt"), Text(777));
  std::string packed = Path("a.lzr");
  ASSERT_EQ(codec_.ProcessFile(Path("a.txt"), &packed, 1, 0), 1);
  std::string out = Path("b.txt");
  ASSERT_EQ(codec_.ProcessFile(packed, &out, 0, 1), 1);  // no name stored
  EXPECT_EQ(out, Path("b.txt"));
  EXPECT_EQ(Read(out), Text(777));
}

TEST_F(Lzrw1CodecTest, AnEmptyFileIsAHeaderAndExpandsToNothing) {
  Write(Path("empty.dat"), "");
  std::string packed = Path("empty.lzr");
  ASSERT_EQ(codec_.ProcessFile(Path("empty.dat"), &packed, 1, 1), 1);
  const std::string name = "empty.dat";
  EXPECT_EQ(Read(packed), lzrw1::BuildContainerHeader(0, &name));
  std::string out = Path("download/x");
  ASSERT_EQ(codec_.ProcessFile(packed, &out, 0, 1), 1) << codec_.ErrorText();
  EXPECT_EQ(out, Path("download/empty.dat"));
  EXPECT_TRUE(fs::exists(out));
  EXPECT_EQ(fs::file_size(out), 0u);
}

TEST_F(Lzrw1CodecTest, ASourceStartingWithZeroIsNotRecompressed) {
  Write(Path("z.bin"), std::string("\0abc", 4));
  std::string packed = Path("z.lzr");
  EXPECT_EQ(codec_.ProcessFile(Path("z.bin"), &packed, 1, 1), 0);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{kCannotRecompressText});
  EXPECT_TRUE(fs::exists(packed));
  EXPECT_EQ(fs::file_size(packed), 0u);  // created, nothing written
}

TEST_F(Lzrw1CodecTest, IncompressibleDataIsStoredAndRefusedOnExpansion) {
  std::string noise;
  uint32_t x = 12345;
  for (int i = 0; i < 4000; ++i) {
    x = x * 1103515245u + 12345u;
    noise.push_back(static_cast<char>((x >> 16) | 1));
  }
  Write(Path("noise.bin"), noise);
  std::string packed = Path("noise.lzr");
  ASSERT_EQ(codec_.ProcessFile(Path("noise.bin"), &packed, 1, 1), 1);
  std::string out = Path("download/x");
  EXPECT_EQ(codec_.ProcessFile(packed, &out, 0, 1), 0);
  EXPECT_EQ(ui_.messages, std::vector<std::string>{kDoubleCompressedText});
}

// A container around `stream` with the given header fields.
std::string Container(uint32_t expanded, const std::string* name, const std::string& stream) {
  return lzrw1::BuildContainerHeader(expanded, name) + stream;
}

TEST_F(Lzrw1CodecTest, DamagedOrHostileContainersAreRefused) {
  const std::string good_stream = std::string("\0\0\0\0\0\0abc", 9);
  std::string sixteen(16, 'x');
  // Two full groups of literals, then cut after the first: a stream that
  // ends cleanly at a group boundary yet holds only half the file.
  const std::string cut = std::string("\0\0\0\0\0\0", 6) + sixteen;
  const std::string names[] = {"../x", "..\\..\\x.dll", "sub/x", "", ".", "..",
                               std::string("a\0b", 3)};
  struct Case {
    std::string label;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"not zip", "zap" + Container(3, nullptr, good_stream).substr(3)},
      {"zip without its zero", "zipX" + Container(3, nullptr, good_stream).substr(4)},
      {"header cut", Container(3, nullptr, good_stream).substr(0, 10)},
      {"name longer than the file", lzrw1::BuildContainerHeader(3, nullptr).substr(0, 12) +
                                        std::string("\1\0\0\0\xff\0\0\0ab", 10)},
      {"name flag 2", lzrw1::BuildContainerHeader(3, nullptr).substr(0, 12) +
                          std::string("\2\0\0\0", 4) + good_stream},
      {"size beyond the stream", Container(1000000, nullptr, good_stream)},
      {"stream shorter than its size", Container(32, nullptr, cut)},
      {"stream longer than its size", Container(2, nullptr, good_stream)},
  };
  for (const auto& name : names) {
    cases.push_back({"stored name '" + name + "'", Container(3, &name, good_stream)});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Write(Path("bad.lzr"), c.bytes);
    std::string out = Path("download/target");
    EXPECT_EQ(codec_.ProcessFile(Path("bad.lzr"), &out, 0, 1), 0);
    EXPECT_FALSE(codec_.ErrorText().empty());
    // Nothing escaped the download folder.
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string file = entry.path().filename().string();
      EXPECT_TRUE(file == "download" || file == "bad.lzr") << file;
    }
  }
  const std::string fine = "fine.txt";
  Write(Path("good.lzr"), Container(3, &fine, good_stream));
  std::string out = Path("download/target");
  ASSERT_EQ(codec_.ProcessFile(Path("good.lzr"), &out, 0, 1), 1) << codec_.ErrorText();
  EXPECT_EQ(Read(Path("download/fine.txt")), "abc");
}

TEST_F(Lzrw1CodecTest, MissingFilesFail) {
  std::string out = Path("o");
  EXPECT_EQ(codec_.ProcessFile(Path("absent"), &out, 1, 0), 0);
  EXPECT_EQ(codec_.ProcessFile(Path("absent"), &out, 0, 0), 0);
  Write(Path("a"), "abc");
  std::string nowhere = Path("no/such/folder/x");
  EXPECT_EQ(codec_.ProcessFile(Path("a"), &nowhere, 1, 0), 0);
  EXPECT_NE(codec_.ErrorText().find("cannot create"), std::string::npos);
}

TEST(Lzrw1ContainerTest, StoredNamesAreTheLastPathPart) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {{"C:\\Program Files\\a.dll", "a.dll"},
               {"/usr/lib/x.so", "x.so"},
               {"dir\\sub/odd", "sub/odd"},  // a backslash wins over slashes
               {"bare", "bare"}};
  for (const auto& c : cases) EXPECT_EQ(lzrw1::StoredNameOf(c.path), c.name) << c.path;
  EXPECT_FALSE(lzrw1::IsBareFileName("sub/odd"));
  EXPECT_TRUE(lzrw1::IsBareFileName("...x"));
}

}  // namespace
}  // namespace quarry
