#include "engine/table_scanner.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/scan_text.h"
#include "engine/table_scanner_internal.h"

namespace quarry {

namespace {

using scan::AsciiLower;
using scan::AsciiUpper;
using scan::FindByte;
using scan::IsBlank;
using scan::kNpos;
using scan::Sub;

// Trims white space from both ends, in place.
void TrimWhiteSpace(std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && IsBlank(text[begin])) ++begin;
  text.erase(end);
  text.erase(0, begin);
}

// atoi as the attribute numbers have always been read: leading white
// space, an optional sign, then digits; 0 without digits. Values beyond the
// 32-bit range stick at its ends instead of overflowing.
int32_t LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A pattern in its all-lower and all-upper forms, for repeated searches.
class TagPattern {
 public:
  explicit TagPattern(std::string_view pattern) : lower_(pattern), upper_(pattern) {
    for (char& c : lower_) c = AsciiLower(c);
    for (char& c : upper_) c = AsciiUpper(c);
  }

  bool MatchesAt(std::string_view text, size_t pos) const {
    if (text.size() - pos < lower_.size()) return false;
    return Same(text.data() + pos, lower_) || Same(text.data() + pos, upper_);
  }

  // One scan that stops at the first match of either form, so that a form
  // that is absent never costs a pass to the end of the text.
  int64_t Find(std::string_view text, int64_t start) const {
    if (start < 0) start = 0;
    if (start > static_cast<int64_t>(text.size())) return -1;
    if (lower_.empty()) return start;
    const int64_t found = Search(text, static_cast<size_t>(start));
    AddEngineWork(static_cast<uint64_t>((found == -1 ? static_cast<int64_t>(text.size()) : found) - start + 1));
    return found;
  }

 private:
  int64_t Search(std::string_view text, size_t start) const {
    if (text.size() < lower_.size()) return -1;
    const size_t last = text.size() - lower_.size();
    const char first_lower = lower_[0];
    const char first_upper = upper_[0];
    for (size_t i = start; i <= last; ++i) {
      if (first_lower == first_upper) {
        const void* hit = std::memchr(text.data() + i, first_lower, last - i + 1);
        if (hit == nullptr) return -1;
        i = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
      } else if (text[i] != first_lower && text[i] != first_upper) {
        continue;
      }
      if (MatchesAt(text, i)) return static_cast<int64_t>(i);
    }
    return -1;
  }

  // Patterns are a few bytes long: a loop beats calling memcmp.
  static bool Same(const char* at, const std::string& form) {
    for (size_t i = 0; i < form.size(); ++i) {
      if (at[i] != form[i]) return false;
    }
    return true;
  }

  std::string lower_;
  std::string upper_;
};

// ---------------------------------------------------------------------------
// Rows.

// Every position of each cell-related tag in one row, so that the row's
// searches (which keep looking from each cell for tags that may be far away
// or absent) cost a lookup instead of a scan.
//
// A table's rows are read with their line ends turned into blanks ("\r\n"
// first, then "\n"). That never makes or breaks a tag, but "\r\n" becomes a
// single byte, and the row's arithmetic ("four bytes before the next cell")
// counts in the joined text. So positions are kept in joined counting, each
// beside its place in the row as given, and cells are cut from the row as
// given (CellTextFrom joins their line ends): no joined copy of the row is
// made.
class RowTags {
 public:
  // One kind of tag: joined positions, and the places in the row as given
  // (kept only when they differ, i.e. when line ends are joined).
  struct List {
    std::vector<uint32_t> joined;
    std::vector<uint32_t> place;

    void Clear() {
      joined.clear();
      place.clear();
    }
  };

