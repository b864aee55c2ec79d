#include "engine/entity_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/byte_search.h"
#include "engine/work_meter.h"

namespace quarry {

namespace {

struct Step {
  std::string pattern;
  std::string replacement;
  // Whether the replacement holds a byte that patterns are made of beyond
  // the ones no replacement makes (letters, digits): '&', '%', '#', ';'.
  // Only such a replacement can complete a pattern with its neighbours.
  bool may_chain = false;
};

// What the one-pass replacement reads of a step, packed in eight bytes:
// every replacement has one or two bytes.
struct PackedStep {
  uint8_t pattern_length;
  uint8_t replacement_length;
  bool may_chain;
  char replacement[2];
};

constexpr size_t kStepCount = 177;
// The longest pattern ("&curren;", "&frac14;", ...) has 8 bytes.
constexpr size_t kMaxPatternLength = 8;

// The ordered replacement list. Every pattern starts with '&' or '%'; no
// pattern overlaps another or itself, and at any position of a text at most
// one pattern can match (a '&' pattern ends at its only ';', the '%'
// patterns have three bytes except "%0d%0a").
class StepTable {
 public:
  StepTable() {
    steps_.reserve(kStepCount);
    const auto single = [](int code) { return std::string(1, static_cast<char>(code)); };
    const auto decimal = [](int code) { return "&#" + std::to_string(code) + ";"; };
    static constexpr char kHex[] = "0123456789ABCDEF";

    // Punctuation as upper-case URL escape, then as decimal reference.
    for (int code = 32; code <= 63; ++code) {
      if (code == 37 || code == 38 || (code >= 48 && code <= 57)) continue;
      Add(std::string{'%', kHex[code >> 4], kHex[code & 15]}, single(code));
      Add(decimal(code), single(code));
    }
    // The no-break space becomes an ordinary blank.
    Add("&#160;", " ");
    Add("&nbsp;", " ");
    static constexpr const char* kNames[] = {
        "&iexcl;", "&cent;",   "&pound;",  "&curren;", "&yen;",   "&brvbar;",
        "&sect;",  "&uml;",    "&copy;",   "&ordf;",   "&laquo;", "&not;",
        "&shy;",   "&reg;",    "&macr;",   "&deg;",    "&plusmn;", "&sup2;",
        "&sup3;",  "&acute;",  "&micro;",  "&para;",   "&middot;", "&cedil;",
        "&sup1;",  "&ordm;",   "&raquo;",  "&frac14;", "&frac12;", "&frac34;",
        "&iquest;"};
    for (int code = 161; code <= 191; ++code) {
      std::string to = code == 171 ? "<<" : code == 187 ? ">>" : single(code);
      Add(decimal(code), to);
      Add(kNames[code - 161], to);
    }
    // Only the decimal form of the accented letters is known.
    for (int code = 192; code <= 255; ++code) Add(decimal(code), single(code));
    Add("&quot;", "\"");
    Add("&amp;", "&");
    Add("&lt;", "<");
    Add("&gt;", ">");
    Add("%25", "%");
    Add("%26", "&");
    Add("&#37;", "%");
    Add("&#38;", "&");
    Add("%0d%0a", "\r\n");

    packed_.reserve(steps_.size());
    for (const Step& step : steps_) {
      PackedStep packed{static_cast<uint8_t>(step.pattern.size()),
                        static_cast<uint8_t>(step.replacement.size()), step.may_chain, {}};
      std::memcpy(packed.replacement, step.replacement.data(), step.replacement.size());
      packed_.push_back(packed);
    }

    percent_.fill(-1);
    decimal_.fill(-1);
    for (size_t i = 0; i < steps_.size(); ++i) {
      const std::string& pattern = steps_[i].pattern;
      const int step = static_cast<int>(i);
      if (pattern == "%0d%0a") {
        crlf_ = step;
      } else if (pattern[0] == '%') {
        percent_[static_cast<size_t>(HexValue(pattern[1]) * 16 + HexValue(pattern[2]))] = step;
      } else if (pattern[1] == '#') {
        decimal_[static_cast<size_t>(std::stoi(pattern.substr(2)))] = step;
      } else {
        AddName(Pack(pattern), step);
      }
    }
  }

  const Step& operator[](size_t i) const { return steps_[i]; }
  const PackedStep& Packed(size_t i) const { return packed_[i]; }
  size_t size() const { return steps_.size(); }

