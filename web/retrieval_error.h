// Readable reasons for the codes a retrieval leaves in status_code.
//
// Codes are kept in the numbering the rest of the system stores and shows:
// HTTP status codes, socket error numbers (10000 and up), internet error
// numbers (12000 and up, onto which transport failures are mapped), archive
// and file exception causes, and system error numbers (errno values).

#ifndef QUARRY_WEB_RETRIEVAL_ERROR_H_
#define QUARRY_WEB_RETRIEVAL_ERROR_H_

#include <cstdint>
#include <string>

namespace quarry {

// Kinds of code for DescribeRetrievalError; any other kind means a system
// error number.
inline constexpr int kErrorKindHttp = 0;
inline constexpr int kErrorKindSocket = 1;
inline constexpr int kErrorKindInternet = 2;
inline constexpr int kErrorKindArchive = 3;
inline constexpr int kErrorKindFile = 4;

// Internet error numbers that transport failures are mapped onto.
inline constexpr uint32_t kErrorInternetTimeout = 12002;
inline constexpr uint32_t kErrorInternetExtendedError = 12003;
inline constexpr uint32_t kErrorInternetInternalError = 12004;
inline constexpr uint32_t kErrorInternetInvalidUrl = 12005;
inline constexpr uint32_t kErrorInternetUnrecognizedScheme = 12006;
inline constexpr uint32_t kErrorInternetNameNotResolved = 12007;
inline constexpr uint32_t kErrorInternetIncorrectPassword = 12014;
inline constexpr uint32_t kErrorInternetLoginFailure = 12015;
inline constexpr uint32_t kErrorInternetOperationCancelled = 12017;
inline constexpr uint32_t kErrorInternetCannotConnect = 12029;
inline constexpr uint32_t kErrorInternetConnectionAborted = 12030;
inline constexpr uint32_t kErrorInternetConnectionReset = 12031;
inline constexpr uint32_t kErrorInternetCertDateInvalid = 12037;
inline constexpr uint32_t kErrorInternetCertNameInvalid = 12038;
inline constexpr uint32_t kErrorInternetClientAuthCertNeeded = 12044;
inline constexpr uint32_t kErrorInternetInvalidCa = 12045;
inline constexpr uint32_t kErrorInternetCertRevocation = 12057;
inline constexpr uint32_t kErrorHttpInvalidServerResponse = 12152;
inline constexpr uint32_t kErrorHttpRedirectFailed = 12156;
inline constexpr uint32_t kErrorInternetSecurityChannelError = 12157;

// The reason text for `code` of `kind`. Codes the kind's table does not list
// take the system text of the code (SystemErrorText), and when there is none
// the kind's fallback ("An unspecified HTTP error occurred", ...). Internet
// error 12003 first takes this thread's last server response
// (LastResponseInfo). Never empty.
std::string DescribeRetrievalError(int kind, uint32_t code);

// The system's own text for a code, trimmed, or "" when it has none: errno
// values get the C library's message, internet error numbers the texts of
// this library.
std::string SystemErrorText(uint32_t code);

// The last response text an FTP server sent to a retrieval on this thread
// (e.g. "550 No such file."), trimmed; "" when there is none.
std::string LastResponseInfo();

// Replaces this thread's last response text.
void SetLastResponseInfo(std::string text);

}  // namespace quarry

#endif  // QUARRY_WEB_RETRIEVAL_ERROR_H_
