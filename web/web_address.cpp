#include "web/web_address.h"

#include "platform/ascii_text.h"
#include "web/retrieval_request.h"

namespace quarry {

namespace {

// The authority of "scheme://authority/path": [start, end) in `address`,
// or false when the address has no "://".
bool FindAuthority(std::string_view address, size_t* start, size_t* end) {
  const size_t scheme_end = address.find("://");
  if (scheme_end == std::string_view::npos) return false;
  *start = scheme_end + 3;
  *end = address.find_first_of("/?#", *start);
  if (*end == std::string_view::npos) *end = address.size();
  return true;
}

}  // namespace

bool IsWebAddress(std::string_view text) {
  for (std::string_view scheme : {"http://", "https://", "ftp://", "file://"}) {
    if (StartsWithNoCase(text, scheme)) return true;
  }
  return false;
}

bool IsFtpAddress(std::string_view text) { return StartsWithNoCase(text, "ftp://"); }

int32_t ProtocolForAddress(std::string_view address) {
  return IsFtpAddress(address) ? kProtocolFtp : kProtocolHttp;
}

bool IsLocalAddress(std::string_view address) {
  address = Trimmed(address);
  if (StartsWithNoCase(address, "file://")) return true;
  size_t start = 0, end = 0;
  if (!FindAuthority(address, &start, &end)) return false;
  std::string_view host = address.substr(start, end - start);
  const size_t at = host.rfind('@');
  if (at != std::string_view::npos) host.remove_prefix(at + 1);
  if (!host.empty() && host.front() == '[') {
    host = host.substr(0, host.find(']') + 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  const bool loopback_v4 =
      host.starts_with("127.") && host.find_first_not_of("0123456789.") == std::string_view::npos;
  return EqualsNoCase(host, "localhost") || host == "[::1]" || loopback_v4;
}

std::string MaskCredentials(std::string_view address) {
  std::string shown(address);
  size_t start = 0, end = 0;
  if (!FindAuthority(address, &start, &end)) return shown;
  const size_t at = address.rfind('@', end == 0 ? 0 : end - 1);
  if (at == std::string_view::npos || at < start) return shown;
  const size_t colon = address.find(':', start);
  if (colon != std::string_view::npos && colon < at) {
    shown.replace(colon + 1, at - colon - 1, "***");
  }
  return shown;
}

std::string DisplayAddress(std::string_view address) {
  return EscapeControlBytes(MaskCredentials(address));
}

}  // namespace quarry
