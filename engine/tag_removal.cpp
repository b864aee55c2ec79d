#include "engine/tag_removal.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

#include "engine/work_meter.h"

namespace quarry {

namespace {

constexpr uint32_t kNone = UINT32_MAX;
// In a fragment's length word: a blank (the glue of a replacement) comes
// before the fragment's bytes. In a cursor's offset: the cursor stands in
// front of that blank.
constexpr uint32_t kGlueBit = 1u << 31;
constexpr size_t kNoSlot = SIZE_MAX;

// Up to this many segments, looking at each costs less than indexing them.
constexpr size_t kIndexFrom = 32;
// A query compares up to this many segments waiting at a childless node
// rather than splitting the node.
constexpr size_t kFewOpen = 4;

// Chunk labels: a polynomial hash mod 2^61 - 1 with a base drawn once per
// process, so that no page can aim for collisions; the top bit keeps them
// apart from byte labels.
class ChunkHasher {
 public:
  ChunkHasher() : base_(DrawBase()) {}

  uint64_t Add(uint64_t hash, unsigned char byte) const {
    const unsigned __int128 product = static_cast<unsigned __int128>(hash) * base_;
    uint64_t value = static_cast<uint64_t>(product & kMod) + static_cast<uint64_t>(product >> 61);
    value += byte + 1u;
    while (value >= kMod) value -= kMod;
    return value;
  }

  static uint64_t Label(uint64_t hash, uint64_t length) {
    return (hash ^ (length * 0x9E3779B97F4A7C15ull)) | (1ull << 63);
  }

 private:
  static constexpr uint64_t kMod = (1ull << 61) - 1;

  static uint64_t DrawBase() {
    uint64_t seed = 0x243F6A8885A308D3ull;
    try {
      std::random_device device;
      seed ^= (static_cast<uint64_t>(device()) << 32) ^ device();
    } catch (...) {
      // A fixed base still gives exact results; only crafted collisions
      // could then cost time.
    }
    return 1000003u + seed % (kMod - 2000006u);
  }

  uint64_t base_;
};

const ChunkHasher& Hasher() {
  static const ChunkHasher hasher;
  return hasher;
}

// Positions in segments by segment id: the cursors that no segment's
// filing implies (see TagRemover::CursorOf). Open addressing, at most 70%
// full, growing by doubling; 12 bytes an entry. Rarely used, so kept out
// of line: inlined, it would weigh on every cursor that does not need it.
class CursorTable {
 public:
  struct Entry {
    uint32_t seg;  // kNone: empty
    uint32_t frag;
    uint32_t off;
  };

  explicit CursorTable(uint64_t& work) : work_(work) {}

  // The entry of `seg`, which must be there.
  [[gnu::noinline]] const Entry& Get(uint32_t seg) const {
    size_t i = Home(seg);
    while (slots_[i].seg != seg) {
      ++work_;
      i = Next(i);
    }
    return slots_[i];
  }

  [[gnu::noinline]] void Put(uint32_t seg, uint32_t frag, uint32_t off) {
    if (10 * (count_ + 1) > 7 * slots_.size()) Grow();
    size_t i = Home(seg);
    while (slots_[i].seg != kNone && slots_[i].seg != seg) {
      ++work_;
      i = Next(i);
    }
    if (slots_[i].seg == kNone) ++count_;
    slots_[i] = {seg, frag, off};
  }

  // Removes the entry of `seg`, which must be there.
  [[gnu::noinline]] void Erase(uint32_t seg) {
    size_t i = Home(seg);
    while (slots_[i].seg != seg) {
      ++work_;
      i = Next(i);
    }
    --count_;
    // Later entries of the probe run move up into the gap unless their
    // home lies after it.
    for (size_t j = Next(i); slots_[j].seg != kNone; j = Next(j)) {
      ++work_;
      const size_t home = Home(slots_[j].seg);
      const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (stays) continue;
      slots_[i] = slots_[j];
      i = j;
    }
    slots_[i].seg = kNone;
  }

 private:
  size_t Home(uint32_t seg) const {
    const auto hash = static_cast<uint32_t>((seg * 0x9E3779B97F4A7C15ull) >> 32);
    return static_cast<size_t>((static_cast<uint64_t>(hash) * slots_.size()) >> 32);
  }
  size_t Next(size_t i) const { return i + 1 == slots_.size() ? 0 : i + 1; }

  void Grow() {
    std::vector<Entry> old = std::move(slots_);
    slots_.assign(std::max<size_t>(16, 2 * old.size()), Entry{kNone, 0, 0});
    work_ += old.size();
    for (const Entry& entry : old) {
      if (entry.seg == kNone) continue;
      size_t i = Home(entry.seg);
      while (slots_[i].seg != kNone) i = Next(i);
      slots_[i] = entry;
    }
  }

  std::vector<Entry> slots_;
  size_t count_ = 0;
  uint64_t& work_;
};

// The text is held as its fragments: fragment f is a prefix of the f-th
// piece between '>' of the original text (cuts only ever shorten a segment
// from its end). A live segment is a run of consecutive fragments [s, last]
// joined by optional blanks; its first fragment s names it. Fragments that
// a cut emptied are skipped through back links.
class TagRemover {
 public:
  TagRemover(std::string_view text, size_t index_from) : text_(text) {
    // Counted first, so that the arrays take exactly their room: grown by
    // doubling, they would take up to twice that, for the whole run.
    const size_t count = static_cast<size_t>(std::count(text.begin(), text.end(), '>')) + 1;
    work_ += text.size();
    start_.reserve(count);
    len_.reserve(count);
    link_.reserve(count);
    lt_.reserve(count);
    size_t begin = 0;
    while (true) {
      const void* hit = begin < text.size()
                            ? std::memchr(text.data() + begin, '>', text.size() - begin)
                            : nullptr;
      const size_t end =
          hit == nullptr ? text.size() : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
      const auto lt = static_cast<uint32_t>(
          std::count(text.begin() + static_cast<ptrdiff_t>(begin), text.begin() + static_cast<ptrdiff_t>(end), '<'));
      start_.push_back(static_cast<uint32_t>(begin));
      len_.push_back(0);
      SetLen(static_cast<uint32_t>(len_.size() - 1), static_cast<uint32_t>(end - begin));
      link_.push_back(static_cast<uint32_t>(start_.size() - 1));
      lt_.push_back(0);
      SetLt(static_cast<uint32_t>(lt_.size() - 1), lt);
      lt_total_ += lt;
      if (hit == nullptr) break;
      begin = end + 1;
    }
    slash_total_ = static_cast<uint64_t>(std::count(text.begin(), text.end(), '/'));
    work_ += 2 * text.size();
    last_ = static_cast<uint32_t>(start_.size() - 1);
    marks_.assign(count / 64 + 1, 0);
    indexed_ = count > index_from;
    if (indexed_) {
      node_.assign(count, kNone);
      seg_flags_.assign(count / 16 + 1, 0);
      prev_.assign(count, kNone);
      next_.assign(count, kNone);
      NewNode(kNone, 0, 0);  // the root: no byte matched yet
      for (uint32_t s = 0; s < last_; ++s) Park(s, 0);
    }
  }

