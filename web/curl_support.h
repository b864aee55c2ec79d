// libcurl plumbing shared by the HTTP and FTP steps: one-time library set-up,
// the options every transfer of a request gets, and the translation of
// libcurl's failures into the system's error numbers and readable reasons.
// Internal to the retrieval library.

#ifndef QUARRY_WEB_CURL_SUPPORT_H_
#define QUARRY_WEB_CURL_SUPPORT_H_

#include <curl/curl.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "web/retrieval_request.h"

namespace quarry::web_internal {

// Initialises libcurl once per process; safe to call from any thread.
void EnsureCurlInitialised();

// The user agent every request announces.
inline constexpr char kUserAgent[] = "MSIE";
// Connect timeout used when the request keeps the library's default.
inline constexpr long kDefaultConnectTimeoutMs = 60000;

// True when the request's cancel flag is set.
bool IsCancelled(const WebRetrievalRequest& request);

// Applies what every transfer of `request` shares: user agent, connect,
// stall and whole-transfer time limits, the cancel flag, proxy,
// certificate authorities, Last-Modified, no signals. `error_buffer` (CURL_ERROR_SIZE bytes) receives libcurl's detail
// and must outlive the handle's use.
void ApplyCommonOptions(CURL* easy, const WebRetrievalRequest& request,
                        char* error_buffer);

struct TransferFailure;

// Turns a request's address into the one libcurl is given: surrounding
// blanks dropped, a missing scheme taken as `schemes[0]`, schemes other than
// those listed refused, spaces and 8-bit bytes escaped, and `port` applied
// when the address names none and `port` is neither 0 nor `default_port`.
bool PrepareUrl(const std::string& address, std::initializer_list<const char*> schemes,
                uint32_t port, uint32_t default_port, std::string* url, TransferFailure* failure);

// A failed transfer in the system's terms.
struct TransferFailure {
  uint32_t code = 0;   // internet error number (12xxx) or system error number
  std::string reason;  // readable, with libcurl's detail when it adds any
};

// Maps a libcurl result (and the detail in its error buffer, may be empty)
// onto the nearest internet error number and a readable reason.
TransferFailure DescribeCurlFailure(CURLcode result, const std::string& detail);

}  // namespace quarry::web_internal

#endif  // QUARRY_WEB_CURL_SUPPORT_H_
