#include "tools/qry/batch_names.h"

#include "platform/ascii_text.h"
#include "platform/utf8_text.h"
#include "web/web_address.h"

namespace quarry::qry {

namespace {

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    decoded.push_back(text[i]);
  }
  return decoded;
}

// `name` without an extension of one to five ASCII letters and digits.
std::string_view WithoutExtension(std::string_view name) {
  const size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return name;
  const std::string_view extension = name.substr(dot + 1);
  if (extension.empty() || extension.size() > 5) return name;
  for (char c : extension) {
    if (!IsAsciiAlnum(c)) return name;
  }
  return name.substr(0, dot);
}

}  // namespace

std::string SafeNamePart(std::string_view text, std::string_view fallback) {
  const std::string utf8 = PageBytesAsUtf8(text);
  std::string part;
  for (char c : utf8) {
    const bool keep = IsAsciiAlnum(c) || c == '-' || c == '_' || c == '.' ||
                      static_cast<unsigned char>(c) >= 0x80;
    const char next = keep ? c : '_';
    if (next == '_' && !part.empty() && part.back() == '_') continue;
    if (part.empty() && (next == '.' || next == '-' || next == '_')) continue;
    part.push_back(next);
  }
  std::string_view cut = Utf8Prefix(part, kMaxNamePartBytes);
  // Utf8Prefix counts characters; cut further to the byte limit on a
  // character's boundary.
  while (cut.size() > kMaxNamePartBytes) cut = Utf8Prefix(cut, Utf8Length(cut) - 1);
  while (!cut.empty() && (cut.back() == '_' || cut.back() == '.')) cut.remove_suffix(1);
  return cut.empty() ? std::string(fallback) : std::string(cut);
}

std::string PageNameOf(std::string_view source) {
  if (!IsWebAddress(source)) {
    const size_t slash = source.find_last_of('/');
    return std::string(WithoutExtension(slash == std::string_view::npos ? source
                                                                        : source.substr(slash + 1)));
  }
  std::string_view rest = source.substr(source.find("://") + 3);
  rest = rest.substr(0, rest.find_first_of("?#"));
  const size_t path_start = rest.find('/');
  std::string_view host = rest.substr(0, path_start);
  std::string_view path = path_start == std::string_view::npos ? "" : rest.substr(path_start);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  if (!path.empty()) {
    const std::string segment = PercentDecoded(path.substr(path.find_last_of('/') + 1));
    return std::string(WithoutExtension(segment));
  }
  // No path: the host, without credentials or port.
  const size_t at = host.find_last_of('@');
  if (at != std::string_view::npos) host.remove_prefix(at + 1);
  if (host.empty()) return std::string();
  host = host.front() == '[' ? host.substr(0, host.find(']') + 1) : host.substr(0, host.find(':'));
  return std::string(host);
}

std::string BatchNames::Take(std::string_view page, std::string_view table_id) {
  const std::string stem = SafeNamePart(page, "page") + "-" + SafeNamePart(table_id, "table");
  std::string name = stem + extension_;
  for (int n = 2; !taken_.insert(AsciiLowered(name)).second; ++n) {
    name = stem + "-" + std::to_string(n) + extension_;
  }
  return name;
}

}  // namespace quarry::qry
