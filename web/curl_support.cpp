#include "web/curl_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "web/curl_library.h"
#include "web/retrieval_error.h"
#include "web/web_settings.h"

namespace quarry::web_internal {

namespace {

const char* CaFile(const WebRetrievalRequest& request) {
  if (!request.ca_file.empty()) return request.ca_file.c_str();
  for (const char* name : {"QUARRY_CA_FILE", "CURL_CA_BUNDLE"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return nullptr;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

uint32_t CertificateFailureCode(const std::string& detail) {
  if (Contains(detail, "expired") || Contains(detail, "not yet valid")) {
    return kErrorInternetCertDateInvalid;
  }
  if (Contains(detail, "subject name") || Contains(detail, "does not match") ||
      Contains(detail, "alternative certificate subject")) {
    return kErrorInternetCertNameInvalid;
  }
  return kErrorInternetInvalidCa;
}

// Ends a transfer whose request was cancelled. libcurl calls this on every
// chunk and at least once a second while it waits.
int OnTransferInfo(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* flag = static_cast<const std::atomic<bool>*>(cancel);
  return flag != nullptr && flag->load() ? 1 : 0;
}

}  // namespace

bool IsCancelled(const WebRetrievalRequest& request) {
  return request.cancel != nullptr && request.cancel->load();
}

void EnsureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void ApplyCommonOptions(CURL* easy, const WebRetrievalRequest& request, char* error_buffer) {
  error_buffer[0] = '\0';
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
  long connect_ms = request.connect_timeout == 0 || request.connect_timeout == 3000
                        ? kDefaultConnectTimeoutMs
                        : static_cast<long>(request.connect_timeout);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connect_ms);
  if (request.stall_timeout > 0 && request.low_speed_limit > 0) {
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(request.low_speed_limit));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.stall_timeout));
  }
  const uint32_t limit = request.transfer_time_limit == kTransferTimeLimitFromSettings
                             ? TransferTimeLimit()
                             : request.transfer_time_limit;
  if (limit > 0) curl_easy_setopt(easy, CURLOPT_TIMEOUT, static_cast<long>(limit));
  if (request.cancel != nullptr) {
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnTransferInfo);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA,
                     const_cast<std::atomic<bool>*>(request.cancel));
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  }
  curl_easy_setopt(easy, CURLOPT_FILETIME, 1L);
  if (request.use_proxy == 1) {
    // An explicit proxy is used for every host: no bypass list.
    curl_easy_setopt(easy, CURLOPT_PROXY, request.proxy_server.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (request.proxy_port != 0) {
      // Only used when the proxy text carries no port of its own.
      curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(request.proxy_port));
    }
  }
  // Otherwise the environment's proxy settings apply, as the system's
  // configuration does for every other program.
  if (const char* ca_file = CaFile(request)) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, ca_file);
  }
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
}

bool PrepareUrl(const std::string& address, std::initializer_list<const char*> schemes,
                uint32_t port, uint32_t default_port, std::string* url, TransferFailure* failure) {
  EnsureCurlInitialised();
  size_t first = address.find_first_not_of(" \t\r\n");
  size_t last = address.find_last_not_of(" \t\r\n");
  std::string text = first == std::string::npos ? std::string()
                                                : address.substr(first, last - first + 1);
  if (text.find("://") == std::string::npos) text = std::string(*schemes.begin()) + "://" + text;
  CURLU* parsed = curl_url();
  if (parsed == nullptr) {
    *failure = DescribeCurlFailure(CURLE_OUT_OF_MEMORY, "");
    return false;
  }
  bool ok = false;
  char* scheme = nullptr;
  char* given_port = nullptr;
  char* full = nullptr;
  CURLUcode rc = curl_url_set(parsed, CURLUPART_URL, text.c_str(),
                              CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE);
  if (rc != CURLUE_OK) {
    *failure = DescribeCurlFailure(CURLE_URL_MALFORMAT, curl_url_strerror(rc));
  } else if (curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK ||
             std::none_of(schemes.begin(), schemes.end(),
                          [scheme](const char* s) { return std::strcmp(s, scheme) == 0; })) {
    *failure = DescribeCurlFailure(CURLE_UNSUPPORTED_PROTOCOL, "");
  } else {
    if (curl_url_get(parsed, CURLUPART_PORT, &given_port, 0) == CURLUE_NO_PORT && port != 0 &&
        port != default_port) {
      curl_url_set(parsed, CURLUPART_PORT, std::to_string(port).c_str(), 0);
    }
    if (curl_url_get(parsed, CURLUPART_URL, &full, 0) == CURLUE_OK) {
      *url = full;
      ok = true;
    } else {
      *failure = DescribeCurlFailure(CURLE_URL_MALFORMAT, "");
    }
  }
  curl_free(scheme);
  curl_free(given_port);
  curl_free(full);
  curl_url_cleanup(parsed);
  return ok;
}