  ~TagRemover() { AddEngineWork(work_); }

  // Runs the rounds and writes the result to `out`, which may be the very
  // string the text is read from: the result is assembled front to back
  // and never runs ahead of the bytes it still has to read.
  void Run(std::string& out) {
    std::string ending;
    while (lt_total_ > 0) {
      if (link_[0] == last_) {  // no '>' left: every '<' goes
        Assemble(out);
        out.erase(std::remove(out.begin(), out.end(), '<'), out.end());
        return;
      }
      if (indexed_) LookAhead();
      if (Lt(0) > 0) {
        ending = HeadFromFirstLt();  // "<" + tag text without its '>'
        Replace(ending, true, true);
        ending.insert(1, 1, '/');
        Replace(ending, true, false);
      } else {
        ending = Content(0);
        Replace(ending, false, true);
      }
    }
    Assemble(out);
  }

 private:
  // ---- Fragments and segments ---------------------------------------------

  // A head's link is its last fragment, any other fragment's the one
  // before it.
  bool IsHead(uint32_t f) const { return link_[f] >= f; }

  // A fragment's length takes 15 bits beside its glue bit; the few longer
  // fragments (one per 32 KiB of the cell at most) keep theirs aside.
  static constexpr uint16_t kLenGlue = 0x8000, kLenAside = 0x7FFF;
  uint32_t Len(uint32_t f) const {
    const uint32_t length = len_[f] & kLenAside;
    return length != kLenAside ? length : len_aside_.at(f);
  }
  bool Glue(uint32_t f) const { return (len_[f] & kLenGlue) != 0; }
  void SetLen(uint32_t f, uint32_t length) {
    const uint16_t glue = len_[f] & kLenGlue;
    if (length >= kLenAside) {
      len_[f] = glue | kLenAside;
      len_aside_[f] = length;
      return;
    }
    if ((len_[f] & kLenAside) == kLenAside) len_aside_.erase(f);
    len_[f] = static_cast<uint16_t>(glue | length);
  }
  void SetGlue(uint32_t f, bool glue) {
    len_[f] = static_cast<uint16_t>((len_[f] & kLenAside) | (glue ? kLenGlue : 0));
  }

  // A head's count of '<' bytes takes 16 bits; the few segments that hold
  // more (one per 65535 '<' of the cell at most) keep theirs aside.
  static constexpr uint16_t kLtAside = UINT16_MAX;
  uint32_t Lt(uint32_t s) const { return lt_[s] != kLtAside ? lt_[s] : lt_aside_.at(s); }
  void SetLt(uint32_t s, uint32_t count) {
    if (count >= kLtAside) {
      lt_[s] = kLtAside;
      lt_aside_[s] = count;
      return;
    }
    if (lt_[s] == kLtAside) lt_aside_.erase(s);
    lt_[s] = static_cast<uint16_t>(count);
  }

  // A position inside segment `seg`, read backwards.
  struct Cursor {
    uint32_t frag;
    uint32_t off;  // bytes of the fragment before the cursor, or kGlueBit
  };

  Cursor End(uint32_t seg) const { return {link_[seg], Len(link_[seg])}; }

  // Steps back over one byte of segment `seg`; false at its start.
  bool Prev(uint32_t seg, Cursor& c, unsigned char& byte) {
    ++work_;
    while (true) {
      if (c.off != kGlueBit) {
        if (c.off > 0) {
          --c.off;
          byte = static_cast<unsigned char>(text_[start_[c.frag] + c.off]);
          return true;
        }
        if (c.frag != seg && Glue(c.frag)) {
          c.off = kGlueBit;
          byte = ' ';
          return true;
        }
      }
      if (c.frag == seg) return false;
      c.frag = link_[c.frag];
      c.off = Len(c.frag);
    }
  }

  bool AtStart(uint32_t seg, Cursor c) {
    unsigned char byte;
    return !Prev(seg, c, byte);
  }

  std::string Content(uint32_t seg) {
    std::string out;
    Cursor c = End(seg);
    unsigned char byte;
    while (Prev(seg, c, byte)) out += static_cast<char>(byte);
    std::reverse(out.begin(), out.end());
    return out;
  }

  // The head segment from its first '<' on.
  std::string HeadFromFirstLt() {
    std::string out;
    Cursor c = End(0);
    unsigned char byte;
    uint32_t lts = Lt(0);
    while (lts > 0 && Prev(0, c, byte)) {
      out += static_cast<char>(byte);
      if (byte == '<') --lts;
    }
    std::reverse(out.begin(), out.end());
    return out;
  }

  bool EndsWith(uint32_t seg, std::string_view ending) {
    // Usually the segment's last fragment alone is long enough: one compare.
    const uint32_t last = link_[seg];
    if (Len(last) >= ending.size()) {
      work_ += ending.size();
      return std::memcmp(text_.data() + start_[last] + Len(last) - ending.size(), ending.data(),
                         ending.size()) == 0;
    }
    Cursor c = End(seg);
    unsigned char byte;
    for (size_t i = ending.size(); i > 0; --i) {
      if (!Prev(seg, c, byte) || byte != static_cast<unsigned char>(ending[i - 1])) return false;
    }
    return true;
  }

  // Removes the last `count` bytes of segment `seg` (they are known to be
  // there) and returns the fragment that now ends it: its head, or one that
  // still holds a byte or a blank.
  uint32_t Cut(uint32_t seg, size_t count) {
    work_ += count;
    uint32_t f = link_[seg];
    while (true) {
      const uint32_t length = Len(f);
      if (count < length) {
        SetLen(f, length - static_cast<uint32_t>(count));
        return f;
      }
      count -= length;
      SetLen(f, 0);
      if (f == seg) return f;
      if (count == 0) return Glue(f) ? f : link_[f];
      if (Glue(f)) {
        SetGlue(f, false);
        if (--count == 0) return link_[f];
      }
      f = link_[f];
    }
  }

  // ---- Finding a round's hits ---------------------------------------------

  // Calls visit(s) for every live segment except the last (which no '>'
  // follows, so it cannot be hit).
  template <typename Visit>
  void ForEachSegment(const Visit& visit) {
    for (uint32_t s = 0; link_[s] != last_; s = link_[s] + 1) {
      ++work_;
      visit(s);
    }
  }