  // The step whose pattern starts at at[0], reading at most `avail` bytes,
  // or -1.
  int MatchAt(const char* at, size_t avail) const {
    if (avail < 3) return -1;
    if (at[0] == '%') {
      if (avail >= 6 && std::memcmp(at, "%0d%0a", 6) == 0) return crlf_;
      const int high = HexValue(at[1]);
      const int low = HexValue(at[2]);
      return high < 0 || low < 0 ? -1 : percent_[static_cast<size_t>(high * 16 + low)];
    }
    if (at[0] != '&') return -1;
    // The pattern's bytes as one word (bytes past the text read as 0);
    // its ';' is the first one after the '&'.
    const size_t window = std::min(avail, kMaxPatternLength);
    uint64_t word = 0;
    size_t length = 0;
    if constexpr (std::endian::native == std::endian::little) {
      // One load of eight bytes where the text has them (nearly always).
      if (window == kMaxPatternLength) {
        std::memcpy(&word, at, kMaxPatternLength);
      } else {
        std::memcpy(&word, at, window);
      }
      length = SemicolonEnd(word);
      if (length == 0) return -1;
      if (length < 8) word &= (uint64_t{1} << (8 * length)) - 1;
    } else {
      const void* semi_at = std::memchr(at + 1, ';', window - 1);
      if (semi_at == nullptr) return -1;
      length = static_cast<size_t>(static_cast<const char*>(semi_at) - at) + 1;
      word = Pack(std::string_view(at, length));
    }
    if (at[1] == '#') {
      // "&#" and two or three digits without a leading zero.
      if (length < 5 || length > 6 || at[2] == '0') return -1;
      int code = 0;
      for (size_t i = 2; i + 1 < length; ++i) {
        if (at[i] < '0' || at[i] > '9') return -1;
        code = code * 10 + (at[i] - '0');
      }
      return code < 256 ? decimal_[static_cast<size_t>(code)] : -1;
    }
    return FindName(word);
  }

 private:
  void Add(std::string pattern, std::string replacement) {
    const bool may_chain = replacement.find_first_of("&%#;") != std::string::npos;
    steps_.push_back({std::move(pattern), std::move(replacement), may_chain});
  }

  // Upper-case hexadecimal digits only, as the escapes are listed.
  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // The length up to and including the first ';' among bytes 1 to 7 of
  // `word` (in memory order, little-endian), or 0.
  static size_t SemicolonEnd(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t x = word ^ (kOnes * ';');
    // A byte of x is 0 where `word` holds ';'; the lowest flagged byte is
    // exact (a borrow only flags bytes above a true zero).
    uint64_t zero = (x - kOnes) & ~x & (kOnes * 0x80);
    zero &= ~uint64_t{0xFF};  // not the '&' itself
    if (zero == 0) return 0;
    return static_cast<size_t>(__builtin_ctzll(zero)) / 8 + 1;
  }

  // Names are at most eight bytes and end at their only ';': packed into
  // one word they stay distinct.
  static uint64_t Pack(std::string_view name) {
    uint64_t word = 0;
    std::memcpy(&word, name.data(), std::min(name.size(), sizeof word));
    return word;
  }

  // The named references in a small open-addressed table: a lookup is a
  // multiplication and, nearly always, one compare.
  static size_t NameSlot(uint64_t word) {
    return static_cast<size_t>((word * 0x9E3779B97F4A7C15ull) >> 57);  // 0..127
  }

  void AddName(uint64_t word, int step) {
    size_t slot = NameSlot(word);
    while (name_steps_[slot] >= 0) slot = (slot + 1) % kNameSlots;
    name_words_[slot] = word;
    name_steps_[slot] = step;
  }

  int FindName(uint64_t word) const {
    for (size_t slot = NameSlot(word);; slot = (slot + 1) % kNameSlots) {
      if (name_steps_[slot] < 0) return -1;
      if (name_words_[slot] == word) return name_steps_[slot];
    }
  }

  static constexpr size_t kNameSlots = 128;  // four times the names

  std::vector<Step> steps_;
  std::vector<PackedStep> packed_;
  std::array<int, 256> percent_{};  // by the escape's value
  std::array<int, 256> decimal_{};  // by the reference's number
  int crlf_ = -1;
  std::array<uint64_t, kNameSlots> name_words_{};
  std::array<int, kNameSlots> name_steps_ = [] {
    std::array<int, kNameSlots> empty;
    empty.fill(-1);
    return empty;
  }();
};

const StepTable& Steps() {
  static const StepTable table;
  return table;
}

// Walks the '&' and '%' bytes of a text in order (find_first_of would look
// every byte up in its set).
class EscapeWalker {
 public:
  explicit EscapeWalker(std::string_view text) : text_(text) {}

