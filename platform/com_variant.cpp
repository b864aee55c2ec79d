#include "platform/com_variant.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace quarry::com {

namespace {

// A whole number written in decimal (with an optional sign) or in
// hexadecimal after "0x"; the whole text must be the number.
std::optional<int64_t> ParseWhole(const std::string& text) {
  std::string_view s = text;
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    return std::nullopt;
  }
  const int64_t value = static_cast<int64_t>(magnitude);
  return negative ? -value : value;
}

std::optional<int64_t> WholeOf(const std::variant<std::monostate, bool, int32_t, uint32_t, double,
                                                  std::string, std::vector<uint8_t>, FontDesc>& v) {
  switch (v.index()) {
    case 1:
      return std::get<1>(v) ? 1 : 0;
    case 2:
      return std::get<2>(v);
    case 3:
      return std::get<3>(v);
    case 4: {
      const double d = std::get<4>(v);
      if (!std::isfinite(d) || std::fabs(d) > 9.0e15) return std::nullopt;
      return static_cast<int64_t>(std::llround(d));
    }
    case 5:
      return ParseWhole(std::get<5>(v));
    default:
      return std::nullopt;
  }
}

}  // namespace

const char* TypeName(Variant::Type type) {
  switch (type) {
    case Variant::Type::kEmpty:
      return "Empty";
    case Variant::Type::kBool:
      return "Bool";
    case Variant::Type::kInt:
      return "Int";
    case Variant::Type::kUInt:
      return "UInt";
    case Variant::Type::kDouble:
      return "Double";
    case Variant::Type::kString:
      return "String";
    case Variant::Type::kBytes:
      return "Bytes";
    case Variant::Type::kFont:
      return "Font";
  }
  return "?";
}

std::optional<bool> Variant::ToBool() const {
  if (type() == Type::kString) {
    const std::string& s = std::get<5>(value_);
    if (s == "true" || s == "True") return true;
    if (s == "false" || s == "False") return false;
  }
  std::optional<int64_t> whole = WholeOf(value_);
  if (!whole) return std::nullopt;
  return *whole != 0;
}

std::optional<int32_t> Variant::ToInt() const {
  std::optional<int64_t> whole = WholeOf(value_);
  if (!whole || *whole < std::numeric_limits<int32_t>::min() ||
      *whole > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(*whole);
}

std::optional<uint32_t> Variant::ToUInt() const {
  std::optional<int64_t> whole = WholeOf(value_);
  if (!whole) return std::nullopt;
  // Signed values keep their bit pattern (-1 is 0xFFFFFFFF).
  if (*whole < std::numeric_limits<int32_t>::min() ||
      *whole > std::numeric_limits<uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(*whole);
}

std::optional<double> Variant::ToDouble() const {
  if (type() == Type::kDouble) return std::get<4>(value_);
  if (type() == Type::kString) {
    const std::string& s = std::get<5>(value_);
    double d = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (error != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return d;
  }
  std::optional<int64_t> whole = WholeOf(value_);
  if (!whole) return std::nullopt;
  return static_cast<double>(*whole);
}

std::optional<std::string> Variant::ToString() const {
  switch (type()) {
    case Type::kString:
      return std::get<5>(value_);
    case Type::kBool:
      return std::string(std::get<1>(value_) ? "1" : "0");
    case Type::kInt:
      return std::to_string(std::get<2>(value_));
    case Type::kUInt:
      return std::to_string(std::get<3>(value_));
    case Type::kDouble: {
      char buffer[64];
      auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, std::get<4>(value_));
      if (error != std::errc()) return std::nullopt;
      return std::string(buffer, end);
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::vector<uint8_t>> Variant::ToBytes() const {
  if (type() != Type::kBytes) return std::nullopt;
  return std::get<6>(value_);
}

std::optional<FontDesc> Variant::ToFont() const {
  if (type() != Type::kFont) return std::nullopt;
  return std::get<7>(value_);
}

std::string Variant::Describe() const {
  std::string text = TypeName(type());
  switch (type()) {
    case Type::kEmpty:
      break;
    case Type::kString:
      text += " \"" + std::get<5>(value_) + "\"";
      break;
    case Type::kBytes:
      text += " (" + std::to_string(std::get<6>(value_).size()) + " bytes)";
      break;
    case Type::kFont: {
      const FontDesc& f = std::get<7>(value_);
      text += " \"" + f.face + "\" " + *Variant::Double(f.points).ToString() + "pt weight " +
              std::to_string(f.weight);
      break;
    }
    default:
      text += " " + ToString().value_or("?");
      break;
  }
  return text;
}

}  // namespace quarry::com
