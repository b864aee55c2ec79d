// A scripted HTTP/1.1 server for the retrieval tests: listens on 127.0.0.1
// on a port the system picks, serves one connection at a time on its own
// thread, answers each request with what the test's handler returns
// (byte-exact, in pieces with pauses if asked), closes the connection after
// each answer, and records every request it received.
//
// With a TestCertificate it speaks TLS instead. All waits are bounded: a
// client that sends nothing is dropped after a few seconds, and destruction
// stops the thread within a fraction of a second even mid-answer.

#ifndef QUARRY_WEB_TESTING_TEST_HTTP_SERVER_H_
#define QUARRY_WEB_TESTING_TEST_HTTP_SERVER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace quarry::testing {

class TestCertificate;

// One request as received.
struct ReceivedRequest {
  std::string method;
  std::string target;  // as sent: "/path?query", or a full address via a proxy
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;

  // The first header of that name (any case), "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// What the server sends back: raw bytes in pieces, each after its pause.
struct ScriptedResponse {
  struct Piece {
    std::string bytes;
    int delay_ms = 0;
  };
  std::vector<Piece> pieces;

  // A complete answer: status line (with the usual reason phrase), the extra
  // header lines (without CR LF), "Content-Length" for the body, and
  // "Connection: close".
  static ScriptedResponse Make(int status, std::string body,
                               std::vector<std::string> headers = {});
  // The same without Content-Length: the body ends when the connection
  // closes.
  static ScriptedResponse Unsized(int status, std::string body,
                                  std::vector<std::string> headers = {});
  // Exactly these bytes.
  static ScriptedResponse Raw(std::string bytes);

  // Appends a piece sent after `delay_ms`.
  ScriptedResponse& Then(std::string bytes, int delay_ms);
};

using Handler = std::function<ScriptedResponse(const ReceivedRequest&)>;

class TestHttpServer {
 public:
  // Starts serving plain HTTP. `handler` runs on the server's thread.
  explicit TestHttpServer(Handler handler);
  // Starts serving HTTPS with `certificate`, which must outlive the server.
  TestHttpServer(Handler handler, const TestCertificate& certificate);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" (or https) followed by `path`.
  std::string Url(std::string_view path = "/") const;

  // Every request received so far, in order.
  std::vector<ReceivedRequest> Requests() const;
  // Connections accepted so far (including ones that sent nothing).
  int Connections() const { return connections_.load(); }

 private:
  void Listen();
  void Serve();
  void HandleConnection(int fd);

  Handler handler_;
  const TestCertificate* certificate_ = nullptr;
  void* tls_context_ = nullptr;  // SSL_CTX*
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mu_;
  std::vector<ReceivedRequest> requests_;
  std::thread thread_;
};

}  // namespace quarry::testing

#endif  // QUARRY_WEB_TESTING_TEST_HTTP_SERVER_H_
