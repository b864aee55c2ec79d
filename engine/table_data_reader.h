// Reading a table's data text back into lines and fields.
//
// A data text holds one table row per line, lines separated by CR LF, fields
// separated by a delimiter (a comma unless the first line says otherwise). A
// field that holds the delimiter is enclosed in double quotes; nothing is
// escaped, so a double quote inside a field stays as it is. The reader is
// forgiving rather than strict: it never fails on odd input, it only gives
// the fields that the rules below make of it.

#ifndef QUARRY_ENGINE_TABLE_DATA_READER_H_
#define QUARRY_ENGINE_TABLE_DATA_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarry {

// Where one line lies in a text: [begin, end), line ends excluded.
struct LineSpan {
  size_t begin = 0;
  size_t end = 0;
};

// Where one field lies in a line. The field's text runs from `begin` to
// `end` (the delimiter that closes it, or the line's end); its value is the
// part [value_begin, value_end) of that text: all of it, or for a quoted
// field what lies between the quotes.
struct FieldSpan {
  size_t begin = 0;
  size_t end = 0;
  size_t value_begin = 0;
  size_t value_end = 0;
  bool quoted = false;
};

// Walks the fields of one line from its start by the field rules below, a
// field per call, without storing them: a wide line's fields read in order
// cost one pass over the line. The line must outlive the cursor.
class FieldCursor {
 public:
  // An empty delimiter makes the whole line one field.
  FieldCursor(std::string_view line, std::string_view delimiter);

  // Takes the next field; false once the line has no field left.
  bool Next(FieldSpan* field);

 private:
  size_t NextQuote(size_t pos);

  std::string_view line_;
  std::string_view delimiter_;
  size_t quote_from_ = 0;  // no quote lies in [quote_from_, quote_)
  size_t quote_;
  size_t pos_ = 0;
  bool done_ = false;
};

// The line and field splitting engine. Stateless apart from its delimiter;
// every call works on the text it is given and keeps nothing of it.
//
// Field rules, for a field that starts at position p of a line:
//  - Let d be the next delimiter at or after p. When a double quote opens at
//    or after p and before d, and the next double quote after it lies past
//    d, the field is quoted: its value is the text between those two quotes,
//    and the field's text runs on to the next delimiter after the closing
//    quote (so text around the quotes belongs to the field but not to its
//    value).
//  - Otherwise the value is the text up to d, or to the line's end when
//    there is no delimiter left. A field written in quotes that holds no
//    delimiter therefore keeps its quotes.
//  - The line has no further field when no delimiter follows a field.
// An empty delimiter makes the whole line one field.
class DelimitedDataParser {
 public:
  explicit DelimitedDataParser(std::string delimiter = ",");

  const std::string& delimiter() const { return delimiter_; }

  // The lines of `text`: every maximal run of bytes other than CR and LF, in
  // order. Runs of line ends never make empty lines. Linear in the text.
  static std::vector<LineSpan> FindLines(std::string_view text);

  // Column count of a line: the pieces it splits into at each delimiter,
  // with no regard to quotes (the number of delimiters plus one). 1 for an
  // empty delimiter. Saturates at the largest int.
  int CountColumns(std::string_view line) const;

  // The value of field `column` of `line`; empty when the line has no such
  // field or `column` is negative. The view points into `line`. Linear in
  // the line, whatever the column.
  std::string_view Field(std::string_view line, int column) const;

  // All fields of `line` in order, at most `limit` of them. A line always
  // has at least one field (the empty line has one empty field). Linear.
  std::vector<FieldSpan> Split(std::string_view line,
                               size_t limit = static_cast<size_t>(-1)) const;

  // Writes `values` as one line: a value that holds the delimiter is
  // enclosed in double quotes; every other value is written as it is (a
  // value holding a double quote but no delimiter must stay bare, because
  // enclosed it would read back with its quotes). Returns true when the
  // line reads back into exactly `values`; false when the data text format
  // cannot express them, which happens when
  //  - a value holds both the delimiter and a double quote,
  //  - a value holds a single double quote and a later value holds a double
  //    quote or needs enclosing (the reader would pair the two quotes),
  //  - a value holds a CR or LF, or the only value is empty (the reader drops
  //    empty lines).
  // `*line` holds the written line either way. "Reads back" means under
  // this parser's delimiter: a TableDataReader that meets the line first
  // may still switch delimiter (a first line with a tab and no comma).
  bool Join(const std::vector<std::string>& values, std::string* line) const;

 private:
  std::string delimiter_;
};

// One reading of a data text: its lines, its column count and the delimiter
// that splits it. Keeps its own copy of the text, so the text given to Read
// may go away afterwards.
class TableDataReader {
 public:
  // `delimiter` is where each Read starts from; Read may switch between
  // "," and "\t" (see Read).
  explicit TableDataReader(std::string delimiter = ",");

  // Reads `text`, replacing whatever an earlier Read left; ReadOwned takes
  // the text over instead of copying it. Lines are the
  // non-empty runs between CR and LF bytes. The column count comes from the
  // first line, quotes ignored: 1 for an empty delimiter; when the line
  // lacks the delimiter, a "," delimiter becomes "\t" if the line holds a
  // tab and a "\t" delimiter becomes "," if it holds a comma, else the
  // count is 1; otherwise the count is the number of delimiters plus one.
  // A text without lines gives zero lines and zero columns.
  // Returns false only for a text too large to count its lines in an int
  // or to index in 32 bits; the reader is then empty. Lines are indexed in
  // four bytes each (where each begins; it ends at the line break before
  // the next), plus eight for each line followed by a long run of breaks,
  // so that a table of short rows costs little beside its text.
  bool Read(std::string_view text);
  bool ReadOwned(std::string&& text);

  int LineCount() const { return static_cast<int>(begins_.size()); }
  int ColumnCount() const { return columns_; }

  // Line `index`, or an empty text outside 0 .. LineCount() - 1.
  std::string Line(int index) const;
  // The same without a copy; valid until the next Read or destruction.
  std::string_view LineView(int index) const;
  // Where line `index` lies in the text that was read; {0, 0} outside range.
  LineSpan LinePosition(int index) const;

  // Field `column` of `line` by the parser's rules. With
  // `allow_beyond_columns` false, a column at or past ColumnCount() gives an
  // empty text.
  std::string Field(std::string_view line, int column,
                    bool allow_beyond_columns = true) const;

  // The delimiter of the last Read (the constructor's before any Read).
  const std::string& Delimiter() const { return parser_.delimiter(); }
  const DelimitedDataParser& parser() const { return parser_; }

 private:
  std::string initial_delimiter_;
  DelimitedDataParser parser_;
  bool Index();

  // Where line `i` ends: before the run of line breaks that follows it.
  size_t LineEnd(size_t i) const;

  // Runs of line breaks up to this long are stepped back over; after a
  // longer one, the line's end is looked up.
  static constexpr size_t kShortBreak = 8;

  std::string text_;
  std::vector<uint32_t> begins_;                               // of each line
  std::vector<std::pair<uint32_t, uint32_t>> ends_after_long_;  // line, end
  int columns_ = 0;
};

}  // namespace quarry

#endif  // QUARRY_ENGINE_TABLE_DATA_READER_H_
