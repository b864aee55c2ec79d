#include "engine/table_scanner.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
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
    return Search(text, static_cast<size_t>(start));
  }

 private:
  int64_t Search(std::string_view text, size_t start) const {
    for (size_t at = scan::NextCandidate(text, start, lower_); at != kNpos;
         at = scan::NextCandidate(text, at + 1, lower_)) {
      if (MatchesAt(text, at)) return static_cast<int64_t>(at);
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

using internal::TagIndex;

// The tags of one table string, which starts at `base` of the text that
// `index` indexes; positions are the table string's own.
class TableTags {
 public:
  TableTags(TagIndex::Walker& walker, size_t base, size_t size)
      : walker_(walker), base_(base), size_(size) {}

  // The first tag of `kind` at or after `from` in the table string, as
  // FindTagNoCase gives it (-1 when none).
  int64_t Find(TagIndex::Kind kind, int64_t from) const {
    const size_t at = walker_.Next(kind, base_ + static_cast<size_t>(std::max<int64_t>(from, 0)));
    return at == kNpos || at >= base_ + size_ ? -1 : static_cast<int64_t>(at - base_);
  }

 private:
  TagIndex::Walker& walker_;
  size_t base_;
  size_t size_;
};

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
// made. A row without a "\r\n" pair (nearly every row) counts the same
// either way: its lists are then views of the index's own entries, and
// take no memory of their own.
class RowTags {
 public:
  // One kind of tag: joined positions, and the places in the row as given,
  // each less `base`. Either views of the index, or of `own_joined` and
  // `own_place` (only when "\r\n" pairs make them differ).
  struct List {
    std::span<const uint32_t> joined;
    std::span<const uint32_t> place;
    int64_t base = 0;
    std::vector<uint32_t> own_joined;
    std::vector<uint32_t> own_place;
  };

  // Takes the tags of `row`, which starts at `row_start` of the text that
  // `index` walks, replacing what an earlier call held (the storage is kept
  // for the next row). The lists may view the index: they are valid while
  // it stays unchanged.
  void Build(std::string_view row, bool join_lines, TagIndex::Walker& index, size_t row_start) {
    join_lines_ = join_lines;
    const size_t size = row.size();
    // The "\r\n" pairs of the row, when line ends are joined.
    pairs_.clear();
    if (join_lines) {
      for (size_t cr = FindByte(row, '\r', 0); cr != kNpos; cr = FindByte(row, '\r', cr + 1)) {
        if (cr + 1 < size && row[cr + 1] == '\n') pairs_.push_back(static_cast<uint32_t>(cr));
      }
    }
    const auto take = [&](List& list, TagIndex::Kind kind) {
      const auto [first, last] = index.Range(kind, row_start, row_start + size);
      AddEngineWork(static_cast<uint64_t>(last - first) + 1);
      if (pairs_.empty()) {
        list.joined = list.place = std::span<const uint32_t>(first, last);
        list.base = static_cast<int64_t>(row_start);
        return;
      }
      list.own_joined.clear();
      list.own_place.clear();
      size_t pair = 0;
      for (const uint32_t* at = first; at != last; ++at) {
        const auto place = static_cast<uint32_t>(*at - row_start);
        while (pair < pairs_.size() && pairs_[pair] < place) ++pair;
        list.own_joined.push_back(static_cast<uint32_t>(place - pair));
        list.own_place.push_back(place);
      }
      list.joined = list.own_joined;
      list.place = list.own_place;
      list.base = 0;
    };
    take(th_open, TagIndex::kThOpen);
    take(td_open, TagIndex::kTdOpen);
    take(td_close, TagIndex::kTdClose);
    take(th_close, TagIndex::kThClose);
    take(tr_close, TagIndex::kTrClose);
    size_ = static_cast<int64_t>(size);
    joined_size_ = size_ - static_cast<int64_t>(pairs_.size());
  }

  // The first tag of `list` at or after joined position `from`, as a
  // position and its place in the row as given; {-1, -1} when none.
  struct Point {
    int64_t joined = -1;
    int64_t place = -1;
  };

  Point Next(const List& list, int64_t from) const { return Find(list, list.joined, from); }

  // The same in the row as given, as if its line ends were not joined:
  // both fields of the point are then the place.
  Point NextAsGiven(const List& list, int64_t from) const {
    const Point point = Find(list, list.place, from);
    return {point.place, point.place};
  }

  int64_t joined_size() const { return joined_size_; }
  int64_t size() const { return size_; }
  bool joins_lines() const { return join_lines_; }

  List th_open, td_open, td_close, th_close, tr_close;

 private:
  // The first entry of `in` (one of the list's two) at or after `from`.
  static Point Find(const List& list, std::span<const uint32_t> in, int64_t from) {
    const int64_t base = list.base;
    const auto it = std::lower_bound(
        in.begin(), in.end(), from,
        [base](uint32_t at, int64_t value) { return static_cast<int64_t>(at) - base < value; });
    if (it == in.end()) return {};
    const auto i = static_cast<size_t>(it - in.begin());
    return {static_cast<int64_t>(list.joined[i]) - base, static_cast<int64_t>(list.place[i]) - base};
  }

  bool join_lines_ = false;
  int64_t joined_size_ = 0;
  int64_t size_ = 0;
  std::vector<uint32_t> pairs_;
};

using RowPoint = RowTags::Point;

// ParseRow's walk over the cells of the row that `tags` indexes, calling
// take_cell(html) for each cell with the cell's HTML as given (empty when
// the walk's arithmetic leaves none), and returning the number of cells.
// The row is read with its line ends joined when `tags` was built so (see
// RowTags; cells then still hold their line ends), unless `as_given`.
template <typename TakeCell>
int WalkRow(std::string_view row, const RowTags& tags, bool as_given, const TakeCell& take_cell) {
  const auto next = [&tags, as_given](const RowTags::List& list, int64_t from) {
    return as_given ? tags.NextAsGiven(list, from) : tags.Next(list, from);
  };

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
  if (row_end == -1) row_end = (as_given ? tags.size() : tags.joined_size()) - 1;

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

// Appends the row's line to `line` (cells joined by commas) and returns the
// number of cells; `tags` must index the row.
int AppendRowLine(std::string_view row, const RowTags& tags, std::string& scratch,
                  internal::LineBuffer& line) {
  const size_t mark = line.size();
  const bool join_lines = tags.joins_lines();
  const int count = WalkRow(row, tags, false, [&](std::string_view html) {
    internal::AppendCellText(html, join_lines, scratch, line);
  });
  if (line.size() > mark) line.Cut(line.size() - 1);  // the comma after the last cell
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
  TagIndex index;
  index.Build(row);
  TagIndex::Walker walker(index);
  RowTags tags;
  tags.Build(row, false, walker, 0);
  std::string scratch, line;
  int count = 0;
  {
    internal::LineBuffer buffer(line);
    count = AppendRowLine(row, tags, scratch, buffer);
  }
  if (cell_count != nullptr) *cell_count = count;
  return line;
}

bool ParseTable(std::string_view html, std::string* data, ExtractedTable* attributes,
                bool only_full_rows, bool pad_rows, bool skip_first_row) {
  return internal::TableScanner().Parse(html, data, attributes, only_full_rows, pad_rows,
                                        skip_first_row);
}

namespace internal {

// What a scan keeps from one table to the next: storage only.
struct TableScanner::State {
  TagIndex index;
  RowTags tags;
  std::string scratch;
  std::string ignored;
  struct Line {
    size_t begin;  // in the data text; the line runs to the next one's begin
    int count;
  };
  std::vector<Line> lines;
  std::string settled;
};

TableScanner::TableScanner() : state_(std::make_unique<State>()) {}
TableScanner::~TableScanner() = default;

bool TableScanner::Parse(std::string_view html, std::string* data, ExtractedTable* attributes,
                         bool only_full_rows, bool pad_rows, bool skip_first_row) {
  state_->index.Build(html);
  TagIndex::Walker walker(state_->index);
  return Parse(html, 0, walker, data, attributes, only_full_rows, pad_rows, skip_first_row);
}

bool TableScanner::Parse(std::string_view html, size_t from, TagIndex::Walker& tags,
                         std::string* data, ExtractedTable* attributes, bool only_full_rows,
                         bool pad_rows, bool skip_first_row) {
  if (attributes != nullptr) ReadTableAttributes(html, *attributes);
  std::string& out = data != nullptr ? *data : state_->ignored;
  out.clear();
  if (pad_rows) only_full_rows = false;

  const TableTags index(tags, from, html.size());
  int64_t rs = index.Find(TagIndex::kTrOpen, 0);
  if (rs == -1) return false;
  int64_t re = index.Find(TagIndex::kTrClose, rs);
  if (re == -1) return false;
  int64_t end = index.Find(TagIndex::kTableClose, re);
  if (end == -1) end = static_cast<int64_t>(html.size()) - 1;

  // One walk over the rows: each row is indexed once, its line written
  // with its cell count, and the widest row counted on the rows as given
  // (line ends unjoined, which can count differently next to a tag). The
  // lines that the widest row decides about are settled afterwards.
  const bool need_widest = only_full_rows || pad_rows;
  RowTags& row_tags = state_->tags;
  std::string& scratch = state_->scratch;
  std::vector<State::Line>& lines = state_->lines;
  lines.clear();
  int widest = 0;
  uint64_t rows = 0, cells = 0;
  bool skip = skip_first_row;
  LineBuffer buffer(out);
  while (re != -1 && re < end) {
    const std::string_view row = Sub(html, rs, re - rs + 4);
    row_tags.Build(row, FindByte(row, '\n', 0) != kNpos, tags, from + static_cast<size_t>(rs));
    if (need_widest) {
      const int as_given =
          row_tags.joins_lines() ? WalkRow(row, row_tags, true, [](std::string_view) {}) : -1;
      const size_t mark = buffer.size();
      int count = 0;
      if (!skip) count = AppendRowLine(row, row_tags, scratch, buffer);
      const int counted = as_given >= 0 ? as_given
                          : skip        ? WalkRow(row, row_tags, true, [](std::string_view) {})
                                        : count;
      widest = std::max(widest, counted);
      ++rows;
      cells += static_cast<uint64_t>(counted);
      if (buffer.size() > mark) {
        lines.push_back({mark, count});
        buffer.Append("\r\n");
      }
    } else if (!skip) {
      const size_t mark = buffer.size();
      AppendRowLine(row, row_tags, scratch, buffer);
      if (buffer.size() > mark) buffer.Append("\r\n");
    }
    skip = false;
    rs = index.Find(TagIndex::kTrOpen, re);
    if (rs == -1) break;
    re = index.Find(TagIndex::kTrClose, rs);
  }
  buffer.Done();
  if (!need_widest || lines.empty()) return !out.empty();

  // Padding every short row could take far more than the table itself (one
  // wide row over many narrow ones). Within the table's own size it is
  // written; beyond, only the first line is padded, which keeps the
  // table's column count, and the others stay as they are: a reader takes
  // their missing fields as empty.
  const bool pad_every_row = rows * static_cast<uint64_t>(widest) - cells <= html.size();
  const auto commas = [&](size_t i) -> size_t {
    if (!pad_rows || lines[i].count >= widest || !(pad_every_row || i == 0)) return 0;
    return static_cast<size_t>(widest - lines[i].count);
  };
  const auto kept = [&](size_t i) { return !only_full_rows || lines[i].count == widest; };
  size_t size = 0;
  bool changed = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t length = (i + 1 < lines.size() ? lines[i + 1].begin : out.size()) - lines[i].begin;
    if (!kept(i)) {
      changed = true;
      continue;
    }
    size += length + commas(i);
    changed = changed || commas(i) > 0;
  }
  if (!changed) return !out.empty();
  std::string& settled = state_->settled;
  settled.clear();
  settled.reserve(size);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!kept(i)) continue;
    const size_t length = (i + 1 < lines.size() ? lines[i + 1].begin : out.size()) - lines[i].begin;
    settled.append(out, lines[i].begin, length - 2);  // without its CR LF
    settled.append(commas(i), ',');
    settled += "\r\n";
  }
  AddEngineWork(out.size() + settled.size());
  out.swap(settled);
  return !out.empty();
}

// The rows of ParseTable's walk, each row indexed as that walk indexes it.
void ForEachTableRow(
    std::string_view html,
    const std::function<void(std::string_view row, const std::vector<TableCell>& cells)>& visit) {
  TagIndex index;
  index.Build(html);
  TagIndex::Walker walker(index);
  const TableTags tags(walker, 0, html.size());
  int64_t rs = tags.Find(TagIndex::kTrOpen, 0);
  if (rs == -1) return;
  int64_t re = tags.Find(TagIndex::kTrClose, rs);
  if (re == -1) return;
  int64_t end = tags.Find(TagIndex::kTableClose, re);
  if (end == -1) end = static_cast<int64_t>(html.size()) - 1;

  RowTags row_tags;
  std::vector<TableCell> cells;
  size_t used = 0;
  while (re != -1 && re < end) {
    const std::string_view row = Sub(html, rs, re - rs + 4);
    const bool join_lines = FindByte(row, '\n', 0) != kNpos;
    row_tags.Build(row, join_lines, walker, static_cast<size_t>(rs));
    used = 0;
    WalkRow(row, row_tags, false, [&](std::string_view cell_html) {
      if (used == cells.size()) cells.emplace_back();
      TableCell& cell = cells[used++];
      cell.html = cell_html;
      CellTextFrom(cell_html, join_lines, cell.text);
      TrimWhiteSpace(cell.text);
    });
    cells.resize(used);
    visit(row, cells);
    rs = tags.Find(TagIndex::kTrOpen, re);
    if (rs == -1) break;
    re = tags.Find(TagIndex::kTrClose, rs);
  }
}

}  // namespace internal

}  // namespace quarry
