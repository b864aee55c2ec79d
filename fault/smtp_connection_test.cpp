// The SMTP client against a scripted server on 127.0.0.1: each failure
// gives its own message, every wait ends, and what reaches the server is
// safe (dot-stuffed, CR LF only, no password in the clear).

#include "fault/smtp_connection.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "fault/testing/script_smtp_server.h"

namespace quarry {
namespace {

using testing::ScriptSmtpServer;
using testing::SmtpScript;
using namespace std::chrono_literals;

CSMTPMessage SampleMessage() {
  CSMTPMessage message;
  message.from = CSMTPAddress("Ann Example", "ann@example.org");
  message.to = {CSMTPAddress("Customer Support", "support@quarry.example")};
  message.subject = "Report Bug";
  message.body = "Hello,\nthe export stops.\n";
  return message;
}

bool Sent(const ScriptSmtpServer& server, std::string_view prefix) {
  const std::vector<std::string> commands = server.Commands();
  return std::any_of(commands.begin(), commands.end(),
                     [prefix](const std::string& c) { return c.starts_with(prefix); });
}

// Connects and sends the sample message; returns the error text ("" on
// success).
std::string Deliver(ScriptSmtpServer& server, CSMTPMessage message = SampleMessage(),
                    std::chrono::milliseconds timeout = 5s, bool authenticate = false,
                    bool allow_plain = false) {
  CSMTPConnection smtp;
  smtp.SetTimeout(timeout);
  smtp.SetAuthenticate(authenticate);
  smtp.SetUserName("ann");
  smtp.SetPassword("secret");
  smtp.SetAllowUnencryptedLogin(allow_plain);
  std::string error;
  if (!smtp.Connect("127.0.0.1", server.port(), &error)) return error;
  if (!smtp.SendMessage(message, &error)) return error;
  smtp.Disconnect();
  return {};
}

TEST(SmtpConnectionTest, EveryFailingStepSaysWhichItWas) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> replies;
    const char* error_start;
  } cases[] = {
      {"greeting", {}, nullptr},  // replaced below: the greeting is not a reply
      {"helo", {{"EHLO", "502 5.5.2 no"}, {"HELO", "501 5.5.4 no"}},
       "An unexpected HELO response was received\n"},
      {"mail", {{"MAIL", "550 5.1.0 sender rejected"}},
       "An unexpected MAIL response was received\nThe server answered: 550 5.1.0 sender "
       "rejected\n"},
      {"rcpt", {{"RCPT", "550 5.1.1 no such user"}}, "An unexpected RCPT response was received\n"},
      {"data", {{"DATA", "503 5.5.1 need RCPT"}}, "An unexpected DATA response was received\n"},
      {"end", {{".", "554 5.6.0 rejected"}},
       "An unexpected end of message response was received\n"},
  };
  for (const Case& c : cases) {
    if (c.error_start == nullptr) continue;
    SmtpScript script;
    script.replies = c.replies;
    ScriptSmtpServer server(script);
    const std::string error = Deliver(server);
    EXPECT_TRUE(error.starts_with(c.error_start)) << c.name << ": " << error;
  }
}

