// A cell's HTML turned into plain text (CellHtmlToText), each step done in
// place: the text only ever shrinks, so no step needs a second copy.

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/byte_search.h"
#include "engine/entity_decoder.h"
#include "engine/scan_text.h"
#include "engine/table_scanner.h"
#include "engine/table_scanner_internal.h"
#include "engine/tag_removal.h"

namespace quarry {

namespace {

using scan::FindByte;
using scan::kNpos;

// Which of the bytes that the steps look for a text holds.
constexpr unsigned kEscapeByte = 1, kE2Byte = 2, kLtByte = 4, kCrByte = 8, kLfByte = 16;
// Not a byte: the caller knows that the text's tags do not alternate.
constexpr unsigned kTagsInRounds = 32;

unsigned ByteKinds(std::string_view text) {
  static const auto kKinds = [] {
    std::array<unsigned char, 256> kinds{};
    kinds['&'] = kinds['%'] = kEscapeByte;
    kinds[0xE2] = kE2Byte;
    kinds['<'] = kLtByte;
    kinds['\r'] = kCrByte;
    kinds['\n'] = kLfByte;
    return kinds;
  }();
  unsigned found = 0;
  size_t at = 0;
  AddEngineWork(text.size());
#if defined(__SSE2__)
  __m128i escape = _mm_setzero_si128(), e2 = escape, lt = escape, cr = escape, lf = escape;
  for (; at + 16 <= text.size(); at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    escape = _mm_or_si128(escape, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&')));
    escape = _mm_or_si128(escape, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('%')));
    e2 = _mm_or_si128(e2, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xE2))));
    lt = _mm_or_si128(lt, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')));
    cr = _mm_or_si128(cr, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
    lf = _mm_or_si128(lf, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
  }
  const auto any = [](__m128i hits) { return _mm_movemask_epi8(hits) != 0; };
  found = (any(escape) ? kEscapeByte : 0) | (any(e2) ? kE2Byte : 0) | (any(lt) ? kLtByte : 0) |
          (any(cr) ? kCrByte : 0) | (any(lf) ? kLfByte : 0);
#endif
  for (; at < text.size(); ++at) found |= kKinds[static_cast<unsigned char>(text[at])];
  return found;
}

// The row's line ends become blanks: "\r\n" first, then every "\n" left.
void JoinLines(std::string_view source, std::string& out) {
  out.clear();
  out.reserve(source.size());
  for (size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') {
      out += ' ';
      ++i;
    } else {
      out += source[i] == '\n' ? ' ' : source[i];
    }
  }
  AddEngineWork(source.size());
}

// Fast form for the usual cell, whose '<' and '>' strictly alternate
// ("a<b>c</b>d"): every round then removes one tag kind and the result is
// each "<...>" replaced by a blank. Returns false, changing nothing, for any
// other cell.
bool RemoveAlternatingTags(std::string& text) {
  const std::string_view view(text);
  // Each '<' must be followed by a '>' before the next '<', and no '>' may
  // come before the first '<' or between a '>' and the next '<'.
  size_t lt = FindByte(view, '<', 0);
  if (FindByte(view, '>', 0) < lt) return false;
  // First a check without writing, so that a cell that fails is unchanged.
  for (size_t at = lt; at != kNpos;) {
    const size_t gt = FindByte(view, '>', at + 1);
    if (gt == kNpos) return false;
    const size_t next_lt = FindByte(view, '<', at + 1);
    if (next_lt < gt) return false;
    if (FindByte(view, '>', gt + 1) < next_lt) return false;
    at = next_lt;
  }
  size_t write = lt;
  size_t read = lt;
  while (lt != kNpos) {
    const size_t gt = FindByte(view, '>', lt + 1);
    std::memmove(&text[write], &text[read], lt - read);
    write += lt - read;
    text[write++] = ' ';
    read = gt + 1;
    lt = FindByte(view, '<', read);
  }
  std::memmove(&text[write], &text[read], text.size() - read);
  text.resize(write + text.size() - read);
  return true;
}

void RemoveTags(std::string& text, bool in_rounds) {
  if (FindByte(text, '<', 0) == kNpos) return;
  if (!in_rounds && RemoveAlternatingTags(text)) return;
  RemoveTagsInRounds(text);
}

// Whether the '<' and '>' of a text alternate strictly, starting with '<'
// and ending with '>', or the text holds no '<' (then tags stay as they
// are): the texts that RemoveAlternatingTags takes.
bool BracketsAlternate(std::string_view text) {
  // Stops at the first bracket out of turn: nearly every cell that fails
  // does so early, and the rest of the text need not be read.
  bool open = false, any_lt = false;
  for (size_t at = scan::NextByteOf(text, 0, '<', '>'); at != kNpos;
       at = scan::NextByteOf(text, at + 1, '<', '>')) {
    const bool lt = text[at] == '<';
    if (lt == open) {
      // Out of turn: fails, unless no '<' is in the text at all.
      AddEngineWork(at + 1);
      return !any_lt && FindByte(text, '<', at + 1) == kNpos;
    }
    any_lt = any_lt || lt;
    open = lt;
  }
  AddEngineWork(text.size());
  return !open;
}

// The fixed point of replacing "\r\n " by "\r\n": every run of blanks right
// after a CR LF goes.
void DropBlanksAfterLineBreaks(std::string& text) {
  if (text.find("\r\n ") == std::string::npos) return;
  size_t write = 0;
  for (size_t read = 0; read < text.size(); ++read) {
    const char c = text[read];
    if (c == ' ' && write >= 2 && text[write - 2] == '\r' && text[write - 1] == '\n') continue;
    text[write++] = c;
  }
  AddEngineWork(text.size());
  text.resize(write);
}

// Whether the text holds "</p>": one wide pass, where a search for the
// pattern would stop at every '<' of a cell full of them.
bool HoldsParagraphEnd(std::string_view text) {
  constexpr std::string_view kEnd = "</p>";
  for (size_t at = scan::NextCandidate(text, 0, kEnd); at != kNpos;
       at = scan::NextCandidate(text, at + 1, kEnd)) {
    if (text.substr(at, kEnd.size()) == kEnd) return true;  // not "</P>"
  }
  return false;
}

// The steps after decoding; `found` tells which bytes the text holds.
void FinishCellText(std::string& text, unsigned found) {
  if (found & kE2Byte) scan::ReplaceAllInPlace(text, "\xE2\x80\x99", "'");
  if (found & kLtByte) {
    if (HoldsParagraphEnd(text)) {
      scan::ReplaceAllInPlace(text, "</p><p>", "\r\n\r\n");
      scan::ReplaceAllInPlace(text, "</p>", "\r\n");
      found |= kCrByte;
    }
    RemoveTags(text, (found & kTagsInRounds) != 0);
  }
  if (found & kCrByte) DropBlanksAfterLineBreaks(text);
}

// Appends a finished cell text to a row's line as ParseRow writes it:
// trimmed, enclosed in double quotes when it holds a comma, followed by a
// comma.
void AppendFinishedCell(std::string_view text, internal::LineBuffer& line) {
  size_t end = text.size();
  while (end > 0 && scan::IsBlank(text[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && scan::IsBlank(text[begin])) ++begin;
  text = text.substr(begin, end - begin);
  AddEngineWork(text.size() + 1);
  const bool quote = text.find(',') != std::string_view::npos;
  if (quote) line.Append('"');
  line.Append(text);
  if (quote) line.Append('"');
  line.Append(',');
}

// ---------------------------------------------------------------------------
// One pass for the usual cell.
//
// The steps after decoding (the quotation mark, paragraph ends, tags
// alternating with text, blanks after line breaks, trimming, quoting) each
// touch a cell's bytes only locally, so for a cell whose '<' and '>'
// alternate they are done together, written straight into the row's line.
// The pass reads either the cell as cut from the row, as long as it finds
// nothing that decoding would change (line ends are joined as it goes), or
// the decoded text. It gives up, leaving the line as it was, on a cell that
// needs decoding first or whose tags do not alternate; the steps then run
// one after the other.

enum class Outcome { kDone, kNeedsDecoding, kTagsDoNotAlternate };

// The order matters: a run of text is kPlain and kSpace, the bytes that
// matter inside a tag are kLt, kGt and kEscape.
enum ByteClass : unsigned char {
  kPlain = 0,
  kSpace,   // ' ': dropped right after a CR LF
  kBlank,   // other white space
  kCr,
  kLf,
  kComma,
  kE2,
  kLt,
  kGt,
  kEscape,  // '&' or '%', before decoding only
};

struct ByteClasses {
  std::array<unsigned char, 256> before_decoding{};
  std::array<unsigned char, 256> decoded{};
};

const ByteClasses& Classes() {
  static const ByteClasses classes = [] {
    ByteClasses c;
    for (auto* table : {&c.before_decoding, &c.decoded}) {
      auto& t = *table;
      t[' '] = kSpace;
      t['\t'] = t['\v'] = t['\f'] = kBlank;
      t['\r'] = kCr;
      t['\n'] = kLf;
      t['<'] = kLt;
      t['>'] = kGt;
      t[','] = kComma;
      t[0xE2] = kE2;
    }
    c.before_decoding['&'] = c.before_decoding['%'] = kEscape;
    return c;
  }();
  return classes;
}

// Whether a reference or escape of the decoding list starts at `at`.
// Whether a reference or escape can be decoded where it stands, as the
// pass reads on: it completes no further pattern, and its replacement
// makes no tag byte and no first byte of the UTF-8 quotation mark.
// Otherwise the whole cell is decoded first, as the steps are defined.
bool DecodesInPlace(const internal::EntityAt& entity) {
  if (!entity.completes_nothing) return false;
  for (char c : entity.replacement) {
    if (c == '<' || c == '>' || c == '\xE2') return false;
  }
  return true;
}

constexpr size_t kRunBlock = 16;

#if defined(__SSE2__)
inline __m128i LoadBlock(const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// Bytes that a byte's value less `low` puts at most `span` above it.
inline __m128i InRange(__m128i bytes, char low, char span) {
  return _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(bytes, _mm_set1_epi8(low)), _mm_set1_epi8(span)),
                        _mm_setzero_si128());
}

// The bytes that end a run of text (see CopyRun), a bit each.
template <bool kRaw>
unsigned RunEnds(__m128i bytes) {
  __m128i special = InRange(bytes, '\t', 4);  // '\t' .. '\r'
  if constexpr (kRaw) special = _mm_or_si128(special, InRange(bytes, '%', 1));  // '%', '&'
  special = _mm_or_si128(special, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')));
  special = _mm_or_si128(special, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')));
  special = _mm_or_si128(special, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>')));
  special = _mm_or_si128(special, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xE2))));
  return static_cast<unsigned>(_mm_movemask_epi8(special));
}

// The bytes that matter inside a tag (see TagStop), a bit each.
template <bool kRaw>
unsigned TagStops(__m128i bytes) {
  __m128i stop = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                              _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>')));
  if constexpr (kRaw) stop = _mm_or_si128(stop, InRange(bytes, '%', 1));
  return static_cast<unsigned>(_mm_movemask_epi8(stop));
}
#endif

// The first position at or after `from` whose byte is in a set (`is` says
// which; `block` gives a block's bytes in it as bits), or the text's size.
template <typename Is, typename Block>
size_t FindInSet(std::string_view text, size_t from, const Is& is, const Block& block) {
  const char* const in = text.data();
  const size_t size = text.size();
  size_t at = from;
#if defined(__SSE2__)
  for (; at + kRunBlock <= size; at += kRunBlock) {
    const unsigned mask = block(LoadBlock(in + at));
    if (mask != 0) return at + static_cast<size_t>(__builtin_ctz(mask));
  }
#else
  (void)block;
#endif
  for (; at < size; ++at) {
    if (is(static_cast<unsigned char>(in[at]))) return at;
  }
  return size;
}

// Copies the text's bytes from `from` on to `out` up to the first that is
// not plain text or a blank (' '): white space other than ' ', ',', '<',
// '>', 0xE2, and before decoding '&' and '%'. Returns how many bytes that
// is. Whole blocks are copied as they are read: up to kRunBlock bytes
// past the run may be written to `out`.
template <bool kRaw>
size_t CopyRun(std::string_view text, size_t from, char* out) {
  const char* const in = text.data();
  const size_t size = text.size();
  size_t at = from;
#if defined(__SSE2__)
  for (; at + kRunBlock <= size; at += kRunBlock) {
    const __m128i bytes = LoadBlock(in + at);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (at - from)), bytes);
    const unsigned mask = RunEnds<kRaw>(bytes);
    if (mask != 0) return at - from + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  const auto& classes = kRaw ? Classes().before_decoding : Classes().decoded;
  for (; at < size && classes[static_cast<unsigned char>(in[at])] <= kSpace; ++at) {
    out[at - from] = in[at];
  }
  return at - from;
}

// The first position at or after `from` that holds a byte that matters
// inside a tag: '<', '>', and before decoding '&' and '%'; or the text's
// size.
template <bool kRaw>
size_t TagStop(std::string_view text, size_t from) {
  const auto& classes = kRaw ? Classes().before_decoding : Classes().decoded;
  return FindInSet(
      text, from, [&](unsigned char c) { return classes[c] >= kLt; },
      [](auto bytes) {
#if defined(__SSE2__)
        return TagStops<kRaw>(bytes);
#else
        return 0u;
#endif
      });
}

constexpr size_t kLongCell = 128;
constexpr size_t kHugeCell = size_t{16} << 10;

// Whether the text holds "&lt;" or "&gt;", the usual escaped brackets.
bool HoldsEscapedBracket(std::string_view text) {
  const char* const in = text.data();
  const size_t size = text.size();
  size_t at = 0;
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&'), l = _mm_set1_epi8('l'), g = _mm_set1_epi8('g');
  const __m128i t = _mm_set1_epi8('t'), semicolon = _mm_set1_epi8(';');
  for (; at + kRunBlock + 3 <= size; at += kRunBlock) {
    const __m128i second = LoadBlock(in + at + 1);
    __m128i hits = _mm_cmpeq_epi8(LoadBlock(in + at), amp);
    hits = _mm_and_si128(hits, _mm_or_si128(_mm_cmpeq_epi8(second, l), _mm_cmpeq_epi8(second, g)));
    hits = _mm_and_si128(hits, _mm_cmpeq_epi8(LoadBlock(in + at + 2), t));
    hits = _mm_and_si128(hits, _mm_cmpeq_epi8(LoadBlock(in + at + 3), semicolon));
    if (_mm_movemask_epi8(hits) != 0) return true;
  }
#endif
  for (; at + 4 <= size; ++at) {
    if (in[at] == '&' && (in[at + 1] == 'l' || in[at + 1] == 'g') && in[at + 2] == 't' &&
        in[at + 3] == ';') {
      return true;
    }
  }
  return false;
}

// `kRaw`: `text` is the cell as cut (line ends joined here when
// `join_lines`), else the decoded cell. Appends the cell's part of the
// line (with its comma) and returns kDone, or leaves `line` as it was.
template <bool kRaw>
Outcome StreamCell(std::string_view text, bool join_lines, internal::LineBuffer& line) {
  const auto& classes = kRaw ? Classes().before_decoding : Classes().decoded;
  const size_t n = text.size();
  AddEngineWork(n + 1);
  // Nothing grows: a tag of two bytes or more becomes one byte, a CR LF
  // pair one blank, "</p>" two bytes; the quotes and the comma are three.
  // Runs of text are copied a block at a time: room for one more.
  char* const out = line.Room(n + 3 + kRunBlock);
  const char* const in = text.data();
  size_t w = 0;  // bytes written at `out`
  bool started = false;  // a byte other than white space was written
  bool comma = false;
  bool tag_seen = false;
  bool stray_gt = false;
  const auto space = [&] {
    if (started && !(w >= 2 && out[w - 2] == '\r' && out[w - 1] == '\n')) out[w++] = ' ';
  };
  const auto blank = [&](char c) {
    if (started) out[w++] = c;
  };
  const bool join = kRaw && join_lines;
  size_t i = 0;
  while (i < n) {
    // Inside a run of text (not at its start, not right after a line
    // break) bytes other than the special ones are copied as they are.
    if (started && !(out[w - 1] == '\n' && w >= 2 && out[w - 2] == '\r')) {
      const size_t run = CopyRun<kRaw>(text, i, out + w);
      i += run;
      w += run;
      if (i == n) break;
    }
    const unsigned char kind = classes[static_cast<unsigned char>(in[i])];
    // Tags are the usual stop: tested first, before the jump table.
    if (kind == kLt) {
      if (stray_gt) return Outcome::kTagsDoNotAlternate;
      size_t gt = i + 1;
      bool decoded = false;
      while ((gt = TagStop<kRaw>(text, gt)) < n) {
        const unsigned char stop = classes[static_cast<unsigned char>(in[gt])];
        if (stop == kGt) break;
        if (stop == kLt) return Outcome::kTagsDoNotAlternate;
        if (stop == kEscape) {
          const internal::EntityAt entity = internal::MatchEntityAt(text, gt);
          if (entity.length > 0) {
            if (!DecodesInPlace(entity)) return Outcome::kNeedsDecoding;
            gt += entity.length;
            decoded = true;
            continue;
          }
        }
        ++gt;
      }
      if (gt >= n) return Outcome::kTagsDoNotAlternate;
      // A tag becomes a blank whatever it holds, unless it is "</p>",
      // which the decoded form of a short tag may spell ("<%2Fp>").
      if (decoded && gt - i < 8) return Outcome::kNeedsDecoding;
      tag_seen = true;
      if (gt == i + 3 && in[i + 1] == '/' && in[i + 2] == 'p') {
        // "</p><p>" is two line breaks, "</p>" one.
        const bool pair = gt + 3 < n && in[gt + 1] == '<' && in[gt + 2] == 'p' && in[gt + 3] == '>';
        for (int k = pair ? 2 : 1; k > 0; --k) {
          blank('\r');
          blank('\n');
        }
        i = pair ? gt + 4 : gt + 1;
      } else {
        space();
        i = gt + 1;
      }
      continue;
    }
    switch (kind) {
      case kPlain: {
        out[w++] = in[i++];
        started = true;
        const size_t run = CopyRun<kRaw>(text, i, out + w);
        i += run;
        w += run;
        break;
      }
      case kSpace:
        space();
        ++i;
        break;
      case kBlank:
        blank(in[i++]);
        break;
      case kCr:
        if (join && i + 1 < n && in[i + 1] == '\n') {
          space();
          i += 2;
        } else {
          blank('\r');
          ++i;
        }
        break;
      case kLf:
        if (join) {
          space();
        } else {
          blank('\n');
        }
        ++i;
        break;
      case kComma:
        comma = true;
        out[w++] = ',';
        started = true;
        ++i;
        break;
      case kE2:
        if (i + 2 < n && in[i + 1] == '\x80' && in[i + 2] == '\x99') {
          out[w++] = '\'';
          i += 3;
        } else {
          out[w++] = in[i++];
        }
        started = true;
        break;
      case kEscape: {
        const internal::EntityAt entity = internal::MatchEntityAt(text, i);
        if (entity.length == 0) {
          out[w++] = in[i++];
          started = true;
          break;
        }
        if (!DecodesInPlace(entity)) return Outcome::kNeedsDecoding;
        i += entity.length;
        for (char r : entity.replacement) {
          switch (r) {
            case ' ':
              space();
              break;
            case '\r':
            case '\n':
              blank(r);
              break;
            case ',':
              comma = true;
              [[fallthrough]];
            default:
              out[w++] = r;
              started = true;
              break;
          }
        }
        break;
      }
      case kGt:
        // A '>' outside a tag: tags are removed only when the cell has no
        // '<' at all.
        if (tag_seen) return Outcome::kTagsDoNotAlternate;
        stray_gt = true;
        out[w++] = '>';
        started = true;
        ++i;
        break;
      default:
        out[w++] = in[i++];
        started = true;
        break;
    }
  }
  while (w > 0 && scan::IsBlank(out[w - 1])) --w;
  if (comma) {
    std::memmove(out + 1, out, w);
    out[0] = '"';
    w += 2;
    out[w - 1] = '"';
  }
  out[w++] = ',';
  line.Grow(w);
  return Outcome::kDone;
}

}  // namespace

