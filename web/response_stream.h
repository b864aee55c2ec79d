// Pull-style response bodies: the open request that ReadResponse reads from.
// Internal to the retrieval library.
//
// HttpTransfer drives one libcurl easy handle through a private multi handle
// so that the caller can look at the status and headers before it reads the
// body, and read the body in the sizes it chooses. FileStream serves
// file:// addresses from disk through the same interface.

#ifndef QUARRY_WEB_RESPONSE_STREAM_H_
#define QUARRY_WEB_RESPONSE_STREAM_H_

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "web/curl_support.h"

namespace quarry::web_internal {

class ResponseStream {
 public:
  virtual ~ResponseStream() = default;
  // Reads into dst until `count` bytes are in or the body ended. Returns the
  // bytes read (0: the body had ended) or -1 when the stream failed, with
  // failure() telling why. Bytes that arrived before a failure are returned
  // first; the failure shows on the next call.
  virtual int64_t Read(char* dst, int64_t count) = 0;
  // False once the stream has failed.
  virtual bool Alive() const = 0;
  // The body's announced length, or -1 when unknown.
  virtual int64_t ContentLength() const = 0;
  // Last-Modified in seconds since 1970, or 0 when unknown.
  virtual int64_t LastModified() const = 0;
  const TransferFailure& failure() const { return failure_; }

 protected:
  TransferFailure failure_;
};

// One HTTP(S) exchange. Configure easy() (ApplyCommonOptions, URL, headers)
// before Start(); destroying the object aborts and frees the transfer.
class HttpTransfer : public ResponseStream {
 public:
  HttpTransfer();
  ~HttpTransfer() override;
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // The handle to configure; owned by this object. Null when libcurl could
  // not allocate one (Start then fails).
  CURL* easy() const { return easy_; }
  // A buffer of CURL_ERROR_SIZE bytes for CURLOPT_ERRORBUFFER.
  char* error_buffer() { return error_buffer_; }
  // Adds a request header line ("Name: value") for the server.
  void AddHeader(const std::string& line);
  // Makes the transfer end, failed as cancelled, once `*cancel` is set; it
  // is looked at between waits of at most a tenth of a second. Not owned.
  void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  // Adds a header line meant for the proxy only (the proxied request or the
  // tunnel request); it never reaches the server.
  void AddProxyHeader(const std::string& line);

  // Sends the request and runs until the final response's status and
  // headers are in (redirects followed). False when the exchange failed
  // before that; failure() then holds the reason, except for a proxy that
  // refused a tunnel, which shows as ProxyStatus().
  bool Start();
  // The final response's status code.
  long Status() const;
  // The status a proxy answered a tunnel request with (0: none).
  long ProxyStatus() const;
  // The realm named by the first authentication challenge, or "".
  const std::string& Realm() const { return realm_; }

  int64_t Read(char* dst, int64_t count) override;
  bool Alive() const override;
  int64_t ContentLength() const override;
  int64_t LastModified() const override;

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  // Runs libcurl until `ready` holds or the transfer ended.
  template <typename Ready>
  void Pump(Ready ready);
  void Finish(CURLcode result);

  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  curl_slist* headers_ = nullptr;
  curl_slist* proxy_headers_ = nullptr;
  char error_buffer_[CURL_ERROR_SIZE];
  const std::atomic<bool>* cancel_ = nullptr;
  bool started_ = false;
  bool done_ = false;
  bool failed_ = false;
  bool headers_done_ = false;
  bool block_has_location_ = false;
  std::string realm_;
  std::string pending_;        // body bytes received but not yet read
  size_t pending_offset_ = 0;  // first unread byte of pending_
};

// A local file named by a file:// address.
class FileStream : public ResponseStream {
 public:
  // Opens the file that `url` names. On failure the stream is not open and
  // failure() says why (code: the system error number).
  explicit FileStream(const std::string& url);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

  int64_t Read(char* dst, int64_t count) override;
  bool Alive() const override { return fd_ >= 0 && !failed_; }
  int64_t ContentLength() const override { return size_; }
  int64_t LastModified() const override { return mtime_; }

 private:
  void Fail(int error);

  int fd_ = -1;
  bool failed_ = false;
  std::string path_;
  int64_t size_ = -1;
  int64_t mtime_ = 0;
};

// True when `url` begins with "file://" (any case).
bool IsFileUrl(const std::string& url);

// The local path a file:// address names, percent-decoded; "" when the
// address is not a local file address (another host, bad escapes, a NUL).
std::string FileUrlToPath(const std::string& url);

}  // namespace quarry::web_internal

#endif  // QUARRY_WEB_RESPONSE_STREAM_H_
