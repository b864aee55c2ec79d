#include "engine/entity_decoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quarry {

namespace {

struct Step {
  std::string pattern;
  std::string replacement;
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

    for (size_t i = 0; i < steps_.size(); ++i) {
      index_.emplace(std::string_view(steps_[i].pattern), static_cast<int>(i));
    }
  }

  const Step& operator[](size_t i) const { return steps_[i]; }
  size_t size() const { return steps_.size(); }

  // The step whose pattern starts at text[pos], or -1.
  int MatchAt(std::string_view text, size_t pos) const {
    const char c = text[pos];
    if (c == '%') {
      for (size_t length : {size_t{6}, size_t{3}}) {
        if (int step = Lookup(text.substr(pos, length)); step >= 0) return step;
      }
      return -1;
    }
    if (c != '&') return -1;
    const size_t semi = text.substr(pos, kMaxPatternLength).find(';');
    if (semi == std::string_view::npos) return -1;
    return Lookup(text.substr(pos, semi + 1));
  }

 private:
  void Add(std::string pattern, std::string replacement) {
    steps_.push_back({std::move(pattern), std::move(replacement)});
  }

  int Lookup(std::string_view candidate) const {
    auto it = index_.find(candidate);
    return it == index_.end() ? -1 : it->second;
  }

  // Candidates are at most eight bytes: packing them into one word is
  // cheaper than hashing them as text.
  struct ShortHash {
    size_t operator()(std::string_view text) const {
      uint64_t word = 0;
      std::memcpy(&word, text.data(), std::min(text.size(), sizeof word));
      return static_cast<size_t>((word ^ text.size()) * 0x9E3779B97F4A7C15ull >> 20);
    }
  };

  std::vector<Step> steps_;
  std::unordered_map<std::string_view, int, ShortHash> index_;
};

const StepTable& Steps() {
  static const StepTable table;
  return table;
}

using Pending = std::array<bool, kStepCount>;

// Runs step `k` over the whole text. A replacement can complete a pattern
// together with its neighbours (the ';' of "&#60%3B", the '&' of
// "&amp;lt;"); such new occurrences of later steps are marked pending. New
// occurrences of step k itself stay, as a single left-to-right pass leaves
// them.
void RunStep(const StepTable& steps, size_t k, std::string& text, Pending& pending) {
  const std::string_view pattern = steps[k].pattern;
  const std::string_view replacement = steps[k].replacement;
  size_t hit = text.find(pattern);
  if (hit == std::string::npos) return;

  std::string out;
  out.reserve(text.size());
  std::vector<size_t> joins;  // where replacements start in `out`
  size_t from = 0;
  while (hit != std::string::npos) {
    out.append(text, from, hit - from);
    joins.push_back(out.size());
    out.append(replacement);
    from = hit + pattern.size();
    hit = text.find(pattern, from);
  }
  out.append(text, from, std::string::npos);
  text.swap(out);

  const std::string_view view(text);
  for (size_t join : joins) {
    const size_t first = join >= kMaxPatternLength - 1 ? join - (kMaxPatternLength - 1) : 0;
    const size_t last = join + replacement.size();  // exclusive
    for (size_t pos = first; pos < last; ++pos) {
      const int step = steps.MatchAt(view, pos);
      if (step > static_cast<int>(k)) pending[static_cast<size_t>(step)] = true;
    }
  }
}

// Walks the '&' and '%' bytes of a text in order, with one memchr stream
// per byte (find_first_of would look every byte up in its set).
class EscapeWalker {
 public:
  explicit EscapeWalker(std::string_view text)
      : text_(text), amp_(Find('&', 0)), pct_(Find('%', 0)) {}

  // The next '&' or '%' at or after `from`, or npos; `from` must not go
  // back between calls.
  size_t Next(size_t from) {
    if (amp_ < from) amp_ = Find('&', from);
    if (pct_ < from) pct_ = Find('%', from);
    return std::min(amp_, pct_);
  }

 private:
  size_t Find(char c, size_t from) const {
    if (from >= text_.size()) return std::string_view::npos;
    const void* hit = std::memchr(text_.data() + from, c, text_.size() - from);
    return hit == nullptr ? std::string_view::npos
                          : static_cast<size_t>(static_cast<const char*>(hit) - text_.data());
  }

  std::string_view text_;
  size_t amp_;
  size_t pct_;
};

struct Occurrence {
  size_t pos;
  int step;
};

}  // namespace

void DecodeHtmlEntities(std::string& text) {
  // Every pattern starts with '&' or '%': without them nothing can change.
  const std::string_view view(text);
  EscapeWalker walker(view);
  size_t pos = walker.Next(0);
  if (pos == std::string_view::npos) return;

  const StepTable& steps = Steps();
  std::vector<Occurrence> found;
  while (pos != std::string_view::npos) {
    const int step = steps.MatchAt(view, pos);
    if (step >= 0) found.push_back({pos, step});
    pos = walker.Next(pos + (step >= 0 ? steps[static_cast<size_t>(step)].pattern.size() : 1));
  }
  if (found.empty()) return;

  // Occurrences never overlap and a replacement never touches another
  // occurrence, so the steps' only interplay is a replacement completing a
  // new pattern with its neighbours. Unless that happens, the ordered steps
  // give what replacing every occurrence at once gives: try that first.
  std::string out;
  out.reserve(text.size());
  std::vector<std::pair<size_t, size_t>> joins;  // replacement spans in `out`
  joins.reserve(found.size());
  size_t done = 0;
  for (const Occurrence& hit : found) {
    const Step& step = steps[static_cast<size_t>(hit.step)];
    out.append(text, done, hit.pos - done);
    joins.push_back({out.size(), step.replacement.size()});
    out += step.replacement;
    done = hit.pos + step.pattern.size();
  }
  out.append(text, done, std::string::npos);
  bool chained = false;
  for (const auto& [join, length] : joins) {
    const size_t first = join >= kMaxPatternLength - 1 ? join - (kMaxPatternLength - 1) : 0;
    for (size_t at = first; at < join + length && !chained; ++at) {
      chained = steps.MatchAt(out, at) >= 0;
    }
    if (chained) break;
  }
  if (!chained) {
    text.swap(out);
    return;
  }

  // A chain: run the steps in order, each over the whole text, skipping the
  // steps that have nothing to replace.
  Pending pending{};
  for (const Occurrence& hit : found) pending[static_cast<size_t>(hit.step)] = true;
  for (size_t k = 0; k < steps.size(); ++k) {
    if (pending[k]) RunStep(steps, k, text, pending);
  }
}

}  // namespace quarry
