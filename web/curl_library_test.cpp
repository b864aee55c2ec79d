// libcurl opened on first use: each kind of argument crosses the forwarding
// functions intact (numbers, pointers, callbacks, 64-bit sizes going in;
// numbers, texts and sizes coming out), against a server on 127.0.0.1.

#include "web/curl_library.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

#include "web/testing/test_http_server.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

size_t Collect(char* data, size_t size, size_t count, void* into) {
  static_cast<std::string*>(into)->append(data, size * count);
  return size * count;
}

TEST(CurlLibraryTest, OptionsAndAnswersCrossIntact) {
  ASSERT_EQ(web_internal::CurlLoadFailure(), "");
  ASSERT_EQ(curl_global_init(CURL_GLOBAL_DEFAULT), CURLE_OK);
  const std::string body(3000, 'q');
  TestHttpServer server([&](const ReceivedRequest& request) {
    return ScriptedResponse::Make(request.target == "/big" ? 200 : 404, body,
                                  {"X-Agent: " + request.Header("User-Agent")});
  });

  struct Case {
    const char* path;
    curl_off_t most_bytes;  // CURLOPT_MAXFILESIZE_LARGE, 0 for none
    CURLcode result;
    long status;
  };
  for (const Case& c : {Case{"/big", 0, CURLE_OK, 200}, Case{"/missing", 0, CURLE_OK, 404},
                        Case{"/big", 3000, CURLE_OK, 200},
                        Case{"/big", 2999, CURLE_FILESIZE_EXCEEDED, 200}}) {
    SCOPED_TRACE(std::string(c.path) + " most " + std::to_string(c.most_bytes));
    CURL* easy = curl_easy_init();
    ASSERT_NE(easy, nullptr);
    std::string received, headers;
    const std::string url = server.Url(c.path);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_URL, url.c_str()), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_USERAGENT, "forwarded"), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 20000L), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Collect), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Collect), CURLE_OK);
    EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_HEADERDATA, &headers), CURLE_OK);
    if (c.most_bytes > 0) {
      EXPECT_EQ(curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, c.most_bytes), CURLE_OK);
    }
    // A number where none belongs is refused as libcurl refuses it.
    EXPECT_EQ(curl_easy_setopt(easy, static_cast<CURLoption>(9999), 1L),
              CURLE_UNKNOWN_OPTION);

    EXPECT_EQ(curl_easy_perform(easy), c.result);
    long status = -1;
    curl_off_t size = -1;
    char* effective = nullptr;
    EXPECT_EQ(curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status), CURLE_OK);
    EXPECT_EQ(curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &size), CURLE_OK);
    EXPECT_EQ(curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective), CURLE_OK);
    EXPECT_EQ(status, c.status);
    ASSERT_NE(effective, nullptr);
    EXPECT_EQ(std::string(effective), url);
    if (c.result == CURLE_OK) {
      EXPECT_EQ(received, body);
      EXPECT_EQ(size, static_cast<curl_off_t>(body.size()));
      EXPECT_NE(headers.find("X-Agent: forwarded"), std::string::npos) << headers;
    }
    curl_easy_cleanup(easy);
  }
}

TEST(CurlLibraryTest, AddressesAndListsGoThroughTheLoadedLibrary) {
  CURLU* url = curl_url();
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(curl_url_set(url, CURLUPART_URL, "http://example.test/a b", CURLU_URLENCODE),
            CURLUE_OK);
  char* path = nullptr;
  ASSERT_EQ(curl_url_get(url, CURLUPART_PATH, &path, 0), CURLUE_OK);
  EXPECT_STREQ(path, "/a%20b");
  curl_free(path);
  EXPECT_NE(curl_url_set(url, CURLUPART_URL, "http://[bad", 0), CURLUE_OK);
  EXPECT_STRNE(curl_url_strerror(CURLUE_BAD_HANDLE), "");
  curl_url_cleanup(url);

  curl_slist* list = curl_slist_append(nullptr, "A: 1");
  ASSERT_NE(list, nullptr);
  list = curl_slist_append(list, "B: 2");
  ASSERT_NE(list->next, nullptr);
  EXPECT_STREQ(list->next->data, "B: 2");
  curl_slist_free_all(list);
}

}  // namespace
}  // namespace quarry
