#include "fault/smtp_connection.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/ascii_text.h"
#include "web/base64.h"

namespace quarry {

namespace {

using Clock = std::chrono::steady_clock;

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[1024];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// The name we greet with: the host name when it is a plain DNS name (at
// most 100 characters), else the local address.
std::string GreetingName(const SmtpTransport& transport) {
  char name[101] = {};
  if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
    bool plain = true;
    for (const char* p = name; *p != '\0'; ++p) {
      const char c = *p;
      plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '.');
    }
    if (plain) return name;
  }
  return transport.LocalAddressLiteral();
}

// Finds the end of a complete reply in `buffer`: the line end after a line
// whose fourth character is not '-'. npos while incomplete.
size_t ReplyEnd(const std::string& buffer) {
  size_t start = 0;
  for (;;) {
    const size_t eol = buffer.find('\n', start);
    if (eol == std::string::npos) return std::string::npos;
    const size_t length = eol - start;
    if (length < 4 || buffer[start + 3] != '-') return eol + 1;
    start = eol + 1;
  }
}

}  // namespace

CSMTPConnection::CSMTPConnection() {
  if (const char* ca = std::getenv("QUARRY_CA_FILE"); ca != nullptr && *ca != '\0') ca_file_ = ca;
}

CSMTPConnection::~CSMTPConnection() { Disconnect(); }

bool CSMTPConnection::Send(std::string_view data, int* error) {
  int e = 0;
  if (transport_.SendAll(data, timeout_, stop_, &e)) return true;
  *error = e;
  return false;
}

bool CSMTPConnection::ReadResponse(int expected, std::string* read_error) {
  std::string ignored;
  std::string& reason = read_error != nullptr ? *read_error : ignored;
  reason.clear();
  last_code_ = 0;
  Clock::time_point deadline = Clock::now() + timeout_;
  size_t end;
  while ((end = ReplyEnd(pending_)) == std::string::npos) {
    if (pending_.size() > kMaxReply) {
      last_response_ = pending_.substr(0, 200);
      last_error_ = kErrorWrongReply;
      pending_.clear();
      reason = "Encountered unknown error in read response";
      return false;
    }
    if (stop_.stop_requested()) {
      last_response_ = pending_;
      reason = "Sending was cancelled";
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      last_response_ = pending_;
      last_error_ = kErrorTimedOut;
      reason = "Timed out waiting for response";
      return false;
    }
    int error = 0;
    switch (transport_.ReadSome(&pending_, std::min(left, kPollSlice), &error)) {
      case SmtpTransport::ReadResult::kData:
        deadline = Clock::now() + timeout_;  // every receive restarts the clock
        break;
      case SmtpTransport::ReadResult::kNothing:
        break;
      case SmtpTransport::ReadResult::kClosed:
      case SmtpTransport::ReadResult::kError:
        last_response_ = pending_;
        last_error_ = error;
        reason = "Unknown socket error occurred";
        return false;
    }
  }
  std::string reply = pending_.substr(0, end);
  pending_.erase(0, end);
  while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
  last_response_ = reply;
  // The code of the last line; a multi-line reply repeats it on each.
  const size_t last_line = reply.rfind('\n');
  const std::string_view final_line =
      last_line == std::string::npos ? std::string_view(reply)
                                     : std::string_view(reply).substr(last_line + 1);
  int code = 0;
  for (size_t i = 0; i < 3; ++i) {
    const char c = i < final_line.size() ? final_line[i] : 'x';
    if (c < '0' || c > '9') {
      code = -1;
      break;
    }
    code = code * 10 + (c - '0');
  }
  last_code_ = code;
  if (code == expected) return true;
  last_error_ = kErrorWrongReply;
  reason = code < 0 ? "Encountered unknown error in read response" : "";
  return false;
}

std::string CSMTPConnection::StepFailure(const std::string& message,
                                         const std::string& read_error) {
  // A read that failed says why; a wrong reply is named by the step, with
  // what the server said.
  if (!read_error.empty() && last_code_ <= 0) return read_error;
  last_error_ = kErrorProtocol;
  std::string text = message;
  if (!last_response_.empty()) text += "The server answered: " + last_response_ + "\n";
  return text;
}

bool CSMTPConnection::Connect(const std::string& host, int port, std::string* error) {
  Disconnect();
  host_ = host;
  pending_.clear();
  last_code_ = 0;
  last_response_.clear();
  int system_error = 0;
  std::string reason;
  switch (transport_.Connect(host, port, timeout_, stop_, &system_error, &reason)) {
    case SmtpTransport::ConnectResult::kOk:
      break;
    case SmtpTransport::ConnectResult::kNoSocket:
      last_error_ = system_error;
      *error = Format("Failed to create client socket\n\tGetLastError returns: %d\n", system_error);
      return false;
    case SmtpTransport::ConnectResult::kFailed:
      last_error_ = system_error;
      *error = Format("Could not connect to the SMTP server %s on port %d\n\tGetLastError returns: %d\n",
                      host.c_str(), port, system_error) +
               "\t" + reason + "\n";
      return false;
  }
  if (port == implicit_tls_port_) {
    if (!transport_.StartTls(host, ca_file_, timeout_, stop_, &reason)) {
      transport_.Close();
      *error = Format("Could not make an encrypted connection to the SMTP server %s on port %d\n\t",
                      host.c_str(), port) + reason + "\n";
      return false;
    }
  }
  connected_ = true;
  if (!Greet(host, error)) return false;
  if (authenticate_ && !Login(error)) {
    Disconnect();
    return false;
  }
  return true;
}

