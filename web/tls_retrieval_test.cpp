// https:// addresses: certificates are always verified, a trusted authority
// can be named by the request or the environment, and failures read well.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "web/testing/test_certificate.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"
#include "web/web_retrieval.h"

namespace quarry {
namespace {

using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestCertificate;
using testing::TestHttpServer;

ScriptedResponse Page(const ReceivedRequest&) { return ScriptedResponse::Make(200, "secure"); }

class TlsRetrievalTest : public testing::WebTest {
 protected:
  bool Fetch(const std::string& url) {
    request_.url = url;
    return AllocateBuffer(&request_, 1000) && RetrieveData(&request_);
  }
  WebRetrievalRequest request_;
};

TEST_F(TlsRetrievalTest, AnUnknownAuthorityIsRefusedWithAReadableReason) {
  TestCertificate certificate("localhost", "127.0.0.1", TempPath("ca.pem"));
  TestHttpServer server(Page, certificate);
  EXPECT_FALSE(Fetch(server.Url("/")));
  EXPECT_EQ(request_.status_code, kErrorInternetInvalidCa);
  EXPECT_NE(request_.error_text.find("security certificate is not trusted"), std::string::npos)
      << request_.error_text;
  EXPECT_NE(request_.error_text.find("certificate"), std::string::npos);
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(TlsRetrievalTest, ATrustedAuthorityFromTheRequestOrTheEnvironmentIsAccepted) {
  TestCertificate certificate("localhost", "127.0.0.1", TempPath("ca.pem"));
  TestHttpServer server(Page, certificate);
  request_.ca_file = certificate.pem_path();
  ASSERT_TRUE(Fetch(server.Url("/page"))) << request_.error_text;
  EXPECT_EQ(std::string(request_.buffer, request_.bytes_received), "secure");

  request_.ca_file.clear();
  ::setenv("QUARRY_CA_FILE", certificate.pem_path().c_str(), 1);
  bool ok = Fetch(server.Url("/page"));
  ::unsetenv("QUARRY_CA_FILE");
  EXPECT_TRUE(ok) << request_.error_text;
}

TEST_F(TlsRetrievalTest, ACertificateForAnotherNameIsRefused) {
  TestCertificate certificate("elsewhere.example", "", TempPath("ca.pem"));
  TestHttpServer server(Page, certificate);
  request_.ca_file = certificate.pem_path();
  EXPECT_FALSE(Fetch(server.Url("/")));
  EXPECT_EQ(request_.status_code, kErrorInternetCertNameInvalid) << request_.error_text;
}

TEST_F(TlsRetrievalTest, AServerThatSpeaksNoTlsGivesASecureChannelError) {
  TestHttpServer plain(Page);
  EXPECT_FALSE(Fetch("https://127.0.0.1:" + std::to_string(plain.port()) + "/"));
  EXPECT_EQ(request_.status_code, kErrorInternetSecurityChannelError) << request_.error_text;
  EXPECT_NE(request_.error_text.find("A secure connection with the server could not be "
                                     "established"),
            std::string::npos);
}

}  // namespace
}  // namespace quarry
