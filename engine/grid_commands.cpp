#include "engine/grid_commands.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/table_data_reader.h"

namespace quarry {

namespace {

// In a field order, a new empty field rather than one of the old line's.
constexpr size_t kEmptyField = static_cast<size_t>(-1);

// A line's fields as the commands see it: at least `columns` of them.
size_t FieldCount(const std::vector<FieldSpan>& fields, int columns) {
  return std::max(fields.size(), static_cast<size_t>(columns));
}

// Writes the fields of `line` named by `order` (indexes into `fields`;
// kEmptyField or an index past the line's own fields gives an empty field).
// Each carried field keeps its own text, quotes and all: read in the new
// line it gives the value it gave in the old one, because a quoted field's
// quotes pair inside its own text, and a bare field holding a single quote
// had no quote after it in the old line and gets none in the new one (the
// commands keep the fields' order and add only empty fields).
//
// Trailing empty fields are written only as far as needed to give the line
// `columns` - 1 delimiters, counting those inside quoted fields, because
// that is how the reader counts a first line's columns: a rebuilt first
// line then keeps the column count the command implies.
std::string BuildLine(std::string_view line,
                      const std::vector<FieldSpan>& fields,
                      const std::vector<size_t>& order, int columns,
                      std::string_view delimiter) {
  auto text_of = [&](size_t i) {
    size_t j = order[i];
    return j < fields.size()
               ? line.substr(fields[j].begin, fields[j].end - fields[j].begin)
               : std::string_view();
  };
  size_t used = 0;             // fields up to the last non-empty one
  size_t inner_delimiters = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    std::string_view text = text_of(i);
    if (text.empty()) continue;
    used = i + 1;
    if (delimiter.empty()) continue;
    for (size_t p = text.find(delimiter); p != std::string_view::npos;
         p = text.find(delimiter, p + delimiter.size())) {
      ++inner_delimiters;
    }
  }
  const size_t wanted = static_cast<size_t>(std::max(columns, 0));
  if (wanted > inner_delimiters) {
    used = std::max(used, wanted - inner_delimiters);
  }
  used = std::min(used, order.size());

  std::string out;
  out.reserve(line.size() + used * delimiter.size());
  for (size_t i = 0; i < used; ++i) {
    if (i > 0) out.append(delimiter);
    out.append(text_of(i));
  }
  return out;
}

// Rewrites `data` line by line: `rewrite(line, out)` appends what replaces
// the line, or returns false to drop the line together with
// the line end after it. Bytes between lines are kept.
void RewriteLines(
    std::string& data, const TableDataReader& reader,
    const std::function<bool(std::string_view, std::string*)>& rewrite) {
  std::string out;
  out.reserve(data.size());
  size_t copied = 0;
  for (int i = 0; i < reader.LineCount(); ++i) {
    LineSpan span = reader.LinePosition(i);
    out.append(data, copied, span.begin - copied);
    copied = span.end;
    if (!rewrite(reader.LineView(i), &out)) {
      if (data.compare(copied, 2, "\r\n") == 0) {
        copied += 2;
      } else if (copied < data.size() &&
                 (data[copied] == '\r' || data[copied] == '\n')) {
        copied += 1;
      }
    }
  }
  out.append(data, copied, std::string::npos);
  data.swap(out);
}

// Replaces every line equal to line `line` by the line that carries its
// fields in the order `make_order` gives for its field count and the
// reader's column count.
bool ReplaceEqualLines(
    std::string& data, int line, int column,
    const std::function<std::vector<size_t>(size_t field_count, int columns)>&
        make_order) {
  TableDataReader reader;
  reader.Read(data);
  if (line < 0 || line >= reader.LineCount() || column < 0 ||
      column >= reader.ColumnCount()) {
    return false;
  }
  const std::string old_line = reader.Line(line);
  const std::vector<FieldSpan> fields = reader.parser().Split(old_line);
  const std::string new_line =
      BuildLine(old_line, fields,
                make_order(FieldCount(fields, reader.ColumnCount()),
                           reader.ColumnCount()),
                reader.ColumnCount(), reader.Delimiter());
  RewriteLines(data, reader, [&](std::string_view text, std::string* out) {
    out->append(text == old_line ? std::string_view(new_line) : text);
    return true;
  });
  return true;
}

}  // namespace

bool RemoveLine(std::string& data, int line) {
  TableDataReader reader;
  reader.Read(data);
  if (line < 0 || line >= reader.LineCount()) return false;
  const std::string target = reader.Line(line);
  RewriteLines(data, reader, [&](std::string_view text, std::string* out) {
    if (text == target) return false;
    out->append(text);
    return true;
  });
  return true;
}

bool RemoveColumn(std::string& data, int column) {
  TableDataReader reader;
  reader.Read(data);
  if (reader.LineCount() == 0 || column < 0 ||
      column >= reader.ColumnCount()) {
    return false;
  }
  const DelimitedDataParser& parser = reader.parser();
  std::vector<size_t> order;
  // Every line at once: replacing one old line after another would let a
  // rebuilt line be taken for a later old one.
  RewriteLines(data, reader, [&](std::string_view text, std::string* out) {
    std::vector<FieldSpan> fields = parser.Split(text);
    size_t count = FieldCount(fields, reader.ColumnCount());
    order.clear();
    for (size_t j = 0; j < count; ++j) {
      if (j != static_cast<size_t>(column)) order.push_back(j);
    }
    out->append(BuildLine(text, fields, order, reader.ColumnCount() - 1,
                          reader.Delimiter()));
    return true;
  });
  return true;
}

bool ShiftRight(std::string& data, int line, int column) {
  const size_t k = static_cast<size_t>(column);
  return ReplaceEqualLines(
      data, line, column, [k](size_t count, int columns) {
        const size_t visible = static_cast<size_t>(columns);
        std::vector<size_t> order;
        for (size_t j = 0; j < k; ++j) order.push_back(j);
        order.push_back(kEmptyField);
        for (size_t j = k; j + 1 < visible; ++j) order.push_back(j);
        for (size_t j = visible; j < count; ++j) order.push_back(j);
        return order;
      });
}

bool ShiftLeft(std::string& data, int line, int column) {
  if (column == 0) {
    TableDataReader reader;
    reader.Read(data);
    return line >= 0 && line < reader.LineCount() && reader.ColumnCount() > 0;
  }
  const size_t k = static_cast<size_t>(column);
  return ReplaceEqualLines(
      data, line, column, [k](size_t count, int columns) {
        const size_t visible = static_cast<size_t>(columns);
        std::vector<size_t> order;
        for (size_t j = 0; j < count; ++j) {
          if (j + 1 != k) order.push_back(j);
          if (j + 1 == visible) order.push_back(kEmptyField);
        }
        return order;
      });
}

}  // namespace quarry
