// Base64 of RFC 4648 (standard alphabet, "=" padding, no line breaks), as
// the Basic credentials scheme and the mail login need it.

#ifndef QUARRY_WEB_BASE64_H_
#define QUARRY_WEB_BASE64_H_

#include <string>
#include <string_view>

namespace quarry {

// The Base64 form of `bytes`.
std::string Base64Encode(std::string_view bytes);

// The bytes of the Base64 text `text`. Characters outside the alphabet
// (line breaks, blanks, the "=" padding) are skipped, so wrapped text reads
// back whole; a trailing partial group is dropped.
std::string Base64Decode(std::string_view text);

// The value of an Authorization (or Proxy-Authorization) header of the Basic
// scheme: "Basic " followed by the Base64 form of "user:password".
std::string BasicCredentials(std::string_view user_name, std::string_view password);

}  // namespace quarry

#endif  // QUARRY_WEB_BASE64_H_
