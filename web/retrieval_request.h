// The caller-owned record of one retrieval, and the small interfaces through
// which a retrieval reports progress and failures to a user interface.
//
// A WebRetrievalRequest is usually built on the caller's stack, filled with
// an address (and a receive buffer from AllocateBuffer), handed to one of the
// operations of web_retrieval.h, and read back: success, status_code,
// error_text and the bytes in buffer[0 .. bytes_received). The operations
// never throw; every failure leaves success = 0 and a reason in error_text.
//
// Nothing here uses Qt: the GUI binds NotifyWindow and ProgressBar to its
// windows and widgets, headless callers leave them null.

#ifndef QUARRY_WEB_RETRIEVAL_REQUEST_H_
#define QUARRY_WEB_RETRIEVAL_REQUEST_H_

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace quarry {

// Window messages a retrieval delivers to its notify window.
inline constexpr uint32_t kWmApp = 0x8000;
// Sent (the sender blocks until handled); wparam is a `const char*` to the
// request's error text, valid only during the call; lparam is 0.
inline constexpr uint32_t WM_RETRIEVAL_FAILED = kWmApp + 15;
// Posted after RetrieveToFile could not write its output file; both
// parameters 0.
inline constexpr uint32_t WM_DATAFILE_WRITE_FAILED = kWmApp + 37;

// A window that wants to hear about failed retrievals. The GUI implements it
// over a real window (SendMessage / PostMessage of its event loop). Not owned
// by the request; it must outlive every operation that is given it.
class NotifyWindow {
 public:
  virtual ~NotifyWindow() = default;
  // False when the window behind this object is gone: nothing is delivered.
  virtual bool HasWindow() const = 0;
  // Delivers the message and returns only after the window has handled it.
  // May be called from a worker thread.
  virtual intptr_t SendMessage(uint32_t message, uintptr_t wparam,
                               intptr_t lparam) = 0;
  // Queues the message for the window and returns at once.
  virtual bool PostMessage(uint32_t message, uintptr_t wparam,
                           intptr_t lparam) = 0;
};

// A progress control advanced while a response of known length is read:
// range 0..10, position rising to 10. Not owned by the request. Called on the
// retrieving thread; a GUI implementation must marshal to its own thread.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetRange(int lower, int upper) = 0;
  virtual void SetPos(int pos) = 0;
};

// Called on the retrieving thread with the request's progress cookie and the
// fraction read so far (0.0 first, 1.0 when the whole response is in).
using ProgressCallback = std::function<void(uint64_t cookie, double fraction)>;

// Protocol values.
inline constexpr int32_t kProtocolHttp = 0;      // http://, https://, file://
inline constexpr int32_t kProtocolHttpAlt = 1;   // the same as 0
inline constexpr int32_t kProtocolFtp = 2;       // ftp://

// Default internet flags: reload, reuse connections, no cache write, send
// "Pragma: no-cache", binary FTP transfers.
inline constexpr uint32_t kInternetFlagReload = 0x80000000u;
inline constexpr uint32_t kInternetFlagExistingConnect = 0x20000000u;
inline constexpr uint32_t kInternetFlagNoCacheWrite = 0x04000000u;
inline constexpr uint32_t kInternetFlagPragmaNoCache = 0x00000100u;
inline constexpr uint32_t kInternetFlagTransferBinary = 0x00000002u;
inline constexpr uint32_t kDefaultInternetFlags =
    kInternetFlagReload | kInternetFlagExistingConnect |
    kInternetFlagNoCacheWrite | kInternetFlagPragmaNoCache |
    kInternetFlagTransferBinary;  // 0xA4000102

// transfer_time_limit's default: the limit comes from the settings store.
inline constexpr uint32_t kTransferTimeLimitFromSettings = 0xFFFFFFFFu;

// The value a caller stores in last_modified to ask for the server's time.
inline constexpr int64_t kAskLastModified = -1;

// One retrieval. Owned by the caller; not copyable (it may own its buffer,
// and its progress cookie defaults to its own address). Destroying it frees
// a buffer it owns (owns_buffer = 1); a borrowed buffer is left alone.
struct WebRetrievalRequest {
  WebRetrievalRequest();
  ~WebRetrievalRequest();
  WebRetrievalRequest(const WebRetrievalRequest&) = delete;
  WebRetrievalRequest& operator=(const WebRetrievalRequest&) = delete;

  // Last HTTP status, or the system / internet error code of the last
  // failure (see DescribeRetrievalError); 410 when the stream vanished.
  uint32_t status_code = 0;
  // Passed unchanged to progress_callback; defaults to this record's address.
  uint64_t progress_cookie = 0;
  // Connection and cache behaviour (kInternetFlag*). Honoured: PragmaNoCache
  // (no-cache request headers) and TransferBinary (clear it for ASCII FTP).
  uint32_t internet_flags = kDefaultInternetFlags;
  // kProtocolHttp / kProtocolHttpAlt / kProtocolFtp; any other value fails.
  int32_t protocol = kProtocolHttp;
  // Full address: "http://", "https://", "file://" or (protocol 2) "ftp://".
  std::string url;
  // The last failure's reason, ready for a message box.
  std::string error_text;
  // Target of RetrieveToFile; for FTP, the local file of the download.
  std::string output_file;