  void Replace(const std::string& ending, bool glue_is_blank, bool head_ends_with_it) {
    const auto lt_in_ending = static_cast<uint32_t>(std::count(ending.begin(), ending.end(), '<'));
    // A round's closing form hits nothing once the text holds fewer '/'
    // than it: a cell of tags without closing ones is spared its lookups.
    const auto slashes_in_ending = static_cast<uint64_t>(std::count(ending.begin(), ending.end(), '/'));
    work_ += ending.size();
    if (slashes_in_ending > slash_total_) return;
    std::vector<uint32_t>& hits = hits_;
    hits.clear();
    if (indexed_) {
      Query(ending, head_ends_with_it, hits);
      // Hash matches are confirmed; a segment that fails stays filed.
      hits.erase(std::remove_if(hits.begin(), hits.end(),
                                [&](uint32_t s) { return !EndsWith(s, ending); }),
                 hits.end());
    } else {
      ForEachSegment([&](uint32_t s) {
        if (EndsWith(s, ending)) hits.push_back(s);
      });
    }
    if (!hits.empty()) {
      // Ids grow along the text: sorted, the hits come in text order, as
      // one left-to-right pass takes them.
      std::sort(hits.begin(), hits.end());
      for (uint32_t s : hits) {
        marks_[s / 64] |= uint64_t{1} << (s % 64);
        if (indexed_) UnparkHit(s);
      }
      for (uint32_t s : hits) {
        if (IsHead(s)) JoinRun(s, ending.size(), lt_in_ending, glue_is_blank);
      }
      for (uint32_t s : hits) marks_[s / 64] = 0;
      lt_total_ -= static_cast<uint64_t>(hits.size()) * lt_in_ending;
      slash_total_ -= hits.size() * slashes_in_ending;
    }
    if (indexed_) Prune();
  }

  // Cuts the ending from hit `s` and joins the segments after it: a run of
  // consecutive hits becomes one segment. The joined segment's ending is
  // that of the run's last segment, which is not a hit: it takes that
  // segment's place in the index.
  void JoinRun(uint32_t s, size_t ending_size, uint32_t lt_in_ending, bool glue_is_blank) {
    uint32_t end_of_a = Cut(s, ending_size);
    SetLt(s, Lt(s) - lt_in_ending);
    while (true) {
      ++work_;
      const uint32_t n = link_[s] + 1;
      const bool hit = (marks_[n / 64] >> (n % 64)) & 1;
      uint32_t end_of_n = kNone;
      // The filing that the joined segment takes over from `n`.
      uint32_t n_node = kNone;
      Cursor cursor{};
      size_t relone_slot = kNoSlot;
      if (hit) {
        end_of_n = Cut(n, ending_size);
        SetLt(n, Lt(n) - lt_in_ending);
      } else if (indexed_ && node_[n] != kNone) {
        n_node = node_[n];
        cursor = CursorOf(n);
        ForgetCursor(n);
        if (IsLone(n)) {
          // A lone segment joined into for the first time stays lone, in
          // its very slot (its step, and so its key, are the same); the
          // second time it gets its own node (see the lone segments below).
          const StepRead read = TakeStep(n, n_node, cursor);
          const Cursor past = read.past;
          const uint32_t step = read.step;
          const uint64_t label = read.label;
          const size_t slot = LoneSlotOf(n, LoneHash(n_node, label));
          if (Flag(n, kRejoined)) {
            DropLoneAt(n, slot);
            n_node = Child(n_node, label, true, step);
            cursor = past;
          } else {
            Unlist(n);
            SetLone(n, false);
            LoneAt(slot).seg = s;
            relone_slot = slot;
          }
        } else {
          Unlist(n);
        }
      }
      const uint32_t n_last = link_[n];
      link_[n] = end_of_a;
      SetGlue(n, glue_is_blank);
      link_[s] = n_last;
      SetLt(s, Lt(s) + Lt(n));
      SetLt(n, 0);  // no longer a head
      if (hit) {
        end_of_a = end_of_n;
        continue;
      }
      if (n_node != kNone) {
        SetCursor(s, cursor);
        if (relone_slot != kNoSlot) {
          SetLone(s, true);
          SetFlag(s, kRejoined, true);
        }
        Park(s, n_node);
      }
      return;
    }
  }

  // ---- The index ----------------------------------------------------------
  //
  // Every live segment but the last is filed at a trie node whose path
  // spells its last bytes: first byte by byte back to its last '<' (that
  // '<' included), then one step per piece from one '<' back to the one
  // before. Its cursor marks how far it has been read. Segments that can go
  // deeper wait in the node's "open" list, the others (read to their start,
  // or to their first '<' in the piece steps) in its "done" list.

  // A trie node. Nodes live in fixed blocks, so that the trie grows
  // without copying and without unused room beyond its last block. Its
  // two flags live beside it in the block: in the node they would pad it
  // from 44 bytes to 48, and a hostile cell makes about one node per '>'.
  // Its label is two words, so that nothing pads it; the two depths that
  // reading a step below it needs come first, together.
  struct Node {
    uint32_t lt_depth;  // '<' bytes on the node's path
    uint32_t bytes;     // the path's length
    uint32_t label_low, label_high;  // of the step from its parent
    uint32_t parent;
    uint32_t bucket_next;  // the next node in its bucket of the child index
    uint32_t child_count;  // live children in its list, and lone segments
    uint32_t open_head;
    uint32_t done_head;
    uint32_t first_child;
    uint32_t next_sibling;

    uint64_t Label() const { return label_low | (uint64_t{label_high} << 32); }
  };
  static_assert(sizeof(Node) == 44);
  static constexpr uint32_t kBlockBits = 12;
  static constexpr uint32_t kBlockMask = (1u << kBlockBits) - 1;
  // Pruned nodes are dead until a push brings them back; a linked node is
  // in its parent's child list.
  static constexpr uint8_t kAlive = 1, kLinked = 2;
  struct NodeBlock {
    Node nodes[size_t{1} << kBlockBits];
    uint8_t flags[size_t{1} << kBlockBits];
  };

  Node& N(uint32_t id) { return blocks_[id >> kBlockBits]->nodes[id & kBlockMask]; }
  uint32_t Bytes(uint32_t id) const { return blocks_[id >> kBlockBits]->nodes[id & kBlockMask].bytes; }
  bool Is(uint32_t id, uint8_t flag) const {
    return (blocks_[id >> kBlockBits]->flags[id & kBlockMask] & flag) != 0;
  }
  void Set(uint32_t id, uint8_t flag, bool on) {
    uint8_t& flags = blocks_[id >> kBlockBits]->flags[id & kBlockMask];
    flags = on ? (flags | flag) : (flags & ~flag);
  }

  uint32_t NewNode(uint32_t parent, uint32_t lt_depth, uint32_t bytes) {
    const uint32_t id = node_count_++;
    if ((id >> kBlockBits) == blocks_.size()) blocks_.push_back(std::make_unique<NodeBlock>());
    N(id) = Node{lt_depth, bytes, 0, 0, parent, kNone, 0, kNone, kNone, kNone, kNone};
    blocks_[id >> kBlockBits]->flags[id & kBlockMask] = kAlive;
    return id;
  }

