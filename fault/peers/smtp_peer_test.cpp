// The SMTP client against a real mail server from the distribution
// (aiosmtpd), started on 127.0.0.1 by each test: a message with a login,
// STARTTLS (or TLS from the start), an attachment and a body with lines a
// careless client would break must arrive exactly as written.

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "fault/smtp_connection.h"
#include "web/peers/peer_harness.h"
#include "web/peers/peer_test_support.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kUser[] = "ann";
constexpr char kPassword[] = "open sesame";

// The Python that has Debian's aiosmtpd: the system's own first (another
// one earlier on PATH may lack the distribution's modules). Empty, with a
// reason, when none has it.
std::string AiosmtpdPython(std::string* reason) {
  static const std::string found = [] {
    for (const std::string& python : {std::string("/usr/bin/python3"), peers::FindProgram("python3")}) {
      std::string error;
      if (!python.empty() && fs::exists(python) &&
          peers::RunProgram({python, "-c", "import aiosmtpd"}, {}, {}, &error, 20s)) {
        return python;
      }
    }
    return std::string();
  }();
  if (found.empty()) *reason = "aiosmtpd is not installed (Debian package python3-aiosmtpd)";
  return found;
}

bool HaveAiosmtpd(std::string* reason) { return !AiosmtpdPython(reason).empty(); }

class AiosmtpdPeer : public peers::Peer {
 public:
  explicit AiosmtpdPeer(bool implicit_tls) : Peer("python3"), implicit_tls_(implicit_tls) {}
  ~AiosmtpdPeer() override { Stop(); }

  int port() const { return ports().empty() ? 0 : ports()[0]; }
  fs::path inbox() const { return dir() / "inbox"; }
  fs::path ca_file() const { return certs_.ca_file; }

  // Waits for the server's n-th message folder.
  fs::path WaitForMessage(int n, std::chrono::milliseconds timeout = 10s) const {
    const fs::path folder = inbox() / ("message-" + std::to_string(n));
    for (auto end = std::chrono::steady_clock::now() + timeout;
         !fs::exists(folder) && std::chrono::steady_clock::now() < end;) {
      std::this_thread::sleep_for(50ms);
    }
    return fs::exists(folder) ? folder : fs::path();
  }

 protected:
  bool Prepare(std::string* error) override {
    if (!peers::MakeTestCertificates(dir(), &certs_, error)) return false;
    fs::create_directories(inbox());
    return true;
  }
  int PortCount() const override { return 1; }
  bool Configure(const std::string&, const std::vector<int>& ports,
                 std::vector<std::string>* argv, std::string* error) override {
    const std::string python = AiosmtpdPython(error);
    if (python.empty()) return false;
    *argv = {python, QUARRY_SMTP_SERVER_SCRIPT, std::to_string(ports[0]),
             certs_.cert_file.string(), certs_.key_file.string(), kUser, kPassword,
             inbox().string()};
    if (implicit_tls_) argv->push_back("--implicit-tls");
    return true;
  }

 private:
  bool implicit_tls_;
  peers::TestCertificates certs_;
};

#define QUARRY_REQUIRE_AIOSMTPD()                                          \
  do {                                                                     \
    std::string quarry_reason_;                                            \
    if (!HaveAiosmtpd(&quarry_reason_)) {                                  \
      if (!peers::PeersRequired()) GTEST_SKIP() << quarry_reason_;         \
      FAIL() << quarry_reason_;                                            \
    }                                                                      \
  } while (0)

std::string Read(const fs::path& path) { return peers::ReadTextFile(path); }

CSMTPMessage Message(std::string body) {
  CSMTPMessage m;
  m.from = CSMTPAddress("Ann Example", "ann@example.org");
  m.to = {CSMTPAddress("Customer Support", "support@quarry.example")};
  m.cc = {CSMTPAddress("copy@quarry.example")};
  m.subject = "Report Bug";
  m.body = std::move(body);
  return m;
}

// Lines a careless client breaks: lone dots, a dot-led line, a "From "
// line, one longer than SMTP allows, text outside ASCII, a blank at the
// end of a line.
const std::string kBody =
    "Hello,\n.\nthe line above is a lone dot.\n..two dots\n.\nFrom here on\n" +
    std::string(1500, 'x') + "\nGr\xC3\xBC\xC3\x9F" "e \nQUIT\n.\n";

