#include "engine/workbook_writer.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "engine/cell_number.h"
#include "engine/work_meter.h"
#include "platform/ascii_text.h"
#include "platform/atomic_file.h"
#include "platform/utf8_text.h"

namespace quarry {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
constexpr size_t kSheetNameMax = 31;
// Columns wider than this many characters help nobody: the text wraps in
// the cell's editor anyway.
constexpr size_t kMaxColumnWidth = 80;

std::string_view Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(kWhiteSpace);
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(kWhiteSpace);
  return text.substr(begin, end - begin + 1);
}

// "A" for column 0, "AB" for column 27: how a spreadsheet names a column.
std::string ColumnLetters(int64_t column) {
  std::string letters;
  for (int64_t n = column + 1; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

// Characters in the longest line of `text` as it will be stored, and in
// all of it.
struct TextExtent {
  size_t longest_line = 0;
  size_t characters = 0;
};

TextExtent MeasureText(std::string_view text) {
  // Latin-1 text becomes one character per byte.
  const bool utf8 = IsUtf8(text);
  TextExtent extent;
  size_t line = 0;
  for (char ch : text) {
    if (ch == '\n') {
      extent.longest_line = std::max(extent.longest_line, line);
      line = 0;
      ++extent.characters;
      continue;
    }
    if (utf8 && (static_cast<unsigned char>(ch) & 0xC0) == 0x80) continue;
    ++line;
    ++extent.characters;
  }
  extent.longest_line = std::max(extent.longest_line, line);
  return extent;
}

// A file in the system's temporary folder that the workbook library writes
// and that is removed on every way out.
class TemporaryFile {
 public:
  TemporaryFile() {
    const char* folder = std::getenv("TMPDIR");
    path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
            "/quarry-workbook-XXXXXX";
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) {
      error_ = errno;
      path_.clear();
      return;
    }
    ::close(fd);
  }
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool ok() const { return !path_.empty(); }
  int error() const { return error_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int error_ = 0;
};

// What the first pass learns of a column.
struct ColumnPlan {
  int column = 0;  // the grid's column
  size_t width = 0;  // characters of its longest line
  bool numeric = true;  // every non-empty cell reads as a number
};

// The workbook being written, freed on every way out.
class Workbook {
 public:
  explicit Workbook(const std::string& path) {
    lxw_workbook_options options = {};
    // Rows go to a temporary file as they are finished instead of
    // staying in memory until the end.
    options.constant_memory = LXW_TRUE;
    book_ = workbook_new_opt(path.c_str(), &options);
  }
  ~Workbook() {
    if (book_ != nullptr) workbook_close(book_);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  lxw_workbook* get() const { return book_; }

  // Writes the file and frees the workbook.
  lxw_error Close() {
    const lxw_error error = workbook_close(book_);
    book_ = nullptr;
    return error;
  }

  // A format showing numbers as `number_format`, made once per text.
  lxw_format* NumberFormat(const std::string& number_format) {
    if (number_format.empty()) return nullptr;
    auto [it, added] = number_formats_.try_emplace(number_format, nullptr);
    if (added) {
      it->second = workbook_add_format(book_);
      if (it->second != nullptr) format_set_num_format(it->second, number_format.c_str());
    }
    return it->second;
  }

 private:
  lxw_workbook* book_ = nullptr;
  std::map<std::string, lxw_format*> number_formats_;
};

// Both passes walk the cells alike: rows in order, each row's columns in
// order, the cells past the row's text read as empty without asking.
template <typename Visit>
void ForEachCell(const ExportGrid& grid, const std::vector<ColumnPlan>& plans, const Visit& visit) {
  std::string scratch;
  const int rows = grid.RowCount();
  for (int row = 0; row < rows; ++row) {
    const int extent = grid.RowTextColumns(row);
    for (size_t i = 0; i < plans.size(); ++i) {
      const int column = plans[i].column;
      if (column >= extent) continue;
      const std::string_view text = Trim(CellDisplayView(grid, row, column, scratch));
      if (!text.empty() && !visit(row, i, text)) return;
    }
  }
}

std::string HeaderCellText(const ExportGrid& grid, int column) {
  if (std::optional<std::string_view> view = grid.HeaderTextView(column)) {
    return std::string(Trim(*view));
  }
  return std::string(Trim(grid.HeaderText(column).value_or(std::string())));
}

// Writes the workbook to `file_path`; false with `*reason` when the grid
// does not fit a sheet or the library fails.
bool WriteWorkbook(const ExportGrid& grid, const ExportOptions* options,
                   const std::string& file_path, std::string* reason) {
  const bool has_header = options != nullptr && options->has_header;
  std::vector<ColumnPlan> plans;
  bool too_wide = false;
  ExportColumnList(grid, options ? options->excluded_columns : std::vector<int32_t>())
      .ForEach([&](int column) {
        too_wide = static_cast<int64_t>(plans.size()) >= kWorkbookMaxColumns;
        if (!too_wide) plans.push_back({column});
        return !too_wide;
      });
  if (too_wide) {
    *reason = "the table has more than " + std::to_string(kWorkbookMaxColumns) +
              " columns, the most a workbook sheet holds";
    return false;
  }

  std::vector<std::string> titles;
  bool any_title = false;
  for (const ColumnPlan& plan : plans) {
    titles.push_back(HeaderCellText(grid, plan.column));
    any_title = any_title || !titles.back().empty();
  }
  const bool title_row = has_header || any_title;
  const int64_t first_row = title_row ? 1 : 0;
  if (first_row + grid.RowCount() > kWorkbookMaxRows) {
    *reason = "the table has " + std::to_string(first_row + grid.RowCount()) +
              " rows; a workbook sheet holds at most " + std::to_string(kWorkbookMaxRows);
    return false;
  }

  // First pass: which columns hold numbers, how wide each is, and whether
  // every text fits a cell.
  for (size_t i = 0; i < plans.size(); ++i) {
    plans[i].width = MeasureText(titles[i]).longest_line;
  }
  std::vector<bool> seen_number(plans.size(), false);
  bool fits = true;
  ForEachCell(grid, plans, [&](int row, size_t i, std::string_view text) {
    AddEngineWork(text.size());
    const TextExtent extent = MeasureText(text);
    if (extent.characters > kWorkbookMaxCellCharacters) {
      *reason = "cell " + ColumnLetters(static_cast<int64_t>(i)) +
                std::to_string(first_row + row + 1) + " holds " +
                std::to_string(extent.characters) + " characters; a workbook cell holds at most " +
                std::to_string(kWorkbookMaxCellCharacters) + " (a .csv file keeps it whole)";
      fits = false;
      return false;
    }
    plans[i].width = std::max(plans[i].width, extent.longest_line);
    if (plans[i].numeric) {
      plans[i].numeric = ReadCellNumber(text).has_value();
      seen_number[i] = true;
    }
    return true;
  });
  if (!fits) return false;
  for (size_t i = 0; i < plans.size(); ++i) plans[i].numeric = plans[i].numeric && seen_number[i];

  Workbook book(file_path);
  if (book.get() == nullptr) {
    *reason = "the workbook could not be started";
    return false;
  }
  const std::string sheet_name = WorkbookSheetName(options ? options->sheet_name : "");
  lxw_worksheet* sheet = workbook_add_worksheet(book.get(), sheet_name.c_str());
  lxw_format* bold = workbook_add_format(book.get());
  if (sheet == nullptr || bold == nullptr) {
    *reason = "the workbook's sheet could not be made";
    return false;
  }
  format_set_bold(bold);

  lxw_error error = LXW_NO_ERROR;
  for (size_t i = 0; i < plans.size() && error == LXW_NO_ERROR; ++i) {
    if (plans[i].width == 0) continue;
    // A bold title is wider than its character count says.
    double width = static_cast<double>(std::min(plans[i].width, kMaxColumnWidth)) + 2;
    if (has_header) width = std::max(width, MeasureText(titles[i]).longest_line * 1.15 + 2);
    const auto column = static_cast<lxw_col_t>(i);
    error = worksheet_set_column(sheet, column, column, std::min(width, kMaxColumnWidth + 2.0),
                                 nullptr);
  }
  if (has_header) worksheet_freeze_panes(sheet, 1, 0);

  if (title_row) {
    for (size_t i = 0; i < plans.size() && error == LXW_NO_ERROR; ++i) {
      if (titles[i].empty()) continue;
      error = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(i),
                                     PageBytesAsUtf8(titles[i]).c_str(),
                                     has_header ? bold : nullptr);
    }
  }
  if (error == LXW_NO_ERROR) {
    ForEachCell(grid, plans, [&](int row, size_t i, std::string_view text) {
      const auto sheet_row = static_cast<lxw_row_t>(first_row + row);
      const auto column = static_cast<lxw_col_t>(i);
      std::optional<CellNumber> number;
      if (plans[i].numeric) number = ReadCellNumber(text);
      if (number) {
        error = worksheet_write_number(sheet, sheet_row, column, number->value,
                                       book.NumberFormat(CellNumberFormat(*number)));
      } else {
        error = worksheet_write_string(sheet, sheet_row, column, PageBytesAsUtf8(text).c_str(),
                                       nullptr);
      }
      return error == LXW_NO_ERROR;
    });
  }
  const lxw_error closed = book.Close();
  if (error == LXW_NO_ERROR) error = closed;
  if (error != LXW_NO_ERROR) {
    *reason = std::string("the workbook could not be written: ") + lxw_strerror(error);
    return false;
  }
  return true;
}

// Copies the finished workbook into the atomic writer's file.
bool CopyInto(const std::string& from, platform::AtomicFileWriter& file, std::string* reason) {
  const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::string("cannot read the finished workbook: ") + std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *reason = std::string("cannot read the finished workbook: ") + std::strerror(errno);
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!file.Write(std::string_view(buffer.data(), static_cast<size_t>(got)))) {
      *reason = file.Reason();
      ok = false;
      break;
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

std::string WorkbookSheetName(std::string_view name) {
  std::string cleaned = PageBytesAsUtf8(name);
  for (char& c : cleaned) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || std::string_view("[]:*?/\\").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  // Cutting may bring an apostrophe or a blank to the end: trim after it.
  std::string_view text = Trim(cleaned);
  while (!text.empty() && text.front() == '\'') text = Trim(text.substr(1));
  text = Utf8Prefix(text, kSheetNameMax);
  while (!text.empty() && (text.back() == '\'' || kWhiteSpace.find(text.back()) != std::string_view::npos)) {
    text.remove_suffix(1);
  }
  if (text.empty()) return "Sheet1";
  std::string result(text);
  // Spreadsheet programs keep this name for a sheet of their own.
  if (EqualsNoCase(result, "history")) result += '_';
  return result;
}

bool ExportListToWorkbook(const ExportGrid& grid, const std::string& path,
                          const ExportOptions* options, const OpenAfterExportHook& open_after,
                          std::string* reason) {
  std::string why;
  // An unwritable target fails before any work is done.
  platform::AtomicFileWriter file(path);
  bool written = file.ok();
  if (!written) why = file.Reason();
  if (written) {
    TemporaryFile temporary;
    written = temporary.ok();
    if (!written) {
      why = std::string("cannot make a temporary file: ") + std::strerror(temporary.error());
    }
    written = written && WriteWorkbook(grid, options, temporary.path(), &why) &&
              CopyInto(temporary.path(), file, &why);
  }
  if (written && !file.Commit()) {
    why = file.Reason();
    written = false;
  }
  if (!written) {
    if (reason != nullptr) *reason = why;
    return false;
  }
  if (options && options->open_after_export && open_after) open_after(path);
  return true;
}

}  // namespace quarry