  // The next '&' or '%' at or after `from`, or npos; `from` must not go
  // back between calls.
  size_t Next(size_t from) const { return scan::NextByteOf(text_, from, '&', '%'); }

 private:
  std::string_view text_;
};

constexpr size_t kEscapeBlock = 16;

// Copies the text from `from` on to `to` up to its next '&' or '%' and
// returns that position, or npos after copying the rest. Whole blocks are
// copied as they are read: up to kEscapeBlock bytes past the copied ones
// may be written at `to`.
size_t CopyToEscape(const char* source, size_t size, size_t from, char* to) {
  size_t at = from;
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i percent = _mm_set1_epi8('%');
  for (; at + kEscapeBlock <= size; at += kEscapeBlock) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + (at - from)), bytes);
    const unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, amp), _mm_cmpeq_epi8(bytes, percent))));
    if (mask != 0) return at + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; at < size; ++at) {
    if (source[at] == '&' || source[at] == '%') return at;
    to[at - from] = source[at];
  }
  return std::string_view::npos;
}

// Replaces every occurrence at once, writing from `source` to `dest`
// (which may be `source` itself: the text only shrinks; a `dest` apart
// from it needs kEscapeBlock bytes of room beyond `size`). Occurrences never
// overlap and a replacement never touches another occurrence, so unless a
// replacement completes a new pattern with its neighbours (a "chain"), this
// is what the ordered steps give. Returns the length written, or kChained
// as soon as a chain shows (`dest` is then unusable). A new pattern would
// hold a byte of a replacement, so only replacements that make a pattern
// byte are watched ("joins"); a join is checked once the 7 bytes after it
// are written, so only a few are ever pending.
constexpr size_t kChained = std::string::npos;

size_t ReplaceAllAtOnce(const StepTable& steps, const char* source, size_t size, char* dest) {
  struct Join {
    size_t start;
    size_t length;
  };
  std::array<Join, 16> pending;
  size_t first = 0, count = 0;  // a ring over `pending`
  size_t written = 0;
  const auto check = [&](const Join& join) {
    const size_t from = join.start >= kMaxPatternLength - 1 ? join.start - (kMaxPatternLength - 1) : 0;
    for (size_t at = from; at < join.start + join.length; ++at) {
      if (dest[at] != '&' && dest[at] != '%') continue;
      if (steps.MatchAt(dest + at, written - at) >= 0) return false;
    }
    return true;
  };
  const auto settle = [&](bool all) {
    while (count > 0) {
      const Join& join = pending[first];
      if (!all && written < join.start + join.length + kMaxPatternLength - 1) return true;
      if (!check(join)) return false;
      first = (first + 1) % pending.size();
      --count;
    }
    return true;
  };

  size_t done = 0;
  // Writing to a buffer apart from the text, with room to spare, the text
  // is copied a block at a time as the escapes are looked for.
  const bool apart = dest + size + kEscapeBlock <= source || source + size <= dest;
  EscapeWalker walker(std::string_view(source, size));
  for (size_t pos = apart ? CopyToEscape(source, size, 0, dest) : walker.Next(0);
       pos != std::string_view::npos;) {
    const int step = steps.MatchAt(source + pos, size - pos);
    if (step < 0) {
      if (apart) {
        written += pos + 1 - done;
        dest[written - 1] = source[pos];
        done = pos + 1;
        pos = CopyToEscape(source, size, done, dest + written);
      } else {
        pos = walker.Next(pos + 1);
      }
      continue;
    }
    const PackedStep& hit = steps.Packed(static_cast<size_t>(step));
    if (!apart) std::memmove(dest + written, source + done, pos - done);
    written += pos - done;
    // Every join adds a byte, so a join is settled before 8 more follow;
    // a full ring cannot happen, and would only cost the exact path.
    if (hit.may_chain) {
      if (count == pending.size()) return kChained;
      pending[(first + count) % pending.size()] = {written, hit.replacement_length};
      ++count;
    }
    // Both bytes are stored whatever the length: the pattern that is
    // replaced has at least three, so the second never reaches past it.
    dest[written] = hit.replacement[0];
    dest[written + 1] = hit.replacement[1];
    written += hit.replacement_length;
    done = pos + hit.pattern_length;
    if (count > 0 && !settle(false)) return kChained;
    pos = apart ? CopyToEscape(source, size, done, dest + written) : walker.Next(done);
  }
  if (!apart) std::memmove(dest + written, source + done, size - done);
  written += size - done;
  return settle(true) ? written : kChained;
}