std::string CrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

CSMTPConnection& Prepared(CSMTPConnection& smtp, const AiosmtpdPeer& server,
                          const char* password = kPassword) {
  smtp.SetTimeout(10s);
  smtp.SetCaFile(server.ca_file().string());
  smtp.SetAuthenticate(true);
  smtp.SetUserName(kUser);
  smtp.SetPassword(password);
  return smtp;
}

TEST(SmtpPeerTest, StartTlsLoginAttachmentAndAwkwardBodyArriveIntact) {
  QUARRY_REQUIRE_AIOSMTPD();
  AiosmtpdPeer server(/*implicit_tls=*/false);
  QUARRY_START_PEER(server);

  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(i * 7 % 256);
  CSMTPMessage message = Message(kBody);
  message.attachments = {{"report 1.bin", binary}};

  CSMTPConnection smtp;
  Prepared(smtp, server);
  std::string error;
  ASSERT_TRUE(smtp.Connect("127.0.0.1", server.port(), &error)) << error << server.DaemonOutput();
  EXPECT_TRUE(smtp.IsEncrypted());
  ASSERT_TRUE(smtp.SendMessage(message, &error)) << error << server.DaemonOutput();
  smtp.Disconnect();

  const fs::path got = server.WaitForMessage(1);
  ASSERT_FALSE(got.empty()) << server.DaemonOutput();
  EXPECT_EQ(Read(got / "envelope"),
            "from ann@example.org\nto support@quarry.example\nto copy@quarry.example\n"
            "login ann\ntls yes\n");
  // The line end before the first boundary belongs to the body part.
  EXPECT_EQ(Read(got / "body"), CrLf(kBody) + "\r\n");
  EXPECT_EQ(Read(got / "attachment-report 1.bin"), binary);
  const std::string raw = Read(got / "raw");
  EXPECT_NE(raw.find("Subject: Report Bug\r\n"), std::string::npos);
  EXPECT_NE(raw.find("X-Mailer: Zandor Technologies eMailer, v1.00\r\n"), std::string::npos);
}

TEST(SmtpPeerTest, ImplicitTlsAndASinglePartMessage) {
  QUARRY_REQUIRE_AIOSMTPD();
  AiosmtpdPeer server(/*implicit_tls=*/true);
  QUARRY_START_PEER(server);
  CSMTPConnection smtp;
  Prepared(smtp, server);
  smtp.SetImplicitTlsPort(server.port());
  std::string error;
  ASSERT_TRUE(smtp.Connect("127.0.0.1", server.port(), &error)) << error << server.DaemonOutput();
  EXPECT_TRUE(smtp.IsEncrypted());
  ASSERT_TRUE(smtp.SendMessage(Message("plain\n.\ntext\n"), &error)) << error;
  smtp.Disconnect();
  const fs::path got = server.WaitForMessage(1);
  ASSERT_FALSE(got.empty()) << server.DaemonOutput();
  EXPECT_EQ(Read(got / "body"), "plain\r\n.\r\ntext\r\n\r\n");
  EXPECT_EQ(Read(got / "raw").find("BOUNDARY"), std::string::npos);
}

TEST(SmtpPeerTest, RefusedLoginAndUntrustedCertificate) {
  QUARRY_REQUIRE_AIOSMTPD();
  AiosmtpdPeer server(/*implicit_tls=*/false);
  QUARRY_START_PEER(server);
  {
    CSMTPConnection smtp;
    Prepared(smtp, server, "wrong");
    std::string error;
    EXPECT_FALSE(smtp.Connect("127.0.0.1", server.port(), &error));
    EXPECT_TRUE(error.starts_with("Authentication failed from\n535")) << error;
  }
  {
    // The system's authorities do not know the test's.
    CSMTPConnection smtp;
    Prepared(smtp, server);
    smtp.SetCaFile("/etc/ssl/certs/ca-certificates.crt");
    std::string error;
    EXPECT_FALSE(smtp.Connect("127.0.0.1", server.port(), &error));
    EXPECT_NE(error.find("Could not make an encrypted connection to the SMTP server 127.0.0.1"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("certificate"), std::string::npos) << error;
  }
  EXPECT_TRUE(server.WaitForMessage(1, 200ms).empty());
}

}  // namespace
}  // namespace quarry
