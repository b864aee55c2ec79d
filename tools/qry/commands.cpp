#include "tools/qry/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

#include "engine/data_text_grid.h"
#include "engine/delimited_export.h"
#include "engine/export_grid.h"
#include "engine/html_writer.h"
#include "engine/merged_cells.h"
#include "engine/page_parser.h"
#include "engine/table_data_reader.h"
#include "platform/ascii_text.h"
#include "tools/qry/batch_names.h"
#include "tools/qry/batch_reader.h"
#include "tools/qry/json_writer.h"
#include "tools/qry/progress_line.h"
#include "tools/qry/render_client.h"
#include "tools/qry/source.h"
#include "tools/qry/version.h"

namespace quarry::qry {

namespace {

// Reads and parses the page as the results view parses a download,
// gathering what goes wrong and what to warn about as lines to print.
LoadedSource LoadSource(const Invocation& inv, const std::string& source,
                        const WebAccess& access) {
  LoadedSource loaded;
  SourceText page;
  bool settled = true;
  if (inv.render) {
    // The page as a browser shows it, loaded by the helper program.
    RenderRequest render;
    render.source = source;
    render.time_limit_seconds = inv.render_seconds;
    render.proxy = inv.proxy;
    render.user_name = inv.user_name;
    render.password = inv.password;
    render.limit = PageSizeLimit();
    RenderedPage rendered = RenderPage(render);
    loaded.ok = rendered.ok;
    settled = rendered.settled;
    loaded.error = std::move(rendered.reason);
    page.bytes = std::move(rendered.html);
    page.truncated = rendered.truncated;
    page.limit = render.limit;
  } else {
    loaded.ok = ReadSource(source, access, &page, &loaded.error);
  }
  if (!loaded.ok) return loaded;
  if (!settled) {
    loaded.warnings.push_back("'" + DisplaySource(source) + "' was still changing after " +
                              std::to_string(inv.render_seconds) +
                              " s; its tables were read as they stood then");
  }
  if (page.truncated) {
    const std::string limit = DescribeSize(page.limit);
    loaded.warnings.push_back("'" + DisplaySource(source) + "' is larger than " + limit +
                              " (MaxPageSize); only the first " + limit +
                              " were read, later tables may be missing");
  }
  PageTextNotes notes;
  // The tables' HTML is kept only where it is used: the JSON records show
  // it and laying out merged cells reads it.
  const bool sources_used = inv.list_format != ListFormat::kText || inv.spans;
  // Handed over: the tables may keep the page for their HTML.
  loaded.tables = ParsePageText(std::make_shared<const std::string>(std::move(page.bytes)), &notes,
                                nullptr,
                                sources_used ? TableSource::kSourceKept : TableSource::kSourceDropped);
  // The rest of the page was not read: say so, as for a cut download.
  if (notes.zero_byte_offset) loaded.warnings.push_back(ZeroByteWarning(notes));
  if (inv.spans) {
    const MergedCellsCount spans = ExpandMergedCells(loaded.tables);
    if (spans.too_large > 0) {
      loaded.warnings.push_back(
          std::to_string(spans.too_large) +
          (spans.too_large == 1 ? " table keeps its" : " tables keep their") +
          " merged cells unexpanded: laid out, they would grow past " +
          std::to_string(kExpansionFactor) + " times their size");
    }
  }
  return loaded;
}

// Takes the tables of one source that loaded; returns false when something
// it was to do failed (it said why on standard error).
using SourceHandler = std::function<bool(const std::string& source, TableList& tables)>;

// Loads every source of the invocation, several at once when there are
// several, and hands the tables of each that loaded to `handle` in the
// sources' order. A source that fails is one line on `err` and does not
// stop the others. Returns whether every source loaded and was handled.
bool ForEachSource(const Invocation& inv, const RunContext& context, std::ostream& out,
                   std::ostream& err, const SourceHandler& handle) {
  WebAccess access;
  access.proxy = inv.proxy;
  access.user_name = inv.user_name;
  access.password = inv.password;
  std::optional<ProgressLine> progress;
  if (context.show_progress) progress.emplace(err);
  const bool several = inv.sources.size() > 1;
  bool all_ok = true;

  auto deliver = [&](const std::string& source, LoadedSource& loaded) {
    // Whatever follows starts on a clean line.
    if (progress) progress->Clear();
    if (!loaded.ok) {
      // A download's reason does not name its address; among several
      // sources it must.
      const bool named = !several || !IsWebAddress(source);
      err << "qry: " << (named ? "" : "cannot read '" + DisplaySource(source) + "': ")
          << loaded.error << '\n';
      all_ok = false;
      return;
    }
    for (const std::string& warning : loaded.warnings) err << "qry: warning: " << warning << '\n';
    if (!handle(source, loaded.tables)) all_ok = false;
    // Results appear as each source is done, not all at the end.
    out.flush();
  };

  if (!several) {
    // One download shows its own percentage.
    if (progress) access.progress = [&progress](double fraction) { progress->Show(fraction); };
    LoadedSource loaded = LoadSource(inv, inv.source, access);
    deliver(inv.source, loaded);
    return all_ok;
  }
  const size_t total = inv.sources.size();
  size_t read = 0;
  // A rendered page runs a browser of its own: one at a time.
  LoadInOrder(
      inv.sources, inv.render ? 1 : inv.jobs,
      [&inv, &access](const std::string& source) { return LoadSource(inv, source, access); },
      [&](size_t index, LoadedSource& loaded) {
        deliver(inv.sources[index], loaded);
        // The line was cleared for what was printed: show it again.
        if (progress && index + 1 < total) progress->ShowCount(read, total);
      },
      [&](size_t done) {
        read = done;
        if (progress) progress->ShowCount(read, total);
      });
  return all_ok;
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
  const bool several = inv.sources.size() > 1;
  bool first = true;
  const bool all_ok = ForEachSource(inv, context, out, err, [&](const std::string& source,
                                                                TableList& tables) {
    switch (inv.list_format) {
      case ListFormat::kJson:
        WriteTablesJson(tables, out);
        return true;
      case ListFormat::kJsonLines:
        for (size_t i = 0; i < tables.size(); ++i) {
          WriteTableJsonLine(DisplaySource(source), i + 1, tables[i], out);
        }
        return true;
      case ListFormat::kText:
        break;
    }
    if (tables.empty()) {
      // Not a failure: the page was read; it simply holds no table with data.
      err << "qry: no tables found in '" << DisplaySource(source) << "'\n";
      return true;
    }
    if (several) {
      out << (first ? "" : "\n") << "==> " << DisplaySource(source) << " <==\n";
      first = false;
    }
    WriteTableListing(tables, out);
    return true;
  });
  const int flushed = FlushResult(out, err);
  return all_ok ? flushed : kExitFailure;
}

std::string DescribeSelector(const TableSelector& selector) {
  if (selector.by_position) return "at position " + std::to_string(selector.position);
  return "with id '" + EscapeControlBytes(selector.id) + "'";
}

// The options the results view's Export builds, except that nothing is
// opened afterwards: qry runs headless.
ExportOptions HeadlessExportOptions(const Invocation& inv, const ExtractedTable& table) {
  ExportOptions options;
  options.heading_font_size = 4;
  options.header_font_size = 3;
  options.data_font_size = 2;
  options.open_after_export = false;
  options.sheet_name = table.id;
  options.has_header = inv.header;
  return options;
}

int RunExportOne(const Invocation& inv, const RunContext& context,
                 std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  const bool all_ok = ForEachSource(inv, context, out, err, [&](const std::string& source,
                                                                TableList& tables) {
    const int index = FindTable(tables, inv.table);
    if (index < 0) {
      err << "qry: no table " << DescribeSelector(inv.table) << " in '"
          << DisplaySource(source) << "' (it has " << tables.size()
          << (tables.size() == 1 ? " table)\n" : " tables)\n");
      status = kExitFailure;
      return false;
    }
    ExportOptions options = HeadlessExportOptions(inv, tables[index]);
    // The grid the results view shows for this table, header check box and
    // all, read straight from the data text: the export streams from it.
    const DataTextGrid grid(std::move(tables[index].data), inv.header);
    if (inv.output == "-") {
      options.file_type = kFileTypeCsv;
      StreamSink sink(&out);
      WriteDelimitedText(grid, &options, kFileTypeCsv, sink);
      status = FlushResult(out, err);
      return status == kExitOk;
    }
    options.file_type = FileTypeFromExtension(inv.output);
    std::string reason;
    if (!ExportListToFile(grid, inv.output, &options, {}, &reason)) {
      // The writer's reason names the file (escaped) and the cause.
      err << "qry: cannot write the table: " << reason << "\n";
      status = kExitFailure;
      return false;
    }
    return true;
  });
  return all_ok ? status : kExitFailure;
}

struct BatchFileType {
  int32_t type;
  const char* extension;
};

BatchFileType FileTypeOf(BatchFormat format) {
  switch (format) {
    case BatchFormat::kCsv: return {kFileTypeCsv, ".csv"};
    case BatchFormat::kTsv: return {kFileTypeText, ".tsv"};
    case BatchFormat::kHtml: return {kFileTypeHtml, ".htm"};
    case BatchFormat::kWorkbook: return {kFileTypeWorkbook, ".xlsx"};
  }
  return {kFileTypeCsv, ".csv"};
}

// Makes the folder `export --all` writes into when it is missing (its
// parent must exist: a mistyped path is not created). Returns false after
// saying why.
bool PrepareFolder(const std::string& folder, std::ostream& err) {
  struct stat info;
  if (::stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    err << "qry: '" << EscapeControlBytes(folder) << "' is not a folder\n";
    return false;
  }
  if (errno == ENOENT && ::mkdir(folder.c_str(), 0777) == 0) return true;
  err << "qry: cannot make the folder '" << EscapeControlBytes(folder)
      << "': " << std::strerror(errno) << '\n';
  return false;
}

int RunExportAll(const Invocation& inv, const RunContext& context,
                 std::ostream& out, std::ostream& err) {
  std::string folder = inv.output;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!PrepareFolder(folder, err)) return kExitFailure;
  const std::string prefix = folder == "/" ? folder : folder + "/";
  const BatchFileType file_type = FileTypeOf(inv.batch_format);
  BatchNames names(file_type.extension);