bool HoldsEscapes(std::string_view text) {
  return std::memchr(text.data(), '&', text.size()) != nullptr ||
         std::memchr(text.data(), '%', text.size()) != nullptr;
}

// The ordered steps, exactly, for a text with chains. The text is edited in
// place: a replacement writes its bytes over the start of the occurrence
// and marks the rest deleted. Each step visits only its own occurrences:
// those of the original text, filed by step in one scan, and those that
// earlier replacements completed, filed as they appear (a replacement can
// only complete a pattern that covers one of its own bytes). An occurrence
// filed earlier is checked again when its step comes, since a replacement
// in between may have broken it.
class ChainedDecoder {
 public:
  ChainedDecoder(const StepTable& steps, std::string& text)
      : steps_(steps), text_(text), deleted_((text.size() + 63) / 64, 0), filed_(steps.size()) {}

  uint64_t Run() {
    const std::string_view view(text_);
    EscapeWalker walker(view);
    for (size_t pos = walker.Next(0); pos != std::string_view::npos;) {
      const int step = steps_.MatchAt(view.data() + pos, view.size() - pos);
      if (step >= 0) filed_[static_cast<size_t>(step)].push_back(static_cast<uint32_t>(pos));
      pos = walker.Next(pos + (step >= 0 ? steps_[static_cast<size_t>(step)].pattern.size() : 1));
    }
    work_ += text_.size();
    for (size_t k = 0; k < steps_.size(); ++k) RunStep(k);
    // Keeps the bytes that are left, a word of marks at a time.
    size_t kept = 0;
    for (size_t w = 0; w < deleted_.size(); ++w) {
      const size_t base = w * 64;
      const size_t span = std::min<size_t>(64, text_.size() - base);
      if (deleted_[w] == 0) {
        std::memmove(&text_[kept], &text_[base], span);
        kept += span;
        continue;
      }
      for (size_t i = 0; i < span; ++i) {
        if (!((deleted_[w] >> i) & 1)) text_[kept++] = text_[base + i];
      }
    }
    text_.resize(kept);
    work_ += text_.size();
    return work_;
  }

 private:
  static constexpr size_t kNone = std::string::npos;

  bool Deleted(size_t i) const { return (deleted_[i / 64] >> (i % 64)) & 1; }
  void Delete(size_t i) { deleted_[i / 64] |= uint64_t{1} << (i % 64); }

  // The next byte still in the text after `i`, or kNone.
  size_t NextLive(size_t i) const {
    ++i;
    if (i < text_.size() && !Deleted(i)) return i;  // the usual case
    for (; i < text_.size(); ++i) {
      const uint64_t word = ~deleted_[i / 64] >> (i % 64);
      if (word != 0) {
        i += static_cast<size_t>(__builtin_ctzll(word));
        return i < text_.size() ? i : kNone;
      }
      i |= 63;
    }
    return kNone;
  }

  // The byte still in the text before `i`, or kNone.
  size_t PrevLive(size_t i) const {
    if (i > 0 && !Deleted(i - 1)) return i - 1;  // the usual case
    while (i > 0) {
      --i;
      const uint64_t word = ~deleted_[i / 64] << (63 - i % 64);
      if (word != 0) return i - static_cast<size_t>(__builtin_clzll(word));
      i &= ~size_t{63};
    }
    return kNone;
  }

  // Gathers up to `most` bytes from live position `at` on, with their
  // positions.
  size_t Gather(size_t at, size_t most, char* bytes, size_t* positions) const {
    size_t n = 0;
    for (size_t i = at; i != kNone && n < most; i = NextLive(i)) {
      bytes[n] = text_[i];
      positions[n++] = i;
    }
    return n;
  }

