#include "fault/smtp_message.h"

#include <cstdio>
#include <cstdlib>

#include "web/base64.h"

namespace quarry {

namespace {

constexpr size_t kMaxLine = 998;  // SMTP's limit without the CR LF

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

bool HasLongLine(std::string_view text) {
  size_t run = 0;
  for (char c : text) {
    run = c == '\n' || c == '\r' ? 0 : run + 1;
    if (run > kMaxLine) return true;
  }
  return false;
}

// Visits each line of `text` without its line end; a final line without
// one is visited too, an empty text is no line at all.
template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    fn(text.substr(i, end - i), end < text.size());
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    i = end + 1;
  }
}

std::string JoinAddresses(const std::vector<CSMTPAddress>& list) {
  std::string line;
  for (const CSMTPAddress& a : list) line += a.GetRegularFormat() + ",";
  if (!line.empty() && line.back() == ',') line.pop_back();
  return line;
}

std::string CheckAddress(const CSMTPAddress& a, const char* role) {
  if (HasLineBreak(a.friendly_name) || HasLineBreak(a.email_address)) {
    return std::string("The ") + role + " address holds a line break.";
  }
  for (char c : a.email_address) {
    if (c == '<' || c == '>' || c == ' ' || c == '\t' || static_cast<unsigned char>(c) < 0x20) {
      return std::string("The ") + role + " address \"" + a.email_address +
             "\" holds characters an address cannot have.";
    }
  }
  return {};
}

// The parameter value of a MIME header, quoted.
std::string QuotedParameter(std::string_view text) {
  std::string word = HeaderWord(text);
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string CSMTPAddress::GetRegularFormat() const {
  if (friendly_name.empty()) return email_address;
  return HeaderWord(friendly_name) + " <" + email_address + ">";
}

std::string CSMTPMessage::Validate() const {
  if (HasLineBreak(subject)) return "The subject holds a line break.";
  if (HasLineBreak(x_mailer)) return "The mailer name holds a line break.";
  std::string reason = CheckAddress(from, "sender");
  if (reason.empty() && !reply_to.email_address.empty()) reason = CheckAddress(reply_to, "reply");
  for (const auto* list : {&to, &cc, &bcc}) {
    for (const CSMTPAddress& a : *list) {
      if (reason.empty()) reason = CheckAddress(a, "recipient");
    }
  }
  for (const CSMTPAttachment& attachment : attachments) {
    if (reason.empty() && HasLineBreak(attachment.title)) {
      reason = "The name of an attachment holds a line break.";
    }
  }
  return reason;
}

bool CSMTPMessage::BodyIsQuotedPrintable() const {
  return !attachments.empty() || !IsAscii(body) || HasLongLine(body);
}

std::string CSMTPMessage::FormHeader(std::time_t now) const {
  std::string mime;
  if (!attachments.empty()) {
    mime = "MIME-Version: 1.0\r\nContent-type: multipart/mixed; boundary=\"" +
           std::string(kBoundary) + "\"\r\n";
  } else if (BodyIsQuotedPrintable()) {
    mime = std::string("MIME-Version: 1.0\r\nContent-Type: ") +
           (html ? "text/html" : "text/plain") +
           "; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n";
  } else {
    mime = html ? "MIME-Version: 1.0\r\nContent-Type: text/html; charset=US-ASCII\r\n"
                : "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=US-ASCII\r\n";
  }
  if (!reply_to.email_address.empty()) {
    mime += "Reply-To: " + reply_to.GetRegularFormat() + "\r\n";
  }
  std::string header = "From: " + from.GetRegularFormat() + "\r\nTo: " + JoinAddresses(to) + "\r\n";
  if (!cc.empty()) header += "Cc: " + JoinAddresses(cc) + "\r\n";
  header += "Subject: " + HeaderWord(subject) + "\r\nDate: " + FormatMailDate(now) + "\r\n" +
            mime + "X-Mailer: " + x_mailer + "\r\n\r\n";
  return header;
}

std::string CSMTPMessage::FormBodyPart() const {
  const std::string text = BodyIsQuotedPrintable() ? QuotedPrintable(body) : body;
  if (attachments.empty()) return DotStuffed(text);
  // The part says quoted-printable, and so the body is.
  const char* charset = IsAscii(body) ? "us-ascii" : "UTF-8";
  return "\r\n--" + std::string(kBoundary) + "\r\nContent-Type: " +
         (html ? "text/html" : "text/plain") + "; charset=" + charset +
         "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" + DotStuffed(text);
}

std::string CSMTPMessage::FormAttachmentPart(const CSMTPAttachment& attachment) const {
  const std::string name = QuotedParameter(attachment.title);
  // Base64 lines never start with ".", so they need no stuffing.
  return "\r\n\r\n--" + std::string(kBoundary) +
         "\r\nContent-Type: application/octet-stream; name=" + name +
         "\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=" +
         name + "\r\n\r\n" + Base64Lines(attachment.content);
}

std::string FormatZone(long bias_minutes) {
  const long east = -bias_minutes;
  char text[48];
  std::snprintf(text, sizeof text, "%c%.2ld%.2ld", east < 0 ? '-' : '+', std::labs(east) / 60,
                std::labs(east) % 60);
  return text;
}

std::string FormatMailDate(std::time_t now) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %.2d %s %d %.2d:%.2d:%.2d ", kDays[local.tm_wday % 7],
                local.tm_mday, kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour,
                local.tm_min, local.tm_sec);
  return text + FormatZone(-local.tm_gmtoff / 60);
}

std::string DotStuffed(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  ForEachLine(text, [&out](std::string_view line, bool ended) {
    if (!line.empty() && line[0] == '.') out += '.';
    out.append(line);
    if (ended) out += "\r\n";
  });
  return out;
}

std::string QuotedPrintable(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  ForEachLine(text, [&](std::string_view line, bool ended) {
    size_t column = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(line[i]);
      const bool last = i + 1 == line.size();
      // Blanks at a line's end would be lost in transit: encode them.
      const bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
      const size_t width = plain ? 1 : 3;
      if (column + width > 75) {
        out += "=\r\n";
        column = 0;
      }
      if (plain) {
        out += static_cast<char>(c);
      } else {
        out += '=';
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
      column += width;
    }
    if (ended) out += "\r\n";
  });
  return out;
}

std::string Base64Lines(std::string_view bytes) {
  const std::string encoded = Base64Encode(bytes);
  std::string out;
  out.reserve(encoded.size() + encoded.size() / 38 + 2);
  for (size_t i = 0; i < encoded.size(); i += 76) {
    out.append(encoded, i, 76);
    out += "\r\n";
  }
  return out;
}

std::string HeaderWord(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  // Encoded words of at most 45 bytes each (60 characters of Base64),
  // never cutting a UTF-8 sequence, folded onto lines of their own.
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i + 45 < text.size() ? i + 45 : text.size();
    while (end < text.size() && end > i + 1 &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
      --end;
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64Encode(text.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

}  // namespace quarry
