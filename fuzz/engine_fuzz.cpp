// Fuzzes the way a page travels through the engine: prepared (UTF-16
// recognised, the text cut at a zero byte), cut into tables, each table
// into a data text, read back, edited by the grid commands at positions
// taken from the input, laid out as the grid and exported.
//
// Besides crashes, hangs and sanitizer reports it checks the contracts that
// callers build on; a broken one aborts with a message.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "engine/delimited_export.h"
#include "engine/export_grid.h"
#include "engine/extracted_table.h"
#include "engine/grid_commands.h"
#include "engine/html_writer.h"
#include "engine/page_parser.h"
#include "engine/page_text.h"
#include "engine/table_data_reader.h"
#include "engine/table_grid.h"
#include "engine/table_scanner.h"
#include "platform/utf8_text.h"

namespace {

// Bounds that keep one input's work small whatever it holds.
constexpr size_t kMaxTables = 8;
constexpr int kMaxLinesRead = 64;
constexpr int kMaxColumnsRead = 64;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "contract broken: %s\n", what);
  std::abort();
}

// A position from -1 to count, so that every command also sees positions
// just outside the table.
int Position(uint8_t byte, int count) {
  return static_cast<int>(byte % static_cast<unsigned>(count + 2)) - 1;
}

void ReadEverything(const std::string& data) {
  quarry::TableDataReader reader;
  reader.Read(data);
  const int lines = std::min(reader.LineCount(), kMaxLinesRead);
  const int columns = std::min(reader.ColumnCount(), kMaxColumnsRead);
  for (int i = -1; i <= lines; ++i) {
    const std::string line = reader.Line(i);
    if ((i < 0 || i >= reader.LineCount()) && !line.empty()) {
      Broken("Line() outside the text is not empty");
    }
    if (i >= 0 && i < reader.LineCount() && line.empty()) {
      Broken("Read() kept an empty line");
    }
    for (int k = -1; k <= columns; ++k) {
      (void)reader.Field(line, k, true);
      if (!reader.Field(line, k, false).empty() &&
          (k < 0 || k >= reader.ColumnCount())) {
        Broken("Field() past the columns without allow_beyond is not empty");
      }
    }
  }
}

// Runs one grid command; a refused command must leave the text untouched.
template <typename Command>
void Apply(std::string& data, Command command) {
  const std::string before = data;
  if (!command(data) && data != before) Broken("a refused command changed the text");
}

void EditAndExport(std::string data, const uint8_t* control, bool header) {
  for (int step = 0; step < 4; ++step) {
    quarry::TableDataReader reader;
    reader.Read(data);
    const int lines = reader.LineCount();
    const int columns = reader.ColumnCount();
    const int line = Position(control[2 * step], lines);
    const int column = Position(control[2 * step + 1], columns);
    switch ((control[8] >> (2 * step)) & 3) {
      case 0: {
        const std::string removed = reader.Line(line);
        const size_t size_before = data.size();
        const bool done = quarry::RemoveLine(data, line);
        if (data.size() > size_before) Broken("RemoveLine made the text longer");
        if (done) {
          quarry::TableDataReader after;
          after.Read(data);
          for (int i = 0; i < after.LineCount(); ++i) {
            if (after.Line(i) == removed) Broken("RemoveLine left a copy");
          }
        }
        break;
      }
      case 1:
        Apply(data, [&](std::string& d) { return quarry::RemoveColumn(d, column); });
        break;
      case 2:
        Apply(data, [&](std::string& d) {
          return quarry::ShiftRight(d, line, column);
        });
        break;
      case 3: {
        const std::string before = data;
        Apply(data, [&](std::string& d) {
          return quarry::ShiftLeft(d, line, column);
        });
        if (column == 0 && data != before) Broken("ShiftLeft on column 0 moved text");
        break;
      }
    }
  }
  ReadEverything(data);

  quarry::TableGrid grid = quarry::BuildTableGrid(data, header);
  quarry::TableDataReader reader;
  reader.Read(data);
  const int title_lines = header && reader.LineCount() > 0 ? 1 : 0;
  if (static_cast<int>(grid.rows.size()) != reader.LineCount() - title_lines) {
    Broken("the grid's rows are not the text's lines");
  }
  if (static_cast<int>(grid.titles.size()) != grid.columns) {
    Broken("grid titles do not match its columns");
  }
  for (const auto& row : grid.rows) {
    if (static_cast<int>(row.size()) != grid.columns) {
      Broken("a grid row does not have the grid's column count");
    }
  }
  quarry::MemoryGrid memory(grid.titles, grid.rows);
  quarry::ExportOptions options;
  options.open_after_export = false;
  (void)quarry::BuildDelimitedText(memory, &options, quarry::kFileTypeCsv);
  (void)quarry::BuildDelimitedText(memory, &options, quarry::kFileTypeText);
  (void)quarry::BuildHtmlDocument(memory, &options);
}

void Prepare(const std::string& page) {
  const quarry::PreparedPage prepared = quarry::PreparePageText(page);
  const quarry::PageTextNotes& notes = prepared.notes();
  const std::string_view text = prepared.text();
  if (text.find('\0') != std::string_view::npos) Broken("the prepared text holds a zero byte");
  if (!notes.converted_from_utf16) {
    const size_t zero = page.find('\0');
    if (text != std::string_view(page).substr(0, zero)) Broken("8-bit text not cut at its zero");
    if (notes.zero_byte_offset != (zero == std::string::npos ? std::nullopt
                                                             : std::optional<size_t>(zero))) {
      Broken("the zero byte's offset is wrong");
    }
  } else {
    if (!quarry::IsUtf8(text)) Broken("a converted page is not well-formed UTF-8");
    if (text.size() > page.size() / 2 * 3 + 3) Broken("a converted page grew too much");
    if (notes.zero_byte_offset && (*notes.zero_byte_offset % 2 != 0 ||
                                   *notes.zero_byte_offset >= page.size())) {
      Broken("a zero code unit's offset is wrong");
    }
  }
  quarry::PageTextNotes parsed;
  (void)quarry::ParsePageText(page, &parsed);
  if (!(parsed == notes)) Broken("parsing reports other notes than preparing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  // The first ten bytes steer the run (eight positions, the four commands,
  // the flags); the rest is the page. The seeds start with ten digits.
  constexpr size_t kControl = 10;
  if (size < kControl) return 0;
  const uint8_t* control = bytes;
  const bool only_full = control[9] & 1;
  const bool pad = control[9] & 2;
  const bool skip_first = control[9] & 4;
  const bool header = control[9] & 8;
  const std::string page(reinterpret_cast<const char*>(bytes) + kControl,
                         size - kControl);
  Prepare(page);

  std::vector<std::string> tables = {"left over"};
  const int count = quarry::SplitTables(page, &tables);
  if (count < 0 || static_cast<size_t>(count) != tables.size()) {
    Broken("SplitTables' count differs from the strings it wrote");
  }
  for (size_t i = 0; i < tables.size() && i < kMaxTables; ++i) {
    std::string data = "stale";
    quarry::ExtractedTable attrs;
    const bool ok =
        quarry::ParseTable(tables[i], &data, &attrs, only_full, pad, skip_first);
    if (ok == data.empty()) Broken("ParseTable's result disagrees with its data");
    ReadEverything(data);
    EditAndExport(std::move(data), control, header);
  }
  return 0;
}
