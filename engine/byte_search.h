// Wide searches over a text, sixteen bytes at a step where the processor
// has the instructions for it (SSE2, part of every x86-64), byte by byte
// elsewhere. They only find candidates and positions; what a match means
// is decided by the caller, so both forms give the same answers.
//
// Positions are byte offsets; kNoByte means "none". Every function reads
// only the bytes of the text it is given and reports the bytes it passes
// over to the engine's work meter.

#ifndef QUARRY_ENGINE_BYTE_SEARCH_H_
#define QUARRY_ENGINE_BYTE_SEARCH_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/work_meter.h"

namespace quarry::scan {

constexpr size_t kNoByte = std::string_view::npos;

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The first position at or after `from` where the text starts like
// `lower` (given in lower case, at least one byte): its first four bytes
// (all of a shorter pattern) compared with ASCII letters in either case
// and other bytes exactly, and the whole pattern fitting in the text. A
// candidate only: the caller checks the rest of the pattern and the case
// rule it needs, and asks again from the next byte when it does not hold.
inline size_t NextCandidate(std::string_view text, size_t from, std::string_view lower) {
  const size_t size = text.size();
  if (lower.empty() || size < lower.size() || from > size - lower.size()) {
    if (from < size) AddEngineWork(size - from);
    return kNoByte;
  }
  const size_t last = size - lower.size();  // the last possible start
  const size_t width = std::min<size_t>(lower.size(), 4);
  const char* const data = text.data();
  size_t at = from;
  const auto done = [&](size_t found) {
    AddEngineWork((found == kNoByte ? size : found + 1) - from);
    return found;
  };
#if defined(__SSE2__)
  __m128i want[4], fold[4];
  for (size_t k = 0; k < width; ++k) {
    want[k] = _mm_set1_epi8(lower[k]);
    fold[k] = _mm_set1_epi8(IsAsciiLetter(lower[k]) ? 0x20 : 0);
  }
  // Each step loads 16 bytes at each of the first `width` offsets.
  while (at + 16 + width - 1 <= size) {
    __m128i hits = _mm_cmpeq_epi8(
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)), fold[0]), want[0]);
    for (size_t k = 1; k < width; ++k) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + k));
      hits = _mm_and_si128(hits, _mm_cmpeq_epi8(_mm_or_si128(bytes, fold[k]), want[k]));
    }
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) {
      const size_t found = at + static_cast<size_t>(__builtin_ctz(mask));
      return done(found <= last ? found : kNoByte);
    }
    at += 16;
  }
#endif
  for (; at <= last; ++at) {
    size_t k = 0;
    while (k < width) {
      const char c = data[at + k];
      const char folded = IsAsciiLetter(lower[k]) ? static_cast<char>(c | 0x20) : c;
      if (folded != lower[k]) break;
      ++k;
    }
    if (k == width) return done(at);
  }
  return done(kNoByte);
}

// The first position at or after `from` that holds `a` or `b`, or kNoByte.
// Not metered: its callers count the text they walk.
inline size_t NextByteOf(std::string_view text, size_t from, char a, char b) {
  const char* const data = text.data();
  const size_t size = text.size();
  size_t at = from;
#if defined(__SSE2__)
  const __m128i want_a = _mm_set1_epi8(a);
  const __m128i want_b = _mm_set1_epi8(b);
  for (; at + 16 <= size; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, want_a), _mm_cmpeq_epi8(bytes, want_b))));
    if (mask != 0) return at + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; at < size; ++at) {
    if (data[at] == a || data[at] == b) return at;
  }
  return kNoByte;
}

// Calls visit(position) for every byte of the text that is `a` or `b` and
// followed by `letter` (given in lower case) in either case, in text order.
template <typename Visit>
void ForEachByteOfBeforeLetter(std::string_view text, char a, char b, char letter,
                               const Visit& visit) {
  const char* const data = text.data();
  const size_t size = text.size();
  size_t at = 0;
  AddEngineWork(size);
#if defined(__SSE2__)
  const __m128i want_a = _mm_set1_epi8(a);
  const __m128i want_b = _mm_set1_epi8(b);
  const __m128i want_letter = _mm_set1_epi8(letter);
  const __m128i fold = _mm_set1_epi8(0x20);
  for (; at + 17 <= size; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
    const __m128i hits =
        _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, want_a), _mm_cmpeq_epi8(bytes, want_b)),
                      _mm_cmpeq_epi8(_mm_or_si128(next, fold), want_letter));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0;
         mask &= mask - 1) {
      visit(at + static_cast<size_t>(__builtin_ctz(mask)));
    }
  }
#endif
  for (; at + 1 < size; ++at) {
    if ((data[at] == a || data[at] == b) && (data[at + 1] | 0x20) == letter) visit(at);
  }
}

// Calls visit(position) for every byte of the text that is `a` or `b`, in
// text order.
template <typename Visit>
void ForEachByteOf(std::string_view text, char a, char b, const Visit& visit) {
  const char* const data = text.data();
  const size_t size = text.size();
  size_t at = 0;
  AddEngineWork(size);
#if defined(__SSE2__)
  const __m128i want_a = _mm_set1_epi8(a);
  const __m128i want_b = _mm_set1_epi8(b);
  for (; at + 16 <= size; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, want_a), _mm_cmpeq_epi8(bytes, want_b))));
    while (mask != 0) {
      visit(at + static_cast<size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; at < size; ++at) {
    if (data[at] == a || data[at] == b) visit(at);
  }
}

}  // namespace quarry::scan

#endif  // QUARRY_ENGINE_BYTE_SEARCH_H_
