// libcurl, loaded when the first address or transfer needs it rather than
// when a program starts.
//
// libcurl brings some thirty shared libraries with it (TLS, SSH, LDAP,
// Kerberos, IDN, compression): mapping and relocating them costs a few
// milliseconds at every start, which `qry` on a saved page and the
// programs that never go online would pay for nothing. So the retrieval
// library does not link libcurl: curl_library.cpp defines the libcurl
// functions it calls, and each looks its namesake up in "libcurl.so.4",
// opened on first use. Call sites use the libcurl API as documented.
//
// When libcurl cannot be loaded (not installed, lacking a function), every
// call fails the way libcurl reports a failure: handles come back null,
// codes are CURLE_FAILED_INIT, CURLUE_OUT_OF_MEMORY or
// CURLM_INTERNAL_ERROR, and CurlLoadFailure() gives the reason.

#ifndef QUARRY_WEB_CURL_LIBRARY_H_
#define QUARRY_WEB_CURL_LIBRARY_H_

#include <string>

namespace quarry::web_internal {

// Loads libcurl if that was not tried yet. Returns "" when it is loaded,
// else why not ("libcurl could not be loaded: ..."). Thread-safe; the
// library stays loaded until the process ends.
const std::string& CurlLoadFailure();

}  // namespace quarry::web_internal

#endif  // QUARRY_WEB_CURL_LIBRARY_H_
