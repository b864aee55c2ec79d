// CSMTPConnection: a small SMTP client that delivers one message to the
// user's mail server.
//
//   CSMTPConnection smtp;
//   smtp.SetAuthenticate(true); smtp.SetUserName(...); smtp.SetPassword(...);
//   std::string error;
//   if (!smtp.Connect("mail.example.org", 587, &error) ||
//       !smtp.SendMessage(message, &error)) { show(error); }
//   smtp.Disconnect();  // the destructor does it too
//
// Connect greets with EHLO (HELO when the server refuses EHLO), switches to
// TLS when the server offers STARTTLS (port 465 is TLS from the start), and
// logs in when asked to. A password is never sent over an unencrypted
// connection unless SetAllowUnencryptedLogin(true) was called.
//
// Every wait is bounded: a reply must make progress within Timeout()
// (30 s unless changed), and a stop request ends any wait within a quarter
// of a second. Each failure leaves a user-readable text in the error
// output; a failed step leaves the connection open until Disconnect().
// Blocking: run it off the user-interface thread.

#ifndef QUARRY_FAULT_SMTP_CONNECTION_H_
#define QUARRY_FAULT_SMTP_CONNECTION_H_

#include <chrono>
#include <stop_token>
#include <string>
#include <string_view>

#include "fault/smtp_message.h"
#include "fault/smtp_transport.h"

namespace quarry {

class CSMTPConnection {
 public:
  // Last error values.
  static constexpr int kErrorWrongReply = 10043;
  static constexpr int kErrorTimedOut = 10060;
  static constexpr int kErrorProtocol = 22;
  // The longest reply read (bytes); a server that sends more is broken.
  static constexpr size_t kMaxReply = 64 * 1024;
  static constexpr int kImplicitTlsPort = 465;

  CSMTPConnection();
  // Disconnects (QUIT) when still connected.
  ~CSMTPConnection();
  CSMTPConnection(const CSMTPConnection&) = delete;
  CSMTPConnection& operator=(const CSMTPConnection&) = delete;

  void SetAuthenticate(bool authenticate) { authenticate_ = authenticate; }
  void SetUserName(std::string name) { user_name_ = std::move(name); }
  void SetPassword(std::string password) { password_ = std::move(password); }
  void SetAllowUnencryptedLogin(bool allow) { allow_plain_login_ = allow; }
  // The certificate authorities to trust; empty: $QUARRY_CA_FILE when set,
  // else the system's.
  void SetCaFile(std::string path) { ca_file_ = std::move(path); }
  void SetTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
  // The port whose connections are TLS from the start (465 unless changed;
  // tests use a free port).
  void SetImplicitTlsPort(int port) { implicit_tls_port_ = port; }
  std::chrono::milliseconds Timeout() const { return timeout_; }
  // A stop request ends the current wait with a failure.
  void SetStopToken(std::stop_token stop) { stop_ = std::move(stop); }

  bool Connect(const std::string& host, int port, std::string* error);
  bool SendMessage(const CSMTPMessage& message, std::string* error);
  // Sends QUIT and closes, when connected.
  void Disconnect();

  bool IsConnected() const { return connected_; }
  bool IsEncrypted() const { return transport_.IsEncrypted(); }
  int LastError() const { return last_error_; }
  int LastCode() const { return last_code_; }
  const std::string& LastResponse() const { return last_response_; }

 private:
  // Reads one complete reply (all lines of a multi-line one); true when
  // its code is `expected`. Sets the last code, response and error, and
  // *read_error to why the read itself failed ("" when a reply came).
  bool ReadResponse(int expected, std::string* read_error = nullptr);
  bool Send(std::string_view data, int* error);
  bool Greet(const std::string& host, std::string* error);
  bool Hello(std::string* error);
  bool Login(std::string* error);
  // The failure text of a step whose reply did not come as expected: why
  // the read failed, or (last error 22) the step's message with the
  // server's reply.
  std::string StepFailure(const std::string& message, const std::string& read_error);

  SmtpTransport transport_;
  bool authenticate_ = false;
  std::string user_name_;
  std::string password_;
  bool allow_plain_login_ = false;
  std::string ca_file_;
  std::chrono::milliseconds timeout_{30000};
  int implicit_tls_port_ = kImplicitTlsPort;
  std::stop_token stop_;

  bool connected_ = false;
  std::string host_;
  std::string pending_;  // bytes received past the last reply
  std::string last_response_;
  int last_code_ = 0;
  int last_error_ = 0;
  bool offers_starttls_ = false;
  bool offers_auth_ = false;
  bool offers_login_ = false;
  bool offers_plain_ = false;
};

}  // namespace quarry

#endif  // QUARRY_FAULT_SMTP_CONNECTION_H_
