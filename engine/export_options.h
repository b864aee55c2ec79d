// How a grid is exported: the file type codes and the options the export
// writers (HTML, comma- and tab-separated text, workbooks) read.

#ifndef QUARRY_ENGINE_EXPORT_OPTIONS_H_
#define QUARRY_ENGINE_EXPORT_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace quarry {

// File type codes of an export.
inline constexpr int32_t kFileTypeCsv = 0;
inline constexpr int32_t kFileTypeHtml = 1;
inline constexpr int32_t kFileTypeText = 2;
inline constexpr int32_t kFileTypeWorkbook = 5;  // Office Open XML (.xlsx)

// How a grid is exported; owned by the caller, which may pass none.
struct ExportOptions {
  // List-order indexes of columns not written; any order, repeats allowed.
  std::vector<int32_t> excluded_columns;
  std::string title;    // text of the title element
  std::string heading;  // text of a bold centred paragraph; none when empty
  // When set, the HTML writer replaces *header_names_out by the written
  // header texts joined by commas, with trailing commas removed. The string
  // must outlive the call.
  std::string* header_names_out = nullptr;
  int32_t heading_font_size = 4;
  int32_t header_font_size = 3;  // none when equal to heading_font_size
  int32_t data_font_size = 2;    // none when equal to header_font_size
  int32_t file_type = kFileTypeCsv;  // kFileTypeCsv, kFileTypeHtml, kFileTypeText
                                     // or kFileTypeWorkbook
  // Workbooks: the sheet's name, before it is fitted to the rules of sheet
  // names (WorkbookSheetName); the table's name.
  std::string sheet_name;
  // Workbooks: the header texts title the columns (the results view's "Has
  // Header"), so they form a bold first row that stays in view.
  bool has_header = false;
  bool open_after_export = true;     // hand the written file to the open hook
};

}  // namespace quarry

#endif  // QUARRY_ENGINE_EXPORT_OPTIONS_H_