  // Values for the usage query that LookupServerAddress appends (-1 and 0.0
  // mean unset): a text identity, a numeric identity, a given processor
  // count, a version number.
  std::string query_text;
  int32_t query_int = -1;
  int32_t query_count = -1;
  double query_version = 0.0;

  // The "ip" value LookupServerAddress sends.
  int32_t address_list_index = 0;
  // A caller's own marker for lookups; carried along, not checked by the
  // operations of this library.
  int32_t lookup_check = -1;
  // Results of LookupServerAddress: host (or a full address) and path.
  std::string server_text;
  std::string object_path;
  // Server port used when the address names none; 80 means the scheme's
  // default, and an FTP request on port 80 is made on port 21.
  uint32_t port = 80;

  // Receive buffer of capacity + 1 bytes, zero-terminated. Either allocated
  // by AllocateBuffer (owns_buffer = 1) or lent by the caller, who then keeps
  // it alive and sets capacity to its usable size.
  char* buffer = nullptr;
  int32_t capacity = 0;
  // Bytes asked for per read when the length is unknown.
  int32_t chunk_size = 1024;
  // Bytes now in the buffer.
  int32_t bytes_received = 0;
  // Connect timeout in milliseconds; 3000 and 0 keep the library's default
  // (60 s), any other value is used as given.
  uint32_t connect_timeout = 3000;
  // 1 after a successful operation.
  int32_t success = 0;
  // 1: failures go to the notify window (and RetrieveToFile shows a message)
  // and the reason for an HTTP status is its readable text.
  uint32_t report_errors = 0;
  // Set to 1 when an operation found the offline switch on.
  uint32_t was_offline = 0;

  ProgressBar* progress_bar = nullptr;      // not owned
  ProgressCallback progress_callback;
  NotifyWindow* notify_window = nullptr;    // not owned

  // Set to kAskLastModified to ask for the server's Last-Modified time;
  // afterwards it holds that time in seconds since 1970 (UTC), or 0.
  int64_t last_modified = 0;

  // Proxy, copied by the caller from its program's online settings. The
  // proxy server text is "host" or "host:port"; without a port, proxy_port
  // is used.
  uint32_t use_proxy = 0;
  uint32_t proxy_port = 80;
  std::string proxy_server;

  // 1: the HTTP request is made as if no user name and password were given.
  uint32_t no_credentials = 0;
  std::string user_name;
  std::string password;

  // 1: the record allocated buffer and frees it.
  uint32_t owns_buffer = 0;

  // --- Additions of this implementation ---

  // PEM file of certificate authorities to trust for https:// instead of
  // the system's; empty: $QUARRY_CA_FILE, then $CURL_CA_BUNDLE, then the
  // system store. Verification is always on.
  std::string ca_file;
  // A transfer is given up when, for stall_timeout seconds on end, fewer
  // than low_speed_limit bytes a second arrive: a dead server or one that
  // trickles a byte at a time cannot hold a caller. 0 in either disables.
  uint32_t stall_timeout = 60;
  uint32_t low_speed_limit = 64;
  // The most seconds one transfer may take from start to end, however the
  // bytes arrive. kTransferTimeLimitFromSettings: the stored setting
  // (TransferTimeLimit(), a few minutes unless the user chose otherwise);
  // 0: no limit.
  uint32_t transfer_time_limit = kTransferTimeLimitFromSettings;
  // Set by another thread to stop the retrieval: a running transfer ends
  // within about a tenth of a second and the operation fails with the
  // cancelled reason (code 12017). Not owned; it must outlive the
  // operation. Null: the retrieval cannot be stopped.
  const std::atomic<bool>* cancel = nullptr;
  // 1: a response longer than the capacity is cut at the capacity and
  // succeeds with truncated = 1 (a page fetch); 0: it fails with
  // "Buffer overflow\n".
  uint32_t cut_at_capacity = 0;
  // Set to 1 when the response was cut at the capacity (only with
  // cut_at_capacity = 1); cleared by every retrieval.
  uint32_t truncated = 0;
};

// Gives the request a zeroed buffer of `size` usable bytes (+1 for the
// terminator). An owned buffer that is already large enough is reused and
// zeroed; otherwise an owned buffer is freed, a borrowed one dropped (not
// freed) and a new one allocated. Clears bytes_received and status_code.
// Returns false (capacity 0, no buffer) when size is negative or memory runs
// out.
bool AllocateBuffer(WebRetrievalRequest* request, int32_t size);

// Clears status_code and zeroes the buffer's capacity bytes. False when the
// request or its buffer is missing.
bool ClearBuffer(WebRetrievalRequest* request);

}  // namespace quarry

#endif  // QUARRY_WEB_RETRIEVAL_REQUEST_H_