bool CSMTPConnection::Greet(const std::string& host, std::string* error) {
  std::string read_error;
  if (!ReadResponse(220, &read_error)) {
    *error = StepFailure("An unexpected SMTP login response was received\n", read_error);
    Disconnect();
    return false;
  }
  if (!Hello(error)) {
    Disconnect();
    return false;
  }
  if (!transport_.IsEncrypted() && offers_starttls_) {
    int send_error = 0;
    if (!Send("STARTTLS\r\n", &send_error) || !ReadResponse(220, &read_error)) {
      if (send_error != 0 || !read_error.empty()) {
        *error = "The SMTP server offered encryption but did not start it\n";
        Disconnect();
        return false;
      }
      // Refused after all: go on as a server without encryption.
      return true;
    }
    // Anything the server sent ahead of the handshake was not protected;
    // a server that does so is not to be trusted with the rest.
    if (!pending_.empty()) {
      *error = "The SMTP server sent data before the encrypted connection was made\n";
      transport_.Close();
      connected_ = false;
      return false;
    }
    std::string reason;
    if (!transport_.StartTls(host, ca_file_, timeout_, stop_, &reason)) {
      *error = "Could not make an encrypted connection to the SMTP server " + host + "\n\t" +
               reason + "\n";
      transport_.Close();
      connected_ = false;
      return false;
    }
    // The server forgets everything it said before the handshake.
    if (!Hello(error)) {
      Disconnect();
      return false;
    }
  }
  return true;
}

bool CSMTPConnection::Hello(std::string* error) {
  offers_starttls_ = offers_auth_ = offers_login_ = offers_plain_ = false;
  const std::string name = GreetingName(transport_);
  int send_error = 0;
  std::string read_error;
  if (!Send("EHLO " + name + "\r\n", &send_error)) {
    *error = "An unexpected error occurred while sending the HELO command\n";
    return false;
  }
  if (ReadResponse(250, &read_error)) {
    // The extensions: one a line after the first, "250-NAME params".
    std::string_view rest = last_response_;
    while (!rest.empty()) {
      const size_t eol = rest.find('\n');
      std::string_view line = rest.substr(0, eol);
      rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.size() < 4) continue;
      const std::string keyword = AsciiLowered(line.substr(4));
      if (keyword == "starttls") offers_starttls_ = true;
      if (keyword.starts_with("auth ") || keyword.starts_with("auth=")) {
        offers_auth_ = true;
        const std::string methods = " " + keyword.substr(5) + " ";
        if (methods.find(" login ") != std::string::npos) offers_login_ = true;
        if (methods.find(" plain ") != std::string::npos) offers_plain_ = true;
      }
    }
    return true;
  }
  if (!read_error.empty() && last_code_ <= 0) {
    *error = StepFailure("An unexpected HELO response was received\n", read_error);
    return false;
  }
  // A server that does not know EHLO: greet the old way.
  if (!Send("HELO " + name + "\r\n", &send_error)) {
    *error = "An unexpected error occurred while sending the HELO command\n";
    return false;
  }
  if (!ReadResponse(250, &read_error)) {
    *error = StepFailure("An unexpected HELO response was received\n", read_error);
    return false;
  }
  return true;
}

