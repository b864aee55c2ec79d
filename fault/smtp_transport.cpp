#include "fault/smtp_transport.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstring>

namespace quarry {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on `fd` until `deadline`, in slices, so that a stop
// request is seen soon. 1: ready, 0: timed out, -1: error (errno set;
// ECANCELED for a stop).
int WaitFor(int fd, short events, Clock::time_point deadline, const std::stop_token& stop) {
  for (;;) {
    if (stop.stop_requested()) {
      errno = ECANCELED;
      return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(std::min(left, kPollSlice).count()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n > 0) return 1;
  }
}

std::string TlsErrorText() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "the connection was closed during the handshake";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

bool IsAddressLiteral(const std::string& host) {
  in6_addr any6;
  in_addr any4;
  return inet_pton(AF_INET, host.c_str(), &any4) == 1 ||
         inet_pton(AF_INET6, host.c_str(), &any6) == 1;
}

}  // namespace

SmtpTransport::~SmtpTransport() { Close(); }

void SmtpTransport::Close() {
  if (ssl_ != nullptr) {
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  if (ctx_ != nullptr) {
    SSL_CTX_free(ctx_);
    ctx_ = nullptr;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

SmtpTransport::ConnectResult SmtpTransport::Connect(const std::string& host, int port,
                                                    std::chrono::milliseconds timeout,
                                                    std::stop_token stop, int* error,
                                                    std::string* reason) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int lookup = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (lookup != 0) {
    *error = lookup == EAI_SYSTEM ? errno : EHOSTUNREACH;
    *reason = std::string("the name could not be resolved: ") + gai_strerror(lookup);
    return ConnectResult::kFailed;
  }
  ConnectResult result = ConnectResult::kFailed;
  *error = ECONNREFUSED;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            a->ai_protocol);
    if (fd < 0) {
      *error = errno;
      *reason = std::strerror(errno);
      result = ConnectResult::kNoSocket;
      continue;
    }
    int status = ::connect(fd, a->ai_addr, a->ai_addrlen);
    if (status != 0 && errno == EINPROGRESS) {
      const int ready = WaitFor(fd, POLLOUT, deadline, stop);
      if (ready > 0) {
        int so_error = 0;
        socklen_t len = sizeof so_error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len);
        status = so_error == 0 ? 0 : -1;
        errno = so_error;
      } else {
        status = -1;
        if (ready == 0) errno = ETIMEDOUT;
      }
    }
    if (status == 0) {
      fd_ = fd;
      result = ConnectResult::kOk;
      break;
    }
    *error = errno;
    *reason = std::strerror(errno);
    result = ConnectResult::kFailed;
    ::close(fd);
    if (errno == ECANCELED) break;
  }
  freeaddrinfo(found);
  return result;
}

bool SmtpTransport::StartTls(const std::string& host, const std::string& ca_file,
                             std::chrono::milliseconds timeout, std::stop_token stop,
                             std::string* reason) {
  if (fd_ < 0) {
    *reason = "not connected";
    return false;
  }
  ctx_ = SSL_CTX_new(TLS_client_method());
  if (ctx_ == nullptr) {
    *reason = TlsErrorText();
    return false;
  }
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
  const bool trusted = ca_file.empty()
                           ? SSL_CTX_set_default_verify_paths(ctx_) == 1
                           : SSL_CTX_load_verify_locations(ctx_, ca_file.c_str(), nullptr) == 1;
  if (!trusted) {
    *reason = "the certificate authorities could not be loaded: " + TlsErrorText();
    return false;
  }
  ssl_ = SSL_new(ctx_);
  if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1) {
    *reason = TlsErrorText();
    return false;
  }
  // The certificate must name the host the user gave.
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
  if (IsAddressLiteral(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl_, host.c_str());
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
  }
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const int r = SSL_connect(ssl_);
    if (r == 1) return true;
    const int e = SSL_get_error(ssl_, r);
    short events = 0;
    if (e == SSL_ERROR_WANT_READ) events = POLLIN;
    else if (e == SSL_ERROR_WANT_WRITE) events = POLLOUT;
    if (events == 0) {
      const long verify = SSL_get_verify_result(ssl_);
      *reason = verify != X509_V_OK
                    ? std::string("the server's certificate is not trusted: ") +
                          X509_verify_cert_error_string(verify)
                    : TlsErrorText();
      return false;
    }
    const int ready = WaitFor(fd_, events, deadline, stop);
    if (ready <= 0) {
      *reason = ready == 0 ? "the handshake timed out" : std::strerror(errno);
      return false;
    }
  }
}

bool SmtpTransport::SendAll(std::string_view data, std::chrono::milliseconds timeout,
                            std::stop_token stop, int* error) {
  if (fd_ < 0) {
    *error = ENOTCONN;
    return false;
  }
  Clock::time_point deadline = Clock::now() + timeout;
  while (!data.empty()) {
    short wait_events = POLLOUT;
    ssize_t n;
    if (ssl_ != nullptr) {
      const int chunk = static_cast<int>(std::min<size_t>(data.size(), 1 << 20));
      n = SSL_write(ssl_, data.data(), chunk);
      if (n <= 0) {
        const int e = SSL_get_error(ssl_, static_cast<int>(n));
        if (e == SSL_ERROR_WANT_READ) wait_events = POLLIN;
        else if (e != SSL_ERROR_WANT_WRITE) {
          *error = errno != 0 ? errno : EPIPE;
          return false;
        }
        n = -1;
        errno = EAGAIN;
      }
    } else {
      n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    }
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      deadline = Clock::now() + timeout;  // progress restarts the clock
      continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      *error = errno;
      return false;
    }
    const int ready = WaitFor(fd_, wait_events, deadline, stop);
    if (ready <= 0) {
      *error = ready == 0 ? ETIMEDOUT : errno;
      return false;
    }
  }
  return true;
}

SmtpTransport::ReadResult SmtpTransport::ReadSome(std::string* buffer,
                                                  std::chrono::milliseconds wait, int* error) {
  if (fd_ < 0) {
    *error = ENOTCONN;
    return ReadResult::kError;
  }
  char chunk[4096];
  // Data TLS has already decrypted needs no wait.
  if (ssl_ == nullptr || SSL_pending(ssl_) == 0) {
    pollfd p{fd_, POLLIN, 0};
    const int n = poll(&p, 1, static_cast<int>(wait.count()));
    if (n < 0 && errno != EINTR) {
      *error = errno;
      return ReadResult::kError;
    }
    if (n <= 0) return ReadResult::kNothing;
  }
  ssize_t n;
  if (ssl_ != nullptr) {
    n = SSL_read(ssl_, chunk, sizeof chunk);
    if (n <= 0) {
      const int e = SSL_get_error(ssl_, static_cast<int>(n));
      if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) return ReadResult::kNothing;
      if (e == SSL_ERROR_ZERO_RETURN) return ReadResult::kClosed;
      *error = errno != 0 ? errno : EPROTO;
      return ReadResult::kError;
    }
  } else {
    n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReadResult::kNothing;
      *error = errno;
      return ReadResult::kError;
    }
    if (n == 0) return ReadResult::kClosed;
  }
  buffer->append(chunk, static_cast<size_t>(n));
  return ReadResult::kData;
}

std::string SmtpTransport::LocalAddressLiteral() const {
  sockaddr_storage address{};
  socklen_t len = sizeof address;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
    return "[127.0.0.1]";
  }
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr, text, sizeof text);
    return std::string("[IPv6:") + text + "]";
  }
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
  return std::string("[") + text + "]";
}

}  // namespace quarry
