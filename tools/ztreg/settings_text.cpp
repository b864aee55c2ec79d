#include "tools/ztreg/settings_text.h"

#include <charconv>
#include <optional>

#include "platform/key_path.h"

namespace quarry::ztreg {

using platform::ValueType;

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string HexText(const std::vector<uint8_t>& data) {
  std::string text;
  for (uint8_t byte : data) {
    if (!text.empty()) text += ' ';
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0xf];
  }
  return text;
}

uint64_t FromLittleEndian(const std::vector<uint8_t>& data) {
  uint64_t value = 0;
  for (size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

std::vector<uint8_t> LittleEndian(uint64_t value, int bytes) {
  std::vector<uint8_t> data(bytes);
  for (int i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
  return data;
}

// Reads a quoted text at the start of *rest and advances past it.
bool ParseQuoted(std::string_view* rest, std::string* text, std::string* error) {
  std::string_view in = *rest;
  if (in.empty() || in.front() != '"') {
    *error = "expected a double-quoted text";
    return false;
  }
  text->clear();
  for (size_t i = 1; i < in.size(); ++i) {
    char c = in[i];
    if (c == '"') {
      *rest = in.substr(i + 1);
      return true;
    }
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++i == in.size()) break;
    switch (in[i]) {
      case '\\': *text += '\\'; break;
      case '"': *text += '"'; break;
      case 'n': *text += '\n'; break;
      case 'r': *text += '\r'; break;
      case 't': *text += '\t'; break;
      case 'x': {
        int high = i + 1 < in.size() ? HexValue(in[i + 1]) : -1;
        int low = i + 2 < in.size() ? HexValue(in[i + 2]) : -1;
        if (high < 0 || low < 0) {
          *error = "\\x must be followed by two hex digits";
          return false;
        }
        *text += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + in[i];
        return false;
    }
  }
  *error = "the quoted text has no closing quote";
  return false;
}

// Parses the part of a value line after '=': "<type> <data>".
bool ParseValueData(std::string_view text, Value* value, std::string* error) {
  size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  std::string_view type = text.substr(0, end);
  std::string_view data = Trim(text.substr(end));

  uint64_t number = 0;
  if (type == "dword" || type == "qword") {
    bool dword = type == "dword";
    if (!ParseNumber(data, dword ? UINT32_MAX : UINT64_MAX, &number, error)) return false;
    value->type = dword ? ValueType::kDword : ValueType::kQword;
    value->data = LittleEndian(number, dword ? 4 : 8);
    return true;
  }
  if (type == "string" || type == "expand-string") {
    std::string parsed;
    if (!ParseQuoted(&data, &parsed, error)) return false;
    if (!Trim(data).empty()) {
      *error = "unexpected text after the closing quote";
      return false;
    }
    value->type = type == "string" ? ValueType::kSz : ValueType::kExpandSz;
    value->data.assign(parsed.begin(), parsed.end());
    return true;
  }
  if (type == "binary") {
    value->type = ValueType::kBinary;
    return ParseHexBytes(data, &value->data, error);
  }
  if (type == "type") {
    size_t code_end = 0;
    while (code_end < data.size() && !IsBlank(data[code_end])) ++code_end;
    if (!ParseNumber(data.substr(0, code_end), UINT32_MAX, &number, error)) return false;
    value->type = static_cast<ValueType>(number);
    if (!ParseHexBytes(Trim(data.substr(code_end)), &value->data, error)) return false;
    // The store keeps numbers at their size whatever their spelling.
    if ((value->type == ValueType::kDword && value->data.size() != 4) ||
        (value->type == ValueType::kQword && value->data.size() != 8)) {
      *error = "type " + std::to_string(number) + " needs " +
               (value->type == ValueType::kDword ? "4" : "8") + " bytes of data";
      return false;
    }
    return true;
  }
  *error = "unknown type \"" + std::string(type) +
           "\" (dword, qword, string, expand-string, binary or type N)";
  return false;
}

}  // namespace

std::string QuoteText(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          quoted += "\\x";
          quoted += kHexDigits[byte >> 4];
          quoted += kHexDigits[byte & 0xf];
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

std::string DisplayKey(std::string_view path) {
  return path.empty() ? "HKCU" : "HKCU\\" + std::string(path);
}

std::string FormatKeyLine(std::string_view path) { return "[" + DisplayKey(path) + "]"; }

std::string FormatValueLine(std::string_view name, const Value& value) {
  std::string line = QuoteText(name) + " = ";
  const std::string text(value.data.begin(), value.data.end());
  switch (value.type) {
    case ValueType::kDword:
      if (value.data.size() == 4) return line + "dword " + std::to_string(FromLittleEndian(value.data));
      break;
    case ValueType::kQword:
      if (value.data.size() == 8) return line + "qword " + std::to_string(FromLittleEndian(value.data));
      break;
    case ValueType::kSz:
      return line + "string " + QuoteText(text);
    case ValueType::kExpandSz:
      return line + "expand-string " + QuoteText(text);
    case ValueType::kBinary:
      return line + (value.data.empty() ? "binary" : "binary " + HexText(value.data));
  }
  line += "type " + std::to_string(static_cast<uint32_t>(value.type));
  return value.data.empty() ? line : line + " " + HexText(value.data);
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* bytes, std::string* error) {
  auto is_separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == ':'; };
  bytes->clear();
  size_t i = 0;
  while (i < text.size()) {
    if (!bytes->empty() && is_separator(text[i])) {
      while (i < text.size() && is_separator(text[i])) ++i;
      if (i == text.size()) {
        *error = "the hex bytes end in a separator";
        return false;
      }
    }
    int high = HexValue(text[i]);
    if (high < 0) {
      *error = std::string("bad hex digit '") + text[i] + "'";
      return false;
    }
    if (i + 1 == text.size()) {
      *error = "odd number of hex digits";
      return false;
    }
    int low = HexValue(text[i + 1]);
    if (low < 0) {
      *error = is_separator(text[i + 1]) ? "a byte has a single hex digit"
                                         : std::string("bad hex digit '") + text[i + 1] + "'";
      return false;
    }
    bytes->push_back(static_cast<uint8_t>(high * 16 + low));
    i += 2;
  }
  return true;
}

bool ParseNumber(std::string_view text, uint64_t max, uint64_t* number, std::string* error) {
  std::string shown = "\"" + std::string(text) + "\"";
  if (text.empty()) {
    *error = "a number is missing";
    return false;
  }
  if (text.front() == '-') {
    *error = shown + " is negative; only numbers from 0 to " + std::to_string(max) + " are allowed";
    return false;
  }
  int base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  uint64_t parsed = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed, base);
  if (ec == std::errc::result_out_of_range || (ec == std::errc() && parsed > max)) {
    *error = shown + " is too large; the largest allowed is " + std::to_string(max);
    return false;
  }
  if (ec != std::errc() || end != digits.data() + digits.size()) {
    *error = shown + " is not a number (decimal, or hexadecimal after 0x)";
    return false;
  }
  *number = parsed;
  return true;
}

bool ExportSettings(const SettingsStore& store, std::string_view key, std::ostream& out,
                    std::string* error) {
  std::vector<std::string> names;
  if (!platform::ParseKeyPath(key, &names, error)) return false;
  std::optional<std::string> top = store.StoredKeyPath(key);
  if (!top) {
    *error = store.IsUsable() ? "key not found: " + DisplayKey(platform::JoinKeyPath(names))
                              : store.Problem();
    return false;
  }
  // Depth first with an explicit stack: sorted, parents before children.
  std::vector<std::string> pending = {*top};
  while (!pending.empty()) {
    std::string path = std::move(pending.back());
    pending.pop_back();
    std::string reason;
    if (!platform::ParseKeyPath(path, &names, &reason)) {
      *error = "cannot export " + platform::QuoteForMessage(DisplayKey(path)) + ": " + reason +
               "; delete the key above it to get rid of it";
      return false;
    }
    std::vector<std::string> children = store.SubKeys(path);
    std::vector<ValueEntry> values = store.Values(path);
    // A key without values needs its own header only when no subkey's
    // header creates it on import.
    if (!path.empty() && (!values.empty() || children.empty())) {
      out << FormatKeyLine(path) << '\n';
      for (const ValueEntry& entry : values) {
        out << FormatValueLine(entry.name, Value{entry.type, entry.data}) << '\n';
      }
      out << '\n';
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      pending.push_back(path.empty() ? *it : path + "\\" + *it);
    }
  }
  if (!store.IsUsable()) {
    *error = store.Problem();
    return false;
  }
  return static_cast<bool>(out);
}

bool ParseSettingsText(std::string_view text, const SettingsTextSink& sink, std::string* error) {
  size_t line_number = 0;
  std::string key;  // the path of the latest key line
  bool have_key = false;
  while (!text.empty()) {
    ++line_number;
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    auto fail = [&](const std::string& reason) {
      *error = "line " + std::to_string(line_number) + ": " + reason;
      return false;
    };

    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return fail("a key line must end with ']'");
      std::vector<std::string> names;
      std::string reason;
      if (!platform::ParseKeyPath(line.substr(1, line.size() - 2), &names, &reason)) {
        return fail(reason);
      }
      if (names.empty()) return fail("the root of the hive cannot hold values");
      key = platform::JoinKeyPath(names);
      have_key = true;
      if (sink.key && !sink.key(key)) return false;
      continue;
    }
    if (line.front() != '"') return fail("expected [KEY] or \"NAME\" = TYPE DATA");
    if (!have_key) return fail("a value comes before any [KEY] line");

    ValueEntry entry;
    std::string reason;
    std::string_view rest = line;
    if (!ParseQuoted(&rest, &entry.name, &reason)) return fail(reason);
    if (!platform::CheckValueName(entry.name, &reason)) return fail(reason);
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') return fail("expected '=' after the value name");
    Value value;
    if (!ParseValueData(Trim(rest.substr(1)), &value, &reason)) return fail(reason);
    entry.type = value.type;
    entry.data = std::move(value.data);
    if (sink.value && !sink.value(key, entry)) return false;
  }
  return true;
}

