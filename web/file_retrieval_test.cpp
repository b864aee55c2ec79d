// file:// addresses: saved pages are read from disk through the same
// operations as web pages.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "web/response_stream.h"
#include "web/testing/web_test_environment.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

class FileRetrievalTest : public testing::WebTest {
 protected:
  void SetUp() override {
    testing::WebTest::SetUp();
    std::filesystem::create_directory(TempPath("saved pages"));
    path_ = TempPath("saved pages/page #1.html");
    std::ofstream(path_, std::ios::binary) << "<table><tr><td>1</td></tr></table>";
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, path_.c_str(), times, 0);
  }
  // The page's address, with the blanks and "#" escaped.
  std::string Url() const {
    std::string url = "file://";
    for (char c : path_) {
      if (c == ' ') {
        url += "%20";
      } else if (c == '#') {
        url += "%23";
      } else {
        url += c;
      }
    }
    return url;
  }
  bool Fetch(const std::string& url) {
    request_.url = url;
    return AllocateBuffer(&request_, 1000) && RetrieveData(&request_);
  }

  std::string path_;
  WebRetrievalRequest request_;
};

TEST_F(FileRetrievalTest, ReadsTheDecodedPathEvenOffline) {
  store().SetDword(kGlobalsKey, kOfflineModeValue, 1);
  request_.last_modified = kAskLastModified;
  ASSERT_TRUE(Fetch(Url())) << request_.error_text;
  EXPECT_EQ(std::string(request_.buffer, request_.bytes_received),
            "<table><tr><td>1</td></tr></table>");
  EXPECT_EQ(request_.status_code, 200u);
  EXPECT_EQ(request_.last_modified, 1000000000);
  EXPECT_EQ(QueryContentLength(&request_), 34);
  // "localhost" names this machine too.
  ASSERT_TRUE(Fetch("file://localhost" + Url().substr(7))) << request_.error_text;
}

TEST_F(FileRetrievalTest, AMissingFileSaysWhichAndWhy) {
  EXPECT_FALSE(Fetch("file://" + TempPath("nothing.html")));
  EXPECT_EQ(request_.status_code, static_cast<uint32_t>(ENOENT));
  EXPECT_NE(request_.error_text.find("No such file or directory: '" + TempPath("nothing.html") + "'"),
            std::string::npos);
  EXPECT_FALSE(Fetch("file://" + TempPath("saved pages")));
  EXPECT_EQ(request_.status_code, static_cast<uint32_t>(EISDIR));
}

TEST_F(FileRetrievalTest, OnlyLocalPathsAreAccepted) {
  EXPECT_EQ(web_internal::FileUrlToPath("file:///a%2Fb/c%20d"), "/a/b/c d");
  EXPECT_EQ(web_internal::FileUrlToPath("file://otherhost/etc/passwd"), "");
  EXPECT_EQ(web_internal::FileUrlToPath("file:///etc/passwd%00.html"), "");
  EXPECT_FALSE(Fetch("file://otherhost/etc/hostname"));
  EXPECT_EQ(request_.status_code, kErrorInternetInvalidUrl);
}

TEST_F(FileRetrievalTest, APageCanBeCopiedToAFile) {
  request_.url = Url();
  request_.output_file = TempPath("copy.html");
  EXPECT_EQ(RetrieveToFile(&request_), 34);
  std::ifstream in(request_.output_file);
  std::string copy((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(copy, "<table><tr><td>1</td></tr></table>");
}

}  // namespace
}  // namespace quarry
