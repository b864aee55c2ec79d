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

// Joins the fields of one line, leaving out the empty ones at its end so
// that no delimiter trails the last non-empty field. An encoded field is
// empty only when its cell is, so a delimiter inside a quoted field can
// never be mistaken for a trailing one.
void AppendLine(const std::vector<std::string>& fields, char delimiter,
                std::string* text) {
  size_t used = fields.size();
  while (used > 0 && fields[used - 1].empty()) --used;
  for (size_t i = 0; i < used; ++i) {
    if (i > 0) *text += delimiter;
    *text += fields[i];
  }
  *text += "\r\n";
}

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

std::string BuildDelimitedText(const ExportGrid& grid,
                               const ExportOptions* options, int file_type) {
  const bool csv = file_type != kFileTypeText;
  const char delimiter = csv ? ',' : '\t';
  const std::vector<int> columns = ExportColumns(
      grid, options ? options->excluded_columns : std::vector<int32_t>());

  std::string text;
  std::vector<std::string> fields(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string title = grid.HeaderText(columns[i]).value_or(std::string());
    fields[i] = EncodeField(Trim(title), csv);
  }
  AppendLine(fields, delimiter, &text);

  const int rows = grid.RowCount();
  for (int row = 0; row < rows; ++row) {
    for (size_t i = 0; i < columns.size(); ++i) {
      std::string cell = CellDisplayText(grid, row, columns[i]);
      fields[i] = EncodeField(Trim(cell), csv);
    }
    AppendLine(fields, delimiter, &text);
  }
  return text;
}

bool ExportListToFile(const ExportGrid& grid, const std::string& path,
                      const ExportOptions* options) {
  int32_t type = options ? options->file_type : kFileTypeCsv;
  if (type < kFileTypeCsv || type > kFileTypeText) type = kFileTypeCsv;
  if (type == kFileTypeHtml) return ExportListToHtml(grid, path, options);

  std::string text = BuildDelimitedText(grid, options, type);
  if (text.empty()) return false;
  if (!WriteFileReplacing(path, text)) return false;
  if (options && options->open_after_export) OpenAfterExport(path);
  return true;
}

}  // namespace quarry
