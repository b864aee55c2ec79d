// Cutting a page into its table strings (SplitTables), nested tables lifted
// out first (FlattenNestedTables). The tags are looked for in any mix of
// ASCII case directly in the page, without a lower-cased copy of it.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_text.h"
#include "engine/table_scanner.h"
#include "engine/table_scanner_internal.h"
#include "engine/tag_index.h"
#include "engine/work_meter.h"

namespace quarry {

namespace {

using scan::kNpos;
using scan::MatchesNoCase;

constexpr std::string_view kTableOpen = "<table";
constexpr std::string_view kTableClose = "/table>";

// Answers from an index's list of positions, as NoCaseFinder answers from
// the text: asked from growing positions, each answer costs about one
// step. The text may change before the position last asked from.
class Finder {
 public:
  explicit Finder(const internal::PositionList& at) : at_(at) {}

  size_t Next(size_t from) {
    if (from < from_) {
      next_ = static_cast<size_t>(std::lower_bound(at_.begin(), at_.end(), from) - at_.begin());
    } else {
      while (next_ < at_.size() && at_[next_] < from) ++next_;
    }
    from_ = from;
    return next_ < at_.size() ? at_[next_] : kNpos;
  }

 private:
  const internal::PositionList& at_;
  size_t next_ = 0;
  size_t from_ = 0;
};

using internal::TagIndex;

Finder Opens(const TagIndex& tags) { return Finder(tags.Of(TagIndex::kTableOpenAnyCase)); }
Finder Closes(const TagIndex& tags) { return Finder(tags.Of(TagIndex::kTableCloseAnyCase)); }

// Whether flattening would move anything: some "<table" comes after
// another and before the first "/table>" that follows that one (the walk
// below, without its moves).
bool HoldsNestedTable(const TagIndex& tags) {
  Finder next_open = Opens(tags), next_close = Closes(tags);
  size_t from = 0;
  while (true) {
    const size_t open = next_open.Next(from);
    if (open == kNpos) return false;
    const size_t close = next_close.Next(open + kTableOpen.size());
    if (close == kNpos) return false;
    const size_t inner = next_open.Next(open + kTableOpen.size());
    if (inner != kNpos && inner < close) return true;
    from = close + kTableClose.size();
  }
}

// Lifting the innermost table out, one at a time, and restarting at the
// outer table is a stack walk: each "/table>" closes the latest "<table"
// still open; a closed table that was not the outermost goes, complete, in
// front of the outermost one (after those moved before it); the outermost
// one keeps its text without them. The one subtlety is that cutting a table
// out joins the bytes on its two sides, which can spell a new "<table" or
// "/table>" across the joint ("<tab" + "le>"); those are looked for at each
// joint, as the repeated searches of the page would see them.
//
// `twin`, when given, is edited in step with `copy` (moved pieces are
// moved in both); the tags are always looked for in `copy`, through
// `tags`, its index: the walk rewrites only text that it has passed, and
// asks only about text after it. The ranges it rewrote (keeping their
// length) go to `rewritten` when given.
int Flatten(std::string& copy, std::string* twin, const TagIndex& tags,
            std::vector<std::pair<size_t, size_t>>* rewritten) {
  Finder next_open = Opens(tags), next_close = Closes(tags);
  const size_t size = copy.size();
  int moved = 0;
  size_t done = 0;  // input bytes consumed

  // The outermost table being walked: its text so far with the moved
  // tables already cut out, the tables moved in front of it, and where its
  // open tables start. The region is rewritten in place once walked: it
  // keeps its length, only its pieces change order. The twin's pieces are
  // the same spans, so they are kept as spans of the region.
  std::string cur, moved_text;
  std::vector<size_t> opens;
  struct Span {
    size_t from;
    size_t length;
  };
  std::vector<Span> cur_spans, moved_spans;  // only with a twin
  size_t region = 0;
  const auto take = [&](size_t until) {
    AddEngineWork(until - done);
    cur.append(copy, done, until - done);
    if (twin != nullptr) cur_spans.push_back({done, until - done});
    done = until;
  };
  // Moves the end of `cur` from `top` on to the end of `moved_text`.
  const auto move_tail = [&](size_t top) {
    size_t length = cur.size();  // also the spans' total
    moved_text.append(cur, top, std::string::npos);
    cur.resize(top);
    if (twin == nullptr) return;
    // The spans covering cur[top..] move, the one cut in two is split.
    std::vector<Span> tail;
    while (length > top) {
      Span& last = cur_spans.back();
      const size_t keep = length - last.length >= top ? 0 : top - (length - last.length);
      tail.push_back({last.from + keep, last.length - keep});
      length -= last.length - keep;
      if (keep == 0) {
        cur_spans.pop_back();
      } else {
        last.length = keep;
      }
    }
    moved_spans.insert(moved_spans.end(), tail.rbegin(), tail.rend());
  };
  const auto write_back = [&] {
    if (twin != nullptr) {
      std::string pieces;
      for (const std::vector<Span>* spans : {&moved_spans, &cur_spans}) {
        for (const Span& span : *spans) pieces.append(*twin, span.from, span.length);
      }
      twin->replace(region, pieces.size(), pieces);
      moved_spans.clear();
      cur_spans.clear();
    }
    AddEngineWork(moved_text.size() + cur.size());
    if (rewritten != nullptr) rewritten->emplace_back(region, region + moved_text.size() + cur.size());
    copy.replace(region, moved_text.size(), moved_text);
    copy.replace(region + moved_text.size(), cur.size(), cur);
    moved_text.clear();
    cur.clear();
    opens.clear();
  };
  // A tag spelt across the joint at the end of `cur`; returns its length
  // and sets `at`, or returns 0.
  const auto spelt_at_joint = [&](size_t& at) -> size_t {
    const size_t have = cur.size();
    for (std::string_view tag : {kTableOpen, kTableClose}) {
      for (size_t back = std::min(have, tag.size() - 1); back >= 1; --back) {
        const size_t need = tag.size() - back;
        if (size - done < need) continue;
        if (MatchesNoCase(cur, have - back, tag.substr(0, back)) &&
            MatchesNoCase(copy, done, tag.substr(back))) {
          at = have - back;
          return tag.size();
        }
      }
    }
    return 0;
  };

  while (true) {
    const size_t pos = next_open.Next(done);
    if (pos == kNpos) break;
    // The usual table, with no "<table" before its "/table>", stays.
    const size_t first_close = next_close.Next(pos + kTableOpen.size());
    if (first_close == kNpos) break;  // no table closes any more
    const size_t first_open = next_open.Next(pos + kTableOpen.size());
    if (first_open == kNpos || first_open > first_close) {
      done = first_close + kTableClose.size();
      continue;
    }
    done = region = pos;
    // A region's pieces never outgrow the rest of the page: room for that
    // is taken once, and only what is written of it becomes resident,
    // instead of each string doubling its way up and leaving behind the
    // room it outgrew.
    cur.reserve(size - pos);
    moved_text.reserve(size - pos);
    take(pos + kTableOpen.size());
    opens.push_back(0);
    bool finished = false;
    while (!finished) {
      const size_t close = next_close.Next(done);
      if (close == kNpos) break;  // the rest stays as it is
      const size_t open = next_open.Next(done);
      if (open != kNpos && open < close) {
        take(open + kTableOpen.size());
        opens.push_back(cur.size() - kTableOpen.size());
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
        move_tail(top);
        ++moved;
        size_t at = 0;
        const size_t length = spelt_at_joint(at);
        if (length == 0) break;
        take(done + (length - (cur.size() - at)));
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

}  // namespace

int FlattenNestedTables(std::string& copy, std::string& twin) {
  if (copy.size() != twin.size()) return 0;
  TagIndex tags;
  tags.Build(copy);
  return Flatten(copy, &twin, tags, nullptr);
}

namespace internal {

PageTables::PageTables(std::string_view page) : text_(page) {
  tags_.Build(page);
  // A page without nested tables is cut as it is; one with them is
  // flattened into a copy, whose index differs only where it was
  // rewritten.
  if (HoldsNestedTable(tags_)) {
    auto copy = std::make_shared<std::string>(page);
    std::vector<std::pair<size_t, size_t>> rewritten;
    Flatten(*copy, nullptr, tags_, &rewritten);
    text_ = *copy;
    copy_ = std::move(copy);
    tags_.Reindex(text_, rewritten);
  }
  // Each table runs from a "<table" through the first "/table>" after it;
  // the next one starts after that.
  Finder next_open = Opens(tags_), next_close = Closes(tags_);
  for (size_t open = next_open.Next(0); open != kNpos; open = next_open.Next(open)) {
    const size_t close = next_close.Next(open);
    if (close == kNpos) break;
    tables_.push_back({static_cast<uint32_t>(open),
                       static_cast<uint32_t>(close + kTableClose.size() - open)});
    tables_length_ += tables_.back().length;
    open = close;
  }
  // The tables are cut: what remains is kept while every table is made
  // from it, beside the growing records, so none of it stays unused.
  tags_.Release(TagIndex::kTableOpenAnyCase);
  tags_.Release(TagIndex::kTableCloseAnyCase);
  tags_.ShrinkToFit();
  if (tables_.capacity() > tables_.size() + tables_.size() / 8) tables_.shrink_to_fit();
}

}  // namespace internal

int SplitTables(std::string_view page, std::vector<std::string>* tables) {
  if (tables == nullptr) return 0;
  tables->clear();
  internal::PageTables(page).ForEach([&](std::string_view table, size_t) {
    tables->emplace_back(table);
    return true;
  });
  return static_cast<int>(tables->size());
}

}  // namespace quarry
