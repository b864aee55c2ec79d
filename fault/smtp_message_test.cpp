#include "fault/smtp_message.h"

#include <stdlib.h>
#include <time.h>

#include <regex>

#include <gtest/gtest.h>

#include "web/base64.h"

namespace quarry {
namespace {

TEST(SmtpMessageTest, ZoneFromTheTimeZoneBias) {
  struct Case {
    long bias;
    const char* zone;
  } cases[] = {
      {-330, "+0530"}, {300, "-0500"}, {0, "+0000"}, {570, "-0930"}, {-765, "+1245"},
      // Under an hour: the sign still shows which side of UTC.
      {30, "-0030"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatZone(c.bias), c.zone) << c.bias;
}

TEST(SmtpMessageTest, DateUsesEnglishNamesAndTheLocalZone) {
  const char* saved = getenv("TZ");
  const std::string saved_tz = saved != nullptr ? saved : "";
  struct Case {
    const char* tz;
    const char* expected;
  } cases[] = {
      {"IST-5:30", "Wed, 15 Nov 2023 03:43:20 +0530"},
      {"EST5", "Tue, 14 Nov 2023 17:13:20 -0500"},
  };
  for (const Case& c : cases) {
    setenv("TZ", c.tz, 1);
    tzset();
    EXPECT_EQ(FormatMailDate(1700000000), c.expected);
  }
  if (saved != nullptr) setenv("TZ", saved_tz.c_str(), 1); else unsetenv("TZ");
  tzset();
}

TEST(SmtpMessageTest, DotStuffingAndLineEnds) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"a\nb", "a\r\nb"},
      {".\n", "..\r\n"},
      {"x\r\n.\r\ny", "x\r\n..\r\ny"},
      {"..two\r.", "...two\r\n.."},
      {"\n\n", "\r\n\r\n"},
      {"a.b\n .c", "a.b\r\n .c"},
  };
  for (const Case& c : cases) EXPECT_EQ(DotStuffed(c.in), c.out) << c.in;
}

TEST(SmtpMessageTest, QuotedPrintableKeepsLinesShortAndBytesSafe) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"a=b", "a=3Db"},
      {"caf\xC3\xA9\n", "caf=C3=A9\r\n"},
      {"trailing \nx", "trailing=20\r\nx"},
      {".", "."},  // stuffing is done after encoding
  };
  for (const Case& c : cases) EXPECT_EQ(QuotedPrintable(c.in), c.out) << c.in;
  const std::string long_line = QuotedPrintable(std::string(200, 'x') + "\xFF");
  size_t start = 0;
  for (size_t eol = long_line.find("\r\n"); eol != std::string::npos;
       start = eol + 2, eol = long_line.find("\r\n", start)) {
    EXPECT_LE(eol - start, 76u);
  }
  EXPECT_TRUE(long_line.ends_with("=FF"));
}

TEST(SmtpMessageTest, SinglePartWithoutAttachments) {
  CSMTPMessage m;
  m.from = CSMTPAddress("Ann", "ann@example.org");
  m.to = {CSMTPAddress("Customer Support", "s@q.example"), CSMTPAddress("o@q.example")};
  m.subject = "Report Bug";
  m.body = "hello";
  setenv("TZ", "UTC0", 1);
  tzset();
  const std::string header = m.FormHeader(1700000000);
  EXPECT_EQ(header,
            "From: Ann <ann@example.org>\r\nTo: Customer Support <s@q.example>,o@q.example\r\n"
            "Subject: Report Bug\r\nDate: Tue, 14 Nov 2023 22:13:20 +0000\r\n"
            "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=US-ASCII\r\n"
            "X-Mailer: Zandor Technologies eMailer, v1.00\r\n\r\n");
  EXPECT_EQ(m.FormBodyPart(), "hello");
  m.html = true;
  m.cc = {CSMTPAddress("c@q.example")};
  m.reply_to = CSMTPAddress("r@q.example");
  const std::string html = m.FormHeader(1700000000);
  EXPECT_NE(html.find("To: Customer Support <s@q.example>,o@q.example\r\nCc: c@q.example\r\n"),
            std::string::npos);
  EXPECT_NE(html.find("Content-Type: text/html; charset=US-ASCII\r\nReply-To: r@q.example\r\n"
                      "X-Mailer:"),
            std::string::npos);
  EXPECT_EQ(html.find("BOUNDARY"), std::string::npos);
  // Text outside ASCII goes quoted-printable in UTF-8, the subject encoded.
  m.html = false;
  m.subject = "Gr\xC3\xBC\xC3\x9F" "e";
  m.body = "\xC3\xBC";
  const std::string utf8 = m.FormHeader(1700000000);
  EXPECT_NE(utf8.find("Subject: =?UTF-8?B?" + Base64Encode(m.subject) + "?=\r\n"),
            std::string::npos);
  EXPECT_NE(utf8.find("charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n"),
            std::string::npos);
  EXPECT_EQ(m.FormBodyPart(), "=C3=BC");
}

