#include "web/retrieval_request.h"

#include <gtest/gtest.h>

#include <cstring>

#include "web/curl_support.h"
#include "web/web_retrieval.h"

namespace quarry {
namespace {

TEST(WebRetrievalRequestTest, DefaultsAreThoseCallersRelyOn) {
  WebRetrievalRequest request;
  EXPECT_EQ(request.progress_cookie, reinterpret_cast<uintptr_t>(&request));
  EXPECT_EQ(request.internet_flags, 0xA4000102u);
  EXPECT_EQ(request.port, 80u);
  EXPECT_EQ(request.chunk_size, 1024);
  EXPECT_EQ(request.connect_timeout, 3000u);
  EXPECT_EQ(request.query_int, -1);
  EXPECT_EQ(request.query_count, -1);
  EXPECT_EQ(request.lookup_check, -1);
  EXPECT_EQ(request.proxy_port, 80u);
  EXPECT_EQ(request.buffer, nullptr);
  EXPECT_EQ(WM_RETRIEVAL_FAILED, 0x800Fu);
  EXPECT_EQ(WM_DATAFILE_WRITE_FAILED, 0x8025u);
}

TEST(AllocateBufferTest, ReusesALargeEnoughOwnedBufferAndZeroesIt) {
  WebRetrievalRequest request;
  ASSERT_TRUE(AllocateBuffer(&request, 100));
  char* first = request.buffer;
  std::memset(first, 'x', 101);
  request.bytes_received = 100;
  request.status_code = 200;
  ASSERT_TRUE(AllocateBuffer(&request, 40));  // shrinks in place
  EXPECT_EQ(request.buffer, first);
  EXPECT_EQ(request.capacity, 40);
  EXPECT_EQ(request.bytes_received, 0);
  EXPECT_EQ(request.status_code, 0u);
  EXPECT_EQ(first[0], '\0');
  EXPECT_EQ(first[40], '\0');  // terminator after the new capacity
  ASSERT_TRUE(AllocateBuffer(&request, 1000));  // grows: a new block
  EXPECT_EQ(request.capacity, 1000);
  EXPECT_EQ(request.owns_buffer, 1u);
  EXPECT_EQ(request.buffer[1000], '\0');
}

TEST(AllocateBufferTest, DropsABorrowedBufferWithoutFreeingIt) {
  char lent[16] = "lent";
  WebRetrievalRequest request;
  request.buffer = lent;
  request.capacity = 15;
  ASSERT_TRUE(AllocateBuffer(&request, 8));
  EXPECT_NE(request.buffer, lent);
  EXPECT_EQ(request.owns_buffer, 1u);
  EXPECT_STREQ(lent, "lent");
}

TEST(AllocateBufferTest, NegativeSizeFailsWithNoBuffer) {
  WebRetrievalRequest request;
  ASSERT_TRUE(AllocateBuffer(&request, 10));
  EXPECT_FALSE(AllocateBuffer(&request, -1));
  EXPECT_EQ(request.buffer, nullptr);
  EXPECT_EQ(request.capacity, 0);
  EXPECT_FALSE(AllocateBuffer(nullptr, 10));
}

TEST(ClearBufferTest, ZeroesTheCapacityAndTheStatus) {
  WebRetrievalRequest request;
  EXPECT_FALSE(ClearBuffer(&request));
  ASSERT_TRUE(AllocateBuffer(&request, 8));
  std::memcpy(request.buffer, "abcdefgh", 8);
  request.status_code = 404;
  EXPECT_TRUE(ClearBuffer(&request));
  EXPECT_EQ(std::string(request.buffer, 8), std::string(8, '\0'));
  EXPECT_EQ(request.status_code, 0u);
}

TEST(SplitServerAndObjectTest, SplitsAfterTheSchemeOfTheProtocol) {
  std::string server, object;
  SplitServerAndObject(kProtocolHttp, "http://example.org/a/b?x=1", &server, &object);
  EXPECT_EQ(server, "example.org");
  EXPECT_EQ(object, "a/b?x=1");
  SplitServerAndObject(kProtocolHttpAlt, "HTTPS://example.org:8443", &server, &object);
  EXPECT_EQ(server, "example.org:8443");
  EXPECT_EQ(object, "/");
  SplitServerAndObject(kProtocolFtp, "ftp://files.example/pub/x.zip", &server, &object);
  EXPECT_EQ(server, "files.example");
  EXPECT_EQ(object, "pub/x.zip");
  // An address inside the query keeps its scheme.
  SplitServerAndObject(kProtocolHttp, "http://h/go?to=http://other/", &server, &object);
  EXPECT_EQ(object, "go?to=http://other/");
  SplitServerAndObject(7, "http://h/x", &server, &object);
  EXPECT_EQ(server, "http://h/x");
  EXPECT_EQ(object, "http://h/x");
}

TEST(PrepareUrlTest, ThePortFieldAppliesOnlyWhereTheAddressNamesNone) {
  using web_internal::PrepareUrl;
  std::string url;
  web_internal::TransferFailure failure;
  ASSERT_TRUE(PrepareUrl("ftp://files.example/pub/x", {"ftp"}, 21, 21, &url, &failure));
  EXPECT_EQ(url, "ftp://files.example/pub/x");
  ASSERT_TRUE(PrepareUrl("ftp://files.example/pub/x", {"ftp"}, 2121, 21, &url, &failure));
  EXPECT_EQ(url, "ftp://files.example:2121/pub/x");
  ASSERT_TRUE(PrepareUrl(" https://h:8443/a b ", {"http", "https"}, 8080, 80, &url, &failure));
  EXPECT_EQ(url, "https://h:8443/a%20b");
  ASSERT_TRUE(PrepareUrl("h/p", {"http", "https"}, 80, 80, &url, &failure));
  EXPECT_EQ(url, "http://h/p");
  EXPECT_FALSE(PrepareUrl("ftp://h/p", {"http", "https"}, 80, 80, &url, &failure));
  EXPECT_EQ(failure.code, kErrorInternetUnrecognizedScheme);
}

}  // namespace
}  // namespace quarry
