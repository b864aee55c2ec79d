#include "engine/delimited_export.h"

#include <utility>
#include <vector>

namespace quarry {

namespace {

struct KnownExtension {
  std::string_view extension;
  int32_t type;
};

constexpr KnownExtension kKnownExtensions[] = {
    {"csv", kFileTypeCsv},         {"htm", kFileTypeHtml},
    {"html", kFileTypeHtml},       {"txt", kFileTypeText},
    {"xml", kFileTypeXml},         {"xls", kFileTypeSpreadsheet},
    {"xlsx", kFileTypeSpreadsheet}, {"ods", kFileTypeSpreadsheet},
};

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(kWhiteSpace);
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(kWhiteSpace);
  return text.substr(begin, end - begin + 1);
}

// A CSV field in RFC 4180 form; a tab-separated field as it is.
std::string EncodeField(std::string_view text, bool csv) {
  if (!csv || text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

// Writes the fields of one line as they come, leaving out the empty ones
// at its end so that no delimiter trails the last non-empty field: empty
// fields are only counted until a non-empty one shows that they are not at
// the end. An encoded field is empty only when its cell is, so a
// delimiter inside a quoted field can never be mistaken for a trailing one.
class LineWriter {
 public:
  LineWriter(char delimiter, ExportSink& sink) : delimiter_(delimiter), sink_(sink) {}

  void Field(std::string_view encoded) {
    if (encoded.empty()) {
      ++pending_empty_;
      return;
    }
    if (written_ + pending_empty_ > 0) {
      // One delimiter before each field after the first.
      gap_.assign(pending_empty_ + (written_ > 0 ? 1 : 0), delimiter_);
      sink_.Write(gap_);
    }
    sink_.Write(encoded);
    written_ += pending_empty_ + 1;
    pending_empty_ = 0;
  }

  void End() {
    sink_.Write("\r\n");
    written_ = pending_empty_ = 0;
  }

 private:
  char delimiter_;
  ExportSink& sink_;
  size_t written_ = 0;        // fields written on this line
  size_t pending_empty_ = 0;  // empty fields not written yet
  std::string gap_;
};

}  // namespace

int FileTypeFromExtension(std::string_view path) {
  size_t slash = path.find_last_of('/');
  std::string_view name =
      slash == std::string_view::npos ? path : path.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return kFileTypeUnknown;
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const KnownExtension& known : kKnownExtensions) {
    if (known.extension == extension) return known.type;
  }
  return kFileTypeUnknown;
}

void WriteDelimitedText(const ExportGrid& grid, const ExportOptions* options, int file_type,
                        ExportSink& sink) {
  const bool csv = file_type != kFileTypeText;
  const std::vector<int> columns = ExportColumns(
      grid, options ? options->excluded_columns : std::vector<int32_t>());

  LineWriter line(csv ? ',' : '\t', sink);
  for (int column : columns) {
    const std::string title = grid.HeaderText(column).value_or(std::string());
    line.Field(EncodeField(Trim(title), csv));
  }
  line.End();

  const int rows = grid.RowCount();
  for (int row = 0; row < rows && sink.ok(); ++row) {
    for (int column : columns) {
      const std::string cell = CellDisplayText(grid, row, column);
      line.Field(EncodeField(Trim(cell), csv));
    }
    line.End();
  }
}

std::string BuildDelimitedText(const ExportGrid& grid,
                               const ExportOptions* options, int file_type) {
  std::string text;
  StringSink sink(&text);
  WriteDelimitedText(grid, options, file_type, sink);
  return text;
}

bool ExportListToFile(const ExportGrid& grid, const std::string& path,
                      const ExportOptions* options) {
  int32_t type = options ? options->file_type : kFileTypeCsv;
  if (type < kFileTypeCsv || type > kFileTypeText) type = kFileTypeCsv;
  if (type == kFileTypeHtml) return ExportListToHtml(grid, path, options);

  // The text always holds at least the header line's line end.
  const bool written = WriteFileReplacingWith(
      path, [&](ExportSink& sink) { WriteDelimitedText(grid, options, type, sink); });
  if (!written) return false;
  if (options && options->open_after_export) OpenAfterExport(path);
  return true;
}

}  // namespace quarry
