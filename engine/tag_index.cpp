#include "engine/tag_index.h"

#include <algorithm>
#include <string_view>

#include "engine/byte_search.h"
#include "engine/scan_text.h"
#include "engine/work_meter.h"

namespace quarry::internal {

namespace {

// The longest tag less one: a tag that starts this far before a changed
// range may read into it.
constexpr size_t kReach = 6;

// Shorter lists are not worth moving down to forget their start.
constexpr size_t kForgetFrom = 4096;

}  // namespace

namespace {

// The third byte of "<tr", "<td", "<th" and their closing forms: 1, 2, 3
// for r, d, h, plus 4 in upper case.
struct ThirdBytes {
  unsigned char code[256] = {};
  ThirdBytes() {
    const auto set = [this](char byte, unsigned char value) {
      code[static_cast<unsigned char>(byte)] = value;
    };
    set('r', 1);
    set('d', 2);
    set('h', 3);
    set('R', 1 | 4);
    set('D', 2 | 4);
    set('H', 3 | 4);
  }
};

const ThirdBytes kThird;

}  // namespace

void TagIndex::Scan(std::string_view text, size_t from, size_t to,
                    PositionList (&into)[kKinds]) {
  const char* const data = text.data();
  const size_t size = text.size();
  // By opening or closing, then by the third byte's code & 3 (0: none).
  static constexpr int kRowCell[2][4] = {{kKinds, kTrOpen, kTdOpen, kThOpen},
                                         {kKinds, kTrClose, kTdClose, kThClose}};
  // The candidates' first two bytes lie in [from, to + 1).
  const std::string_view part = text.substr(from, std::min(to + 1, size) - from);
  scan::ForEachByteOfBeforeLetter(part, '<', '/', 't', [&](size_t offset) {
    const size_t i = from + offset;
    const bool closing = data[i] == '/';
    const unsigned upper = data[i + 1] == 'T' ? 4 : 0;
    const unsigned code = i + 2 < size ? kThird.code[static_cast<unsigned char>(data[i + 2])] : 0;
    // A row or cell tag: its third byte in the 't''s case, and a closing
    // one ends with '>'. Decided without branching on which it is.
    const bool shaped = (code & 4) == upper && (!closing || (i + 3 < size && data[i + 3] == '>'));
    const int kind = kRowCell[closing][shaped ? code & 3 : 0];
    if (kind != kKinds) {
      into[kind].push_back(static_cast<uint32_t>(i));
    } else if (i + 2 < size && (data[i + 2] | 0x20) == 'a') {
      if (!closing) {
        if (scan::MatchesNoCase(text, i, "<table")) into[kTableOpenAnyCase].push_back(static_cast<uint32_t>(i));
      } else if (scan::MatchesNoCase(text, i, "/table>")) {
        into[kTableCloseAnyCase].push_back(static_cast<uint32_t>(i));
        const auto same_case = [&](size_t k, char lower) {
          return data[i + k] == (upper ? scan::AsciiUpper(lower) : lower);
        };
        if (same_case(2, 'a') && same_case(3, 'b') && same_case(4, 'l') && same_case(5, 'e')) {
          into[kTableClose].push_back(static_cast<uint32_t>(i));
        }
      }
    }
  });
}

bool TagIndex::Build(std::string_view text) {
  for (PositionList& at : at_) at.clear();
  if (text.size() > kMaxText) return false;
  if (!text.empty()) Scan(text, 0, text.size(), at_);
  NoteQuarterWay();
  return true;
}

void TagIndex::NoteQuarterWay() {
  forget_from_ = SIZE_MAX;
  for (const PositionList& at : at_) {
    if (at.size() >= kForgetFrom) forget_from_ = std::min<size_t>(forget_from_, at[at.size() / 4]);
  }
}

bool TagIndex::ForgetBefore(size_t before) {
  if (before <= forget_from_) return false;
  for (PositionList& at : at_) {
    if (at.size() < kForgetFrom) continue;
    const auto passed = std::lower_bound(at.begin(), at.end(), before);
    const auto count = static_cast<size_t>(passed - at.begin());
    if (count * 4 < at.size()) continue;
    AddEngineWork(at.size());
    PositionList(passed, at.end()).swap(at);
  }
  NoteQuarterWay();
  return true;
}

void TagIndex::ShrinkToFit() {
  for (PositionList& at : at_) {
    if (at.capacity() > at.size() + at.size() / 8) at.shrink_to_fit();
  }
}

void TagIndex::Reindex(std::string_view text,
                       const std::vector<std::pair<size_t, size_t>>& changed) {
  if (changed.empty()) return;
  // The ranges whose tags may differ, widened by a tag's reach and merged.
  std::vector<std::pair<size_t, size_t>> ranges;
  size_t rewritten = 0;
  for (const auto& [from, to] : changed) {
    const size_t start = from > kReach ? from - kReach : 0;
    if (!ranges.empty() && start <= ranges.back().second) {
      rewritten -= ranges.back().second - ranges.back().first;
      ranges.back().second = std::max(ranges.back().second, to);
    } else {
      ranges.emplace_back(start, to);
    }
    rewritten += ranges.back().second - ranges.back().first;
  }
  if (rewritten >= text.size() / 2) {
    // Mostly rewritten (a page that is one nest of tables): indexed anew
    // in the lists' own room, rather than beside a second index and a
    // third merged from both.
    Build(text);
  } else {
    PositionList fresh[kKinds];
    for (const auto& [from, to] : ranges) Scan(text, from, to, fresh);
    // Each kind: the old positions outside the ranges and the fresh ones
    // inside, in order.
    for (int kind = 0; kind < kKinds; ++kind) {
      PositionList merged;
      merged.reserve(at_[kind].size() + fresh[kind].size());
      auto old = at_[kind].begin();
      auto add = fresh[kind].begin();
      for (const auto& [from, to] : ranges) {
        while (old != at_[kind].end() && *old < from) merged.push_back(*old++);
        while (old != at_[kind].end() && *old < to) ++old;
        while (add != fresh[kind].end() && *add < to) merged.push_back(*add++);
      }
      merged.insert(merged.end(), old, at_[kind].end());
      at_[kind].swap(merged);
    }
    NoteQuarterWay();
  }
  size_t work = 0;
  for (const PositionList& at : at_) work += at.size();
  AddEngineWork(work);
}

size_t TagIndex::Walker::Seek(Kind kind, size_t from) {
  const PositionList& at = index_.at_[kind];
  size_t& next = next_[kind];
  if (next > at.size() || (next > 0 && at[next - 1] >= from)) {
    // Asked from further back: search.
    next = static_cast<size_t>(std::lower_bound(at.begin(), at.end(), from) - at.begin());
  } else {
    const size_t start = next;
    while (next < at.size() && at[next] < from) ++next;
    AddEngineWork(next - start + 1);
  }
  return next;
}

size_t TagIndex::Walker::Next(Kind kind, size_t from) {
  const PositionList& at = index_.at_[kind];
  const size_t i = Seek(kind, from);
  return i < at.size() ? at[i] : std::string_view::npos;
}

std::pair<const uint32_t*, const uint32_t*> TagIndex::Walker::Range(Kind kind, size_t from, size_t to) {
  const PositionList& at = index_.at_[kind];
  const uint32_t* const first = at.data() + Seek(kind, from);
  const uint32_t* last = first;
  while (last != at.data() + at.size() && *last < to) ++last;
  AddEngineWork(static_cast<uint64_t>(last - first) + 1);
  return {first, last};
}

}  // namespace quarry::internal
