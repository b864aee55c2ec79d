// A scripted SMTP server on 127.0.0.1 for the client's tests: it answers
// each command with the reply the script gives (or a sensible default),
// can stay silent where a test wants a time-out, and records everything the
// client sent. Plain sockets; no TLS (the real server covers that).

#ifndef QUARRY_FAULT_TESTING_SCRIPT_SMTP_SERVER_H_
#define QUARRY_FAULT_TESTING_SCRIPT_SMTP_SERVER_H_

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarry::testing {

struct SmtpScript {
  std::string greeting = "220 script.test ESMTP ready";
  // Replies by command ("EHLO", "HELO", "MAIL", "RCPT", "DATA", "AUTH",
  // "QUIT", and "." for the end of the message), each without its final
  // CR LF; multi-line replies hold "\r\n" between lines. An empty reply
  // means silence.
  std::map<std::string, std::string> replies;
  // The account AUTH LOGIN accepts.
  std::string user = "ann";
  std::string password = "secret";
};

class ScriptSmtpServer {
 public:
  explicit ScriptSmtpServer(SmtpScript script);
  // Stops the server and joins its thread (within half a second).
  ~ScriptSmtpServer();
  ScriptSmtpServer(const ScriptSmtpServer&) = delete;
  ScriptSmtpServer& operator=(const ScriptSmtpServer&) = delete;

  int port() const { return port_; }
  // Every line the client sent, without line ends, in order (message
  // content lines excluded).
  std::vector<std::string> Commands() const;
  // The message content as received between DATA and the final ".", with
  // its CR LF line ends and any dot-stuffing as sent.
  std::string Data() const;

 private:
  void Run();
  void Serve(int fd);

  SmtpScript script_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mu_;
  std::vector<std::string> commands_;
  std::string data_;
  std::thread thread_;
};

}  // namespace quarry::testing

#endif  // QUARRY_FAULT_TESTING_SCRIPT_SMTP_SERVER_H_