  void RunStep(size_t k) {
    std::vector<uint32_t>& filed = filed_[k];
    if (filed.empty()) return;
    // Filed in text order, unless chains added to them.
    if (!std::is_sorted(filed.begin(), filed.end())) std::sort(filed.begin(), filed.end());
    filed.erase(std::unique(filed.begin(), filed.end()), filed.end());
    const Step& step = steps_[k];
    char bytes[kMaxPatternLength];
    size_t positions[kMaxPatternLength];
    // The occurrences of this step do not overlap, so replacing one never
    // changes another: each is checked and replaced in turn.
    size_t applied = 0;
    for (uint32_t at : filed) {
      work_ += kMaxPatternLength;
      if (Deleted(at)) continue;
      const size_t n = Gather(at, step.pattern.size(), bytes, positions);
      if (n < step.pattern.size() || std::string_view(bytes, step.pattern.size()) != step.pattern) {
        continue;
      }
      for (size_t i = 0; i < step.pattern.size(); ++i) {
        if (i < step.replacement.size()) {
          text_[positions[i]] = step.replacement[i];
        } else {
          Delete(positions[i]);
        }
      }
      filed[applied++] = at;
    }
    filed.resize(applied);
    // Then, in the text after the whole step, the patterns its
    // replacements completed: they start at most 7 bytes before a
    // replacement's first byte and at most at its last one. Only later
    // steps still replace them.
    constexpr size_t kBefore = kMaxPatternLength - 1;
    char window[2 * kMaxPatternLength + kBefore];
    size_t where[sizeof window];
    for (uint32_t at : filed) {
      size_t from = at;
      size_t before = 0;
      for (; before < kBefore; ++before) {
        const size_t prev = PrevLive(from);
        if (prev == kNone) break;
        from = prev;
      }
      const size_t starts = before + step.replacement.size();
      const size_t n = Gather(from, starts + kMaxPatternLength - 1, window, where);
      work_ += n;
      for (size_t i = 0; i < starts && i < n; ++i) {
        if (window[i] != '&' && window[i] != '%') continue;
        const int found = steps_.MatchAt(window + i, n - i);
        if (found > static_cast<int>(k)) {
          filed_[static_cast<size_t>(found)].push_back(static_cast<uint32_t>(where[i]));
        }
      }
    }
    std::vector<uint32_t>().swap(filed);
  }

  const StepTable& steps_;
  std::string& text_;
  std::vector<uint64_t> deleted_;
  std::vector<std::vector<uint32_t>> filed_;  // occurrences by step
  uint64_t work_ = 0;
};

}  // namespace

void DecodeHtmlEntities(std::string& text) {
  AddEngineWork(text.size());
  if (!HoldsEscapes(text)) return;
  std::string out(text.size() + kEscapeBlock, '\0');
  const size_t length = ReplaceAllAtOnce(Steps(), text.data(), text.size(), out.data());
  if (length != kChained) {
    out.resize(length);
    text.swap(out);
    return;
  }
  std::string().swap(out);
  internal::DecodeHtmlEntitiesChained(text);
}

namespace internal {

void DecodeHtmlEntitiesFrom(std::string_view source, std::string& out) {
  AddEngineWork(source.size());
  out.resize(source.size() + kEscapeBlock);
  const size_t length = ReplaceAllAtOnce(Steps(), source.data(), source.size(), out.data());
  if (length != kChained) {
    out.resize(length);
    return;
  }
  out.assign(source);
  DecodeHtmlEntitiesChained(out);
}

bool DecodeHtmlEntitiesUnlessChained(std::string& text) {
  AddEngineWork(text.size());
  const size_t length = ReplaceAllAtOnce(Steps(), text.data(), text.size(), text.data());
  if (length == kChained) return false;
  text.resize(length);
  return true;
}

void DecodeHtmlEntitiesChained(std::string& text) {
  if (!HoldsEscapes(text)) return;
  AddEngineWork(ChainedDecoder(Steps(), text).Run());
}

EntityAt MatchEntityAt(std::string_view text, size_t at) {
  if (at >= text.size()) return {};
  const StepTable& steps = Steps();
  const int index = steps.MatchAt(text.data() + at, text.size() - at);
  if (index < 0) return {};
  const Step& step = steps[static_cast<size_t>(index)];
  EntityAt found{step.pattern.size(), step.replacement, !step.may_chain};
  if (step.replacement == "&") {
    // "&" starts a new pattern only with what follows it.
    char window[kMaxPatternLength] = {'&'};
    const size_t after = at + step.pattern.size();
    const size_t more = std::min(kMaxPatternLength - 1, text.size() - after);
    std::memcpy(window + 1, text.data() + after, more);
    found.completes_nothing = steps.MatchAt(window, more + 1) < 0;
  }
  return found;
}

}  // namespace internal

}  // namespace quarry
