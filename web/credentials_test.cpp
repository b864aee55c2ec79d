// The single retry after 401 (server) and 407 (proxy): with the request's
// credentials, with what the user types, or unchanged.

#include <gtest/gtest.h>

#include <string>

#include "web/base64.h"
#include "web/testing/recorders.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_retrieval.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

const char kExpected[] = "Basic dXNlcjpzM2NyZXQ=";  // user:s3cret

class CredentialsTest : public testing::WebTest {
 protected:
  // Answers `challenge` until `header` carries the expected credentials.
  static ScriptedResponse Guard(const ReceivedRequest& r, int challenge, const char* header) {
    if (r.Header(header) == kExpected) return ScriptedResponse::Make(200, "secret page");
    return ScriptedResponse::Make(
        challenge, "denied",
        {challenge == 401 ? "WWW-Authenticate: Basic realm=\"q\""
                          : "Proxy-Authenticate: Basic realm=\"q\""});
  }

  bool Fetch(const std::string& url) {
    request_.url = url;
    return AllocateBuffer(&request_, 1000) && RetrieveData(&request_);
  }

  WebRetrievalRequest request_;
  testing::RecordingUi ui_;
};

TEST_F(CredentialsTest, ServerChallengeIsAnsweredOnceWithBasicCredentials) {
  TestHttpServer server([](const ReceivedRequest& r) { return Guard(r, 401, "Authorization"); });
  request_.user_name = "user";
  request_.password = "s3cret";
  ASSERT_TRUE(Fetch(server.Url("/private"))) << request_.error_text;
  EXPECT_EQ(std::string(request_.buffer, request_.bytes_received), "secret page");
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(seen[0].HasHeader("Authorization"));  // nothing sent unasked
  EXPECT_EQ(seen[1].Header("Authorization"), kExpected);
}

TEST_F(CredentialsTest, WrongCredentialsAreTriedOnlyOnce) {
  TestHttpServer server([](const ReceivedRequest& r) { return Guard(r, 401, "Authorization"); });
  request_.user_name = "user";
  request_.password = "wrong";
  EXPECT_FALSE(Fetch(server.Url("/private")));
  EXPECT_EQ(request_.status_code, 401u);
  EXPECT_NE(request_.error_text.find("The requested resource requires user authentication"),
            std::string::npos);
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(CredentialsTest, WithoutCredentialsOrUiTheRetryGoesOutUnchanged) {
  TestHttpServer server([](const ReceivedRequest& r) { return Guard(r, 401, "Authorization"); });
  request_.user_name = "user";  // a name without a password is not enough
  EXPECT_FALSE(Fetch(server.Url("/private")));
  auto seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(seen[1].HasHeader("Authorization"));

  // "No credentials" ignores a complete pair as well.
  request_.password = "s3cret";
  request_.no_credentials = 1;
  EXPECT_FALSE(Fetch(server.Url("/private")));
  EXPECT_EQ(server.Requests().size(), 4u);
  EXPECT_FALSE(server.Requests()[3].HasHeader("Authorization"));
}

TEST_F(CredentialsTest, TheUserIsAskedWhenTheRequestCarriesNone) {
  TestHttpServer server([](const ReceivedRequest& r) { return Guard(r, 401, "Authorization"); });
  SetRetrievalUi(&ui_);
  ui_.answer_user = "user";
  ui_.answer_password = "s3cret";
  ASSERT_TRUE(Fetch(server.Url("/private"))) << request_.error_text;
  ASSERT_EQ(ui_.asked.size(), 1u);
  EXPECT_EQ(ui_.asked[0].second, 401u);
  EXPECT_EQ(ui_.asked[0].first, server.Url("/private"));

  // A user who declines gets the single unchanged retry.
  ui_.answer_user.clear();
  EXPECT_FALSE(Fetch(server.Url("/private")));
  EXPECT_EQ(server.Requests().size(), 4u);
  EXPECT_EQ(ui_.asked.size(), 2u);
}

TEST_F(CredentialsTest, ProxyChallengeIsAnsweredToTheProxyOnly) {
  TestHttpServer proxy([](const ReceivedRequest& r) {
    return Guard(r, 407, "Proxy-Authorization");
  });
  request_.use_proxy = 1;
  request_.proxy_server = "127.0.0.1:" + std::to_string(proxy.port());
  request_.user_name = "user";
  request_.password = "s3cret";
  ASSERT_TRUE(Fetch("http://origin.invalid/page")) << request_.error_text;
  auto seen = proxy.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].Header("Proxy-Authorization"), kExpected);
  EXPECT_FALSE(seen[1].HasHeader("Authorization"));

  request_.password = "wrong";
  EXPECT_FALSE(Fetch("http://origin.invalid/page"));
  EXPECT_EQ(request_.status_code, 407u);
  EXPECT_NE(request_.error_text.find("Proxy authentication required"), std::string::npos);
}

}  // namespace
}  // namespace quarry