  // The child index: (parent, label) -> node, chained through the nodes
  // themselves, so that growing it only rebuilds its bucket heads. A small
  // cache in front of it keeps the paths near the root, looked up again
  // and again, out of its cache misses.
  static size_t Bucket(uint32_t parent, uint64_t label) {
    const uint64_t key = label ^ (static_cast<uint64_t>(parent) * 0xC2B2AE3D27D4EB4Full);
    const uint64_t mixed = key * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(mixed ^ (mixed >> 29));
  }

  uint32_t FindChild(uint32_t parent, uint64_t label) {
    if (buckets_.empty()) return kNone;
    const size_t bucket = Bucket(parent, label);
    Recent& recent = recent_[bucket % recent_.size()];
    if (recent.child != kNone && recent.parent == parent && recent.label == label) {
      return recent.child;
    }
    // Most lookups that miss are answered by a bit set of a byte per
    // bucket, which stays in the cache, not by the buckets and nodes.
    const size_t bit = (bucket >> 32) & (maybe_.size() * 64 - 1);
    if ((maybe_[bit / 64] & (uint64_t{1} << (bit % 64))) == 0) return kNone;
    for (uint32_t id = buckets_[bucket & (buckets_.size() - 1)]; id != kNone; id = N(id).bucket_next) {
      const Node& node = N(id);
      if (node.parent == parent && node.Label() == label) {
        recent = {label, parent, id};
        return id;
      }
    }
    return kNone;
  }

  void IndexChild(uint32_t id, uint64_t label) {
    N(id).label_low = static_cast<uint32_t>(label);
    N(id).label_high = static_cast<uint32_t>(label >> 32);
    if (node_count_ > buckets_.size()) {
      buckets_.assign(std::max<size_t>(64, buckets_.size() * 2), kNone);
      maybe_.assign(buckets_.size() / 8, 0);
      recent_.assign(kRecent, Recent{0, 0, kNone});
      for (uint32_t other = 1; other < id; ++other) Link(other);
    }
    Link(id);
  }

  void Link(uint32_t id) {
    Node& node = N(id);
    const size_t bucket = Bucket(node.parent, node.Label());
    const size_t bit = (bucket >> 32) & (maybe_.size() * 64 - 1);
    maybe_[bit / 64] |= uint64_t{1} << (bit % 64);
    uint32_t& head = buckets_[bucket & (buckets_.size() - 1)];
    node.bucket_next = head;
    head = id;
  }

  bool Open(uint32_t s, uint32_t v) {
    const uint32_t lt_depth = N(v).lt_depth;
    if (lt_depth > 0) return lt_depth < Lt(s);
    return !AtStart(s, CursorOf(s));
  }

  // Whether a filed segment waits in its node's open list is fixed while
  // it is filed, since neither its cursor nor its '<' count change then:
  // it is kept as a bit.
  uint32_t& ListHead(uint32_t s, uint32_t v) {
    return Flag(s, kOpen) ? N(v).open_head : N(v).done_head;
  }

  // Files `s` at `v`; its cursor must stand where `v`'s path ends.
  void Park(uint32_t s, uint32_t v) {
    node_[s] = v;
    SetFlag(s, kOpen, !IsLone(s) && Open(s, v));
    uint32_t& head = ListHead(s, v);
    prev_[s] = kNone;
    next_[s] = head;
    if (head != kNone) prev_[head] = s;
    head = s;
  }

  // Takes hit `s` out of the index. A lone hit that the last query found
  // in the lone table has the query's step as its own: its slot is found
  // without reading its step again.
  void UnparkHit(uint32_t s) {
    ForgetAhead(s);
    if (!IsLone(s)) {
      ForgetCursor(s);
      Unlist(s);
      return;
    }
    uint32_t hash;
    if (node_[s] == query_lone_node_) {
      hash = query_lone_hash_;
    } else {
      Cursor c = CursorOf(s);
      hash = LoneHash(node_[s], LabelAt(s, node_[s], c));
    }
    ForgetCursor(s);
    DropLoneAt(s, LoneSlotOf(s, hash));
  }

  void Unlist(uint32_t s) {
    const uint32_t v = node_[s];
    uint32_t& head = ListHead(s, v);
    if (prev_[s] != kNone) {
      next_[prev_[s]] = next_[s];
    } else {
      head = next_[s];
    }
    if (next_[s] != kNone) prev_[next_[s]] = prev_[s];
    node_[s] = kNone;
  }

  // The child of `v` under `label`, made (or brought back) when `create`.
  // A pruned node stays in its parent's child list until the parent itself
  // is pruned.
  // `step` is the label's length in bytes.
  uint32_t Child(uint32_t v, uint64_t label, bool create, uint32_t step = 0) {
    uint32_t child = FindChild(v, label);
    if (child != kNone && Is(child, kAlive)) return child;
    if (!create) return kNone;
    if (child == kNone) {
      const bool piece_step = N(v).lt_depth > 0 || label == '<';
      child = NewNode(v, N(v).lt_depth + (piece_step ? 1 : 0), Bytes(v) + step);
      IndexChild(child, label);
    } else {
      // A pruned node comes back empty.
      Node& node = N(child);
      Set(child, kAlive, true);
      node.first_child = kNone;
      node.child_count = 0;
      if (Is(child, kLinked)) ++N(v).child_count;
    }
    Node& node = N(child);
    if (!Is(child, kLinked)) {
      Set(child, kLinked, true);
      node.next_sibling = N(v).first_child;
      N(v).first_child = child;
      ++N(v).child_count;
    }
    return child;
  }

  // A filed segment's cursor stands where its node's path ends, that
  // node's byte depth before its end. Nearly always that lies in its last
  // fragment, and the cursor is implied; only a segment whose path reaches
  // further back (which takes a join, so at most every other fragment)
  // keeps its cursor in the table of deep cursors.
  Cursor CursorOf(uint32_t s) const {
    if (Flag(s, kDeep)) {
      const CursorTable::Entry& entry = deep_.Get(s);
      return {entry.frag, entry.off};
    }
    const uint32_t last = link_[s];
    return {last, Len(last) - Bytes(node_[s])};
  }

  // Sets the cursor of `s`, which is about to be filed where it ends.
  void SetCursor(uint32_t s, Cursor c) {
    const bool deep = c.frag != link_[s] || c.off == kGlueBit;
    if (deep) {
      deep_.Put(s, c.frag, c.off);
    } else if (Flag(s, kDeep)) {
      deep_.Erase(s);
    }
    SetFlag(s, kDeep, deep);
  }

  // Drops the kept cursor of `s`, which leaves the index or stops being a
  // segment's head.
  void ForgetCursor(uint32_t s) {
    if (!Flag(s, kDeep)) return;
    deep_.Erase(s);
    SetFlag(s, kDeep, false);
  }

