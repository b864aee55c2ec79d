// Finding the update server through the maker's address-list page.

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

class ServerLookupTest : public testing::WebTest {
 protected:
  void UseSite(const TestHttpServer& server) {
    store().SetString(kServicesKey, kUpdateSiteValue, server.Url("/"));
  }
  WebRetrievalRequest request_;
};

TEST_F(ServerLookupTest, APlainAnswerGivesHostPortAndPath) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, "files.example:8080/updates/quarry\r\n");
  });
  UseSite(server);
  request_.address_list_index = 3;
  request_.query_int = 17;
  request_.query_count = 2;
  request_.query_version = 1.5;
  ASSERT_TRUE(LookupServerAddress(&request_)) << request_.error_text;
  EXPECT_EQ(request_.server_text, "files.example");
  EXPECT_EQ(request_.port, 8080u);
  EXPECT_EQ(request_.object_path, "updates/quarry");
  EXPECT_EQ(request_.url, "files.example:8080/updates/quarry");
  EXPECT_EQ(request_.capacity, 256);
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].target, "/IPAddresses/FileIPs.aspx?ip=3&pc=2&pv=1.50&ui=17");
}

TEST_F(ServerLookupTest, FallsBackToTheOlderPageAndTakesHostsWithoutPort) {
  TestHttpServer server([](const ReceivedRequest& r) {
    if (r.target.find(".aspx") != std::string::npos) return ScriptedResponse::Make(500, "");
    return ScriptedResponse::Make(200, "mirror.example\\\\dl\\path");
  });
  UseSite(server);
  ASSERT_TRUE(LookupServerAddress(&request_)) << request_.error_text;
  EXPECT_EQ(request_.server_text, "mirror.example");
  EXPECT_EQ(request_.port, 80u);
  EXPECT_EQ(request_.object_path, "dl\\path");
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].target, "/IPAddresses/FileIPs.asp?ip=0");
}

TEST_F(ServerLookupTest, AFrameSetIsFollowedThroughItsFrame) {
  TestHttpServer server([](const ReceivedRequest& r) {
    if (r.target == "/real/list.txt") return ScriptedResponse::Make(200, "host.example/base");
    return ScriptedResponse::Make(
        200, "<HTML><FRAMESET><FRAME SRC=\"/real/list.txt\" NAME=\"main\"></FRAMESET></HTML>");
  });
  UseSite(server);
  ASSERT_TRUE(LookupServerAddress(&request_)) << request_.error_text;
  EXPECT_EQ(request_.server_text, "host.example");
  EXPECT_EQ(request_.object_path, "base");
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(ServerLookupTest, AFullAddressIsKeptWhole) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, "https://secure.example:8443/files");
  });
  UseSite(server);
  ASSERT_TRUE(LookupServerAddress(&request_));
  EXPECT_EQ(request_.server_text, "https://secure.example:8443/files");
  EXPECT_EQ(request_.object_path, "");
  EXPECT_EQ(request_.port, 80u);
}

TEST_F(ServerLookupTest, NoAnswerIsAFailureEvenAfterAnEarlierSuccess) {
  std::atomic<int> status{200};
  TestHttpServer server([&status](const ReceivedRequest&) {
    return ScriptedResponse::Make(status.load(), "host.example/path");
  });
  UseSite(server);
  ASSERT_TRUE(LookupServerAddress(&request_));
  status = 404;
  EXPECT_FALSE(LookupServerAddress(&request_));
  EXPECT_EQ(request_.server_text, "");
  EXPECT_EQ(request_.success, 0);
  EXPECT_NE(request_.error_text.find("Error Code: 404"), std::string::npos);
}

TEST_F(ServerLookupTest, AFrameSetWithoutAFrameSourceFails) {
  TestHttpServer server([](const ReceivedRequest&) {
    return ScriptedResponse::Make(200, "<frameset><frame src=broken></frameset>");
  });
  UseSite(server);
  EXPECT_FALSE(LookupServerAddress(&request_));
  EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
}  // namespace quarry