  // Indexes `row`, replacing what an earlier call held (the storage is kept
  // for the next row).
  void Build(std::string_view row, bool join_lines) {
    for (List* list : {&th_open, &td_open, &td_close, &th_close, &tr_close}) list->Clear();
    join_lines_ = join_lines;
    const size_t size = row.size();
    // "<td", "<TD", "/td>", "/TD>", ...: the two letters after the first
    // byte decide, in one case or the other.
    const auto letters = [&](size_t i, char second) {
      const char a = row[i + 1], b = row[i + 2];
      return (a == 't' && b == second) || (a == 'T' && b == AsciiUpper(second));
    };
    // Pairs "\r\n" before a position, when line ends are joined; asked
    // for growing positions only.
    size_t pairs = 0;
    size_t cr = join_lines ? FindByte(row, '\r', 0) : kNpos;
    const auto joined = [&](size_t i) {
      while (cr != kNpos && cr < i) {
        if (cr + 1 < size && row[cr + 1] == '\n') ++pairs;
        cr = FindByte(row, '\r', cr + 1);
      }
      return static_cast<uint32_t>(i - pairs);
    };
    const auto add = [&](List& list, size_t i) {
      list.joined.push_back(joined(i));
      if (join_lines) list.place.push_back(static_cast<uint32_t>(i));
    };
    // Both kinds of tag start are gathered in one walk over the row, in
    // position order, so that the count of pairs only ever moves forward.
    size_t lt = FindByte(row, '<', 0);
    size_t slash = FindByte(row, '/', 0);
    while (true) {
      const bool take_lt = lt != kNpos && lt + 2 < size && (slash == kNpos || lt < slash);
      const bool take_slash = !take_lt && slash != kNpos && slash + 3 < size;
      if (take_lt) {
        if (letters(lt, 'h')) add(th_open, lt);
        if (letters(lt, 'd')) add(td_open, lt);
        lt = FindByte(row, '<', lt + 1);
      } else if (take_slash) {
        if (row[slash + 3] == '>') {
          if (letters(slash, 'd')) add(td_close, slash);
          if (letters(slash, 'h')) add(th_close, slash);
          if (letters(slash, 'r')) add(tr_close, slash);
        }
        slash = FindByte(row, '/', slash + 1);
      } else {
        break;
      }
    }
    joined_size_ = static_cast<int64_t>(joined(size));
  }

  // The first tag of `list` at or after joined position `from`, as a
  // position and its place in the row as given; {-1, -1} when none.
  struct Point {
    int64_t joined = -1;
    int64_t place = -1;
  };

  Point Next(const List& list, int64_t from) const {
    const auto it = std::lower_bound(
        list.joined.begin(), list.joined.end(), from,
        [](uint32_t at, int64_t value) { return static_cast<int64_t>(at) < value; });
    if (it == list.joined.end()) return {};
    const auto i = static_cast<size_t>(it - list.joined.begin());
    return {*it, join_lines_ ? list.place[i] : *it};
  }

  int64_t joined_size() const { return joined_size_; }

  List th_open, td_open, td_close, th_close, tr_close;