  // Reads the label that follows node `v` for segment `s` from cursor `c`,
  // which it moves past it.
  uint64_t LabelAt(uint32_t s, uint32_t v, Cursor& c, uint32_t* bytes = nullptr) {
    unsigned char byte = 0;
    uint64_t label;
    if (N(v).lt_depth == 0) {
      Prev(s, c, byte);
      label = byte;
      if (bytes != nullptr) *bytes = 1;
    } else {
      const ChunkHasher& hasher = Hasher();
      uint64_t hash = 0;
      uint64_t length = 0;
      do {
        Prev(s, c, byte);
        hash = hasher.Add(hash, byte);
        ++length;
      } while (byte != '<');
      label = ChunkHasher::Label(hash, length);
      if (bytes != nullptr) *bytes = static_cast<uint32_t>(length);
    }
    return label;
  }

  // A segment's step below the node it is filed at, and its cursor past it.
  struct StepRead {
    Cursor past{};
    uint64_t label = 0;
    uint32_t step = 0;
  };

  // Reads the step of `s`, filed at `v`, and with `fetch_lone` starts
  // fetching the lone slot its key leads to.
  StepRead ReadStep(uint32_t s, uint32_t v, bool fetch_lone = true) {
    StepRead read;
    read.past = CursorOf(s);
    read.label = LabelAt(s, v, read.past, &read.step);
    if (fetch_lone) {
      const uint32_t hash = LoneHash(v, read.label);
      if (LoneRoom(hash)) __builtin_prefetch(&LoneAt(LoneHome(hash)));
    }
    return read;
  }

  // ---- Reading ahead ------------------------------------------------------
  //
  // Each round's first replacement hits the head and joins it to the
  // segment after it. When that one is lone, the join reads its step to
  // find its slot, far off in the lone table: so the steps of the head's
  // next two segments are read as the round begins (the second is the
  // next round's), and their slots fetched meanwhile. The segment read
  // moves forward every round, so each is read ahead at most once.

  struct Ahead {
    uint32_t seg = kNone;
    uint32_t node = kNone;
    StepRead read;
  };

  void LookAhead() {
    uint32_t n = link_[0] + 1;
    for (int i = 0; i < 2; ++i) {
      if (n >= last_ || node_[n] == kNone) return;
      if (IsLone(n) && ahead_[0].seg != n && ahead_[1].seg != n) {
        Ahead& slot = ahead_[ahead_[0].seg == kNone || ahead_[0].seg < ahead_[1].seg ? 0 : 1];
        slot = {n, node_[n], ReadStep(n, node_[n])};
      }
      if (link_[n] == last_) return;
      n = link_[n] + 1;
    }
  }

  // Forgets what was read ahead of segment `s`, whose text changes.
  void ForgetAhead(uint32_t s) {
    for (Ahead& ahead : ahead_) {
      if (ahead.seg == s) ahead.seg = kNone;
    }
  }

  // The step of lone segment `s` at `v`, read ahead or now from its
  // cursor `c`.
  StepRead TakeStep(uint32_t s, uint32_t v, Cursor c) {
    for (Ahead& ahead : ahead_) {
      if (ahead.seg == s && ahead.node == v) {
        ahead.seg = kNone;
        return ahead.read;
      }
    }
    ForgetAhead(s);
    StepRead read;
    read.past = c;
    read.label = LabelAt(s, v, read.past, &read.step);
    return read;
  }

  // Moves every open segment of `v` one step down. A segment that would be
  // alone under its label stays at `v` as a lone one (see below) until a
  // second one comes along.
  void PushAll(uint32_t v) {
    // When the lone table must grow while most segments of this push turn
    // lone, it grows at once to room for all those still to come, rather
    // than step by step through copies of itself: they are counted then,
    // once.
    size_t made_lone = 0, pushed = 0;
    bool counted = false;
    // Each segment's step is read one segment ahead, and the lone slot it
    // may need is fetched meanwhile: those slots are spread over a table
    // far larger than the cache. Pushing a segment changes the open list
    // only at its head, so the next one is known in advance.
    StepRead next_step;
    if (N(v).open_head != kNone) next_step = ReadStep(N(v).open_head, v);
    while (N(v).open_head != kNone) {
      const uint32_t s = N(v).open_head;
      ++work_;
      ++pushed;
      const StepRead read = next_step;
      // The slot is fetched while most segments of the push turn lone;
      // otherwise it would rarely be needed and only crowd the cache.
      if (next_[s] != kNone) next_step = ReadStep(next_[s], v, 2 * made_lone >= pushed);
      Unlist(s);
      Cursor c = read.past;
      const uint32_t step = read.step;
      const uint64_t label = read.label;
      uint32_t child = Child(v, label, false);
      if (child == kNone) {
        const uint32_t hash = LoneHash(v, label);
        Cursor past{};
        const size_t slot = FindLone(v, label, hash, past);
        if (slot == kNoSlot) {
          ++made_lone;
          size_t more = 0;
          if (!counted && pushed >= 64 && 2 * made_lone >= pushed && LoneFull(hash)) {
            counted = true;
            for (uint32_t t = N(v).open_head; t != kNone; t = next_[t]) ++more;
            work_ += more;
          }
          ReserveLone(hash, more);
          MakeLone(s, v, hash, false);
          continue;
        }
        // Its step is this one's: the lone segment gets a node, which
        // this one joins.
        const uint32_t lone = LoneAt(slot).seg;
        DropLoneAt(lone, slot);
        child = Child(v, label, true, step);
        SetCursor(lone, past);
        Park(lone, child);
      }
      SetCursor(s, c);
      Park(s, child);
    }
  }

  // ---- Lone segments ------------------------------------------------------
  //
  // A hostile cell can make nearly every segment the only one under its
  // last step, and a node for each would cost several times the cell. Such
  // a segment stays at the parent instead, in its done list (so that no
  // push reads it again) and counted among its children (so that queries
  // and pruning treat it as one), its cursor in front of the step, and is
  // found through a table keyed by (parent, label). The table holds its id
  // and 32 bits of the key's hash, which is all it needs to grow. A query
  // takes the lone segments whose hash matches as candidates, which its
  // caller confirms anyway, and a hit leaves the table by the query's own
  // hash; the label itself is read again, from the segment, only where a
  // push confirms a match or a join takes the segment over, at the cost
  // of the push that made it lone. A join takes a lone segment's place as
  // lone, in its very slot, once: the second time it gets its own node, so
  // that a long run of joins into one segment reads its step a bounded
  // number of times.

  struct LoneSlot {
    uint32_t seg;  // kNone: empty
    uint32_t hash;
  };