bool CSMTPConnection::Login(std::string* error) {
  if (user_name_.empty()) {
    *error = "Authentication failed from\nUsername not specified";
    return false;
  }
  if (!transport_.IsEncrypted() && !allow_plain_login_) {
    *error = "The SMTP server " + host_ +
             " offers no encrypted connection, so the password was not sent.\n"
             "Allow logins without encryption in the mail settings to send it anyway.\n";
    return false;
  }
  int send_error = 0;
  std::string read_error;
  if (offers_auth_ && !offers_login_ && offers_plain_) {
    std::string credentials;
    credentials.append(1, '\0').append(user_name_).append(1, '\0').append(password_);
    if (!Send("AUTH PLAIN " + Base64Encode(credentials) + "\r\n", &send_error)) {
      *error = "Authentication failed in call to send MAIL command";
      return false;
    }
    if (!ReadResponse(235, &read_error)) {
      *error = "Authentication failed from\n" +
               (last_response_.empty() ? read_error : last_response_);
      return false;
    }
    return true;
  }
  if (!Send("AUTH LOGIN\r\n", &send_error)) {
    *error = "Authentication failed in call to send MAIL command";
    return false;
  }
  if (!ReadResponse(334, &read_error)) {
    *error = "Authentication failed from\n" + (last_response_.empty() ? read_error : last_response_);
    return false;
  }
  // The server asks for the user name and then the password, naming each
  // in Base64; an unnamed question gets the answer its turn calls for.
  for (int turn = 0; turn < 2; ++turn) {
    const std::string asked =
        AsciiLowered(Base64Decode(std::string_view(last_response_).substr(
            last_response_.size() > 4 ? 4 : last_response_.size())));
    const bool wants_password = asked.find("password") != std::string::npos ||
                                (asked.find("username") == std::string::npos && turn == 1);
    if (!Send(Base64Encode(wants_password ? password_ : user_name_) + "\r\n", &send_error)) {
      *error = "Authentication failed in call to send MAIL command";
      return false;
    }
    if (ReadResponse(235, &read_error)) return true;
    if (last_code_ != 334 || turn == 1) break;
  }
  *error = "Authentication failed from\n" + (last_response_.empty() ? read_error : last_response_);
  return false;
}

bool CSMTPConnection::SendMessage(const CSMTPMessage& message, std::string* error) {
  if (const std::string invalid = message.Validate(); !invalid.empty()) {
    *error = invalid;
    return false;
  }
  if (!connected_) {
    *error = "Not connected to an SMTP server\n";
    return false;
  }
  int send_error = 0;
  std::string read_error;
  if (!Send("MAIL FROM:<" + message.from.email_address + ">\r\n", &send_error)) {
    *error = Format("Failed in call to send MAIL command, GetLastError returns: %d\n", send_error);
    return false;
  }
  if (!ReadResponse(250, &read_error)) {
    *error = StepFailure("An unexpected MAIL response was received\n", read_error);
    return false;
  }
  if (message.to.empty() && message.cc.empty() && message.bcc.empty()) {
    *error = "The message has no recipient\n";
    return false;
  }
  for (const auto* list : {&message.to, &message.cc, &message.bcc}) {
    for (const CSMTPAddress& recipient : *list) {
      if (recipient.email_address.empty()) {
        *error = "A recipient has no address\n";
        return false;
      }
      if (!Send("RCPT TO:<" + recipient.email_address + ">\r\n", &send_error)) {
        *error = Format("Failed in call to send RCPT command, GetLastError returns: %d\n", send_error);
        return false;
      }
      if (!ReadResponse(250, &read_error)) {
        *error = StepFailure("An unexpected RCPT response was received\n", read_error);
        return false;
      }
    }
  }
  if (!Send("DATA\r\n", &send_error)) {
    *error = Format("Failed in call to send MAIL command, GetLastError returns: %d\n", send_error);
    return false;
  }
  if (!ReadResponse(354, &read_error)) {
    *error = StepFailure("An unexpected DATA response was received\n", read_error);
    return false;
  }
  if (!Send(message.FormHeader(std::time(nullptr)), &send_error)) {
    *error = Format("Failed in call to send the header, GetLastError returns: %d\n", send_error);
    return false;
  }
  if (!Send(message.FormBodyPart(), &send_error)) {
    *error = Format(message.attachments.empty()
                        ? "Failed in call to send the body, GetLastError returns: %d\n"
                        : "Failed in call to send the body header, GetLastError returns: %d\n",
                    send_error);
    return false;
  }
  for (const CSMTPAttachment& attachment : message.attachments) {
    if (!Send(message.FormAttachmentPart(attachment), &send_error)) {
      *error = Format("Failed in call to send the attachment, GetLastError returns: %d\n", send_error);
      return false;
    }
  }
  if (!message.attachments.empty() &&
      !Send("\r\n--" + std::string(kBoundary) + "--", &send_error)) {
    *error = Format("Failed in call to send Mime attachment header, GetLastError returns: %d\n",
                    send_error);
    return false;
  }
  if (!Send("\r\n.\r\n", &send_error)) {
    *error = Format("Failed in call to send end of message indicator, GetLastError returns: %d\n",
                    send_error);
    return false;
  }
  if (!ReadResponse(250, &read_error)) {
    *error = StepFailure("An unexpected end of message response was received\n", read_error);
    return false;
  }
  return true;
}

void CSMTPConnection::Disconnect() {
  if (connected_) {
    int send_error = 0;
    // QUIT gets a short wait of its own: the message is already in.
    const auto saved = timeout_;
    timeout_ = std::min(timeout_, std::chrono::milliseconds(5000));
    if (!Send("QUIT\r\n", &send_error) || !ReadResponse(221)) last_error_ = kErrorProtocol;
    timeout_ = saved;
  }
  connected_ = false;
  pending_.clear();
  transport_.Close();
}

}  // namespace quarry