 private:
  bool join_lines_ = false;
  int64_t joined_size_ = 0;
};

using RowPoint = RowTags::Point;

// ParseRow's walk over the cells of `row`, calling take_cell(html) for each
// cell with the cell's HTML as given (empty when the walk's arithmetic
// leaves none), and returning the number of cells. With `join_lines`, the
// row is read with its line ends joined (see RowTags); cells then still
// hold their line ends. `tags` is scratch space.
template <typename TakeCell>
int WalkRow(std::string_view row, bool join_lines, RowTags& tags, const TakeCell& take_cell) {
  tags.Build(row, join_lines);
  const auto next = [&tags](const RowTags::List& list, int64_t from) { return tags.Next(list, from); };

  const RowPoint th = next(tags.th_open, 0);
  const RowPoint td = next(tags.td_open, 0);
  RowPoint start;
  bool closes_with_th = false;
  if (th.joined != -1 && th.joined < td.joined) {
    start = th;
    closes_with_th = true;
  } else {
    start = td;
  }
  if (start.joined == -1) start = th;  // a row of "<th" cells; "/td>" still tried first
  if (start.joined == -1) return 0;

  // A cell ends four bytes after its closing tag's position, or right
  // before the next "<td" when that comes first (an unclosed cell): `end`
  // is then that cell start less four, and its place is the cell start's.
  RowPoint end = next(closes_with_th ? tags.th_close : tags.td_close, start.joined);
  bool end_is_close = true;
  if (end.joined == -1) end = next(tags.th_close, start.joined);
  if (end.joined == -1) return 0;
  const auto cut_before_next_cell = [&] {
    const RowPoint following = next(tags.td_open, start.joined + 2);
    end_is_close = true;
    if (following.joined != -1 && following.joined < end.joined) {
      end = {following.joined - 4, following.place};
      end_is_close = false;
    }
  };
  cut_before_next_cell();
  int64_t row_end = next(tags.tr_close, end.joined).joined;
  if (row_end == -1) row_end = tags.joined_size() - 1;

  int count = 0;
  while (start.joined != -1 && end.joined != -1 && start.joined != end.joined &&
         end.joined < row_end) {
    ++count;
    // The joined length is what the arithmetic allows; the bytes are the
    // row's own between the two places.
    if (end.joined - start.joined + 4 > 0) {
      const int64_t stop = end_is_close ? end.place + 4 : end.place;
      take_cell(Sub(row, start.place, stop - start.place));
    } else {
      take_cell(std::string_view());
    }
    RowPoint next_start = next(tags.td_open, end.joined);
    if (next_start.joined == -1) next_start = next(tags.th_open, end.joined);
    // A "<td" inside the current cell's own start tag ("<td<td") puts the
    // cell's end before its start, and the search finds the same cell
    // again: the row ends instead of repeating it forever.
    if (next_start.joined == -1 || next_start.joined <= start.joined) break;
    start = next_start;
    end = next(tags.td_close, start.joined);
    if (end.joined == -1) end = next(tags.th_close, start.joined);
    cut_before_next_cell();
  }
  return count;
}

// Appends the text of one cell to a row's line: trimmed, enclosed in double
// quotes when it holds a comma, and followed by a comma. `scratch` is
// reused from cell to cell.
void AppendCell(std::string_view html, bool join_lines, std::string& scratch, std::string& line) {
  internal::CellTextFrom(html, join_lines, scratch);
  TrimWhiteSpace(scratch);
  AddEngineWork(scratch.size() + 1);
  const bool quote = scratch.find(',') != std::string::npos;
  if (quote) line += '"';
  line += scratch;
  if (quote) line += '"';
  line += ',';
}

// Appends the row's line to `line` (cells joined by commas) and returns the
// number of cells.
int AppendRowLine(std::string_view row, bool join_lines, RowTags& tags, std::string& scratch,
                  std::string& line) {
  const size_t mark = line.size();
  const int count = WalkRow(row, join_lines, tags, [&](std::string_view html) {
    AppendCell(html, join_lines, scratch, line);
  });
  if (line.size() > mark) line.pop_back();  // the comma after the last cell
  return count;
}

void ReadTableAttributes(std::string_view html, ExtractedTable& table) {
  const size_t gt = html.find('>');
  if (gt == std::string_view::npos || gt == 0) {
    table.class_name.clear();
    table.id.clear();
    table.width = table.cellpadding = table.cellspacing = table.border = 0;
    table.width_is_percent = 0;
    return;
  }
  const std::string_view tag = html.substr(0, gt);
  const std::string width = GetAttributeValue(tag, "width=");
  table.class_name = GetAttributeValue(tag, "class=");
  table.id = GetAttributeValue(tag, "id=");
  table.width = LeadingNumber(width);
  table.cellpadding = LeadingNumber(GetAttributeValue(tag, "cellpadding="));
  table.cellspacing = LeadingNumber(GetAttributeValue(tag, "cellspacing="));
  table.border = LeadingNumber(GetAttributeValue(tag, "border="));
  table.width_is_percent = width.find('%') != std::string::npos ? 1 : 0;
}

}  // namespace

int64_t FindTagNoCase(std::string_view text, std::string_view pattern, int64_t start) {
  return TagPattern(pattern).Find(text, start);
}

