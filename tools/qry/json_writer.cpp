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

namespace {

// Writes the record's keys and values, `separator` between two of them.
void WriteTableFields(const ExtractedTable& t, std::string_view separator, std::ostream& out) {
  out << "\"class\": " << JsonByteString(t.class_name) << separator
      << "\"id\": " << JsonByteString(t.id) << separator
      << "\"width\": " << t.width << separator
      << "\"cellpadding\": " << t.cellpadding << separator
      << "\"cellspacing\": " << t.cellspacing << separator
      << "\"border\": " << t.border << separator
      << "\"width_is_percent\": " << (t.width_is_percent != 0 ? "true" : "false") << separator
      << "\"data\": " << JsonByteString(t.data) << separator
      << "\"source_html\": " << JsonByteString(t.source_html);
}

}  // namespace

void WriteTablesJson(const TableList& tables, std::ostream& out) {
  if (tables.empty()) {
    out << "[]\n";
    return;
  }
  out << "[\n";
  for (size_t i = 0; i < tables.size(); ++i) {
    out << "  {\n    ";
    WriteTableFields(tables[i], ",\n    ", out);
    out << (i + 1 < tables.size() ? "\n  },\n" : "\n  }\n");
  }
  out << "]\n";
}

void WriteTableJsonLine(std::string_view source, size_t position, const ExtractedTable& table,
                        std::ostream& out) {
  out << "{\"source\": " << JsonByteString(source) << ", \"position\": " << position << ", ";
  WriteTableFields(table, ", ", out);
  out << "}\n";
}

}  // namespace quarry::qry
