#include "tools/qry/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "engine/data_text_grid.h"
#include "engine/delimited_export.h"
#include "engine/export_grid.h"
#include "engine/html_writer.h"
#include "engine/merged_cells.h"
#include "engine/page_parser.h"
#include "engine/table_data_reader.h"
#include "tools/qry/json_writer.h"
#include "platform/ascii_text.h"
#include "tools/qry/progress_line.h"
#include "tools/qry/render_client.h"
#include "tools/qry/source.h"
#include "tools/qry/version.h"

namespace quarry::qry {

namespace {

// Reads and parses the page as the results view parses a download.
// Returns false after writing the reason to `err`.
bool LoadTables(const Invocation& inv, const RunContext& context,
                TableList* tables, std::ostream& err) {
  WebAccess access;
  access.proxy = inv.proxy;
  access.user_name = inv.user_name;
  access.password = inv.password;
  std::optional<ProgressLine> progress;
  if (context.show_progress) {
    progress.emplace(err);
    access.progress = [&progress](double fraction) { progress->Show(fraction); };
  }
  SourceText page;
  std::string error;
  bool settled = true;
  bool read = false;
  if (inv.render) {
    // The page as a browser shows it, loaded by the helper program.
    RenderRequest render;
    render.source = inv.source;
    render.time_limit_seconds = inv.render_seconds;
    render.proxy = inv.proxy;
    render.user_name = inv.user_name;
    render.password = inv.password;
    render.limit = PageSizeLimit();
    RenderedPage rendered = RenderPage(render);
    read = rendered.ok;
    settled = rendered.settled;
    error = std::move(rendered.reason);
    page.bytes = std::move(rendered.html);
    page.truncated = rendered.truncated;
    page.limit = render.limit;
  } else {
    read = ReadSource(inv.source, access, &page, &error);
  }
  // Whatever follows starts on a clean line.
  progress.reset();
  if (!read) {
    err << "qry: " << error << '\n';
    return false;
  }
  if (!settled) {
    err << "qry: warning: '" << DisplaySource(inv.source) << "' was still changing after "
        << inv.render_seconds << " s; its tables were read as they stood then\n";
  }
  if (page.truncated) {
    const std::string limit = DescribeSize(page.limit);
    err << "qry: warning: '" << DisplaySource(inv.source) << "' is larger than "
        << limit << " (MaxPageSize); only the first " << limit
        << " were read, later tables may be missing\n";
  }
  PageTextNotes notes;
  *tables = ParsePageText(page.bytes, &notes);
  // The rest of the page was not read: say so, as for a cut download.
  if (notes.zero_byte_offset) err << "qry: warning: " << ZeroByteWarning(notes) << '\n';
  if (inv.spans) {
    const MergedCellsCount spans = ExpandMergedCells(*tables);
    if (spans.too_large > 0) {
      err << "qry: warning: " << spans.too_large
          << (spans.too_large == 1 ? " table keeps its" : " tables keep their")
          << " merged cells unexpanded: laid out, they would grow past "
          << kExpansionFactor << " times their size\n";
    }
  }
  return true;
}

// Standard output can fail late (a full disk, a closed pipe): a result that
// did not arrive must not end in success.
int FlushResult(std::ostream& out, std::ostream& err) {
  out.flush();
  if (!out) {
    err << "qry: cannot write to standard output\n";
    return kExitFailure;
  }
  return kExitOk;
}

int RunTables(const Invocation& inv, const RunContext& context,
              std::ostream& out, std::ostream& err) {
  TableList tables;
  if (!LoadTables(inv, context, &tables, err)) return kExitFailure;
  if (inv.json) {
    WriteTablesJson(tables, out);
  } else if (tables.empty()) {
    // Not a failure: the page was read; it simply holds no table with data.
    err << "qry: no tables found in '" << DisplaySource(inv.source) << "'\n";
  } else {
    WriteTableListing(tables, out);
  }
  return FlushResult(out, err);
}

std::string DescribeSelector(const TableSelector& selector) {
  if (selector.by_position) return "at position " + std::to_string(selector.position);
  return "with id '" + EscapeControlBytes(selector.id) + "'";
}

int RunExport(const Invocation& inv, const RunContext& context,
              std::ostream& out, std::ostream& err) {
  TableList tables;
  if (!LoadTables(inv, context, &tables, err)) return kExitFailure;
  const int index = FindTable(tables, inv.table);
  if (index < 0) {
    err << "qry: no table " << DescribeSelector(inv.table) << " in '"
        << DisplaySource(inv.source) << "' (it has " << tables.size()
        << (tables.size() == 1 ? " table)\n" : " tables)\n");
    return kExitFailure;
  }

  // The grid the results view shows for this table, header check box and
  // all, read straight from the data text: the export streams from it.
  const DataTextGrid grid(std::move(tables[index].data), inv.header);

  // The options the results view's Export builds, except that nothing is
  // opened afterwards: qry runs headless.
  ExportOptions options;
  options.heading_font_size = 4;
  options.header_font_size = 3;
  options.data_font_size = 2;
  options.open_after_export = false;

  if (inv.output == "-") {
    options.file_type = kFileTypeCsv;
    StreamSink sink(&out);
    WriteDelimitedText(grid, &options, kFileTypeCsv, sink);
    return FlushResult(out, err);
  }
  options.file_type = FileTypeFromExtension(inv.output);
  std::string reason;
  if (!ExportListToFile(grid, inv.output, &options, {}, &reason)) {
    // The writer's reason names the file (escaped) and the cause.
    err << "qry: cannot write the table: " << reason << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

size_t DigitCount(size_t n) {
  size_t digits = 1;
  while (n >= 10) {
    n /= 10;
    ++digits;
  }
  return digits;
}

}  // namespace

int FindTable(const TableList& tables, const TableSelector& selector) {
  if (selector.by_position) {
    if (selector.position < 1 ||
        static_cast<size_t>(selector.position) > tables.size()) {
      return -1;
    }
    return selector.position - 1;
  }
  for (size_t i = 0; i < tables.size(); ++i) {
    if (tables[i].id == selector.id) return static_cast<int>(i);
  }
  return -1;
}

void WriteTableListing(const TableList& tables, std::ostream& out) {
  if (tables.empty()) return;
  struct Line {
    std::string position, id, rows, columns;
  };
  std::vector<Line> lines;
  lines.reserve(tables.size());
  for (size_t i = 0; i < tables.size(); ++i) {
    TableDataReader reader;
    reader.Read(tables[i].data);
    lines.push_back({std::to_string(i + 1), EscapeControlBytes(tables[i].id),
                     std::to_string(reader.LineCount()),
                     std::to_string(reader.ColumnCount())});
  }

  const std::string kPos = "#", kId = "ID", kRows = "ROWS", kCols = "COLUMNS";
  size_t pos_w = std::max(kPos.size(), DigitCount(tables.size()));
  size_t id_w = kId.size(), rows_w = kRows.size();
  for (const Line& l : lines) {
    id_w = std::max(id_w, l.id.size());
    rows_w = std::max(rows_w, l.rows.size());
  }
  auto pad_left = [](const std::string& s, size_t w) {
    return std::string(w - std::min(w, s.size()), ' ') + s;
  };
  auto pad_right = [](const std::string& s, size_t w) {
    return s + std::string(w - std::min(w, s.size()), ' ');
  };
  out << pad_left(kPos, pos_w) << "  " << pad_right(kId, id_w) << "  "
      << pad_left(kRows, rows_w) << " x " << kCols << '\n';
  for (const Line& l : lines) {
    out << pad_left(l.position, pos_w) << "  " << pad_right(l.id, id_w) << "  "
        << pad_left(l.rows, rows_w) << " x " << l.columns << '\n';
  }
}

RunContext ContextFromProcess() {
  RunContext context;
  context.show_progress = ::isatty(STDERR_FILENO) == 1;
  if (const char* password = std::getenv(kPasswordVariable)) {
    context.password = password;
  }
  return context;
}

int RunQry(const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err, const RunContext& context) {
  Invocation inv;
  std::string error;
  if (!ParseArguments(args, &inv, &error)) {
    err << "qry: " << error << '\n';
    return kExitUsage;
  }
  if (inv.password_from_environment) {
    if (!context.password || context.password->empty()) {
      err << "qry: --user " << EscapeControlBytes(inv.user_name)
          << ": no password (give NAME:PASSWORD, or set " << kPasswordVariable
          << ")\n";
      return kExitUsage;
    }
    inv.password = *context.password;
  }
  switch (inv.action) {
    case Action::kHelp:
      out << UsageText();
      return FlushResult(out, err);
    case Action::kVersion:
      out << "qry " << QUARRY_QRY_VERSION << '\n';
      return FlushResult(out, err);
    case Action::kTables:
      return RunTables(inv, context, out, err);
    case Action::kExport:
      return RunExport(inv, context, out, err);
  }
  return kExitFailure;
}

}  // namespace quarry::qry