TEST(SmtpConnectionTest, RefusingGreetingFailsTheConnectionAndQuits) {
  SmtpScript script;
  script.greeting = "554 5.7.1 go away";
  ScriptSmtpServer server(script);
  CSMTPConnection smtp;
  smtp.SetTimeout(5s);
  std::string error;
  EXPECT_FALSE(smtp.Connect("127.0.0.1", server.port(), &error));
  EXPECT_TRUE(error.starts_with("An unexpected SMTP login response was received\n")) << error;
  EXPECT_FALSE(smtp.IsConnected());
  for (int i = 0; i < 50 && !Sent(server, "QUIT"); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(Sent(server, "QUIT"));
  EXPECT_FALSE(Sent(server, "EHLO"));
}

TEST(SmtpConnectionTest, SilenceAfterTheMessageTimesOut) {
  SmtpScript script;
  script.replies["."] = "";  // never answers the end of the message
  ScriptSmtpServer server(script);
  const auto start = std::chrono::steady_clock::now();
  const std::string error = Deliver(server, SampleMessage(), 600ms);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(error, "Timed out waiting for response");
  // QUIT after a silent server waits too; both stay short.
  EXPECT_LT(took, 10s);
}

TEST(SmtpConnectionTest, SilenceAfterDataTimesOut) {
  SmtpScript script;
  script.replies["DATA"] = "";
  ScriptSmtpServer server(script);
  CSMTPConnection smtp;
  smtp.SetTimeout(400ms);
  std::string error;
  ASSERT_TRUE(smtp.Connect("127.0.0.1", server.port(), &error)) << error;
  EXPECT_FALSE(smtp.SendMessage(SampleMessage(), &error));
  EXPECT_EQ(error, "Timed out waiting for response");
  EXPECT_EQ(smtp.LastError(), CSMTPConnection::kErrorTimedOut);
}

TEST(SmtpConnectionTest, ServerWithoutEhloIsGreetedWithHelo) {
  SmtpScript script;
  script.replies["EHLO"] = "500 5.5.1 what?";
  ScriptSmtpServer server(script);
  EXPECT_EQ(Deliver(server), "");
  EXPECT_TRUE(Sent(server, "EHLO "));
  EXPECT_TRUE(Sent(server, "HELO "));
}

TEST(SmtpConnectionTest, PasswordStaysHomeOverAPlainConnection) {
  ScriptSmtpServer server{SmtpScript{}};
  const std::string error = Deliver(server, SampleMessage(), 5s, /*authenticate=*/true);
  EXPECT_NE(error.find("offers no encrypted connection, so the password was not sent"),
            std::string::npos)
      << error;
  EXPECT_FALSE(Sent(server, "AUTH"));
  EXPECT_FALSE(Sent(server, "MAIL"));

  // Allowed by the user: AUTH LOGIN with both answers in Base64.
  ScriptSmtpServer allowed{SmtpScript{}};
  EXPECT_EQ(Deliver(allowed, SampleMessage(), 5s, true, /*allow_plain=*/true), "");
  const std::vector<std::string> commands = allowed.Commands();
  const auto auth = std::find(commands.begin(), commands.end(), "AUTH LOGIN");
  ASSERT_NE(auth, commands.end());
  ASSERT_LT(auth + 2, commands.end());
  EXPECT_EQ(*(auth + 1), "YW5u");
  EXPECT_EQ(*(auth + 2), "c2VjcmV0");
}

TEST(SmtpConnectionTest, LoginFailuresQuoteTheServer) {
  struct Case {
    std::string user;
    std::map<std::string, std::string> replies;
    std::string error;
  } cases[] = {
      {"", {}, "Authentication failed from\nUsername not specified"},
      {"ann", {{"AUTH", "504 5.5.4 mechanism unknown"}},
       "Authentication failed from\n504 5.5.4 mechanism unknown"},
      {"bob", {}, "Authentication failed from\n535 5.7.8 bad credentials"},
  };
  for (const Case& c : cases) {
    SmtpScript script;
    script.replies = c.replies;
    ScriptSmtpServer server(script);
    CSMTPConnection smtp;
    smtp.SetTimeout(5s);
    smtp.SetAuthenticate(true);
    smtp.SetAllowUnencryptedLogin(true);
    smtp.SetUserName(c.user);
    smtp.SetPassword("secret");
    std::string error;
    EXPECT_FALSE(smtp.Connect("127.0.0.1", server.port(), &error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(smtp.IsConnected());
  }
}

TEST(SmtpConnectionTest, BodyArrivesDotStuffedWithCrLfOnly) {
  ScriptSmtpServer server{SmtpScript{}};
  CSMTPMessage message = SampleMessage();
  message.body = "first\n.\nsecond\r\n.hidden\rthird\nQUIT\n";
  ASSERT_EQ(Deliver(server, message), "");
  const std::string data = server.Data();
  const std::string body = data.substr(data.find("\r\n\r\n") + 4);
  EXPECT_EQ(body, "first\r\n..\r\nsecond\r\n..hidden\r\nthird\r\nQUIT\r\n\r\n");
  // The line that read "QUIT" stayed inside the message.
  const std::vector<std::string> commands = server.Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "QUIT"), 1);
  EXPECT_EQ(data.find('\n'), data.find("\r\n") + 1);
  for (size_t at = data.find('\n'); at != std::string::npos; at = data.find('\n', at + 1)) {
    EXPECT_EQ(data[at - 1], '\r') << at;
  }
}

TEST(SmtpConnectionTest, LineBreaksInHeaderFieldsAreRefusedBeforeSending) {
  struct Case {
    const char* name;
    void (*spoil)(CSMTPMessage&);
  } cases[] = {
      {"subject", [](CSMTPMessage& m) { m.subject = "Hi\r\nBcc: victim@example.org"; }},
      {"to", [](CSMTPMessage& m) { m.to[0].email_address = "a@b\r\nRCPT TO:<c@d>"; }},
      {"from name", [](CSMTPMessage& m) { m.from.friendly_name = "Ann\nX-Spam: no"; }},
      {"from address", [](CSMTPMessage& m) { m.from.email_address = "a@b> SIZE=1 <"; }},
  };
  for (const Case& c : cases) {
    ScriptSmtpServer server{SmtpScript{}};
    CSMTPMessage message = SampleMessage();
    c.spoil(message);
    const std::string error = Deliver(server, message);
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_FALSE(Sent(server, "MAIL")) << c.name;
  }
}

TEST(SmtpConnectionTest, ClosedPortIsReportedWithTheSystemError) {
  // A port that was free a moment ago; nothing listens there.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof address;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), len), 0);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
  ::close(fd);
  const int port = ntohs(address.sin_port);
  CSMTPConnection smtp;
  smtp.SetTimeout(2s);
  std::string error;
  EXPECT_FALSE(smtp.Connect("127.0.0.1", port, &error));
  EXPECT_TRUE(error.starts_with("Could not connect to the SMTP server 127.0.0.1 on port " +
                                std::to_string(port) + "\n\tGetLastError returns: 111\n"))
      << error;
}

TEST(SmtpConnectionTest, StopRequestEndsAWaitPromptly) {
  SmtpScript script;
  script.replies["DATA"] = "";
  ScriptSmtpServer server(script);
  std::stop_source stop;
  CSMTPConnection smtp;
  smtp.SetTimeout(30s);
  smtp.SetStopToken(stop.get_token());
  std::string error;
  ASSERT_TRUE(smtp.Connect("127.0.0.1", server.port(), &error)) << error;
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(300ms);
    stop.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(smtp.SendMessage(SampleMessage(), &error));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(error, "Sending was cancelled");
  stopper.join();
}

TEST(SmtpConnectionTest, MultiLineRepliesAreReadWhole) {
  SmtpScript script;
  script.greeting = "220-script.test welcome\r\n220-more words\r\n220 ready";
  script.replies["MAIL"] = "250-first\r\n250 2.1.0 ok";
  ScriptSmtpServer server(script);
  EXPECT_EQ(Deliver(server), "");
}

}  // namespace
}  // namespace quarry
