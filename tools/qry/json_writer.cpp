#include "tools/qry/json_writer.h"

namespace quarry::qry {

std::string JsonByteString(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 2);
  out.push_back('"');
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    switch (b) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\b': out += "\\b"; continue;
      case '\f': out += "\\f"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (b < 0x20 || b == 0x7F) {
      out += "\\u00";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    } else if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      // U+0080..U+00FF in UTF-8.
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  out.push_back('"');
  return out;
}

void WriteTablesJson(const TableList& tables, std::ostream& out) {
  if (tables.empty()) {
    out << "[]\n";
    return;
  }
  out << "[\n";
  for (size_t i = 0; i < tables.size(); ++i) {
    const ExtractedTable& t = tables[i];
    out << "  {\n"
        << "    \"class\": " << JsonByteString(t.class_name) << ",\n"
        << "    \"id\": " << JsonByteString(t.id) << ",\n"
        << "    \"width\": " << t.width << ",\n"
        << "    \"cellpadding\": " << t.cellpadding << ",\n"
        << "    \"cellspacing\": " << t.cellspacing << ",\n"
        << "    \"border\": " << t.border << ",\n"
        << "    \"width_is_percent\": "
        << (t.width_is_percent != 0 ? "true" : "false") << ",\n"
        << "    \"data\": " << JsonByteString(t.data) << ",\n"
        << "    \"source_html\": " << JsonByteString(t.source_html) << "\n"
        << (i + 1 < tables.size() ? "  },\n" : "  }\n");
  }
  out << "]\n";
}

}  // namespace quarry::qry
