#include "engine/table_data_reader.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "engine/work_meter.h"

namespace quarry {

namespace {

constexpr size_t kNpos = std::string_view::npos;

}  // namespace

FieldCursor::FieldCursor(std::string_view line, std::string_view delimiter)
    : line_(line), delimiter_(delimiter), quote_(line.find('"')) {}

// The first double quote at or after `pos`, or kNpos. Remembers the last
// quote found, so that a walk which keeps asking for "the next quote" from
// growing positions scans the line once, not once per field.
size_t FieldCursor::NextQuote(size_t pos) {
  if (pos < quote_from_ || (quote_ != kNpos && quote_ < pos)) {
    quote_from_ = pos;
    quote_ = line_.find('"', pos);
  }
  return quote_;
}

bool FieldCursor::Next(FieldSpan* field) {
  if (done_) return false;
  const size_t p = pos_;
  field->begin = p;
  field->quoted = false;
  if (delimiter_.empty()) {
    field->value_begin = p;
    field->value_end = field->end = line_.size();
    done_ = true;
    return true;
  }
  size_t d = line_.find(delimiter_, p);
  if (d != kNpos) {
    // A quote counts only when it opens inside this field and pairs with
    // a quote past the delimiter; a pair that closes before the delimiter
    // is plain text of the field.
    size_t open = NextQuote(p);
    if (open != kNpos && open < d) {
      size_t close = NextQuote(open + 1);
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
  AddEngineWork(field->end - p + 1);
  return true;
}

DelimitedDataParser::DelimitedDataParser(std::string delimiter)
    : delimiter_(std::move(delimiter)) {}

namespace {

// Calls visit(begin, end) for every maximal run of bytes other than CR and
// LF, in order.
template <typename Visit>
void ForEachLine(std::string_view text, const Visit& visit) {
  AddEngineWork(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    if (end > pos && !visit(pos, end)) return;
    pos = end;
    while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
  }
}

}  // namespace

std::vector<LineSpan> DelimitedDataParser::FindLines(std::string_view text) {
  std::vector<LineSpan> lines;
  ForEachLine(text, [&](size_t begin, size_t end) {
    lines.push_back({begin, end});
    return true;
  });
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
  FieldCursor walker(line, delimiter_);
  FieldSpan field;
  for (int i = 0; i <= column; ++i) {
    if (!walker.Next(&field)) return {};
  }
  return line.substr(field.value_begin, field.value_end - field.value_begin);
}

std::vector<FieldSpan> DelimitedDataParser::Split(std::string_view line,
                                                  size_t limit) const {
  std::vector<FieldSpan> fields;
  FieldCursor walker(line, delimiter_);
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
  return Index();
}

bool TableDataReader::ReadOwned(std::string&& text) {
  text_ = std::move(text);
  return Index();
}

bool TableDataReader::Index() {
  begins_.clear();
  ends_after_long_.clear();
  columns_ = 0;
  parser_ = DelimitedDataParser(initial_delimiter_);
  if (text_.size() > UINT32_MAX) {
    text_.clear();
    return false;
  }
  // Counted first, so that the index takes its room once, without the
  // slack of doubling.
  size_t lines = 0;
  ForEachLine(text_, [&](size_t, size_t) { return ++lines <= static_cast<size_t>(INT_MAX); });
  if (lines > static_cast<size_t>(INT_MAX)) {
    text_.clear();
    return false;
  }
  begins_.reserve(lines);
  ForEachLine(text_, [&](size_t begin, size_t end) {
    begins_.push_back(static_cast<uint32_t>(begin));
    // The breaks after the line; the last line's run ends the text.
    size_t next = end;
    while (next < text_.size() && next - end <= kShortBreak &&
           (text_[next] == '\r' || text_[next] == '\n')) {
      ++next;
    }
    if (next - end > kShortBreak) {
      ends_after_long_.emplace_back(static_cast<uint32_t>(begins_.size() - 1), static_cast<uint32_t>(end));
    }
    return true;
  });
  if (begins_.empty()) return true;

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
  const auto i = static_cast<size_t>(index);
  return std::string_view(text_).substr(begins_[i], LineEnd(i) - begins_[i]);
}

size_t TableDataReader::LineEnd(size_t i) const {
  size_t end = i + 1 < begins_.size() ? begins_[i + 1] : text_.size();
  for (size_t stepped = 0; stepped <= kShortBreak; ++stepped) {
    if (end == begins_[i] || (text_[end - 1] != '\r' && text_[end - 1] != '\n')) return end;
    --end;
  }
  const auto long_break = std::lower_bound(
      ends_after_long_.begin(), ends_after_long_.end(), std::pair<uint32_t, uint32_t>(static_cast<uint32_t>(i), 0));
  // Every line followed by a longer run was noted while indexing.
  return long_break != ends_after_long_.end() && long_break->first == i ? long_break->second : end;
}

std::string TableDataReader::Line(int index) const {
  return std::string(LineView(index));
}

LineSpan TableDataReader::LinePosition(int index) const {
  if (index < 0 || index >= LineCount()) return {};
  const auto i = static_cast<size_t>(index);
  return {begins_[i], LineEnd(i)};
}

std::string TableDataReader::Field(std::string_view line, int column,
                                   bool allow_beyond_columns) const {
  if (!allow_beyond_columns && column >= columns_) return {};
  return std::string(parser_.Field(line, column));
}

}  // namespace quarry