TEST(SmtpMessageTest, AttachmentsArePartsBetweenBoundaries) {
  CSMTPMessage m;
  m.from = CSMTPAddress("ann@example.org");
  m.to = {CSMTPAddress("s@q.example")};
  m.body = "see =attached\n.\n";
  m.attachments = {{"report 1.txt", std::string(100, 'z')}};
  const std::string header = m.FormHeader(0);
  EXPECT_NE(header.find("MIME-Version: 1.0\r\nContent-type: multipart/mixed; "
                        "boundary=\"#BOUNDARY#\"\r\n"),
            std::string::npos);
  EXPECT_EQ(m.FormBodyPart(),
            "\r\n--#BOUNDARY#\r\nContent-Type: text/plain; charset=us-ascii\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\nsee =3Dattached\r\n..\r\n");
  const std::string part = m.FormAttachmentPart(m.attachments[0]);
  EXPECT_TRUE(part.starts_with(
      "\r\n\r\n--#BOUNDARY#\r\nContent-Type: application/octet-stream; name=\"report 1.txt\"\r\n"
      "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
      "filename=\"report 1.txt\"\r\n\r\n"));
  const std::string lines = Base64Lines(std::string(100, 'z'));
  EXPECT_TRUE(part.ends_with(lines));
  EXPECT_EQ(lines.find("\r\n"), 76u);
  EXPECT_EQ(Base64Decode(lines), std::string(100, 'z'));
}

TEST(SmtpMessageTest, ValidateRefusesWhatWouldBreakTheEnvelopeOrHeader) {
  struct Case {
    const char* name;
    void (*change)(CSMTPMessage&);
    bool ok;
  } cases[] = {
      {"plain", [](CSMTPMessage&) {}, true},
      {"subject LF", [](CSMTPMessage& m) { m.subject = "a\nb"; }, false},
      {"subject CR", [](CSMTPMessage& m) { m.subject = "a\rb"; }, false},
      {"cc", [](CSMTPMessage& m) { m.cc = {CSMTPAddress("x@y\n")}; }, false},
      {"bcc blank", [](CSMTPMessage& m) { m.bcc = {CSMTPAddress("x @y")}; }, false},
      {"reply-to", [](CSMTPMessage& m) { m.reply_to = CSMTPAddress("N\r", "r@x"); }, false},
      {"attachment", [](CSMTPMessage& m) { m.attachments = {{"a\r\nb", "x"}}; }, false},
      {"body may break lines", [](CSMTPMessage& m) { m.body = "a\r\n.\r\nb"; }, true},
  };
  for (const Case& c : cases) {
    CSMTPMessage m;
    m.from = CSMTPAddress("Ann", "ann@example.org");
    m.to = {CSMTPAddress("s@q.example")};
    c.change(m);
    EXPECT_EQ(m.Validate().empty(), c.ok) << c.name << ": " << m.Validate();
  }
}

}  // namespace
}  // namespace quarry
