// Exports a grid to a file whose format its extension chooses: HTML (see
// html_writer.h), a workbook (see workbook_writer.h), comma-separated values
// or tab-separated text. What is
// written is what the grid shows: header and cell texts in display order.
//
// Comma-separated files follow RFC 4180 so that every spreadsheet reads the
// cells back as they were: a field holding a comma, a double quote, CR or
// LF is enclosed in double quotes and its quotes are doubled. Tab-separated
// text is written plain. Both trim white space from each field, leave out
// the empty fields at the end of a line, end lines in CR LF and carry no
// byte-order mark.

#ifndef QUARRY_ENGINE_DELIMITED_EXPORT_H_
#define QUARRY_ENGINE_DELIMITED_EXPORT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/export_grid.h"
#include "engine/export_options.h"

namespace quarry {

// Codes of the table of known extensions beyond the export formats. They
// serve to recognise files: an export to an .xml file writes comma-separated
// values, as does an extension the table does not know; one to an .xls or
// .ods file is refused, since a spreadsheet program would refuse or
// misread comma-separated text under a spreadsheet's name.
inline constexpr int32_t kFileTypeXml = 3;
inline constexpr int32_t kFileTypeSpreadsheet = 4;  // "xls", "ods": not written
inline constexpr int32_t kFileTypeUnknown = -1;

// The code of the file name's extension (the text after its last dot,
// compared without regard to ASCII case): "csv" gives kFileTypeCsv, "htm"
// and "html" kFileTypeHtml, "txt" and "tsv" kFileTypeText, "xlsx"
// kFileTypeWorkbook, other known extensions their own codes, and a name
// without a known extension kFileTypeUnknown. Only the last component of a
// '/'-separated path is looked at.
int FileTypeFromExtension(std::string_view path);

// One line saying that the spreadsheet format of `path` (an .xls or .ods
// name) is not written and naming the formats that are.
std::string UnwrittenFormatReason(std::string_view path);

// The delimited text for `grid`: a header line, then one line per grid row.
// kFileTypeText gives tab-separated text; any other type comma-separated
// values. Only options->excluded_columns is read (options may be null).
std::string BuildDelimitedText(const ExportGrid& grid,
                               const ExportOptions* options, int file_type);

// The same text sent to `sink` a field at a time, so that memory stays
// small whatever the grid's size.
void WriteDelimitedText(const ExportGrid& grid, const ExportOptions* options, int file_type,
                        ExportSink& sink);

// Writes the grid to `path` in the options' file type: kFileTypeHtml goes
// through ExportListToHtml, kFileTypeWorkbook through ExportListToWorkbook,
// kFileTypeSpreadsheet is refused with UnwrittenFormatReason, and no
// options, or any other type, writes comma-separated values. The file either receives the whole text or is left as
// it was (see WriteFileReplacingWith), and `*reason`, when given, says why.
// Returns true when the file was written; then, when the options ask for
// it, the file is handed to `open_after` (when given). The text is
// streamed to the file.
bool ExportListToFile(const ExportGrid& grid, const std::string& path,
                      const ExportOptions* options, const OpenAfterExportHook& open_after = {},
                      std::string* reason = nullptr);

}  // namespace quarry

#endif  // QUARRY_ENGINE_DELIMITED_EXPORT_H_