TransferFailure DescribeCurlFailure(CURLcode result, const std::string& detail) {
  uint32_t code = kErrorInternetInternalError;
  std::string shown_detail = detail;
  // Without libcurl every step fails alike; the reason is the library.
  if (const std::string& load_failure = CurlLoadFailure(); !load_failure.empty()) {
    result = CURLE_FAILED_INIT;
    shown_detail = load_failure;
  }
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      // libcurl also says this of an answer that is not HTTP at all.
      if (detail.find("HTTP/0.9") != std::string::npos) {
        code = kErrorHttpInvalidServerResponse;
        shown_detail = "its answer is not HTTP";
      } else {
        code = kErrorInternetUnrecognizedScheme;
      }
      break;
    case CURLE_OUT_OF_MEMORY:
      // Almost always a header line beyond libcurl's limit, which it
      // reports in these words and without detail.
      code = kErrorHttpInvalidServerResponse;
      shown_detail = "its answer holds a header too large to accept";
      break;
    case CURLE_URL_MALFORMAT:
      code = kErrorInternetInvalidUrl;
      break;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      code = kErrorInternetNameNotResolved;
      break;
    case CURLE_COULDNT_CONNECT:
      code = kErrorInternetCannotConnect;
      break;
    case CURLE_OPERATION_TIMEDOUT:
      code = kErrorInternetTimeout;
      break;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
      code = kErrorInternetConnectionAborted;
      break;
    case CURLE_SEND_ERROR:
      code = kErrorInternetConnectionReset;
      break;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING:
      code = kErrorHttpInvalidServerResponse;
      break;
    case CURLE_TOO_MANY_REDIRECTS:
      code = kErrorHttpRedirectFailed;
      break;
    case CURLE_PEER_FAILED_VERIFICATION:
      code = CertificateFailureCode(detail);
      break;
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      code = kErrorInternetInvalidCa;
      break;
    case CURLE_SSL_INVALIDCERTSTATUS:
      code = kErrorInternetCertRevocation;
      break;
    case CURLE_SSL_CERTPROBLEM:
      code = kErrorInternetClientAuthCertNeeded;
      break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
      code = kErrorInternetSecurityChannelError;
      break;
    case CURLE_LOGIN_DENIED:
      code = kErrorInternetLoginFailure;
      break;
    case CURLE_ABORTED_BY_CALLBACK:
      code = kErrorInternetOperationCancelled;
      break;
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_WEIRD_PASS_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_COULDNT_USE_REST:
    case CURLE_FTP_PRET_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_QUOTE_ERROR:
      // The FTP server said no; its own words are the best reason.
      code = kErrorInternetExtendedError;
      break;
    default:
      break;
  }
  TransferFailure failure;
  failure.code = code;
  std::string base = DescribeRetrievalError(kErrorKindInternet, code);
  if (shown_detail.empty() || shown_detail == base) {
    failure.reason = base;
  } else {
    failure.reason = base + " (" + shown_detail + ")";
  }
  return failure;
}

}  // namespace quarry::web_internal
