#include "web/retrieval_error.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "web/curl_support.h"

namespace quarry {
namespace {

TEST(DescribeRetrievalErrorTest, ListedCodesTakeTheirTableText) {
  EXPECT_EQ(DescribeRetrievalError(kErrorKindHttp, 404),
            "The server has not found anything matching\nthe requested URI (Uniform Resource "
            "Identifier)");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindHttp, 407), "Proxy authentication required");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindSocket, 10061), "The attempt to connect was rejected");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindInternet, 12002), "The request has timed out.");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindArchive, 0), "No error occurred");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindFile, 13), "The disk is full");
}

TEST(DescribeRetrievalErrorTest, UnlistedCodesWithoutSystemTextTakeTheKindsFallback) {
  for (uint32_t status : {199u, 299u, 600u}) {
    EXPECT_EQ(DescribeRetrievalError(kErrorKindHttp, status), "An unspecified HTTP error occurred")
        << status;
  }
  EXPECT_EQ(DescribeRetrievalError(kErrorKindSocket, 10099),
            "An unspecified connection error occurred");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindInternet, 12999),
            "An unspecified internet error occurred");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindArchive, 5000),
            "An unspecified archive exception error occurred");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindFile, 5000),
            "An unspecified file exception error occurred");
  EXPECT_EQ(DescribeRetrievalError(9, 70000), "An unspecified error occurred");
}

TEST(DescribeRetrievalErrorTest, UnlistedCodesTakeTheSystemText) {
  EXPECT_EQ(DescribeRetrievalError(9, ENOENT), "No such file or directory");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindInternet, 12029),
            "A connection with the server could not be established");
  EXPECT_EQ(SystemErrorText(0), "");
  EXPECT_EQ(SystemErrorText(4000), "");
}

TEST(DescribeRetrievalErrorTest, ExtendedErrorPrefersTheServersLastResponse) {
  SetLastResponseInfo("550 No such file.\r\n");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindInternet, 12003), "550 No such file.");
  SetLastResponseInfo("");
  EXPECT_EQ(DescribeRetrievalError(kErrorKindInternet, 12003), "The server refused the request");
}

TEST(CurlFailureTest, MapsOntoTheNearestCodeAndKeepsTheDetail) {
  using web_internal::DescribeCurlFailure;
  auto refused = DescribeCurlFailure(CURLE_COULDNT_CONNECT, "Failed to connect to 127.0.0.1");
  EXPECT_EQ(refused.code, kErrorInternetCannotConnect);
  EXPECT_EQ(refused.reason,
            "A connection with the server could not be established (Failed to connect to "
            "127.0.0.1)");
  EXPECT_EQ(DescribeCurlFailure(CURLE_OPERATION_TIMEDOUT, "").code, kErrorInternetTimeout);
  EXPECT_EQ(DescribeCurlFailure(CURLE_PARTIAL_FILE, "").code, kErrorInternetConnectionAborted);
  EXPECT_EQ(DescribeCurlFailure(CURLE_TOO_MANY_REDIRECTS, "").code, kErrorHttpRedirectFailed);
  // Certificate problems are told apart by what the TLS library said.
  EXPECT_EQ(DescribeCurlFailure(CURLE_PEER_FAILED_VERIFICATION,
                                "SSL certificate problem: self-signed certificate")
                .code,
            kErrorInternetInvalidCa);
  EXPECT_EQ(DescribeCurlFailure(CURLE_PEER_FAILED_VERIFICATION,
                                "SSL certificate problem: certificate has expired")
                .code,
            kErrorInternetCertDateInvalid);
  EXPECT_EQ(DescribeCurlFailure(CURLE_PEER_FAILED_VERIFICATION,
                                "SSL: no alternative certificate subject name matches target "
                                "host name 'x'")
                .code,
            kErrorInternetCertNameInvalid);
  // Unknown failures still get a code and a reason.
  auto odd = DescribeCurlFailure(CURLE_BAD_FUNCTION_ARGUMENT, "");
  EXPECT_EQ(odd.code, kErrorInternetInternalError);
  EXPECT_FALSE(odd.reason.empty());
}

}  // namespace
}  // namespace quarry