  static uint32_t LoneHash(uint32_t v, uint64_t label) {
    return static_cast<uint32_t>(Bucket(v, label) >> 32);
  }
  // The table is cut into shards by the hash's top bits, each grown on its
  // own: a growing shard and its copy coexist, never the whole table and
  // its copy. A slot is named by its shard (high word) and place in it.
  static constexpr unsigned kShardBits = 6;
  static size_t ShardOf(uint32_t hash) { return hash >> (32 - kShardBits); }
  bool LoneRoom(uint32_t hash) const { return !lone_[ShardOf(hash)].empty(); }
  LoneSlot& LoneAt(size_t slot) { return lone_[slot >> 32][slot & UINT32_MAX]; }
  // Only where LoneRoom(hash).
  size_t LoneHome(uint32_t hash) const {
    const size_t shard = ShardOf(hash);
    const uint64_t low = static_cast<uint32_t>(hash << kShardBits);
    return (shard << 32) | static_cast<size_t>((low * lone_[shard].size()) >> 32);
  }
  size_t LoneNext(size_t slot) const {
    const size_t shard = slot >> 32;
    return (slot & UINT32_MAX) + 1 == lone_[shard].size() ? shard << 32 : slot + 1;
  }

  // A filed segment's flags, four bits each, side by side so that one
  // cache line holds them all.
  static constexpr uint64_t kLone = 1, kRejoined = 2, kOpen = 4, kDeep = 8;
  bool Flag(uint32_t s, uint64_t flag) const { return ((seg_flags_[s / 16] >> (s % 16 * 4)) & flag) != 0; }
  void SetFlag(uint32_t s, uint64_t flag, bool on) {
    const uint64_t bit = flag << (s % 16 * 4);
    seg_flags_[s / 16] = on ? (seg_flags_[s / 16] | bit) : (seg_flags_[s / 16] & ~bit);
  }
  bool IsLone(uint32_t s) const { return Flag(s, kLone); }
  void SetLone(uint32_t s, bool on) { SetFlag(s, kLone, on); }

  // The slot of the lone segment at `v` under `label` (whose key hashes
  // to `hash`), and in `past` its cursor moved past its step; kNoSlot when
  // there is none. Reads the step of a segment whose key hash matches.
  size_t FindLone(uint32_t v, uint64_t label, uint32_t hash, Cursor& past) {
    if (lone_count_ == 0 || !LoneRoom(hash)) return kNoSlot;
    for (size_t i = LoneHome(hash);; i = LoneNext(i)) {
      ++work_;
      const LoneSlot slot = LoneAt(i);
      if (slot.seg == kNone) return kNoSlot;
      if (slot.hash != hash || node_[slot.seg] != v) continue;
      past = CursorOf(slot.seg);
      if (LabelAt(slot.seg, v, past) == label) return i;
    }
  }

  // Adds the lone segments at `v` whose key hash is that of `label` to
  // `hits`: candidates, which the query's caller confirms, so no step is
  // read here. A hit among them then leaves the table by this hash.
  void AddLoneCandidates(uint32_t v, uint64_t label, std::vector<uint32_t>& hits) {
    const uint32_t hash = LoneHash(v, label);
    if (lone_count_ == 0 || !LoneRoom(hash)) return;
    query_lone_node_ = v;
    query_lone_hash_ = hash;
    for (size_t i = LoneHome(hash);; i = LoneNext(i)) {
      ++work_;
      const LoneSlot slot = LoneAt(i);
      if (slot.seg == kNone) return;
      if (slot.hash == hash && node_[slot.seg] == v) hits.push_back(slot.seg);
    }
  }

  // The slot that holds lone segment `s`, whose key hashes to `hash`.
  size_t LoneSlotOf(uint32_t s, uint32_t hash) {
    size_t i = LoneHome(hash);
    while (LoneAt(i).seg != s) {
      ++work_;
      i = LoneNext(i);
    }
    return i;
  }

  // Files `s`, its cursor in front of its step, whose key hashes to
  // `hash`, as lone at `v`; `rejoined` when it is a join's, which took
  // over a lone segment.
  void MakeLone(uint32_t s, uint32_t v, uint32_t hash, bool rejoined) {
    ReserveLone(hash, 0);
    size_t i = LoneHome(hash);
    while (LoneAt(i).seg != kNone) {
      ++work_;
      i = LoneNext(i);
    }
    LoneAt(i) = {s, hash};
    ++lone_count_;
    ++shard_counts_[ShardOf(hash)];
    SetLone(s, true);
    SetFlag(s, kRejoined, rejoined);
    Park(s, v);
    ++N(v).child_count;
  }

  // Makes room for one more lone segment whose key hashes to `hash`, and
  // when `more` are about to come, for about as many more in each shard as
  // their share. A shard is at most 70% full and grows by at least half:
  // 11 to 17 bytes per lone segment.
  bool LoneFull(uint32_t hash) const {
    const size_t shard = ShardOf(hash);
    return 10 * (shard_counts_[shard] + 1) > 7 * lone_[shard].size();
  }

  void ReserveLone(uint32_t hash, size_t more) {
    if (more > 0) {
      // Each shard's share, and room for its chance excess (four standard
      // deviations).
      const size_t share = more >> kShardBits;
      size_t margin = 4;
      while (margin * margin < 16 * share) ++margin;
      for (size_t shard = 0; shard < lone_.size(); ++shard) ReserveShard(shard, share + margin);
    }
    ReserveShard(ShardOf(hash), 1);
  }

  void ReserveShard(size_t shard, size_t more) {
    const size_t size = lone_[shard].size();
    const size_t need = shard_counts_[shard] + more;
    if (10 * need <= 7 * size) return;
    ResizeShard(shard, std::max(size + size / 2, need * 10 / 7 + 1));
  }

  void ResizeShard(size_t shard, size_t size) {
    std::vector<LoneSlot> old = std::move(lone_[shard]);
    lone_[shard].assign(std::max<size_t>(16, size), LoneSlot{kNone, 0});
    work_ += old.size();
    for (const LoneSlot& slot : old) {
      if (slot.seg == kNone) continue;
      size_t i = LoneHome(slot.hash);
      while (LoneAt(i).seg != kNone) i = LoneNext(i);
      LoneAt(i) = slot;
    }
  }

  // Takes lone segment `s`, held in `slot`, out of the table and of its
  // node's lists; its cursor is left in front of its step.
  void DropLoneAt(uint32_t s, size_t slot) {
    const uint32_t v = node_[s];
    Unlist(s);
    SetLone(s, false);
    --N(v).child_count;
    --lone_count_;
    --shard_counts_[slot >> 32];
    size_t i = slot;
    // Later slots of the probe run move up into the gap unless their home
    // lies after it.
    for (size_t j = LoneNext(i); LoneAt(j).seg != kNone; j = LoneNext(j)) {
      ++work_;
      const size_t home = LoneHome(LoneAt(j).hash);
      const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (stays) continue;
      LoneAt(i) = LoneAt(j);
      i = j;
    }
    LoneAt(i).seg = kNone;
  }

