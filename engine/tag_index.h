// Where the tags that the scanner cuts at stand in a text, found in one
// pass over it.
//
// A page is cut into tables at "<table" and "/table>" in any mix of case;
// a table into rows and cells at "<tr", "/tr>", "/table>", "<td", "<th",
// "/td>", "/th>" written all in lower or all in upper case (the way
// FindTagNoCase finds them). Each kind's positions are kept in order, so
// that a search for the next tag costs a lookup instead of a scan. Every
// one of these tags is '<' or '/' followed by 't' or 'T', which the pass
// looks for sixteen bytes at a time.
//
// Memory: four bytes per tag found (positions are 32-bit: a text longer
// than kMaxText is refused, see Build). Not thread-safe; an index is
// rebuilt in place (keeping its storage) for the next text.

#ifndef QUARRY_ENGINE_TAG_INDEX_H_
#define QUARRY_ENGINE_TAG_INDEX_H_

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/mapped_allocator.h"

namespace quarry::internal {

class TagIndex {
 public:
  enum Kind {
    kTableOpenAnyCase,   // "<table", any mix of case
    kTableCloseAnyCase,  // "/table>", any mix of case
    kTableClose,         // "/table>" or "/TABLE>"
    kTrOpen,
    kTrClose,
    kTdOpen,
    kThOpen,
    kTdClose,
    kThClose,
    kKinds
  };

  // The longest text an index takes: its positions are 32-bit. Pages are
  // capped far below this before they are read.
  static constexpr size_t kMaxText = UINT32_MAX;

  // Indexes `text`, replacing what an earlier call held. A text longer
  // than kMaxText is refused: the index is left empty (as for a text
  // without tags) and false returned.
  bool Build(std::string_view text);

  // Indexes again the parts of `text` whose bytes changed since it was
  // indexed, without changing its length: `changed` holds their [from, to)
  // ranges, in order and apart. Linear in the index and the ranges.
  void Reindex(std::string_view text, const std::vector<std::pair<size_t, size_t>>& changed);

  const PositionList& Of(Kind kind) const { return at_[kind]; }

  // Drops the positions of `kind`, which no later lookup needs, and gives
  // their memory back.
  void Release(Kind kind) {
    PositionList().swap(at_[kind]);
    NoteQuarterWay();
  }

  // Gives back the room the lists grew into beyond an eighth of their size
  // (each such list is copied once): for an index kept while much else is
  // made.
  void ShrinkToFit();

  // Forgets the positions before `before`, which no lookup will ask for
  // again (tables are made in text order), once a quarter or more of a
  // kind's list lies before it: the rest is moved down and the room given
  // back, so that what a page's tags hold shrinks while its tables are
  // made, at a copy of each entry at most three times on average. (Half
  // would copy less, but a page whose second half of tags all sit in its
  // last tables would keep its whole index to the end.) Returns true when
  // positions were dropped: every walker must then Restart().
  bool ForgetBefore(size_t before);

  // Looks positions up in an index, remembering where each kind's last
  // answer was: asked from growing positions (rows and tables are walked
  // in order), an answer costs about the entries it passes.
  class Walker {
   public:
    explicit Walker(const TagIndex& index) : index_(index) {}

    // The first tag of `kind` at or after `from`, or npos.
    size_t Next(Kind kind, size_t from);

    // The tags of `kind` in [from, to).
    std::pair<const uint32_t*, const uint32_t*> Range(Kind kind, size_t from, size_t to);

    const TagIndex& index() const { return index_; }

    // Forgets where the last answers were, after the index changed.
    void Restart() { std::fill(std::begin(next_), std::end(next_), size_t{0}); }

   private:
    // The first entry of `kind` not below `from`.
    size_t Seek(Kind kind, size_t from);

    const TagIndex& index_;
    size_t next_[kKinds] = {};
  };

 private:
  // Adds the tags that start in [from, to) of `text` to `into`.
  static void Scan(std::string_view text, size_t from, size_t to, PositionList (&into)[kKinds]);

  // Sets forget_from_ anew.
  void NoteQuarterWay();

  PositionList at_[kKinds];
  // No list long enough to be worth forgetting from has a quarter of its
  // entries before this position.
  size_t forget_from_ = SIZE_MAX;
};

}  // namespace quarry::internal

#endif  // QUARRY_ENGINE_TAG_INDEX_H_
