#include "engine/testing/workbook_reader.h"

#include <chrono>
#include <sstream>
#include <vector>

#include "platform/testing/subprocess.h"

namespace quarry::testing {

WorkbookSeen ReadWorkbook(const std::string& path) {
  WorkbookSeen seen;
  // Debian's interpreter, which has python3-openpyxl, before any other
  // python3 on the PATH.
  const ProcessResult run =
      RunProcess({"/usr/bin/python3", QUARRY_READ_WORKBOOK, path}, {}, {}, std::chrono::minutes(1));
  if (run.exit_code != 0) {
    seen.error = run.err.empty() ? "read_workbook.py did not finish" : run.err;
    return seen;
  }
  seen.read = true;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    f.resize(6);
    if (f[0] == "sheets") seen.sheets = std::stoi(f[1]);
    if (f[0] == "sheet") seen.sheet = f[1];
    if (f[0] == "freeze") seen.freeze = f[1];
    if (f[0] == "width") seen.widths[f[1]] = std::stod(f[2]);
    if (f[0] == "cell") seen.cells[f[1]] = {f[2], f[3] == "1", f[4], f[5]};
  }
  return seen;
}

}  // namespace quarry::testing