namespace internal {

void CellTextFrom(std::string_view html, bool join_lines, std::string& out) {
  const unsigned found = ByteKinds(html);
  if (join_lines && (found & kLfByte)) {
    JoinLines(html, out);
    if ((found & kEscapeByte) && !DecodeHtmlEntitiesUnlessChained(out)) {
      JoinLines(html, out);
      DecodeHtmlEntitiesChained(out);
    }
  } else if (found & kEscapeByte) {
    DecodeHtmlEntitiesFrom(html, out);
  } else if (html.size() >= kHugeCell && (found & kLtByte) && !(found & kE2Byte) &&
             !HoldsParagraphEnd(html) && !BracketsAlternate(html)) {
    // FinishCellText would go straight to the rounds: they read the cell
    // where it stands, without a copy of it as large as the cell.
    RemoveTagsInRounds(html, out);
    if (found & kCrByte) DropBlanksAfterLineBreaks(out);
    return;
  } else {
    out.assign(html);
    FinishCellText(out, found);
    return;
  }
  FinishCellText(out, ByteKinds(out));
}

void AppendCellText(std::string_view html, bool join_lines, std::string& scratch,
                    LineBuffer& line) {
  // A long cell that holds an escaped bracket is decoded first: the pass
  // would give up at it, after doing the text before it for nothing. A
  // huge cell whose brackets do not alternate goes the step-by-step way
  // from the start: the pass would give up too, but only after taking room
  // in the line for the whole cell, a copy of it at the parse's peak.
  Outcome outcome;
  if (html.size() >= kLongCell && HoldsEscapedBracket(html)) {
    outcome = Outcome::kNeedsDecoding;
  } else if (html.size() >= kHugeCell && !BracketsAlternate(html)) {
    outcome = Outcome::kTagsDoNotAlternate;
  } else {
    outcome = StreamCell<true>(html, join_lines, line);
  }
  if (outcome == Outcome::kDone) return;
  if (outcome == Outcome::kNeedsDecoding) {
    // Decoded as CellTextFrom decodes, then streamed again.
    if (join_lines && FindByte(html, '\n', 0) != kNpos) {
      JoinLines(html, scratch);
      if (!DecodeHtmlEntitiesUnlessChained(scratch)) {
        JoinLines(html, scratch);
        DecodeHtmlEntitiesChained(scratch);
      }
    } else {
      DecodeHtmlEntitiesFrom(html, scratch);
    }
    // A cell whose decoded brackets alternate takes the one pass; others
    // go straight to the rounds.
    if (BracketsAlternate(scratch)) {
      if (StreamCell<false>(scratch, false, line) == Outcome::kDone) return;
      FinishCellText(scratch, ByteKinds(scratch));
    } else {
      FinishCellText(scratch, ByteKinds(scratch) | kTagsInRounds);
    }
  } else {
    CellTextFrom(html, join_lines, scratch);
  }
  AppendFinishedCell(scratch, line);
}

}  // namespace internal

void CellHtmlToText(std::string& text) {
  unsigned found = ByteKinds(text);
  if (found & kEscapeByte) {
    DecodeHtmlEntities(text);
    found = ByteKinds(text);
  }
  FinishCellText(text, found);
}

}  // namespace quarry