std::string GetAttributeValue(std::string_view tag, std::string_view name_with_equals) {
  const int64_t found = FindTagNoCase(tag, name_with_equals, 0);
  if (found < 0) return {};
  const size_t value = static_cast<size_t>(found) + name_with_equals.size();
  size_t end = value < tag.size() && tag[value] == '"' ? tag.find('"', value + 1)
                                                       : tag.find(' ', value);
  if (end == std::string_view::npos) end = tag.size();
  std::string_view text = tag.substr(value, end - value);
  while (!text.empty() && text.front() == '"') text.remove_prefix(1);
  while (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return std::string(text);
}

std::string ParseRow(std::string_view row, int* cell_count) {
  RowTags tags;
  std::string scratch, line;
  const int count = AppendRowLine(row, false, tags, scratch, line);
  if (cell_count != nullptr) *cell_count = count;
  return line;
}

bool ParseTable(std::string_view html, std::string* data, ExtractedTable* attributes,
                bool only_full_rows, bool pad_rows, bool skip_first_row) {
  if (attributes != nullptr) ReadTableAttributes(html, *attributes);
  std::string ignored;
  std::string& out = data != nullptr ? *data : ignored;
  out.clear();
  if (pad_rows) only_full_rows = false;

  static const TagPattern kRowOpen("<tr"), kRowClose("/tr>"), kClose("/table>");
  int64_t rs = kRowOpen.Find(html, 0);
  if (rs == -1) return false;
  int64_t re = kRowClose.Find(html, rs);
  if (re == -1) return false;
  int64_t end = kClose.Find(html, re);
  if (end == -1) end = static_cast<int64_t>(html.size()) - 1;

  RowTags tags;
  int widest = 0;
  uint64_t rows = 0, cells = 0;
  if (only_full_rows || pad_rows) {
    // The widest row is counted on the rows as given (line ends unjoined).
    while (re != -1 && re < end) {
      const int count = WalkRow(Sub(html, rs, re - rs + 4), false, tags, [](std::string_view) {});
      widest = std::max(widest, count);
      ++rows;
      cells += static_cast<uint64_t>(count);
      rs = kRowOpen.Find(html, re);
      if (rs == -1) break;
      re = kRowClose.Find(html, rs);
    }
    rs = kRowOpen.Find(html, 0);
    re = kRowClose.Find(html, rs);
  }
  // Padding every short row could take far more than the table itself (one
  // wide row over many narrow ones). Within the table's own size it is
  // written; beyond, only the first line is padded, which keeps the
  // table's column count, and the others stay as they are: a reader takes
  // their missing fields as empty.
  const bool pad_every_row = rows * static_cast<uint64_t>(widest) - cells <= html.size();
  if (skip_first_row) {
    rs = kRowOpen.Find(html, re);
    re = rs != -1 ? kRowClose.Find(html, rs) : -1;
  }

  std::string scratch;
  while (rs != -1 && re != -1 && re < end) {
    const std::string_view row = Sub(html, rs, re - rs + 4);
    const bool join_lines = FindByte(row, '\n', 0) != kNpos;
    const size_t mark = out.size();
    const int count = AppendRowLine(row, join_lines, tags, scratch, out);
    if (out.size() > mark) {
      bool keep = true;
      if (pad_rows && count < widest) {
        if (pad_every_row || mark == 0) out.append(static_cast<size_t>(widest - count), ',');
      } else if (only_full_rows) {
        keep = count == widest;
      }
      if (keep) {
        out += "\r\n";
      } else {
        out.resize(mark);
      }
    }
    rs = kRowOpen.Find(html, re);
    if (rs == -1) break;
    re = kRowClose.Find(html, rs);
  }
  return !out.empty();
}

namespace internal {

void ForEachTableRow(
    std::string_view html,
    const std::function<void(std::string_view row, const std::vector<TableCell>& cells)>& visit) {
  // The row steps of ParseTable's second walk, with pad_rows set.
  static const TagPattern kRowOpen("<tr"), kRowClose("/tr>"), kClose("/table>");
  int64_t rs = kRowOpen.Find(html, 0);
  if (rs == -1) return;
  int64_t re = kRowClose.Find(html, rs);
  if (re == -1) return;
  int64_t end = kClose.Find(html, re);
  if (end == -1) end = static_cast<int64_t>(html.size()) - 1;

  RowTags tags;
  std::vector<TableCell> cells;
  size_t used = 0;
  while (rs != -1 && re != -1 && re < end) {
    const std::string_view row = Sub(html, rs, re - rs + 4);
    const bool join_lines = FindByte(row, '\n', 0) != kNpos;
    used = 0;
    WalkRow(row, join_lines, tags, [&](std::string_view cell_html) {
      if (used == cells.size()) cells.emplace_back();
      TableCell& cell = cells[used++];
      cell.html = cell_html;
      CellTextFrom(cell_html, join_lines, cell.text);
      TrimWhiteSpace(cell.text);
    });
    cells.resize(used);
    visit(row, cells);
    rs = kRowOpen.Find(html, re);
    if (rs == -1) break;
    re = kRowClose.Find(html, rs);
  }
}

}  // namespace internal

}  // namespace quarry
