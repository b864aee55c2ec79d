#include "engine/delimited_export.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/html_writer.h"
#include "engine/workbook_writer.h"
#include "engine/work_meter.h"
#include "platform/ascii_text.h"

namespace quarry {

namespace {

struct KnownExtension {
  std::string_view extension;
  int32_t type;
};

constexpr KnownExtension kKnownExtensions[] = {
    {"csv", kFileTypeCsv},         {"htm", kFileTypeHtml},
    {"html", kFileTypeHtml},       {"txt", kFileTypeText},
    {"tsv", kFileTypeText},        {"xlsx", kFileTypeWorkbook},
    {"xml", kFileTypeXml},         {"xls", kFileTypeSpreadsheet},
    {"ods", kFileTypeSpreadsheet},
};

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(kWhiteSpace);
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(kWhiteSpace);
  return text.substr(begin, end - begin + 1);
}

// Whether a CSV field must be enclosed (RFC 4180); tab-separated fields
// are written as they are.
bool NeedsQuotes(std::string_view text, bool csv) {
  return csv && text.find_first_of(",\"\r\n") != std::string_view::npos;
}

// Writes the fields of one line as they come, leaving out the empty ones
// at its end so that no delimiter trails the last non-empty field: empty
// fields are only counted until a non-empty one shows that they are not at
// the end. An encoded field is empty only when its cell is, so a
// delimiter inside a quoted field can never be mistaken for a trailing one.
class LineWriter {
 public:
  LineWriter(char delimiter, ExportSink& sink) : delimiter_(delimiter), sink_(sink) {}

  // Writes a field's text, enclosed in double quotes with its own quotes
  // doubled when `quoted`, passing the text through in pieces.
  void Field(std::string_view text, bool quoted) {
    AddEngineWork(text.size() + 1);
    if (text.empty()) {
      ++pending_empty_;
      return;
    }
    if (written_ + pending_empty_ > 0) {
      // One delimiter before each field after the first.
      gap_.assign(pending_empty_ + (written_ > 0 ? 1 : 0), delimiter_);
      sink_.Write(gap_);
    }
    if (quoted) {
      sink_.Write("\"");
      for (size_t from = 0; from < text.size();) {
        const size_t quote = text.find('"', from);
        const size_t end = quote == std::string_view::npos ? text.size() : quote + 1;
        sink_.Write(text.substr(from, end - from));
        if (quote != std::string_view::npos) sink_.Write("\"");
        from = end;
      }
      sink_.Write("\"");
    } else {
      sink_.Write(text);
    }
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

std::string UnwrittenFormatReason(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  const std::string extension =
      dot == std::string_view::npos ? std::string() : EscapeControlBytes(name.substr(dot));
  return "'" + extension + "' files are not written; the formats are .xlsx (a workbook), "
         ".csv, .tsv or .txt (tab-separated) and .htm or .html";
}

void WriteDelimitedText(const ExportGrid& grid, const ExportOptions* options, int file_type,
                        ExportSink& sink) {
  const bool csv = file_type != kFileTypeText;
  const ExportColumnList columns(
      grid, options ? options->excluded_columns : std::vector<int32_t>());

  LineWriter line(csv ? ',' : '\t', sink);
  std::string scratch;
  columns.ForEach([&](int column) {
    std::optional<std::string_view> title = grid.HeaderTextView(column);
    if (!title) {
      scratch = grid.HeaderText(column).value_or(std::string());
      title = scratch;
    }
    const std::string_view trimmed = Trim(*title);
    line.Field(trimmed, NeedsQuotes(trimmed, csv));
    return true;
  });
  line.End();

  // In column order, the cells past a row's text are all empty: they are
  // the line's trailing empty fields, which are not written, so they are
  // not even looked at. A sparse grid then costs its text, not its area.
  const bool in_order = columns.Ascending();
  const int rows = grid.RowCount();
  for (int row = 0; row < rows && sink.ok(); ++row) {
    const int extent = grid.RowTextColumns(row);
    columns.ForEach([&](int column) {
      if (column >= extent) {
        line.Field({}, false);
        return !in_order;
      }
      const std::string_view trimmed = Trim(CellDisplayView(grid, row, column, scratch));
      line.Field(trimmed, NeedsQuotes(trimmed, csv));
      return true;
    });
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
                      const ExportOptions* options, const OpenAfterExportHook& open_after,
                      std::string* reason) {
  int32_t type = options ? options->file_type : kFileTypeCsv;
  if (type == kFileTypeSpreadsheet) {
    if (reason != nullptr) *reason = UnwrittenFormatReason(path);
    return false;
  }
  if (type == kFileTypeWorkbook) return ExportListToWorkbook(grid, path, options, open_after, reason);
  if (type < kFileTypeCsv || type > kFileTypeText) type = kFileTypeCsv;
  if (type == kFileTypeHtml) return ExportListToHtml(grid, path, options, open_after, reason);

  // The text always holds at least the header line's line end.
  const bool written = WriteFileReplacingWith(
      path, [&](ExportSink& sink) { WriteDelimitedText(grid, options, type, sink); }, reason);
  if (!written) return false;
  if (options && options->open_after_export && open_after) open_after(path);
  return true;
}

}  // namespace quarry
