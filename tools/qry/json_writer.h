// Table records as JSON.
//
// Table texts are the page's own bytes in no particular encoding (a page's
// UTF-8 sits beside Latin-1 bytes from decoded references), so no decoding is
// attempted: each byte b is written as the character U+00bb. A reader gets
// every byte back by taking the code of each character of the decoded
// strings, e.g. in Python `s.encode("latin-1")`.

#ifndef QUARRY_TOOLS_QRY_JSON_WRITER_H_
#define QUARRY_TOOLS_QRY_JSON_WRITER_H_

#include <ostream>
#include <string>
#include <cstddef>
#include <string_view>

#include "engine/extracted_table.h"

namespace quarry::qry {

// Returns `bytes` as a JSON string literal, quotes included, in UTF-8:
// bytes 0x80-0xFF become two-byte sequences; '"', '\\' and the control
// characters (below 0x20, and 0x7F) are escaped.
std::string JsonByteString(std::string_view bytes);

// Writes the records as a JSON array of objects with the keys class, id,
// width, cellpadding, cellspacing, border, width_is_percent (a boolean),
// data and source_html, in that order, followed by a line feed. An empty
// list is written as "[]".
void WriteTablesJson(const TableList& tables, std::ostream& out);

// Writes one record as a JSON object on one line, followed by a line feed:
// the keys source (`source` as given) and position (from 1), then those of
// WriteTablesJson in the same order.
void WriteTableJsonLine(std::string_view source, size_t position, const ExtractedTable& table,
                        std::ostream& out);

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_JSON_WRITER_H_