  // The labels of `ending`, in the order the trie reads them.
  static void Labels(std::string_view ending, std::vector<uint64_t>& labels) {
    labels.clear();
    size_t i = ending.size();
    while (i > 0 && ending[i - 1] != '<') labels.push_back(static_cast<unsigned char>(ending[--i]));
    if (i == 0) return;
    labels.push_back('<');
    --i;
    const ChunkHasher& hasher = Hasher();
    while (i > 0) {
      uint64_t hash = 0;
      uint64_t length = 0;
      unsigned char byte;
      do {
        byte = static_cast<unsigned char>(ending[--i]);
        hash = hasher.Add(hash, byte);
        ++length;
      } while (byte != '<' && i > 0);
      if (byte != '<') return;  // bytes before the first '<' need no step
      labels.push_back(ChunkHasher::Label(hash, length));
    }
  }

  // Every segment filed under the node that `ending` leads to, or below it
  // (candidates: the caller confirms them). A node without children that
  // holds only a few open segments is not split up for one query: those
  // segments are the only candidates, compared directly at the cost of the
  // query's own length.
  //
  // The head segment ends with the first ending of each round, so its own
  // node lies on that ending's path: the path down to it is found by
  // walking up, without looking up a child.
  void Query(const std::string& ending, bool head_ends_with_it, std::vector<uint32_t>& hits) {
    Labels(ending, labels_);
    work_ += ending.size();
    query_lone_node_ = kNone;
    uint32_t v = 0;
    size_t next_label = 0;
    if (head_ends_with_it) {
      path_.clear();
      for (uint32_t u = node_[0]; u != kNone; u = N(u).parent) path_.push_back(u);
      work_ += path_.size();
      for (size_t i = path_.size(); i > 1; --i) PushAll(path_[i - 1]);
      v = node_[0];
      next_label = path_.size() - 1;  // the head's node's depth
    }
    for (; next_label < labels_.size(); ++next_label) {
      const uint64_t label = labels_[next_label];
      if (N(v).child_count == 0) {
        size_t open = 0;
        for (uint32_t s = N(v).open_head; s != kNone && open <= kFewOpen; s = next_[s]) ++open;
        if (open <= kFewOpen) {
          for (uint32_t s = N(v).open_head; s != kNone; s = next_[s]) hits.push_back(s);
          return;
        }
      }
      PushAll(v);
      const uint32_t child = Child(v, label, false);
      if (child == kNone) {
        // A lone segment is the only one that can end so.
        AddLoneCandidates(v, label, hits);
        return;
      }
      v = child;
    }
    visited_.clear();
    visited_.push_back(v);
    for (size_t i = 0; i < visited_.size(); ++i) {
      const uint32_t u = visited_[i];
      ++work_;
      const Node& node = N(u);
      for (uint32_t s = node.open_head; s != kNone; s = next_[s]) hits.push_back(s);
      for (uint32_t s = node.done_head; s != kNone; s = next_[s]) hits.push_back(s);
      for (uint32_t c = node.first_child; c != kNone; c = N(c).next_sibling) {
        if (Is(c, kAlive)) visited_.push_back(c);
      }
    }
  }

  // Drops the nodes of the last query's subtree that hold nothing any more,
  // so that no later query walks them again.
  void Prune() {
    for (size_t i = visited_.size(); i > 0; --i) {
      const uint32_t u = visited_[i - 1];
      Node& node = N(u);
      if (node.open_head != kNone || node.done_head != kNone || node.child_count > 0) continue;
      if (Is(u, kLinked)) --N(node.parent).child_count;
      Set(u, kAlive, false);
      // Its children are all dead: they leave its list.
      for (uint32_t c = node.first_child; c != kNone; c = N(c).next_sibling) Set(c, kLinked, false);
      node.first_child = kNone;
    }
    visited_.clear();
  }

  // ---- Output -------------------------------------------------------------

  // Every byte written lands at or before the place it is read from: a
  // fragment's blank or the '>' after a segment stands where a deleted
  // '>' stood, and fragments keep their order.
  //
  // A segment's fragments are read front to back, those that cuts emptied
  // and its back links skip included: a skipped fragment holds no byte and
  // no blank (a cut passes a fragment only once it emptied both), so it
  // writes nothing, and no list of the links is needed.
  void Assemble(std::string& out) {
    const char* const source = text_.data();
    if (out.data() != source) {
      // Room for the whole text is taken but only what is written of it
      // is touched (a resize would write it all): the rounds often leave a
      // small part of a large cell.
      out.clear();
      out.reserve(text_.size());
      for (uint32_t s = 0;; s = link_[s] + 1) {
        for (uint32_t f = s; f <= link_[s]; ++f) {
          ++work_;
          if (f != s && Glue(f)) out += ' ';
          out.append(source + start_[f], Len(f));
        }
        if (link_[s] == last_) break;
        out += '>';
      }
      work_ += out.size();
      return;
    }
    char* const dest = out.data();
    size_t written = 0;
    for (uint32_t s = 0;; s = link_[s] + 1) {
      for (uint32_t f = s; f <= link_[s]; ++f) {
        ++work_;
        if (f != s && Glue(f)) dest[written++] = ' ';
        std::memmove(dest + written, source + start_[f], Len(f));
        written += Len(f);
      }
      if (link_[s] == last_) break;
      dest[written++] = '>';
    }
    work_ += written;
    out.resize(written);
  }

  std::string_view text_;
  uint32_t last_ = 0;  // the last fragment; no '>' follows it
  std::vector<uint32_t> start_;
  std::vector<uint16_t> len_;   // with kLenGlue, or kLenAside
  std::unordered_map<uint32_t, uint32_t> len_aside_;
  std::vector<uint32_t> link_;  // head: its last fragment; others: the fragment before
  std::vector<uint16_t> lt_;    // head: '<' bytes in its segment, or kLtAside
  std::unordered_map<uint32_t, uint32_t> lt_aside_;
  std::vector<uint64_t> marks_;  // the hits of the current pass, a bit each
  uint64_t lt_total_ = 0;
  uint64_t slash_total_ = 0;  // '/' bytes in the text
  bool indexed_ = false;

  // Filing of the segments (indexed by head fragment).
  std::vector<uint32_t> node_;  // kNone: not filed
  // Lone; lone and taken over by a join once; filed in its node's open
  // list; its cursor kept in deep_.
  std::vector<uint64_t> seg_flags_;
  std::array<std::vector<LoneSlot>, size_t{1} << kShardBits> lone_;
  std::array<size_t, size_t{1} << kShardBits> shard_counts_{};
  size_t lone_count_ = 0;
  // Where the last query looked in the lone table: node and key hash.
  uint32_t query_lone_node_ = kNone;
  uint32_t query_lone_hash_ = 0;
  std::vector<uint32_t> prev_, next_;

