#include "engine/table_data_reader.h"

#include <climits>
#include <utility>

namespace quarry {

namespace {

constexpr size_t kNpos = std::string_view::npos;

// Finds double quotes for a left-to-right walk over one line. Remembers the
// last quote found so that a walk which keeps asking for "the next quote"
// from growing positions scans the line once, not once per field.
class QuoteFinder {
 public:
  explicit QuoteFinder(std::string_view line) : line_(line) {}

  // First double quote at or after `pos`, or kNpos.
  size_t NextAtOrAfter(size_t pos) {
    if (pos < from_ || (found_ != kNpos && found_ < pos)) {
      from_ = pos;
      found_ = line_.find('"', pos);
    }
    return found_;
  }

 private:
  std::string_view line_;
  size_t from_ = 0;  // no quote lies in [from_, found_)
  size_t found_ = line_.find('"');
};

// Walks the fields of one line from its start.
class FieldWalker {
 public:
  FieldWalker(std::string_view line, std::string_view delimiter)
      : line_(line), delimiter_(delimiter), quotes_(line) {}

  // Takes the next field; false once the line has no field left.
  bool Next(FieldSpan* field) {
    if (done_) return false;
    const size_t p = pos_;
    field->begin = p;
    field->quoted = false;
    if (delimiter_.empty()) {
      Finish(field, p, line_.size());
      return true;
    }
    size_t d = line_.find(delimiter_, p);
    if (d != kNpos) {
      // A quote counts only when it opens inside this field and pairs with
      // a quote past the delimiter; a pair that closes before the delimiter
      // is plain text of the field.
      size_t open = quotes_.NextAtOrAfter(p);
      if (open != kNpos && open < d) {
        size_t close = quotes_.NextAtOrAfter(open + 1);
        if (close != kNpos && close > d) {
          field->quoted = true;
          field->value_begin = open + 1;
          field->value_end = close;
          d = line_.find(delimiter_, close + 1);
        }
      }
    }
    if (!field->quoted) {
      field->value_begin = p;
      field->value_end = d == kNpos ? line_.size() : d;
    }
    if (d == kNpos) {
      field->end = line_.size();
      done_ = true;
    } else {
      field->end = d;
      pos_ = d + delimiter_.size();
    }
    return true;
  }

 private:
  void Finish(FieldSpan* field, size_t begin, size_t end) {
    field->value_begin = begin;
    field->value_end = end;
    field->end = end;
    done_ = true;
  }

  std::string_view line_;
  std::string_view delimiter_;
  QuoteFinder quotes_;
  size_t pos_ = 0;
  bool done_ = false;
};

}  // namespace

DelimitedDataParser::DelimitedDataParser(std::string delimiter)
    : delimiter_(std::move(delimiter)) {}

std::vector<LineSpan> DelimitedDataParser::FindLines(std::string_view text) {
  std::vector<LineSpan> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == kNpos) end = text.size();
    if (end > pos) lines.push_back({pos, end});
    pos = end;
    while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
  }
  return lines;
}

int DelimitedDataParser::CountColumns(std::string_view line) const {
  if (delimiter_.empty()) return 1;
  int count = 1;
  for (size_t pos = line.find(delimiter_); pos != kNpos;
       pos = line.find(delimiter_, pos + delimiter_.size())) {
    if (count == INT_MAX) break;
    ++count;
  }
  return count;
}

std::string_view DelimitedDataParser::Field(std::string_view line,
                                            int column) const {
  if (column < 0) return {};
  FieldWalker walker(line, delimiter_);
  FieldSpan field;
  for (int i = 0; i <= column; ++i) {
    if (!walker.Next(&field)) return {};
  }
  return line.substr(field.value_begin, field.value_end - field.value_begin);
}

std::vector<FieldSpan> DelimitedDataParser::Split(std::string_view line,
                                                  size_t limit) const {
  std::vector<FieldSpan> fields;
  FieldWalker walker(line, delimiter_);
  FieldSpan field;
  while (fields.size() < limit && walker.Next(&field)) fields.push_back(field);
  return fields;
}

bool DelimitedDataParser::Join(const std::vector<std::string>& values,
                               std::string* line) const {
  line->clear();
  bool has_line_end = false;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string& value = values[i];
    if (i > 0) line->append(delimiter_);
    if (!delimiter_.empty() && value.find(delimiter_) != std::string::npos) {
      line->push_back('"');
      line->append(value);
      line->push_back('"');
    } else {
      line->append(value);
    }
    has_line_end = has_line_end || value.find_first_of("\r\n") != kNpos;
  }
  // The reader drops empty lines and cuts lines at line ends, so neither can
  // carry fields.
  if (line->empty() || has_line_end) return false;
  // Quotes pair across fields, so whether a value survives depends on the
  // values after it; reading the line back is the one sure test.
  std::vector<FieldSpan> fields = Split(*line);
  if (fields.size() != values.size()) return false;
  std::string_view written(*line);
  for (size_t i = 0; i < values.size(); ++i) {
    const FieldSpan& f = fields[i];
    if (written.substr(f.value_begin, f.value_end - f.value_begin) !=
        values[i]) {
      return false;
    }
  }
  return true;
}

TableDataReader::TableDataReader(std::string delimiter)
    : initial_delimiter_(delimiter), parser_(std::move(delimiter)) {}

bool TableDataReader::Read(std::string_view text) {
  text_.assign(text);
  lines_ = DelimitedDataParser::FindLines(text_);
  columns_ = 0;
  parser_ = DelimitedDataParser(initial_delimiter_);
  if (lines_.size() > static_cast<size_t>(INT_MAX)) {
    text_.clear();
    lines_.clear();
    return false;
  }
  if (lines_.empty()) return true;

  std::string_view first = LineView(0);
  const std::string& delimiter = initial_delimiter_;
  if (delimiter.empty()) {
    columns_ = 1;
  } else if (first.find(delimiter) == kNpos) {
    // A text whose first line has no comma but a tab is taken as
    // tab-separated, and the other way round.
    if (delimiter == "," && first.find('\t') != kNpos) {
      parser_ = DelimitedDataParser("\t");
      columns_ = parser_.CountColumns(first);
    } else if (delimiter == "\t" && first.find(',') != kNpos) {
      parser_ = DelimitedDataParser(",");
      columns_ = parser_.CountColumns(first);
    } else {
      columns_ = 1;
    }
  } else {
    columns_ = parser_.CountColumns(first);
  }
  return true;
}

std::string_view TableDataReader::LineView(int index) const {
  if (index < 0 || index >= LineCount()) return {};
  const LineSpan& span = lines_[index];
  return std::string_view(text_).substr(span.begin, span.end - span.begin);
}

std::string TableDataReader::Line(int index) const {
  return std::string(LineView(index));
}

LineSpan TableDataReader::LinePosition(int index) const {
  if (index < 0 || index >= LineCount()) return {};
  return lines_[index];
}

std::string TableDataReader::Field(std::string_view line, int column,
                                   bool allow_beyond_columns) const {
  if (!allow_beyond_columns && column >= columns_) return {};
  return std::string(parser_.Field(line, column));
}

}  // namespace quarry
