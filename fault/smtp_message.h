// One mail message for the SMTP client: sender, recipients, subject, body
// and attachments, and the pieces of its wire form (header, MIME parts,
// transparent body).
//
// The wire form is always safe to send inside DATA: every line ends in
// CR LF (bare CR and LF become CR LF), a line that begins with "." gets a
// second one (so a line holding a single "." cannot end the message early),
// and no line is longer than the 998 bytes SMTP allows (a body that has
// longer lines, or bytes outside ASCII, goes quoted-printable). Header
// fields never carry a CR or LF: Validate() refuses such a message, because
// a line break there would let the text add header fields of its own.

#ifndef QUARRY_FAULT_SMTP_MESSAGE_H_
#define QUARRY_FAULT_SMTP_MESSAGE_H_

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

class CSMTPAddress {
 public:
  CSMTPAddress() = default;
  CSMTPAddress(std::string name, std::string address)
      : friendly_name(std::move(name)), email_address(std::move(address)) {}
  explicit CSMTPAddress(std::string address) : email_address(std::move(address)) {}

  // "Name <address>", or the bare address without a name. A name with
  // bytes outside ASCII is written as an encoded word.
  std::string GetRegularFormat() const;

  std::string friendly_name;
  std::string email_address;
};

// A file sent with the message: its title (the file name the recipient
// sees) and its bytes.
struct CSMTPAttachment {
  std::string title;
  std::string content;
};

// The default X-Mailer value.
inline constexpr char kDefaultXMailer[] = "Zandor Technologies eMailer, v1.00";

// The boundary between the parts of a message with attachments.
inline constexpr char kBoundary[] = "#BOUNDARY#";

class CSMTPMessage {
 public:
  CSMTPAddress from;
  std::vector<CSMTPAddress> to, cc, bcc;
  CSMTPAddress reply_to;  // written only when its address is not empty
  std::string subject;
  std::string x_mailer = kDefaultXMailer;
  std::string body;
  bool html = false;
  std::vector<CSMTPAttachment> attachments;

  // Empty when the message may be sent; otherwise the reason, e.g. "The
  // subject holds a line break.". Checks every header field and address
  // for CR and LF (and addresses for "<", ">" and blanks, which would end
  // the address in MAIL FROM and RCPT TO).
  std::string Validate() const;

  // The header of the message written at `now` (local time), ending with
  // its empty line.
  std::string FormHeader(std::time_t now) const;

  // The body as it goes inside DATA, transparent: for a message without
  // attachments the body alone; with attachments the body part's header and
  // the body. Either way CR LF only and dot-stuffed.
  std::string FormBodyPart() const;
  // One attachment's part: its header and its content in Base64, 76
  // characters a line.
  std::string FormAttachmentPart(const CSMTPAttachment& attachment) const;

  // Whether the body is sent quoted-printable (bytes outside ASCII, long
  // lines, or a part that declares it).
  bool BodyIsQuotedPrintable() const;
};

// The "Date:" value: "%a, %d %b %Y %H:%M:%S " (English names, whatever the
// locale) followed by the zone, for `now` in local time.
std::string FormatMailDate(std::time_t now);
// The zone of a time-zone bias in minutes (local = UTC - bias): -330 gives
// "+0530", 300 gives "-0500".
std::string FormatZone(long bias_minutes);

// `text` with every line ending in CR LF and a "." added in front of each
// line that starts with ".".
std::string DotStuffed(std::string_view text);
// `text` in quoted-printable (RFC 2045) with CR LF line ends and soft breaks
// keeping lines within 76 characters.
std::string QuotedPrintable(std::string_view text);
// `bytes` in Base64 in lines of 76 characters, each ending in CR LF.
std::string Base64Lines(std::string_view bytes);
// A header word: as it is when plain ASCII, else as RFC 2047 encoded words
// in UTF-8.
std::string HeaderWord(std::string_view text);
// True when `text` holds a CR or an LF.
bool HasLineBreak(std::string_view text);

}  // namespace quarry

#endif  // QUARRY_FAULT_SMTP_MESSAGE_H_