  // The trie.
  struct Recent {
    uint64_t label;
    uint32_t parent;
    uint32_t child;
  };
  static constexpr size_t kRecent = 4096;
  std::vector<std::unique_ptr<NodeBlock>> blocks_;
  uint32_t node_count_ = 0;
  std::vector<uint32_t> buckets_;  // one or two nodes each
  std::vector<uint64_t> maybe_;    // a bit per (bucket) key hash, eight per bucket
  std::vector<Recent> recent_;
  std::vector<uint64_t> labels_;
  std::vector<uint32_t> path_;
  std::vector<uint32_t> visited_;
  std::vector<uint32_t> hits_;
  std::array<Ahead, 2> ahead_;

  uint64_t work_ = 0;
  CursorTable deep_{work_};
};

// ---------------------------------------------------------------------------
// The rounds done literally, for small cells with few tags: a round is
// then a few short passes over a text that fits in the first-level cache,
// which costs less than building the segments.

// Texts up to this size with at most this many '>' try the literal rounds.
constexpr size_t kLiteralMostBytes = 4096;
constexpr size_t kLiteralMostGt = 16;

// A small text and the positions of its '>' bytes, kept in step through
// the rounds' replacements. Works in place, without allocating.
class LiteralRounds {
 public:
  explicit LiteralRounds(std::string& text) : text_(text) {
    fits_ = text.size() <= kLiteralMostBytes;
    for (size_t at = 0; fits_;) {
      const void* hit = at < text.size() ? std::memchr(text.data() + at, '>', text.size() - at) : nullptr;
      if (hit == nullptr) break;
      at = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
      fits_ = gt_count_ < kLiteralMostGt;
      if (fits_) gts_[gt_count_++] = static_cast<uint32_t>(at);
      ++at;
    }
    work_ += text.size();
  }

  // Whether the text is small enough and holds few enough '>'.
  bool fits() const { return fits_; }

  ~LiteralRounds() { AddEngineWork(work_); }

  // Runs rounds while their work stays within `budget` bytes. Returns true
  // when the text is finished, false when it stopped between two rounds
  // (the text is then what those rounds left). Only when fits().
  bool Run(uint64_t budget) {
    // No '<' and no '>' before `from`: a round that replaces a tag leaves
    // the text before it as it was, so the next round looks after it.
    size_t from = 0;
    while (true) {
      const size_t lt = text_.find('<', from);
      work_ += (lt == std::string::npos ? text_.size() : lt) - from;
      if (lt == std::string::npos) return true;
      if (work_ > budget) return false;
      if (gt_count_ == 0) {
        text_.erase(std::remove(text_.begin() + static_cast<ptrdiff_t>(lt), text_.end(), '<'),
                    text_.end());
        work_ += text_.size() - lt;
        return true;
      }
      // The round's own copy, which ends at the first '>', is known to
      // match.
      const size_t gt = gts_[0];
      if (gt < lt) {
        SetPattern("", 0, gt + 1);
        Replace('\0', 0, true);
        from = 0;
      } else {
        SetPattern("", lt, gt - lt + 1);
        Replace(' ', lt, true);
        SetPattern("/", lt, gt - lt + 1);  // "<" "/" tag: one byte longer
        Replace(' ', lt, false);
        from = lt;
      }
    }
  }

 private:
  // The pattern: the text's [from, from + length), with `insert` after its
  // first byte. The second pattern of a round is set from the first, whose
  // bytes the first replacement has overwritten in the text.
  void SetPattern(std::string_view insert, size_t from, size_t length) {
    if (insert.empty()) {
      std::memcpy(pattern_.data(), text_.data() + from, length);
      pattern_size_ = length;
    } else {
      std::memmove(pattern_.data() + 1 + insert.size(), pattern_.data() + 1, pattern_size_ - 1);
      std::memcpy(pattern_.data() + 1, insert.data(), insert.size());
      pattern_size_ += insert.size();
    }
  }

  // Replaces, left to right, every copy of the pattern that starts at or
  // after `from` by `with` (nothing for '\0'); with `first_matches`, the
  // copy that ends at the first '>' is known to be one. The pattern's only
  // '>' is its last byte, so its copies end at a '>' and never overlap:
  // each '>' is compared with the bytes before it, from the end.
  void Replace(char with, size_t from, bool first_matches) {
    const size_t m = pattern_size_;
    const char* const pattern = pattern_.data();
    char* const data = text_.data();
    const size_t size = text_.size();
    size_t write = 0, read = 0, kept = 0;
    bool hit = false;
    for (size_t g = 0; g < gt_count_; ++g) {
      const size_t gt = gts_[g];
      bool match = gt + 1 >= from + m && gt + 1 - m >= read;
      if (match) {
        const size_t start = gt + 1 - m;
        if (g == 0 && first_matches) {
          work_ += 1;
        } else {
          size_t k = m - 1;
          while (k > 0 && data[start + k - 1] == pattern[k - 1]) --k;
          work_ += m - k;
          match = k == 0;
        }
        if (match) {
          if (!hit) {
            write = read = start;
            hit = true;
          } else {
            std::memmove(data + write, data + read, start - read);
            write += start - read;
          }
          if (with != '\0') data[write++] = with;
          read = gt + 1;
        }
      }
      // A '>' that stays moves back by what was removed before it.
      if (!match) gts_[kept++] = static_cast<uint32_t>(hit ? gt - (read - write) : gt);
    }
    gt_count_ = kept;
    work_ += kept;
    if (!hit) return;
    std::memmove(data + write, data + read, size - read);
    work_ += size - write;
    text_.resize(write + size - read);
  }

  std::string& text_;
  std::array<uint32_t, kLiteralMostGt> gts_;
  size_t gt_count_ = 0;
  std::array<char, kLiteralMostBytes + 1> pattern_;
  size_t pattern_size_ = 0;
  uint64_t work_ = 0;
  bool fits_ = false;
};

}  // namespace

void RemoveTagsInRounds(std::string& text) {
  if (text.find('<') == std::string::npos) return;
  {
    LiteralRounds rounds(text);
    if (rounds.fits() && rounds.Run(16 * text.size() + 256)) return;
  }
  TagRemover(text, kIndexFrom).Run(text);
}

void RemoveTagsInRounds(std::string_view text, std::string& out) {
  if (text.size() <= kLiteralMostBytes || text.find('<') == std::string_view::npos) {
    out.assign(text);
    RemoveTagsInRounds(out);
    return;
  }
  TagRemover(text, kIndexFrom).Run(out);
}

namespace internal {

std::string RemoveTagsByRounds(std::string_view text, size_t index_from) {
  std::string out(text);
  if (text.find('<') != std::string_view::npos) TagRemover(out, index_from).Run(out);
  return out;
}

}  // namespace internal

}  // namespace quarry
