#include "web/testing/test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "web/testing/test_certificate.h"

namespace quarry::testing {

namespace {

constexpr int kSliceMs = 20;
// How long a client may take to send its request.
constexpr int kRequestTimeoutMs = 5000;
constexpr size_t kMaxRequestBytes = 64 * 1024;

[[noreturn]] void Die(const char* what) {
  std::fprintf(stderr, "test server: %s: %s\n", what, std::strerror(errno));
  std::abort();
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string Head(int status, const std::vector<std::string>& headers) {
  std::string text = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
  for (const std::string& line : headers) text += line + "\r\n";
  return text;
}

// One accepted connection, plain or TLS; every wait is cut into slices so
// that the server can stop promptly.
class Connection {
 public:
  Connection(int fd, SSL* ssl, const std::atomic<bool>* stop) : fd_(fd), ssl_(ssl), stop_(stop) {}

  // Waits up to `timeout_ms` for readable data; false on time-out or stop.
  bool WaitReadable(int timeout_ms) {
    if (ssl_ != nullptr && SSL_pending(ssl_) > 0) return true;
    for (int waited = 0; waited < timeout_ms && !stop_->load(); waited += kSliceMs) {
      struct pollfd p = {fd_, POLLIN, 0};
      int rc = ::poll(&p, 1, kSliceMs);
      if (rc > 0) return true;
      if (rc < 0 && errno != EINTR) return false;
    }
    return false;
  }

  long Receive(char* buffer, size_t size) {
    if (ssl_ != nullptr) return SSL_read(ssl_, buffer, static_cast<int>(size));
    return ::recv(fd_, buffer, size, 0);
  }

  bool Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      long n;
      if (ssl_ != nullptr) {
        n = SSL_write(ssl_, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
      } else {
        n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      }
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  // Ends the answer so the client sees the end of the stream, then lets the
  // client close first (briefly), so nothing it still has to read is lost.
  void Finish() {
    if (ssl_ != nullptr) SSL_shutdown(ssl_);
    ::shutdown(fd_, SHUT_WR);
    char sink[512];
    for (int round = 0; round < 10 && WaitReadable(kSliceMs); ++round) {
      if (Receive(sink, sizeof(sink)) <= 0) break;
    }
  }

 private:
  int fd_;
  SSL* ssl_;
  const std::atomic<bool>* stop_;
};

bool ParseRequest(const std::string& text, ReceivedRequest* request) {
  size_t line_end = text.find("\r\n");
  if (line_end == std::string::npos) return false;
  std::string line = text.substr(0, line_end);
  size_t a = line.find(' ');
  size_t b = line.rfind(' ');
  if (a == std::string::npos || b == a) return false;
  request->method = line.substr(0, a);
  request->target = line.substr(a + 1, b - a - 1);
  request->version = line.substr(b + 1);
  size_t pos = line_end + 2;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos || end == pos) break;
    std::string header = text.substr(pos, end - pos);
    size_t colon = header.find(':');
    if (colon != std::string::npos) {
      size_t value = header.find_first_not_of(' ', colon + 1);
      request->headers.emplace_back(header.substr(0, colon),
                                    value == std::string::npos ? "" : header.substr(value));
    }
    pos = end + 2;
  }
  return true;
}

}  // namespace

std::string ReceivedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() && ::strncasecmp(key.data(), name.data(), name.size()) == 0) {
      return value;
    }
  }
  return {};
}

bool ReceivedRequest::HasHeader(std::string_view name) const {
  for (const auto& entry : headers) {
    if (entry.first.size() == name.size() &&
        ::strncasecmp(entry.first.data(), name.data(), name.size()) == 0) {
      return true;
    }
  }
  return false;
}

ScriptedResponse ScriptedResponse::Make(int status, std::string body,
                                        std::vector<std::string> headers) {
  headers.push_back("Content-Length: " + std::to_string(body.size()));
  headers.push_back("Connection: close");
  return Raw(Head(status, headers) + "\r\n" + body);
}

ScriptedResponse ScriptedResponse::Unsized(int status, std::string body,
                                           std::vector<std::string> headers) {
  headers.push_back("Connection: close");
  return Raw(Head(status, headers) + "\r\n" + body);
}

ScriptedResponse ScriptedResponse::Raw(std::string bytes) {
  ScriptedResponse response;
  response.pieces.push_back({std::move(bytes), 0});
  return response;
}

ScriptedResponse& ScriptedResponse::Then(std::string bytes, int delay_ms) {
  pieces.push_back({std::move(bytes), delay_ms});
  return *this;
}

TestHttpServer::TestHttpServer(Handler handler) : handler_(std::move(handler)) { Listen(); }

TestHttpServer::TestHttpServer(Handler handler, const TestCertificate& certificate)
    : handler_(std::move(handler)), certificate_(&certificate) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr || SSL_CTX_use_certificate(context, certificate.certificate()) != 1 ||
      SSL_CTX_use_PrivateKey(context, certificate.key()) != 1) {
    Die("SSL_CTX set-up");
  }
  tls_context_ = context;
  Listen();
}

TestHttpServer::~TestHttpServer() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (listen_fd_ >= 0) ::close(listen_fd_);
  if (tls_context_ != nullptr) SSL_CTX_free(static_cast<SSL_CTX*>(tls_context_));
}

std::string TestHttpServer::Url(std::string_view path) const {
  return std::string(certificate_ != nullptr ? "https" : "http") + "://127.0.0.1:" +
         std::to_string(port_) + std::string(path);
}

std::vector<ReceivedRequest> TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

void TestHttpServer::Listen() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) Die("socket");
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) Die("bind");
  if (::listen(listen_fd_, 16) != 0) Die("listen");
  socklen_t length = sizeof(address);
  if (::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Die("getsockname");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

void TestHttpServer::Serve() {
  while (!stop_.load()) {
    struct pollfd p = {listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    connections_.fetch_add(1);
    HandleConnection(fd);
    ::close(fd);
  }
}

void TestHttpServer::HandleConnection(int fd) {
  struct timeval timeout = {kRequestTimeoutMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  SSL* ssl = nullptr;
  if (tls_context_ != nullptr) {
    ssl = SSL_new(static_cast<SSL_CTX*>(tls_context_));
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
      SSL_free(ssl);
      return;
    }
  }
  Connection connection(fd, ssl, &stop_);
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
  while (text.find("\r\n\r\n") == std::string::npos && text.size() < kMaxRequestBytes &&
         std::chrono::steady_clock::now() < deadline) {
    if (!connection.WaitReadable(kSliceMs * 5)) {
      if (stop_.load()) break;
      continue;
    }
    char chunk[4096];
    long n = connection.Receive(chunk, sizeof(chunk));
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
    // Not HTTP (a TLS greeting, say): answer as web servers do, at once.
    if (!text.empty() && !(text[0] >= 'A' && text[0] <= 'Z')) {
      connection.Send("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n");
      connection.Finish();
      if (ssl != nullptr) SSL_free(ssl);
      return;
    }
  }
  ReceivedRequest request;
  if (text.find("\r\n\r\n") != std::string::npos && ParseRequest(text, &request)) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      requests_.push_back(request);
    }
    ScriptedResponse response = handler_(request);
    for (const ScriptedResponse::Piece& piece : response.pieces) {
      for (int waited = 0; waited < piece.delay_ms && !stop_.load(); waited += kSliceMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
      }
      if (stop_.load() || !connection.Send(piece.bytes)) break;
    }
    connection.Finish();
  }
  if (ssl != nullptr) SSL_free(ssl);
}

}  // namespace quarry::testing