  const bool all_ok = ForEachSource(inv, context, out, err, [&](const std::string& source,
                                                                TableList& tables) {
    if (tables.empty()) {
      err << "qry: no tables found in '" << DisplaySource(source) << "'\n";
      return true;
    }
    const std::string page = PageNameOf(source);
    bool written_all = true;
    for (ExtractedTable& table : tables) {
      const std::string path = prefix + names.Take(page, table.id);
      struct stat info;
      // A file that was there before the run is the user's, not ours.
      if (!inv.overwrite && ::lstat(path.c_str(), &info) == 0) {
        err << "qry: '" << EscapeControlBytes(path)
            << "' exists; give --overwrite to replace it\n";
        written_all = false;
        continue;
      }
      ExportOptions options = HeadlessExportOptions(inv, table);
      options.file_type = file_type.type;
      const DataTextGrid grid(std::move(table.data), inv.header);
      std::string reason;
      if (!ExportListToFile(grid, path, &options, {}, &reason)) {
        err << "qry: cannot write the table '" << EscapeControlBytes(table.id) << "' of '"
            << DisplaySource(source) << "': " << reason << '\n';
        written_all = false;
        continue;
      }
      out << path << '\n';
    }
    return written_all;
  });
  const int flushed = FlushResult(out, err);
  return all_ok ? flushed : kExitFailure;
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
      return inv.all ? RunExportAll(inv, context, out, err) : RunExportOne(inv, context, out, err);
  }
  return kExitFailure;
}

}  // namespace quarry::qry
