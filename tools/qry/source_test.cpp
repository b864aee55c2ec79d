#include "tools/qry/source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quarry::qry {
namespace {

namespace fs = std::filesystem;

class ReadSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "qry-source-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  fs::path dir_;
};

TEST_F(ReadSourceTest, ReadsEveryByteUpToTheLimit) {
  const std::string bytes("ab\0\xff\r\ncd", 8);
  SourceText text;
  std::string error;
  ASSERT_TRUE(ReadSource(Write("p.html", bytes), &text, &error, 8)) << error;
  EXPECT_EQ(text.bytes, bytes);
  EXPECT_FALSE(text.truncated);

  ASSERT_TRUE(ReadSource(Write("e.html", ""), &text, &error, 8));
  EXPECT_EQ(text.bytes, "");
  EXPECT_FALSE(text.truncated);
}

TEST_F(ReadSourceTest, CutsALargerPageAtTheLimit) {
  SourceText text;
  std::string error;
  ASSERT_TRUE(ReadSource(Write("big.html", "0123456789"), &text, &error, 9));
  EXPECT_EQ(text.bytes, "012345678");
  EXPECT_TRUE(text.truncated);
}

TEST_F(ReadSourceTest, NamesTheSourceAndTheCauseOnFailure) {
  SourceText text;
  std::string error;
  const std::string missing = (dir_ / "missing.html").string();
  EXPECT_FALSE(ReadSource(missing, &text, &error));
  EXPECT_EQ(error, "cannot read '" + missing + "': No such file or directory");

  EXPECT_FALSE(ReadSource(dir_.string(), &text, &error));
  EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace quarry::qry
