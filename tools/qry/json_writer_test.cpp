#include "tools/qry/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quarry::qry {
namespace {

// Decodes a JSON string literal whose characters are all below U+0100 back
// into bytes, failing the test on anything a strict reader would reject.
std::string DecodeLatin1Json(const std::string& literal) {
  EXPECT_GE(literal.size(), 2u);
  EXPECT_EQ(literal.front(), '"');
  EXPECT_EQ(literal.back(), '"');
  std::string out;
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    const auto c = static_cast<unsigned char>(literal[i]);
    if (c < 0x20 || c == '"') {
      ADD_FAILURE() << "unescaped byte " << int(c) << " at " << i;
      return out;
    }
    if (c == '\\') {
      const char e = literal[++i];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          const unsigned code = std::stoul(literal.substr(i + 1, 4), nullptr, 16);
          EXPECT_LT(code, 0x100u);
          out += static_cast<char>(code);
          i += 4;
          break;
        }
        default: ADD_FAILURE() << "bad escape " << e; return out;
      }
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      // Must be a well-formed two-byte sequence for U+0080..U+00FF.
      const auto c2 = static_cast<unsigned char>(literal[++i]);
      EXPECT_TRUE(c == 0xC2 || c == 0xC3) << "lead byte " << int(c);
      EXPECT_EQ(c2 & 0xC0, 0x80) << "continuation byte " << int(c2);
      out += static_cast<char>(((c & 0x1F) << 6) | (c2 & 0x3F));
    }
  }
  return out;
}

TEST(JsonByteString, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string literal = JsonByteString(all);
  EXPECT_EQ(DecodeLatin1Json(literal), all);
}

TEST(JsonByteString, UsesShortEscapesAndLatin1Characters) {
  EXPECT_EQ(JsonByteString(""), "\"\"");
  EXPECT_EQ(JsonByteString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonByteString("\r\n\t"), "\"\\r\\n\\t\"");
  EXPECT_EQ(JsonByteString(std::string("\0\x1b\x7f", 3)),
            "\"\\u0000\\u001b\\u007f\"");
  // The Latin-1 byte for e-acute and a UTF-8 e-acute stay distinct.
  EXPECT_EQ(JsonByteString("\xE9"), "\"\xC3\xA9\"");
  EXPECT_EQ(JsonByteString("\xC3\xA9"), "\"\xC3\x83\xC2\xA9\"");
}

TEST(WriteTablesJson, WritesKeysInOrderWithABooleanPercentFlag) {
  ExtractedTable t;
  t.class_name = "c";
  t.id = "prices";
  t.width = 80;
  t.cellpadding = 3;
  t.cellspacing = -1;
  t.border = 1;
  t.width_is_percent = 1;
  t.data = "a,b\r\n";
  t.source_html = "<table>";
  ExtractedTable u;
  u.id = "Table 2";

  std::ostringstream out;
  WriteTablesJson({t, u}, out);
  EXPECT_EQ(out.str(),
            "[\n"
            "  {\n"
            "    \"class\": \"c\",\n"
            "    \"id\": \"prices\",\n"
            "    \"width\": 80,\n"
            "    \"cellpadding\": 3,\n"
            "    \"cellspacing\": -1,\n"
            "    \"border\": 1,\n"
            "    \"width_is_percent\": true,\n"
            "    \"data\": \"a,b\\r\\n\",\n"
            "    \"source_html\": \"<table>\"\n"
            "  },\n"
            "  {\n"
            "    \"class\": \"\",\n"
            "    \"id\": \"Table 2\",\n"
            "    \"width\": 0,\n"
            "    \"cellpadding\": 0,\n"
            "    \"cellspacing\": 0,\n"
            "    \"border\": 0,\n"
            "    \"width_is_percent\": false,\n"
            "    \"data\": \"\",\n"
            "    \"source_html\": \"\"\n"
            "  }\n"
            "]\n");

  std::ostringstream empty;
  WriteTablesJson({}, empty);
  EXPECT_EQ(empty.str(), "[]\n");
}

}  // namespace
}  // namespace quarry::qry
