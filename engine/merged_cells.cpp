#include "engine/merged_cells.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/scan_text.h"
#include "engine/table_scanner_internal.h"
#include "engine/work_meter.h"

namespace quarry {

namespace {

using scan::IsBlank;
using scan::MatchesNoCase;

constexpr int64_t kMostColumns = 1000;
constexpr int64_t kMostRows = 65534;

// The number that attribute `name` (lower case) of a cell's start tag
// holds, read as a browser reads a non-negative integer (blanks, an
// optional '+', digits; the first occurrence of the attribute counts);
// nullopt when it is absent or holds no number. Values past `most` read
// as `most`.
std::optional<int64_t> SpanValue(std::string_view cell_html, std::string_view name,
                                 int64_t most) {
  const size_t gt = cell_html.find('>');
  const std::string_view tag = cell_html.substr(0, gt);
  AddEngineWork(tag.size());
  for (size_t i = 1; i + name.size() <= tag.size(); ++i) {
    const char before = tag[i - 1];
    if (!(IsBlank(before) || before == '"' || before == '\'' || before == '/') ||
        !MatchesNoCase(tag, i, name)) {
      continue;
    }
    size_t at = i + name.size();
    while (at < tag.size() && IsBlank(tag[at])) ++at;
    if (at == tag.size() || tag[at] != '=') return std::nullopt;  // a bare name
    ++at;
    while (at < tag.size() && IsBlank(tag[at])) ++at;
    if (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) ++at;
    while (at < tag.size() && IsBlank(tag[at])) ++at;
    if (at < tag.size() && tag[at] == '+') ++at;
    int64_t value = 0;
    bool digits = false;
    for (; at < tag.size() && tag[at] >= '0' && tag[at] <= '9'; ++at) {
      digits = true;
      value = std::min(value * 10 + (tag[at] - '0'), most + 1);
    }
    if (!digits) return std::nullopt;
    return std::min(value, most);
  }
  return std::nullopt;
}

// Whether the HTML between two rows opens or closes a row group.
bool EndsRowGroup(std::string_view gap) {
  static constexpr std::string_view kTags[] = {"<thead", "<tbody", "<tfoot",
                                               "/thead>", "/tbody>", "/tfoot>"};
  AddEngineWork(gap.size());
  for (size_t i = 0; i < gap.size(); ++i) {
    if (gap[i] != '<' && gap[i] != '/') continue;
    for (std::string_view tag : kTags) {
      if (tag[0] == gap[i] && MatchesNoCase(gap, i, tag)) return true;
    }
  }
  return false;
}

struct Cell {
  uint32_t text;
  int64_t columns;  // 1 ..
  int64_t rows;     // 0 (to the group's end) ..
};

// Columns [begin, end) of one row held by one text.
struct Run {
  int64_t begin;
  int64_t end;
  uint32_t text;
};

// Columns [begin, end) held from above down to row `last`.
struct Cover {
  int64_t begin;
  int64_t end;
  size_t last;
  uint32_t text;
};

void AppendField(std::string& line, const std::string& text) {
  const bool quote = text.find(',') != std::string::npos;
  if (quote) line += '"';
  line += text;
  if (quote) line += '"';
  line += ',';
}

}  // namespace

MergedCells ExpandMergedCells(std::string_view html, std::string* data) {
  const uint64_t bound = kExpansionFactor * html.size() + kExpansionAllowance;

  // The rows and cells exactly as the plain scan takes them.
  std::vector<std::string> texts;
  std::vector<Cell> cells;
  std::vector<size_t> row_first_cell;  // one past the last row: cells.size()
  std::vector<size_t> group_of_row;
  bool spans = false;
  size_t group = 0;
  const char* previous_end = html.data();
  internal::ForEachTableRow(
      html, [&](std::string_view row, const std::vector<internal::TableCell>& row_cells) {
        if (!row_first_cell.empty() &&
            EndsRowGroup(std::string_view(previous_end,
                                          static_cast<size_t>(row.data() - previous_end)))) {
          ++group;
        }
        previous_end = row.data() + row.size();
        row_first_cell.push_back(cells.size());
        group_of_row.push_back(group);
        for (const internal::TableCell& cell : row_cells) {
          Cell laid{static_cast<uint32_t>(texts.size()), 1, 1};
          laid.columns = std::max<int64_t>(1, SpanValue(cell.html, "colspan", kMostColumns).value_or(1));
          laid.rows = SpanValue(cell.html, "rowspan", kMostRows).value_or(1);
          spans = spans || laid.columns != 1 || laid.rows != 1;
          texts.push_back(cell.text);
          cells.push_back(laid);
        }
      });
  if (!spans) return MergedCells::kNone;
  const size_t rows = row_first_cell.size();
  row_first_cell.push_back(cells.size());
  std::vector<size_t> group_last(group + 1, 0);
  for (size_t r = 0; r < rows; ++r) group_last[group_of_row[r]] = r;

  // Each row's runs, cells from above first placed: a cell takes the first
  // column no cover holds, and the columns of its span that no cover holds.
  uint64_t work = 0;
  std::vector<Cover> active, added;  // sorted by column, disjoint
  std::vector<Run> runs;
  std::vector<size_t> row_first_run;
  std::vector<int64_t> starts;  // columns where a cell begins
  for (size_t r = 0; r < rows; ++r) {
    std::erase_if(active, [r](const Cover& cover) { return cover.last < r; });
    row_first_run.push_back(runs.size());
    for (const Cover& cover : active) runs.push_back({cover.begin, cover.end, cover.text});
    const size_t from_above = runs.size();
    added.clear();
    int64_t x = 0;
    size_t k = 0;
    for (size_t c = row_first_cell[r]; c < row_first_cell[r + 1]; ++c) {
      while (k < active.size()) {
        if (active[k].end <= x) {
          ++k;
        } else if (active[k].begin <= x) {
          x = active[k++].end;
        } else {
          break;
        }
      }
      const Cell& cell = cells[c];
      starts.push_back(x);
      const int64_t end = x + cell.columns;
      const size_t last_in_group = group_last[group_of_row[r]];
      const size_t last =
          cell.rows == 0 ? last_in_group
                         : std::min(last_in_group, r + static_cast<size_t>(cell.rows) - 1);
      const auto take = [&](int64_t begin, int64_t stop) {
        runs.push_back({begin, stop, cell.text});
        if (last > r) added.push_back({begin, stop, last, cell.text});
      };
      int64_t free_from = x;
      for (size_t j = k; j < active.size() && active[j].begin < end; ++j) {
        if (free_from < active[j].begin) take(free_from, active[j].begin);
        free_from = std::max(free_from, active[j].end);
        ++work;
      }
      if (free_from < end) take(free_from, end);
      x = end;
    }
    std::inplace_merge(runs.begin() + static_cast<ptrdiff_t>(row_first_run.back()),
                       runs.begin() + static_cast<ptrdiff_t>(from_above), runs.end(),
                       [](const Run& a, const Run& b) { return a.begin < b.begin; });
    if (!added.empty()) {
      const size_t old = active.size();
      active.insert(active.end(), added.begin(), added.end());
      std::inplace_merge(active.begin(), active.begin() + static_cast<ptrdiff_t>(old),
                         active.end(),
                         [](const Cover& a, const Cover& b) { return a.begin < b.begin; });
    }
    work += active.size() + (row_first_cell[r + 1] - row_first_cell[r]);
    if (work + runs.size() > bound) {
      AddEngineWork(work);
      return MergedCells::kTooLarge;
    }
  }
  row_first_run.push_back(runs.size());
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  const auto column = [&starts](int64_t x) {
    return static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), x) - starts.begin());
  };

  // The lines, each up to its last held column; empty lines are dropped.
  std::string lines;
  std::vector<size_t> line_end;
  std::vector<size_t> fields;
  for (size_t r = 0; r < rows; ++r) {
    const size_t mark = lines.size();
    size_t at = 0;
    for (size_t i = row_first_run[r]; i < row_first_run[r + 1]; ++i) {
      const size_t first = column(runs[i].begin), stop = column(runs[i].end);
      for (; at < stop; ++at) {
        AppendField(lines, at < first ? std::string() : texts[runs[i].text]);
        if (lines.size() > bound) {
          AddEngineWork(work + lines.size());
          return MergedCells::kTooLarge;
        }
      }
    }
    if (lines.size() > mark) lines.pop_back();  // the comma after the last field
    if (lines.size() == mark) continue;
    line_end.push_back(lines.size());
    fields.push_back(at);
  }

  // Short lines padded as the plain scan pads them: all of them while that
  // stays within the table's size, else only the first.
  const size_t width = fields.empty() ? 0 : *std::max_element(fields.begin(), fields.end());
  uint64_t padding = 0;
  for (size_t count : fields) padding += width - count;
  const bool pad_every_line = padding <= html.size();
  std::string out;
  out.reserve(lines.size() + 2 * line_end.size() + (pad_every_line ? padding : width));
  size_t begin = 0;
  for (size_t i = 0; i < line_end.size(); ++i) {
    out.append(lines, begin, line_end[i] - begin);
    if (pad_every_line || i == 0) out.append(width - fields[i], ',');
    out += "\r\n";
    begin = line_end[i];
  }
  AddEngineWork(work + lines.size() + out.size());
  *data = std::move(out);
  return MergedCells::kExpanded;
}

MergedCellsCount ExpandMergedCells(TableList& tables, const std::atomic<bool>* cancel) {
  MergedCellsCount count;
  for (ExtractedTable& table : tables) {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) break;
    switch (ExpandMergedCells(table.source_html, &table.data)) {
      case MergedCells::kExpanded:
        ++count.expanded;
        break;
      case MergedCells::kTooLarge:
        ++count.too_large;
        break;
      case MergedCells::kNone:
        break;
    }
  }
  return count;
}

}  // namespace quarry
