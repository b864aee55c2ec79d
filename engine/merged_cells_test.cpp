#include "engine/merged_cells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/page_parser.h"
#include "engine/table_scanner.h"
#include "engine/testing/scanner_reference.h"
#include "engine/work_meter.h"

namespace quarry {
namespace {

using testing::Cased;
using testing::RefCellHtmlToText;
using testing::RefFind;
using testing::RefReplaceAll;

std::string Expanded(const std::string& html) {
  std::string data = "untouched";
  const MergedCells result = ExpandMergedCells(html, &data);
  EXPECT_EQ(result == MergedCells::kExpanded, data != "untouched") << html;
  return data;
}

std::string T(const std::string& rows) { return "<table>" + rows + "</table>"; }

TEST(MergedCellsTest, SpansAreLaidOutAsABrowserLaysThemOut) {
  struct Case {
    const char* name;
    std::string html;
    std::string data;
  };
  const std::vector<Case> cases = {
      {"colspan", T("<tr><td colspan=2>A</td><td>B</td></tr><tr><td>1</td><td>2</td><td>3</td></tr>"),
       "A,A,B\r\n1,2,3\r\n"},
      {"rowspan", T("<tr><td rowspan=2>A</td><td>B</td></tr><tr><td>C</td></tr>"),
       "A,B\r\nA,C\r\n"},
      {"both", T("<tr><td colspan=2 rowspan=2>X</td><td>a</td></tr><tr><td>b</td></tr>"
                 "<tr><td>1</td><td>2</td><td>3</td></tr>"),
       "X,X,a\r\nX,X,b\r\n1,2,3\r\n"},
      {"cells after a rowspan move right",
       T("<tr><td>1</td><td rowspan=3>R</td><td>3</td></tr><tr><td>a</td><td>b</td></tr>"
         "<tr><td>c</td><td>d</td></tr>"),
       "1,R,3\r\na,R,b\r\nc,R,d\r\n"},
      {"overlapping: the cell from above keeps its slot",
       T("<tr><td>1</td><td rowspan=2>R</td><td>3</td></tr><tr><td colspan=3>W</td></tr>"),
       "1,R,3\r\nW,R,W\r\n"},
      {"rowspan past the last row", T("<tr><td rowspan=5>A</td><td>b</td></tr><tr><td>c</td></tr>"),
       "A,b\r\nA,c\r\n"},
      {"colspan past every row's end", T("<tr><td colspan=4>T</td></tr><tr><td>a</td><td>b</td></tr>"),
       "T,T\r\na,b\r\n"},
      {"zero: colspan 1, rowspan to the group's end",
       T("<tr><td colspan=0>A</td><td rowspan=0>B</td></tr><tr><td>c</td></tr><tr><td>d</td></tr>"),
       "A,B\r\nc,B\r\nd,B\r\n"},
      {"a rowspan ends with its row group",
       T("<thead><tr><td rowspan=0>H</td><td>h</td></tr></thead>"
         "<tbody><tr><td>a</td><td>b</td></tr><tr><td rowspan=3>x</td><td>y</td></tr></tbody>"
         "<TBODY><tr><td>z</td></tr></TBODY>"),
       "H,h\r\na,b\r\nx,y\r\nz,\r\n"},
      {"absurd colspan", T("<tr><td colspan=1000000>A</td><td>B</td></tr><tr><td>1</td><td>2</td></tr>"),
       "A,A,B\r\n1,2,\r\n"},
      {"absurd rowspan", T("<tr><td rowspan=99999999999999999999>A</td><td>b</td></tr><tr><td>c</td></tr>"),
       "A,b\r\nA,c\r\n"},
      {"values as a browser reads them",
       T("<tr><td COLSPAN=\" 2\">a</td><td colspan='2.7'>b</td><td colspan=x>c</td>"
         "<td data-colspan=3>d</td><td colspan=-2>e</td><td colspan>f</td></tr>"
         "<tr><td>1</td><td>2</td><td>3</td><td>4</td><td>5</td><td>6</td><td>7</td><td>8</td></tr>"),
       "a,a,b,b,c,d,e,f\r\n1,2,3,4,5,6,7,8\r\n"},
      {"commas stay quoted in every copy", T("<tr><td colspan=2>a,b</td></tr><tr><td>1</td><td>2</td></tr>"),
       "\"a,b\",\"a,b\"\r\n1,2\r\n"},
      {"a row left only with cells from above", T("<tr><td rowspan=2>A</td><td>x</td></tr><tr></tr>"),
       "A,x\r\nA,\r\n"},
      {"an empty row stays dropped", T("<tr><td colspan=2>A</td></tr><tr><td></td></tr><tr><td>b</td><td>c</td></tr>"),
       "A,A\r\nb,c\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Expanded(c.html), c.data) << c.name;
}

TEST(MergedCellsTest, TablesWithoutSpansAreLeftAlone) {
  for (const std::string& html :
       {T("<tr><td>a</td><td colspan=1 rowspan=1>b</td></tr>"), T("<tr><td>a</td></tr>"),
        std::string("<table>no rows</table>"), std::string()}) {
    std::string data = "kept";
    EXPECT_EQ(ExpandMergedCells(html, &data), MergedCells::kNone) << html;
    EXPECT_EQ(data, "kept");
  }
}

// ---------------------------------------------------------------------------
// The layout written straight from its rules, on a grid of slots, for
// comparison on generated tables.

struct RefCell {
  std::string html;
  std::string text;
};

std::vector<RefCell> RefRowCells(const std::string& row) {
  std::vector<RefCell> cells;
  const int64_t a = RefFind(row, "<th", 0), b = RefFind(row, "<td", 0);
  int64_t start = b;
  std::string close = "/td>";
  if (a != -1 && a < b) {
    start = a;
    close = "/th>";
  }
  if (start == -1) start = RefFind(row, "<th", 0);
  if (start == -1) return cells;
  int64_t end = RefFind(row, close, start);
  if (end == -1) end = RefFind(row, "/th>", start);
  if (end == -1) return cells;
  int64_t n = RefFind(row, "<td", start + 2);
  if (n != -1 && n < end) end = n - 4;
  int64_t row_end = RefFind(row, "/tr>", end);
  if (row_end == -1) row_end = static_cast<int64_t>(row.size()) - 1;
  while (start != -1 && end != -1 && start != end && end < row_end) {
    const std::string html = end - start + 4 > 0 ? row.substr(start, end - start + 4) : "";
    std::string text = RefCellHtmlToText(html);
    const size_t first = text.find_first_not_of(" \t\r\n\v\f");
    text = first == std::string::npos
               ? ""
               : text.substr(first, text.find_last_not_of(" \t\r\n\v\f") - first + 1);
    cells.push_back({html, text});
    const int64_t previous = start;
    start = RefFind(row, "<td", end);
    if (start == -1) start = RefFind(row, "<th", end);
    if (start == -1 || start == previous) break;
    end = RefFind(row, "/td>", start);
    if (end == -1) end = RefFind(row, "/th>", start);
    n = RefFind(row, "<td", start + 2);
    if (n != -1 && n < end) end = n - 4;
  }
  return cells;
}

// The attribute's number, or nullopt: found after a blank or quote, then
// "=", blanks, an optional quote, blanks, an optional "+" and digits.
std::optional<long long> RefSpan(const std::string& html, const std::string& name, long long most) {
  const std::string tag = Cased(html.substr(0, html.find('>')), false);
  for (size_t at = tag.find(name, 1); at != std::string::npos; at = tag.find(name, at + 1)) {
    if (std::string(" \t\r\n\v\f\"'/").find(tag[at - 1]) == std::string::npos) continue;
    std::string rest = tag.substr(at + name.size());
    rest.erase(0, rest.find_first_not_of(" \t\r\n\v\f"));
    if (rest.empty() || rest[0] != '=') return std::nullopt;
    rest.erase(0, 1);
    rest.erase(0, rest.find_first_not_of(" \t\r\n\v\f"));
    if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'')) rest.erase(0, 1);
    rest.erase(0, rest.find_first_not_of(" \t\r\n\v\f"));
    if (!rest.empty() && rest[0] == '+') rest.erase(0, 1);
    const std::string digits = rest.substr(0, rest.find_first_not_of("0123456789"));
    if (digits.empty()) return std::nullopt;
    return digits.size() > 12 ? most : std::min(std::stoll(digits), most);
  }
  return std::nullopt;
}

std::string RefExpand(const std::string& html) {
  // The rows as the plain scan finds them, with where each ends.
  std::vector<std::vector<RefCell>> rows;
  std::vector<int> group;
  int64_t rs = RefFind(html, "<tr", 0);
  int64_t re = rs == -1 ? -1 : RefFind(html, "/tr>", rs);
  int64_t end = re == -1 ? -1 : RefFind(html, "/table>", re);
  if (end == -1) end = static_cast<int64_t>(html.size()) - 1;
  int64_t previous_end = -1;
  while (rs != -1 && re != -1 && re < end) {
    std::string row = html.substr(rs, re - rs + 4);
    RefReplaceAll(row, "\r\n", " ");
    RefReplaceAll(row, "\n", " ");
    int g = group.empty() ? 0 : group.back();
    if (previous_end >= 0) {
      const std::string gap = Cased(html.substr(previous_end, rs - previous_end), false);
      for (const char* tag : {"<thead", "<tbody", "<tfoot", "/thead>", "/tbody>", "/tfoot>"}) {
        if (gap.find(tag) != std::string::npos) {
          ++g;
          break;
        }
      }
    }
    rows.push_back(RefRowCells(row));
    group.push_back(g);
    previous_end = re + 4;
    if ((rs = RefFind(html, "<tr", re)) == -1) break;
    re = RefFind(html, "/tr>", rs);
  }
  // Slots: the text index held, -1 for none.
  std::vector<std::string> texts;
  std::vector<std::vector<int>> slots(rows.size());
  std::vector<bool> begins;
  for (size_t r = 0; r < rows.size(); ++r) {
    size_t x = 0;
    for (const RefCell& cell : rows[r]) {
      while (x < slots[r].size() && slots[r][x] != -1) ++x;
      const long long columns = std::max(1LL, RefSpan(cell.html, "colspan", 1000).value_or(1));
      const long long span = RefSpan(cell.html, "rowspan", 65534).value_or(1);
      size_t last = r;
      while (last + 1 < rows.size() && group[last + 1] == group[r] &&
             (span == 0 || static_cast<long long>(last + 1 - r) < span)) {
        ++last;
      }
      texts.push_back(cell.text);
      if (begins.size() <= x) begins.resize(x + 1, false);
      begins[x] = true;
      // A slot held from above keeps its cell; the cell takes the others,
      // down to its last row.
      for (size_t k = x; k < x + columns; ++k) {
        if (k < slots[r].size() && slots[r][k] != -1) continue;
        for (size_t y = r; y <= last; ++y) {
          if (slots[y].size() <= k) slots[y].resize(k + 1, -1);
          slots[y][k] = static_cast<int>(texts.size() - 1);
        }
      }
      x += columns;
    }
  }
  std::vector<std::string> lines;
  std::vector<size_t> counts;
  for (const std::vector<int>& row : slots) {
    std::string line;
    size_t count = 0, last_held = 0;
    for (size_t k = 0; k < row.size(); ++k) {
      if (row[k] != -1) last_held = k + 1;
    }
    for (size_t k = 0; k < last_held; ++k) {
      if (k >= begins.size() || !begins[k]) continue;
      std::string text = row[k] == -1 ? "" : texts[row[k]];
      if (text.find(',') != std::string::npos) text = '"' + text + '"';
      line += text + ",";
      ++count;
    }
    if (!line.empty()) line.pop_back();
    if (line.empty()) continue;
    lines.push_back(line);
    counts.push_back(count);
  }
  const size_t width = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
  size_t padding = 0;
  for (size_t count : counts) padding += width - count;
  std::string data;
  for (size_t i = 0; i < lines.size(); ++i) {
    data += lines[i] + std::string(padding <= html.size() || i == 0 ? width - counts[i] : 0, ',') +
            "\r\n";
  }
  return data;
}

TEST(MergedCellsTest, GeneratedTablesMatchTheSlotByslotLayout) {
  std::mt19937 rng(6);
  const std::vector<std::string> spans = {"", "", "", " colspan=2", " rowspan=2", " colspan=3 rowspan=2",
                                          " rowspan=0", " colspan=0", " ROWSPAN=\"3\"", " colspan=' 2'",
                                          " rowspan=9", " colspan=x"};
  const std::vector<std::string> texts = {"a", "b,c", "", "&amp;", "<b>x</b>", "q r"};
  const std::vector<std::string> between = {"", "", "<tbody>", "</thead><tbody>", "\r\n", "<TFOOT>"};
  int expanded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string html = "<table>";
    for (int r = 0, rows = 1 + static_cast<int>(rng() % 6); r < rows; ++r) {
      html += between[rng() % between.size()] + "<tr>";
      for (int c = 0, cells = static_cast<int>(rng() % 5); c < cells; ++c) {
        const char* kind = rng() % 5 == 0 ? "th" : "td";
        html += std::string("<") + kind + spans[rng() % spans.size()] + ">" +
                texts[rng() % texts.size()] + "</" + kind + ">";
        if (rng() % 7 == 0) html += "\n";
      }
      html += "</tr>";
    }
    html += "</table>";
    std::string data;
    const MergedCells result = ExpandMergedCells(html, &data);
    if (result == MergedCells::kNone) continue;
    ASSERT_EQ(result, MergedCells::kExpanded) << html;
    ++expanded;
    ASSERT_EQ(data, RefExpand(html)) << html;
  }
  EXPECT_GT(expanded, 1000);
}

TEST(MergedCellsTest, HostileSpansStayWithinTheirBound) {
  // Spans that would make millions of cells out of a few kilobytes.
  std::string wide = "<table><tr>";
  for (int i = 0; i < 500; ++i) wide += "<td colspan=1000 rowspan=0>x</td>";
  wide += "</tr>";
  for (int i = 0; i < 2000; ++i) wide += "<tr><td>y</td></tr>";
  wide += "</table>";
  // One long text repeated into a thousand columns and many rows.
  std::string repeated = "<table><tr><td colspan=1000 rowspan=65534>" + std::string(50000, 'z') +
                         "</td></tr><tr><td>1</td></tr>";
  for (int i = 0; i < 999; ++i) repeated += "<td>" + std::to_string(i) + "</td>";
  repeated += "</tr></table>";
  for (const std::string& html : {wide, repeated}) {
    const uint64_t before = EngineWorkSteps();
    std::string data = "kept";
    const MergedCells result = ExpandMergedCells(html, &data);
    const uint64_t work = EngineWorkSteps() - before;
    EXPECT_LE(work, 40 * (kExpansionFactor * html.size() + kExpansionAllowance));
    if (result == MergedCells::kExpanded) {
      EXPECT_LE(data.size(), kExpansionFactor * html.size() + kExpansionAllowance);
    } else {
      EXPECT_EQ(result, MergedCells::kTooLarge);
      EXPECT_EQ(data, "kept");
    }
  }
}

TEST(MergedCellsTest, AListIsExpandedTableByTable) {
  const std::string page =
      T("<tr><td colspan=2>A</td></tr><tr><td>1</td><td>2</td></tr>") + T("<tr><td>plain</td></tr>");
  TableList tables = ParsePageText(page);
  ASSERT_EQ(tables.size(), 2u);
  const MergedCellsCount count = ExpandMergedCells(tables);
  EXPECT_EQ(count.expanded, 1);
  EXPECT_EQ(count.too_large, 0);
  EXPECT_EQ(tables[0].data, "A,A\r\n1,2\r\n");
  EXPECT_EQ(tables[1].data, "plain\r\n");
  std::atomic<bool> cancel{true};
  TableList again = ParsePageText(page);
  EXPECT_EQ(ExpandMergedCells(again, &cancel).expanded, 0);
  EXPECT_EQ(again[0].data, "A,\r\n1,2\r\n");
}

}  // namespace
}  // namespace quarry