bool ParseSettingsText(std::string_view text, std::vector<ParsedKey>* keys, std::string* error) {
  keys->clear();
  SettingsTextSink sink{
      [keys](const std::string& path) {
        keys->push_back(ParsedKey{path, {}});
        return true;
      },
      [keys](const std::string&, const ValueEntry& entry) {
        keys->back().values.push_back(entry);
        return true;
      }};
  return ParseSettingsText(text, sink, error);
}

bool ImportSettings(SettingsStore& store, std::string_view text, std::string* error) {
  error->clear();
  // The whole text is checked before the store is locked: a bad line then
  // costs no one a wait, and no write is begun that would have to be undone.
  if (!ParseSettingsText(text, SettingsTextSink{}, error)) return false;
  bool stored = store.WriteBatch([&](SettingsStore::Batch& batch) {
    SettingsStore::Batch::Key key;
    SettingsTextSink sink{
        [&](const std::string& path) {
          std::optional<SettingsStore::Batch::Key> created = batch.CreateKey(path);
          if (!created) {
            *error = "cannot create " + DisplayKey(path) + ": " + batch.LastError();
            return false;
          }
          key = *created;
          return true;
        },
        [&](const std::string& path, const ValueEntry& entry) {
          if (batch.SetValue(key, entry.name, Value{entry.type, entry.data})) return true;
          *error = "cannot store " + QuoteText(entry.name) + " in " + DisplayKey(path) + ": " +
                   batch.LastError();
          return false;
        }};
    return ParseSettingsText(text, sink, error);
  });
  if (!stored && error->empty()) *error = store.LastError();
  return stored;
}

}  // namespace quarry::ztreg
