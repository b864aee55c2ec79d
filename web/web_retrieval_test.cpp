#include "web/web_retrieval.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "web/testing/recorders.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

class RetrieveDataTest : public testing::WebTest {
 protected:
  // Fetches `url` into a fresh buffer of `capacity` bytes.
  bool Fetch(const std::string& url, int32_t capacity = 1000) {
    request_.url = url;
    if (!AllocateBuffer(&request_, capacity)) return false;
    return RetrieveData(&request_);
  }
  std::string Body() const { return std::string(request_.buffer, request_.bytes_received); }

  WebRetrievalRequest request_;
  testing::RecordingWindow window_;
};

TEST_F(RetrieveDataTest, FetchesThePageAsAPlainUncachedGet) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, "<table>ok</table>");
  });
  ASSERT_TRUE(Fetch(server.Url("/page.html?a=1"))) << request_.error_text;
  EXPECT_EQ(request_.success, 1);
  EXPECT_EQ(request_.status_code, 200u);
  EXPECT_EQ(Body(), "<table>ok</table>");
  EXPECT_EQ(request_.buffer[request_.bytes_received], '\0');
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/page.html?a=1");
  EXPECT_EQ(seen[0].Header("User-Agent"), "MSIE");
  EXPECT_EQ(seen[0].Header("Pragma"), "no-cache");
  EXPECT_FALSE(seen[0].HasHeader("Authorization"));
}

TEST_F(RetrieveDataTest, FailingStatusesGiveTheirTextAndCodeAndTellTheWindow) {
  struct Case {
    int status;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {404, DescribeRetrievalError(0, 404)},
      {503, "The service is temporarily overloaded"},
      {600, "An unspecified HTTP error occurred"},
      {304, "The requested resource has not been modified"},
  };
  std::atomic<int> status{0};
  TestHttpServer server([&status](const ReceivedRequest&) {
    return ScriptedResponse::Make(status.load(), "error page");
  });
  request_.notify_window = &window_;
  for (const Case& c : cases) {
    status = c.status;
    window_.sent.clear();
    EXPECT_FALSE(Fetch(server.Url("/missing")));
    EXPECT_EQ(request_.success, 0);
    EXPECT_EQ(request_.status_code, static_cast<uint32_t>(c.status));
    std::string expected = "Failed to Retrieve Online Data Caused By:\n" + c.reason +
                           "\nCheck Internet Connections and Try Again\nError Code: " +
                           std::to_string(c.status);
    EXPECT_EQ(request_.error_text, expected);
    ASSERT_EQ(window_.sent.size(), 1u);
    EXPECT_EQ(window_.sent[0].first, WM_RETRIEVAL_FAILED);
    EXPECT_EQ(window_.sent[0].second, expected);
  }
  // A window that is gone hears nothing.
  window_.alive = false;
  window_.sent.clear();
  EXPECT_FALSE(Fetch(server.Url("/missing")));
  EXPECT_TRUE(window_.sent.empty());
}

TEST_F(RetrieveDataTest, QueryWithoutReportKeepsTheReasonUnknownAndQuiet) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(404, "x"); });
  request_.url = server.Url("/x");
  request_.notify_window = &window_;
  EXPECT_EQ(QueryContentLength(&request_), -1);
  EXPECT_EQ(request_.error_text,
            "Failed to Retrieve Online Data Caused By:\nUnknown Reason\nCheck Internet "
            "Connections and Try Again\nError Code: 404");
  EXPECT_TRUE(window_.sent.empty());
}

TEST_F(RetrieveDataTest, FollowsRedirectsButNotForever) {
  TestHttpServer server([](const ReceivedRequest& r) {
    if (r.target == "/old") return ScriptedResponse::Make(301, "", {"Location: /new"});
    if (r.target == "/loop") return ScriptedResponse::Make(302, "", {"Location: /loop"});
    return ScriptedResponse::Make(200, "moved here");
  });
  ASSERT_TRUE(Fetch(server.Url("/old"))) << request_.error_text;
  EXPECT_EQ(Body(), "moved here");
  EXPECT_EQ(request_.status_code, 200u);
  EXPECT_EQ(server.Requests().size(), 2u);

  EXPECT_FALSE(Fetch(server.Url("/loop")));
  EXPECT_EQ(request_.status_code, kErrorHttpRedirectFailed);
  EXPECT_LE(server.Requests().size(), 2u + 12u);
}

TEST_F(RetrieveDataTest, LastModifiedOnlyWhenAskedFor) {
  std::atomic<bool> send_time{true};
  TestHttpServer server([&send_time](const ReceivedRequest&) {
    std::vector<std::string> headers;
    if (send_time) headers.push_back("Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT");
    return ScriptedResponse::Make(200, "dated", headers);
  });
  ASSERT_TRUE(Fetch(server.Url("/")));
  EXPECT_EQ(request_.last_modified, 0);
  request_.last_modified = kAskLastModified;
  ASSERT_TRUE(Fetch(server.Url("/")));
  EXPECT_EQ(request_.last_modified, 784111777);  // seconds since 1970, UTC
  send_time = false;
  request_.last_modified = kAskLastModified;
  ASSERT_TRUE(Fetch(server.Url("/")));
  EXPECT_EQ(request_.last_modified, 0);
}

