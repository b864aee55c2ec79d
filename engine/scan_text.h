// Small text searches shared by the scanner's files. Positions are byte
// offsets; npos means "not found". Every search costs at most the bytes it
// passes over, which it reports to the engine's work meter.

#ifndef QUARRY_ENGINE_SCAN_TEXT_H_
#define QUARRY_ENGINE_SCAN_TEXT_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/byte_search.h"
#include "engine/work_meter.h"

namespace quarry::scan {

constexpr size_t kNpos = std::string_view::npos;

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The substring at [pos, pos + count), clipped to the text; never throws.
inline std::string_view Sub(std::string_view text, int64_t pos, int64_t count) {
  if (pos < 0) pos = 0;
  const auto size = static_cast<int64_t>(text.size());
  if (pos >= size || count <= 0) return {};
  return text.substr(static_cast<size_t>(pos), static_cast<size_t>(std::min(count, size - pos)));
}

// Position of byte `c` at or after `from`, or kNpos.
inline size_t FindByte(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return kNpos;
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  const size_t at = hit == nullptr ? kNpos : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
  AddEngineWork((at == kNpos ? text.size() : at + 1) - from);
  return at;
}

// Whether `text` at `pos` spells `lower` (given in lower case) in any mix
// of ASCII case.
inline bool MatchesNoCase(std::string_view text, size_t pos, std::string_view lower) {
  if (pos > text.size() || text.size() - pos < lower.size()) return false;
  for (size_t i = 0; i < lower.size(); ++i) {
    if (AsciiLower(text[pos + i]) != lower[i]) return false;
  }
  return true;
}

// Searches one unchanging text for a pattern in any mix of ASCII case (the
// pattern's first byte is not a letter), remembering its last answer:
// asked again from a later position before that answer, it is still right,
// so a walk that asks from growing positions passes over the text once.
class NoCaseFinder {
 public:
  NoCaseFinder(std::string_view text, std::string_view lower) : text_(text), lower_(lower) {}

  size_t Next(size_t from) {
    if (!known_ || from < from_ || (hit_ != kNpos && hit_ < from)) {
      from_ = from;
      hit_ = Search(from);
      known_ = true;
    }
    return hit_;
  }

 private:
  size_t Search(size_t from) const {
    for (size_t at = NextCandidate(text_, from, lower_); at != kNpos;
         at = NextCandidate(text_, at + 1, lower_)) {
      if (MatchesNoCase(text_, at, lower_)) return at;
    }
    return kNpos;
  }

  std::string_view text_;
  std::string_view lower_;
  size_t from_ = 0;
  size_t hit_ = 0;
  bool known_ = false;
};

// Replaces, in place, every occurrence of `from` (left to right, without
// overlap) by `to`, which must not be longer.
inline void ReplaceAllInPlace(std::string& text, std::string_view from, std::string_view to) {
  size_t hit = text.find(from);
  if (hit == std::string::npos || from.empty()) return;
  size_t write = hit;
  size_t read = hit;
  while (hit != std::string::npos) {
    if (write != read) std::memmove(&text[write], &text[read], hit - read);
    write += hit - read;
    std::memcpy(&text[write], to.data(), to.size());
    write += to.size();
    read = hit + from.size();
    hit = text.find(from, read);
  }
  std::memmove(&text[write], text.data() + read, text.size() - read);
  write += text.size() - read;
  AddEngineWork(text.size());
  text.resize(write);
}

}  // namespace quarry::scan

#endif  // QUARRY_ENGINE_SCAN_TEXT_H_
