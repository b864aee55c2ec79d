// Tests only: what another program finds in a workbook, read back with
// Python's openpyxl (Debian's python3-openpyxl) by read_workbook.py.

#ifndef QUARRY_ENGINE_TESTING_WORKBOOK_READER_H_
#define QUARRY_ENGINE_TESTING_WORKBOOK_READER_H_

#include <map>
#include <string>

namespace quarry::testing {

struct WorkbookCell {
  std::string type;    // "s" text, "n" number
  bool bold = false;
  std::string format;  // the number format, "General" by default
  std::string value;   // as JSON: "\"007\"", "8", "0.125"
};

struct WorkbookSeen {
  bool read = false;  // false: openpyxl could not read it; `error` says why
  std::string error;
  int sheets = 0;
  std::string sheet;   // the first sheet's name
  std::string freeze;  // the top-left cell of the scrolling pane, or "None"
  std::map<std::string, double> widths;  // set column widths by letter
  std::map<std::string, WorkbookCell> cells;  // non-empty cells by coordinate
};

// Reads the workbook at `path` (bounded to a minute).
WorkbookSeen ReadWorkbook(const std::string& path);

}  // namespace quarry::testing

#endif  // QUARRY_ENGINE_TESTING_WORKBOOK_READER_H_