TEST_F(RetrieveDataTest, OfflineEveryOperationFailsWithoutAConnection) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "x"); });
  store().SetDword(kGlobalsKey, kOfflineModeValue, 1);
  request_.url = server.Url("/");
  request_.output_file = TempPath("out.html");
  ASSERT_TRUE(AllocateBuffer(&request_, 100));
  EXPECT_FALSE(RetrieveData(&request_));
  EXPECT_EQ(RetrieveToFile(&request_), 0);
  EXPECT_EQ(QueryContentLength(&request_), -1);
  EXPECT_FALSE(RetrievePage(&request_));
  store().SetString(kServicesKey, kUpdateSiteValue, server.Url(""));
  EXPECT_FALSE(LookupServerAddress(&request_));
  EXPECT_EQ(request_.was_offline, 1u);
  EXPECT_EQ(request_.success, 0);
  EXPECT_EQ(request_.error_text.rfind("Working Offline", 0), 0u);
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(RetrieveDataTest, EmptyAddressOrUnknownProtocolFailsAtOnce) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "x"); });
  EXPECT_FALSE(Fetch(""));
  EXPECT_EQ(request_.error_text, "Invalid variables, cannot complete request\n");
  EXPECT_EQ(QueryContentLength(&request_), -1);
  request_.protocol = 5;
  EXPECT_FALSE(Fetch(server.Url("/")));
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_FALSE(RetrieveData(nullptr));
}

TEST_F(RetrieveDataTest, ProgressIsReportedInTenthsOfTheKnownLength) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, std::string(1000, 'p'));
  });
  struct Bar : ProgressBar {
    void SetRange(int lower, int upper) override { range = {lower, upper}; }
    void SetPos(int pos) override { positions.push_back(pos); }
    std::pair<int, int> range{-1, -1};
    std::vector<int> positions;
  } bar;
  std::vector<double> fractions;
  uint64_t cookie = 0;
  request_.progress_bar = &bar;
  request_.progress_callback = [&](uint64_t c, double f) {
    cookie = c;
    fractions.push_back(f);
  };
  ASSERT_TRUE(Fetch(server.Url("/big"), 5000)) << request_.error_text;
  EXPECT_EQ(request_.bytes_received, 1000);
  EXPECT_EQ(cookie, reinterpret_cast<uintptr_t>(&request_));
  ASSERT_EQ(fractions.size(), 11u);  // 0.0, then one per step of 101 bytes
  EXPECT_DOUBLE_EQ(fractions.front(), 0.0);
  EXPECT_DOUBLE_EQ(fractions[1], 0.101);
  EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
  for (size_t i = 1; i < fractions.size(); ++i) EXPECT_GT(fractions[i], fractions[i - 1]);
  EXPECT_EQ(bar.range, std::make_pair(0, 10));
  EXPECT_EQ(bar.positions.front(), 0);
  EXPECT_EQ(bar.positions.back(), 10);
}

TEST_F(RetrieveDataTest, GoesThroughTheProxyWhenAskedAndUsesThePortField) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "via"); });
  request_.use_proxy = 1;
  request_.proxy_server = "127.0.0.1:" + std::to_string(server.port());
  ASSERT_TRUE(Fetch("http://origin.invalid/page")) << request_.error_text;
  EXPECT_EQ(Body(), "via");
  // The proxy text without a port takes the proxy port setting.
  request_.proxy_server = "127.0.0.1";
  request_.proxy_port = server.port();
  ASSERT_TRUE(Fetch("http://origin.invalid/second")) << request_.error_text;
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].target, "http://origin.invalid/page");
  EXPECT_EQ(seen[1].target, "http://origin.invalid/second");

  // Without a proxy, the request's port applies to an address without one,
  // and blanks in the address are escaped.
  request_.use_proxy = 0;
  request_.port = server.port();
  ASSERT_TRUE(Fetch("127.0.0.1/with space")) << request_.error_text;
  EXPECT_EQ(server.Requests().back().target, "/with%20space");
}

TEST_F(RetrieveDataTest, RefusedConnectionGivesAReadableReason) {
  int port;
  {
    TestHttpServer gone([](const ReceivedRequest&) { return ScriptedResponse::Make(200, ""); });
    port = gone.port();
  }
  request_.notify_window = &window_;
  EXPECT_FALSE(Fetch("http://127.0.0.1:" + std::to_string(port) + "/"));
  EXPECT_EQ(request_.status_code, kErrorInternetCannotConnect);
  EXPECT_NE(request_.error_text.find("A connection with the server could not be established"),
            std::string::npos);
  EXPECT_NE(request_.error_text.find("Error Code: 12029"), std::string::npos);
  EXPECT_EQ(window_.sent.size(), 1u);
}

TEST_F(RetrieveDataTest, AnAnswerThatIsNotHttpIsCalledThat) {
  struct Case {
    std::string answer;
    const char* said;
  };
  for (const Case& c : {
           Case{std::string("\0\1garbage\r\n\r\nmore", 17), "its answer is not HTTP"},
           Case{"<html>no status line</html>", "its answer is not HTTP"},
           Case{"HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\n\r\nhi",
                "its answer holds a header too large to accept"},
       }) {
    TestHttpServer server([&c](const ReceivedRequest&) { return ScriptedResponse::Raw(c.answer); });
    EXPECT_FALSE(Fetch(server.Url("/")));
    EXPECT_EQ(request_.status_code, kErrorHttpInvalidServerResponse);
    EXPECT_NE(request_.error_text.find(c.said), std::string::npos) << request_.error_text;
  }
}

TEST_F(RetrieveDataTest, OtherSchemesAreRefused) {
  EXPECT_FALSE(Fetch("gopher://127.0.0.1/"));
  EXPECT_EQ(request_.status_code, kErrorInternetUnrecognizedScheme);
  EXPECT_FALSE(Fetch("http://[bad"));
  EXPECT_EQ(request_.status_code, kErrorInternetInvalidUrl);
}

}  // namespace
}  // namespace quarry
