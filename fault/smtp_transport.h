// The byte stream under the SMTP client: a TCP connection that can turn
// into TLS (at once for implicit TLS, or after STARTTLS), with every wait
// bounded and a stop request honoured within kPollSlice.
//
// The socket is non-blocking; reads and writes wait in poll() for at most
// the time given. TLS verifies the server's certificate against the
// system's authorities (or a given file) and its name against the host the
// caller asked for.

#ifndef QUARRY_FAULT_SMTP_TRANSPORT_H_
#define QUARRY_FAULT_SMTP_TRANSPORT_H_

#include <chrono>
#include <stop_token>
#include <string>
#include <string_view>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace quarry {

inline constexpr std::chrono::milliseconds kPollSlice{250};

class SmtpTransport {
 public:
  SmtpTransport() = default;
  ~SmtpTransport();
  SmtpTransport(const SmtpTransport&) = delete;
  SmtpTransport& operator=(const SmtpTransport&) = delete;

  enum class ConnectResult { kOk, kNoSocket, kFailed };
  // Resolves `host` and connects to the first address that answers within
  // `timeout`. On failure *error is the system error number and *reason a
  // readable cause (the resolver's or the system's).
  ConnectResult Connect(const std::string& host, int port, std::chrono::milliseconds timeout,
                        std::stop_token stop, int* error, std::string* reason);

  // Runs the TLS handshake on the open connection. `ca_file` empty: the
  // system's authorities. False with a reason; the connection is then
  // unusable and should be closed.
  bool StartTls(const std::string& host, const std::string& ca_file,
                std::chrono::milliseconds timeout, std::stop_token stop, std::string* reason);

  // Sends all of `data` within `timeout`. False with *error (a system error
  // number; ETIMEDOUT, ECANCELED for a stop request).
  bool SendAll(std::string_view data, std::chrono::milliseconds timeout, std::stop_token stop,
               int* error);

  enum class ReadResult { kData, kNothing, kClosed, kError };
  // Waits up to `wait` for data and appends what arrived to *buffer.
  ReadResult ReadSome(std::string* buffer, std::chrono::milliseconds wait, int* error);

  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool IsEncrypted() const { return ssl_ != nullptr; }
  // The local end's address as an SMTP address literal ("[127.0.0.1]",
  // "[IPv6:::1]"), for a greeting when the host name is unusable.
  std::string LocalAddressLiteral() const;

 private:
  int fd_ = -1;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
};

}  // namespace quarry

#endif  // QUARRY_FAULT_SMTP_TRANSPORT_H_
