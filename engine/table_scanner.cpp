#include "engine/table_scanner.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

#include "engine/entity_decoder.h"
#include "engine/table_scanner_internal.h"

namespace quarry {

namespace {

constexpr std::string_view kTableOpen = "<table";
constexpr std::string_view kTableClose = "/table>";

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  // Branch-free so that the compiler can do many bytes at a time.
  for (char& c : out) {
    c = static_cast<char>(c + 32 * (static_cast<unsigned char>(c - 'A') < 26));
  }
  return out;
}

// The substring at [pos, pos + count), clipped to the text; never throws.
std::string_view Sub(std::string_view text, int64_t pos, int64_t count) {
  if (pos < 0) pos = 0;
  const auto size = static_cast<int64_t>(text.size());
  if (pos >= size || count <= 0) return {};
  return text.substr(static_cast<size_t>(pos), static_cast<size_t>(std::min(count, size - pos)));
}

// Position of byte `c` at or after `from`, or npos.
size_t FindByte(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit == nullptr ? std::string_view::npos
                        : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

// Position of `pattern` at or after `from`, or npos (memmem skips along
// much faster than a search that stops at every first byte).
size_t FindText(std::string_view text, std::string_view pattern, size_t from) {
  if (from > text.size()) return std::string_view::npos;
  const void* hit = memmem(text.data() + from, text.size() - from, pattern.data(), pattern.size());
  return hit == nullptr ? std::string_view::npos
                        : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

// FindText over one unchanging text, remembering its last answer: asked
// again from a later position before that answer, it is still right.
class CachedFind {
 public:
  CachedFind(std::string_view text, std::string_view pattern) : text_(text), pattern_(pattern) {}

  size_t Next(size_t from) {
    if (!known_ || from < from_ || (hit_ != std::string_view::npos && hit_ < from)) {
      hit_ = FindText(text_, pattern_, from);
      from_ = from;
      known_ = true;
    }
    return hit_;
  }

 private:
  std::string_view text_;
  std::string_view pattern_;
  size_t from_ = 0;
  size_t hit_ = 0;
  bool known_ = false;
};

// Replaces every occurrence, left to right without overlap, in one pass.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  size_t hit = text.find(from);
  if (hit == std::string::npos || from.empty()) return;
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  while (hit != std::string::npos) {
    out.append(text, done, hit - done);
    out.append(to);
    done = hit + from.size();
    hit = text.find(from, done);
  }
  out.append(text, done, std::string::npos);
  text.swap(out);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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
    if (text.size() < lower_.size()) return -1;
    const size_t last = text.size() - lower_.size();
    const char first_lower = lower_[0];
    const char first_upper = upper_[0];
    for (size_t i = static_cast<size_t>(start); i <= last; ++i) {
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

 private:
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
// Tag removal.
//
// The cell's tag removal is defined as a loop over the whole text: take the
// first '<' and the first '>'; replace every copy of that tag text by a
// blank (then every copy of its "</" form), or, when the '>' comes first,
// delete every copy of the text up to it. Done literally, each round costs a
// pass over the cell. Both replacements only ever hit text that ends right
// before a '>', so the text is held here as its pieces between '>'
// ("segments"), and a round finds its hits through an index of the
// segments' endings instead of a scan (a cell of few pieces just looks at
// each of them).

// Fast form for the usual cell, whose '<' and '>' strictly alternate
// ("a<b>c</b>d"): every round then removes one tag kind and the result is
// each "<...>" replaced by a blank. Returns false, changing nothing, for any
// other cell.
bool RemoveAlternatingTags(std::string& text) {
  constexpr size_t kNone = std::string_view::npos;
  const std::string_view view(text);
  // Each '<' must be followed by a '>' before the next '<', and no '>' may
  // come before the first '<' or between a '>' and the next '<'.
  size_t lt = FindByte(view, '<', 0);
  if (FindByte(view, '>', 0) < lt) return false;
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  while (lt != kNone) {
    const size_t gt = FindByte(view, '>', lt + 1);
    if (gt == kNone) return false;
    const size_t next_lt = FindByte(view, '<', lt + 1);
    if (next_lt < gt) return false;
    const size_t next_gt = FindByte(view, '>', gt + 1);
    if (next_gt < next_lt) return false;
    out.append(view.substr(done, lt - done));
    out += ' ';
    done = gt + 1;
    lt = next_lt;
  }
  out.append(view.substr(done));
  text.swap(out);
  return true;
}

// A multimap from hash keys to (segment, version) entries, kept in one
// array with a chain per slot: no allocation per key. Entries that went
// stale are unlinked whenever a walk meets them.
class SegmentIndex {
 public:
  void Insert(size_t key, int id, int version) {
    if (nodes_.size() >= slots_.size()) Grow();
    size_t& head = slots_[Slot(key)];
    nodes_.push_back({key, id, version, head});
    head = nodes_.size() - 1;
  }

  // Calls visit(id) for each entry under `key` that is_live(id, version)
  // accepts, and drops the entries it rejects (whatever their key).
  template <typename IsLive, typename Visit>
  void Find(size_t key, const IsLive& is_live, const Visit& visit) {
    if (slots_.empty()) return;
    size_t* link = &slots_[Slot(key)];
    while (*link != kEnd) {
      Node& node = nodes_[*link];
      if (!is_live(node.id, node.version)) {
        *link = node.next;
        continue;
      }
      if (node.key == key) visit(node.id);
      link = &node.next;
    }
  }

 private:
  static constexpr size_t kEnd = SIZE_MAX;

  struct Node {
    size_t key;
    int id;
    int version;
    size_t next;
  };

  size_t Slot(size_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 7) & (slots_.size() - 1);
  }

  void Grow() {
    slots_.assign(std::max<size_t>(64, slots_.size() * 2), kEnd);
    // Relinked from the oldest node, so each chain keeps newest first.
    for (size_t i = 0; i < nodes_.size(); ++i) {
      size_t& head = slots_[Slot(nodes_[i].key)];
      nodes_[i].next = head;
      head = i;
    }
  }

  std::vector<Node> nodes_;
  std::vector<size_t> slots_;
};

class TagStripper {
 public:
  // Splits the text at its '>'. With more than `index_from` segments, hits
  // are found through indexes, else by looking at every segment.
  TagStripper(std::string_view text, size_t index_from) : index_from_(index_from) {
    size_t begin = 0;
    while (true) {
      const size_t gt = FindByte(text, '>', begin);
      Segment seg;
      seg.text = std::string(text.substr(begin, gt == std::string_view::npos ? gt : gt - begin));
      seg.next = gt == std::string_view::npos ? -1 : static_cast<int>(segs_.size()) + 1;
      seg.first_lt = seg.text.find('<');
      if (seg.first_lt != std::string::npos) {
        seg.last_lt = seg.text.rfind('<');
        seg.lt_count = static_cast<size_t>(std::count(seg.text.begin(), seg.text.end(), '<'));
        lt_total_ += seg.lt_count;
      }
      segs_.push_back(std::move(seg));
      if (gt == std::string_view::npos) break;
      begin = gt + 1;
    }
    last_ = static_cast<int>(segs_.size()) - 1;
    alive_ = segs_.size();
    marks_.assign(segs_.size(), 0);
  }

  std::string Run() {
    // Segment 0 is always the text's beginning: merges keep the left id.
    while (lt_total_ > 0) {
      Segment& head = segs_[0];
      if (head.next == -1) {  // no '>' left: every '<' goes
        head.text.erase(std::remove(head.text.begin(), head.text.end(), '<'), head.text.end());
        break;
      }
      if (head.lt_count > 0) {
        const std::string tag = head.text.substr(head.first_lt);  // "<" + tag without '>'
        Replace(tag, " ");
        Replace("</" + tag.substr(1), " ");
      } else {
        Replace(std::string(head.text), "");
      }
    }
    size_t size = 0;
    for (int id = 0; id != -1; id = segs_[id].next) size += segs_[id].text.size() + 1;
    std::string out;
    out.reserve(size);
    for (int id = 0; id != -1; id = segs_[id].next) {
      if (id != 0) out += '>';
      out += segs_[id].text;
    }
    return out;
  }

 private:
  struct Segment {
    std::string text;   // bytes between two '>' (or the text's ends)
    int next = -1;      // the following live segment; -1 for the last one
    int version = 0;    // bumped whenever the text changes
    bool alive = true;
    size_t lt_count = 0;
    size_t first_lt = std::string::npos;
    size_t last_lt = std::string::npos;
    size_t tail_hash = 0;  // of text[last_lt..], once tails are indexed
  };

  static size_t Hash(std::string_view text) { return std::hash<std::string_view>{}(text); }

  static bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::memcmp(text.data() + text.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
  }

  // A segment that ends with a text holding a '<' has the same tail from
  // its last '<' as that text: segments with a '<' are filed by that tail.
  void IndexTail(int id) {
    by_tail_.Insert(segs_[id].tail_hash, id, segs_[id].version);
  }

  // Texts without '<' (the beginnings cut at a '>' that comes first) are
  // looked up by their last bytes: by the last 8 for longer texts, by all
  // of them for shorter ones. A key length is indexed once some text asks
  // for it; then every segment at least that long is filed under it.
  static constexpr size_t kEndKeyLength = 8;

  static size_t EndKey(std::string_view text, size_t length) {
    return Hash(text.substr(text.size() - length)) ^ (length * 0x9E3779B97F4A7C15ull);
  }

  void IndexEnd(int id, size_t length) {
    const Segment& seg = segs_[id];
    if (seg.text.size() >= length) {
      by_end_.Insert(EndKey(seg.text, length), id, seg.version);
    }
  }

  void IndexEnds(int id) {
    for (size_t length = 1; length <= kEndKeyLength; ++length) {
      if (end_lengths_[length]) IndexEnd(id, length);
    }
  }

  // The live entries under `key` of `index` that end with `ending`.
  void Collect(SegmentIndex& index, size_t key, std::string_view ending, std::vector<int>& hits) {
    const auto is_live = [&](int id, int version) {
      return segs_[id].alive && segs_[id].version == version;
    };
    index.Find(key, is_live, [&](int id) {
      if (segs_[id].next != -1 && EndsWith(segs_[id].text, ending)) hits.push_back(id);
    });
  }

  std::vector<int> FindHits(const std::string& ending, size_t lt_in_ending) {
    std::vector<int> hits;
    if (ending.empty() || alive_ <= index_from_) {
      // An empty ending (the text starts with '>') takes every '>'.
      for (int id = 0; segs_[id].next != -1; id = segs_[id].next) {
        if (EndsWith(segs_[id].text, ending)) hits.push_back(id);
      }
    } else if (lt_in_ending > 0) {
      if (!tails_indexed_) {
        for (int id = 0; id != -1; id = segs_[id].next) {
          Segment& seg = segs_[id];
          if (seg.lt_count == 0) continue;
          seg.tail_hash = Hash(std::string_view(seg.text).substr(seg.last_lt));
          IndexTail(id);
        }
        tails_indexed_ = true;
      }
      Collect(by_tail_, Hash(std::string_view(ending).substr(ending.rfind('<'))), ending, hits);
    } else {
      const size_t length = std::min(ending.size(), kEndKeyLength);
      if (!end_lengths_[length]) {
        for (int id = 0; id != -1; id = segs_[id].next) IndexEnd(id, length);
        end_lengths_[length] = true;
      }
      Collect(by_end_, EndKey(ending, length), ending, hits);
    }
    return hits;
  }

  // Replaces every occurrence of `ending` + ">" by `glue`: the segments
  // that end with `ending` (and are followed by a '>') lose it and are
  // joined to the segment after them. All hits are taken from the text as
  // it was before this replacement, as one left-to-right pass would.
  void Replace(const std::string& ending, std::string_view glue) {
    const auto lt_in_ending = static_cast<size_t>(std::count(ending.begin(), ending.end(), '<'));
    std::vector<int> hits = FindHits(ending, lt_in_ending);
    if (hits.empty()) return;
    // Ids grow along the text, so sorting puts the hits in text order.
    std::sort(hits.begin(), hits.end());
    ++pass_;
    for (int id : hits) marks_[id] = pass_;
    for (int id : hits) {
      if (!segs_[id].alive) continue;  // already joined to a hit before it
      Join(id, ending.size(), lt_in_ending, glue);
    }
    lt_total_ -= hits.size() * lt_in_ending;
  }

  // Cuts the ending from hit `id` and joins the following segments to it:
  // a run of consecutive hits becomes one segment in a single pass.
  void Join(int id, size_t ending_size, size_t lt_in_ending, std::string_view glue) {
    Segment& seg = segs_[id];
    CutEnding(seg, ending_size, lt_in_ending);
    bool last_piece_had_lt = false;
    while (true) {
      const int next_id = seg.next;
      Segment& next = segs_[next_id];
      const bool hit = marks_[next_id] == pass_;
      if (hit) CutEnding(next, ending_size, lt_in_ending);
      seg.text.append(glue);
      const size_t offset = seg.text.size();
      seg.text.append(next.text);
      if (next.lt_count > 0) {
        if (seg.lt_count == 0) seg.first_lt = offset + next.first_lt;
        seg.last_lt = offset + next.last_lt;
        seg.lt_count += next.lt_count;
      }
      last_piece_had_lt = !hit && next.lt_count > 0;
      if (last_piece_had_lt) seg.tail_hash = next.tail_hash;
      seg.next = next.next;
      next.alive = false;
      --alive_;
      std::string().swap(next.text);
      if (next_id == last_) last_ = id;
      if (!hit) break;
    }
    ++seg.version;
    IndexEnds(id);
    if (tails_indexed_ && seg.lt_count > 0) {
      if (!last_piece_had_lt) seg.tail_hash = Hash(std::string_view(seg.text).substr(seg.last_lt));
      IndexTail(id);
    }
  }

  static void CutEnding(Segment& seg, size_t ending_size, size_t lt_in_ending) {
    seg.text.resize(seg.text.size() - ending_size);
    seg.lt_count -= lt_in_ending;
    if (seg.lt_count == 0) {
      seg.first_lt = seg.last_lt = std::string::npos;
    } else if (lt_in_ending > 0) {
      seg.last_lt = seg.text.rfind('<');
    }
  }

  const size_t index_from_;
  std::vector<Segment> segs_;
  SegmentIndex by_tail_;
  SegmentIndex by_end_;
  bool tails_indexed_ = false;
  std::array<bool, kEndKeyLength + 1> end_lengths_{};  // key lengths indexed
  std::vector<unsigned> marks_;  // == pass_ for the hits of the current pass
  unsigned pass_ = 0;
  int last_ = 0;
  size_t alive_ = 0;
  size_t lt_total_ = 0;
};

// Up to this many segments, looking at each costs less than indexing them.
constexpr size_t kIndexFrom = 32;

void RemoveTags(std::string& text) {
  if (FindByte(text, '<', 0) == std::string_view::npos) return;
  if (RemoveAlternatingTags(text)) return;
  text = TagStripper(text, kIndexFrom).Run();
}

// Which of the bytes that CellHtmlToText's steps look for a text holds.
enum : unsigned { kEscapeByte = 1, kE2Byte = 2, kLtByte = 4, kCrByte = 8 };

unsigned ByteKinds(std::string_view text) {
  static const auto kKinds = [] {
    std::array<unsigned char, 256> kinds{};
    kinds['&'] = kinds['%'] = kEscapeByte;
    kinds[0xE2] = kE2Byte;
    kinds['<'] = kLtByte;
    kinds['\r'] = kCrByte;
    return kinds;
  }();
  unsigned found = 0;
  for (char c : text) found |= kKinds[static_cast<unsigned char>(c)];
  return found;
}

// The fixed point of replacing "\r\n " by "\r\n": every run of blanks right
// after a CR LF goes.
void DropBlanksAfterLineBreaks(std::string& text) {
  if (text.find("\r\n ") == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const size_t n = out.size();
    if (c == ' ' && n >= 2 && out[n - 2] == '\r' && out[n - 1] == '\n') continue;
    out += c;
  }
  text.swap(out);
}

// ---------------------------------------------------------------------------
// Rows.

// Every position of each cell-related tag in one row, so that the row's
// searches (which keep looking from each cell for tags that may be far away
// or absent) cost a lookup instead of a scan.
class RowTags {
 public:
  // Indexes `row`, replacing what an earlier call held (the storage is kept
  // for the next row).
  void Build(std::string_view row) {
    for (auto* list : {&th_open, &td_open, &td_close, &th_close, &tr_close}) list->clear();
    const size_t size = row.size();
    // "<td", "<TD", "/td>", "/TD>", ...: the two letters after the first
    // byte decide, in one case or the other.
    const auto letters = [&](size_t i, char second) {
      const char a = row[i + 1], b = row[i + 2];
      return (a == 't' && b == second) || (a == 'T' && b == AsciiUpper(second));
    };
    for (size_t i = FindByte(row, '<', 0); i != std::string_view::npos && i + 2 < size;
         i = FindByte(row, '<', i + 1)) {
      if (letters(i, 'h')) th_open.push_back(static_cast<int64_t>(i));
      if (letters(i, 'd')) td_open.push_back(static_cast<int64_t>(i));
    }
    for (size_t i = FindByte(row, '/', 0); i != std::string_view::npos && i + 3 < size;
         i = FindByte(row, '/', i + 1)) {
      if (row[i + 3] != '>') continue;
      if (letters(i, 'd')) td_close.push_back(static_cast<int64_t>(i));
      if (letters(i, 'h')) th_close.push_back(static_cast<int64_t>(i));
      if (letters(i, 'r')) tr_close.push_back(static_cast<int64_t>(i));
    }
  }

  // First position at or after `from` in `list`, or -1.
  static int64_t Next(const std::vector<int64_t>& list, int64_t from) {
    auto it = std::lower_bound(list.begin(), list.end(), from);
    return it == list.end() ? -1 : *it;
  }

  std::vector<int64_t> th_open, td_open, td_close, th_close, tr_close;
};

// ParseRow, with the cell texts built only when `want_text` is set (the
// widest-row pass needs the count alone, which depends on tag positions
// only). `tags` is scratch space.
std::string ParseRowImpl(std::string_view row, int* cell_count, bool want_text, RowTags& tags) {
  if (cell_count != nullptr) *cell_count = 0;
  tags.Build(row);
  const auto next = RowTags::Next;

  const int64_t th = next(tags.th_open, 0);
  const int64_t td = next(tags.td_open, 0);
  int64_t start;
  bool closes_with_th = false;
  if (th != -1 && th < td) {
    start = th;
    closes_with_th = true;
  } else {
    start = td;
  }
  if (start == -1) start = th;  // a row of "<th" cells; "/td>" still tried first
  if (start == -1) return {};

  int64_t end = next(closes_with_th ? tags.th_close : tags.td_close, start);
  if (end == -1) end = next(tags.th_close, start);
  if (end == -1) return {};
  // An unclosed cell ends right before the next "<td".
  int64_t following = next(tags.td_open, start + 2);
  if (following != -1 && following < end) end = following - 4;
  int64_t row_end = next(tags.tr_close, end);
  if (row_end == -1) row_end = static_cast<int64_t>(row.size()) - 1;

  int count = 0;
  std::string line;
  while (start != -1 && end != -1 && start != end && end < row_end) {
    ++count;
    if (want_text) {
      std::string cell(Sub(row, start, end - start + 4));
      CellHtmlToText(cell);
      TrimWhiteSpace(cell);
      if (cell.find(',') != std::string::npos) {
        line += '"';
        line += cell;
        line += '"';
      } else {
        line += cell;
      }
      line += ',';
    }
    int64_t next_start = next(tags.td_open, end);
    if (next_start == -1) next_start = next(tags.th_open, end);
    // A "<td" inside the current cell's own start tag ("<td<td") puts the
    // cell's end before its start, and the search finds the same cell
    // again: the row ends instead of repeating it forever.
    if (next_start == -1 || next_start <= start) break;
    start = next_start;
    end = next(tags.td_close, start);
    if (end == -1) end = next(tags.th_close, start);
    following = next(tags.td_open, start + 2);
    if (following != -1 && following < end) end = following - 4;
  }
  if (!line.empty() && line.back() == ',') line.pop_back();
  if (cell_count != nullptr) *cell_count = count;
  return line;
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

namespace internal {

std::string RemoveTagsByRounds(std::string_view text, size_t index_from) {
  return TagStripper(text, index_from).Run();
}

}  // namespace internal

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

void CellHtmlToText(std::string& text) {
  // One look at the bytes tells which steps can change anything.
  unsigned found = ByteKinds(text);
  if (found & kEscapeByte) {
    DecodeHtmlEntities(text);
    found = ByteKinds(text);
  }
  if (found & kE2Byte) ReplaceAll(text, "\xE2\x80\x99", "'");
  if (found & kLtByte) {
    if (text.find("</p>") != std::string::npos) {
      ReplaceAll(text, "</p><p>", "\r\n\r\n");
      ReplaceAll(text, "</p>", "\r\n");
      found |= kCrByte;
    }
    RemoveTags(text);
  }
  if (found & kCrByte) DropBlanksAfterLineBreaks(text);
}

std::string ParseRow(std::string_view row, int* cell_count) {
  RowTags tags;
  return ParseRowImpl(row, cell_count, true, tags);
}

bool ParseTable(std::string_view html, std::string* data, ExtractedTable* attributes,
                bool only_full_rows, bool pad_rows, bool skip_first_row) {
  if (attributes != nullptr) ReadTableAttributes(html, *attributes);
  std::string scratch;
  std::string& out = data != nullptr ? *data : scratch;
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
  if (only_full_rows || pad_rows) {
    while (re != -1 && re < end) {
      int count = 0;
      ParseRowImpl(Sub(html, rs, re - rs + 4), &count, false, tags);
      widest = std::max(widest, count);
      rs = kRowOpen.Find(html, re);
      if (rs == -1) break;
      re = kRowClose.Find(html, rs);
    }
    rs = kRowOpen.Find(html, 0);
    re = kRowClose.Find(html, rs);
  }
  if (skip_first_row) {
    rs = kRowOpen.Find(html, re);
    re = rs != -1 ? kRowClose.Find(html, rs) : -1;
  }

  std::string joined;
  while (rs != -1 && re != -1 && re < end) {
    std::string_view row = Sub(html, rs, re - rs + 4);
    if (FindByte(row, '\n', 0) != std::string_view::npos) {
      joined.assign(row);
      ReplaceAll(joined, "\r\n", " ");
      ReplaceAll(joined, "\n", " ");
      row = joined;
    }
    int count = 0;
    std::string line = ParseRowImpl(row, &count, true, tags);
    if (!line.empty()) {
      bool keep = true;
      if (pad_rows && count < widest) {
        line.append(static_cast<size_t>(widest - count), ',');
      } else if (only_full_rows) {
        keep = count == widest;
      }
      if (keep) {
        out += line;
        out += "\r\n";
      }
    }
    rs = kRowOpen.Find(html, re);
    if (rs == -1) break;
    re = kRowClose.Find(html, rs);
  }
  return !out.empty();
}

namespace {

// Whether flattening would move anything: some "<table" comes after
// another and before the first "/table>" that follows that one (the walk
// below, without its moves).
bool HoldsNestedTable(std::string_view twin) {
  CachedFind next_open(twin, kTableOpen), next_close(twin, kTableClose);
  size_t from = 0;
  while (true) {
    const size_t open = next_open.Next(from);
    if (open == std::string::npos) return false;
    const size_t close = next_close.Next(open + kTableOpen.size());
    if (close == std::string::npos) return false;
    const size_t inner = next_open.Next(open + kTableOpen.size());
    if (inner != std::string::npos && inner < close) return true;
    from = close + kTableClose.size();
  }
}

}  // namespace

// Lifting the innermost table out, one at a time, and restarting at the
// outer table is a stack walk: each "/table>" closes the latest "<table"
// still open; a closed table that was not the outermost goes, complete, in
// front of the outermost one (after those moved before it); the outermost
// one keeps its text without them. The one subtlety is that cutting a table
// out joins the bytes on its two sides, which can spell a new "<table" or
// "/table>" across the joint ("<tab" + "le>"); those are looked for at each
// joint, as the repeated searches of the page would see them.
int FlattenNestedTables(std::string& copy, std::string& twin) {
  if (copy.size() != twin.size()) return 0;
  CachedFind next_open(twin, kTableOpen), next_close(twin, kTableClose);
  const size_t size = twin.size();
  int moved = 0;
  size_t done = 0;  // input bytes consumed

  // The outermost table being walked: its text so far (copy and twin) with
  // the moved tables already cut out, the tables moved in front of it, and
  // where its open tables start. The region is rewritten in place once
  // walked: it keeps its length, only its pieces change order.
  std::string cur_copy, cur_twin, moved_copy, moved_twin;
  std::vector<size_t> opens;
  size_t region = 0;
  const auto take = [&](size_t until) {
    cur_copy.append(copy, done, until - done);
    cur_twin.append(twin, done, until - done);
    done = until;
  };
  const auto write_back = [&] {
    copy.replace(region, moved_copy.size(), moved_copy);
    copy.replace(region + moved_copy.size(), cur_copy.size(), cur_copy);
    twin.replace(region, moved_twin.size(), moved_twin);
    twin.replace(region + moved_twin.size(), cur_twin.size(), cur_twin);
    moved_copy.clear();
    moved_twin.clear();
    cur_copy.clear();
    cur_twin.clear();
    opens.clear();
  };
  // A tag spelt across the joint at the end of cur_*; returns its length and
  // sets `at`, or returns 0.
  const auto spelt_at_joint = [&](size_t& at) -> size_t {
    const size_t have = cur_twin.size();
    for (std::string_view tag : {kTableOpen, kTableClose}) {
      for (size_t back = std::min(have, tag.size() - 1); back >= 1; --back) {
        const size_t need = tag.size() - back;
        if (size - done < need) continue;
        if (std::string_view(cur_twin).substr(have - back) == tag.substr(0, back) &&
            std::string_view(twin).substr(done, need) == tag.substr(back)) {
          at = have - back;
          return tag.size();
        }
      }
    }
    return 0;
  };

  while (true) {
    const size_t pos = next_open.Next(done);
    if (pos == std::string::npos) break;
    // The usual table, with no "<table" before its "/table>", stays.
    const size_t first_close = next_close.Next(pos + kTableOpen.size());
    if (first_close == std::string::npos) break;  // no table closes any more
    const size_t first_open = next_open.Next(pos + kTableOpen.size());
    if (first_open == std::string::npos || first_open > first_close) {
      done = first_close + kTableClose.size();
      continue;
    }
    done = region = pos;
    take(pos + kTableOpen.size());
    opens.push_back(0);
    bool finished = false;
    while (!finished) {
      const size_t close = next_close.Next(done);
      if (close == std::string::npos) break;  // the rest stays as it is
      const size_t open = next_open.Next(done);
      if (open != std::string::npos && open < close) {
        take(open + kTableOpen.size());
        opens.push_back(cur_twin.size() - kTableOpen.size());
        continue;
      }
      take(close + kTableClose.size());
      // Close the latest open table; cutting it out may spell another tag
      // across the joint, which is handled as if it came next.
      while (true) {
        if (opens.size() == 1) {
          finished = true;
          break;
        }
        const size_t top = opens.back();
        opens.pop_back();
        moved_copy.append(cur_copy, top, std::string::npos);
        moved_twin.append(cur_twin, top, std::string::npos);
        cur_copy.resize(top);
        cur_twin.resize(top);
        ++moved;
        size_t at = 0;
        const size_t length = spelt_at_joint(at);
        if (length == 0) break;
        take(done + (length - (cur_twin.size() - at)));
        if (length == kTableOpen.size()) {
          opens.push_back(at);
          break;
        }
      }
    }
    write_back();
    if (!finished) break;
  }
  return moved;
}

int SplitTables(std::string_view page, std::vector<std::string>* tables) {
  if (tables == nullptr) return 0;
  tables->clear();
  std::string twin = LowerCopy(page);
  // A page without nested tables is cut as it is.
  std::string copy;
  std::string_view cut_from = page;
  if (HoldsNestedTable(twin)) {
    copy = std::string(page);
    FlattenNestedTables(copy, twin);
    cut_from = copy;
  }
  size_t open = FindText(twin, kTableOpen, 0);
  while (open != std::string::npos) {
    const size_t close = FindText(twin, kTableClose, open);
    if (close == std::string::npos) break;
    tables->emplace_back(cut_from.substr(open, close - open + kTableClose.size()));
    open = FindText(twin, kTableOpen, close);
  }
  return static_cast<int>(tables->size());
}

}  // namespace quarry
