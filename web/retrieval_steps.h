// The steps the public retrieval operations are built from. Internal to the
// retrieval library; declared here so the operations and their tests share
// them.

#ifndef QUARRY_WEB_RETRIEVAL_STEPS_H_
#define QUARRY_WEB_RETRIEVAL_STEPS_H_

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "web/response_stream.h"
#include "web/retrieval_request.h"

namespace quarry::web_internal {

inline constexpr char kInvalidVariablesText[] = "Invalid variables, cannot complete request\n";
inline constexpr char kOfflineText[] =
    "Working Offline\nSwitch Offline Mode Off and Try Again\n";
inline constexpr char kProxyMissingText[] =
    "A proxy is switched on (UseProxy = 1) but no proxy server is set (ProxyServer is empty)\n"
    "Set the proxy server in the Configurations view, or switch the proxy off\n";
inline constexpr char kUnknownReason[] = "Unknown Reason";
inline constexpr char kStreamClosedReason[] = "Data Stream Unexpectedly Closed";
inline constexpr char kNoDataText[] = "No data read\n";
inline constexpr char kOverflowText[] = "Buffer overflow\n";
inline constexpr char kWriteFailedPrefix[] = "Error Writing to Data File.  Reason:\n";

// The error text of a failed exchange: reason and code.
std::string FailureText(const std::string& reason, uint32_t code);
// The error text of a failed read (no code line).
std::string ReadFailureText(const std::string& reason);

// The check every operation makes before it starts: the request exists,
// success is cleared (and bytes_received when `clear_bytes`), was_offline
// records the offline switch, and the address is not empty. Returns false,
// with a reason in error_text, when the operation must stop here: a failed
// check, or the offline switch on for an address that needs the network.
bool MayProceed(WebRetrievalRequest* request, bool clear_bytes);

// Sends WM_RETRIEVAL_FAILED with the request's error text to its notify
// window, when it has one with a live window.
void NotifyRetrievalFailed(WebRetrievalRequest* request);

// Opens the request's http://, https:// or file:// address: sends it (with
// the single credentials retry after 401 or 407) and leaves the response
// open in *stream when the status is 2xx. `stream` must point to an empty
// pointer. On failure *stream stays empty, success = 0, error_text holds
// the reason (the readable status text when `report`) and, with `report`,
// the notify window hears of it.
bool OpenHttpRequest(WebRetrievalRequest* request, std::unique_ptr<ResponseStream>* stream,
                     bool report);

// Reads the open response into the request's buffer: the sized loop with
// progress when `length` is known (>= 0), else the unsized loop. Sets
// bytes_received, success, truncated and, on failure, error_text.
bool ReadResponse(WebRetrievalRequest* request, ResponseStream* stream, int64_t length);

// An FTP server with the request's file found on it. Owns its handle.
struct FtpConnection {
  FtpConnection();
  ~FtpConnection();
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  CURL* easy = nullptr;
  std::string url;         // ftp://host[:port]/path
  int64_t size = -1;       // the file's size when the server told it
  int64_t modified = 0;    // the file's time when the server told it
  char error_buffer[CURL_ERROR_SIZE];
};

// Logs on to the FTP server of the request's address (its user name and
// password, anonymous when none) and makes sure the file exists. On failure
// success = 0, error_text holds the reason and, with `report`, the notify
// window hears of it.
bool OpenFtpConnection(WebRetrievalRequest* request, FtpConnection* connection, bool report);

// Downloads the file of an open connection: into output_file when the
// request names one (written whole or not at all; the buffer is untouched,
// bytes_received = 0), else into a buffer of the file's length. Sets
// success; returns the number of bytes downloaded, or -1 on failure.
int64_t FetchFtpFile(WebRetrievalRequest* request, FtpConnection* connection);

}  // namespace quarry::web_internal

#endif  // QUARRY_WEB_RETRIEVAL_STEPS_H_
