// Decoding of the character references and URL escapes found in table cells.
//
// This is not a general HTML decoder. It is a fixed list of 177 exact text
// replacements applied in a fixed order, each over the whole text, and the
// order decides the result: "&amp;lt;" ends as "<" but "&amp;quot;" as
// "&quot;", "%2526" ends as "&". Cells keep their 8-bit bytes; references
// to 160-255 become the Latin-1 byte (except "&#160;"/"&nbsp;", a blank, and
// 171/187, which become "<<" and ">>").

#ifndef QUARRY_ENGINE_ENTITY_DECODER_H_
#define QUARRY_ENGINE_ENTITY_DECODER_H_

#include <string>
#include <string_view>

namespace quarry {

// Replaces, in place, every reference and escape of the list, step after
// step, exactly as if each of the 177 steps replaced all occurrences of its
// pattern (left to right, without overlap) in the result of the step before.
// A text with neither '&' nor '%' is left alone after one scan; others take
// one more pass, and a text whose replacements complete further patterns
// ("&amp;lt;") a pass to file its occurrences by step and then a look at
// each occurrence in step order: the cost stays bounded per byte whatever
// the text, and the memory within the text plus four bytes per occurrence.
// Never fails; the text is always left fully decoded.
void DecodeHtmlEntities(std::string& text);

namespace internal {

// The same for the scanner's cells, without a second copy of the text.

// Writes the decoded form of `source` into `out`, which must not hold
// `source`.
void DecodeHtmlEntitiesFrom(std::string_view source, std::string& out);

// Decodes `text` in place and returns true, unless a replacement completes
// a further pattern (a chain, rare): then returns false with `text` left
// unspecified, and the caller gives DecodeHtmlEntitiesChained a fresh copy
// of the original.
bool DecodeHtmlEntitiesUnlessChained(std::string& text);

// The exact, step by step decoding, in place; right for every text, meant
// for those with chains.
void DecodeHtmlEntitiesChained(std::string& text);

// The reference or escape of the list that starts at `at` in `text`, for
// a reader that decodes as it goes. At most one pattern can start at any
// position. `completes_nothing`: the replacement, put where the pattern
// stands, cannot complete a further pattern with the text after it or
// before it (it makes no byte that patterns are made of, or a '&' that no
// pattern follows), so decoding it there gives what the ordered steps
// give, as long as the same holds for every other replacement in the text.
struct EntityAt {
  size_t length = 0;  // the pattern's; 0 when none starts here
  std::string_view replacement;
  bool completes_nothing = false;
};
EntityAt MatchEntityAt(std::string_view text, size_t at);

}  // namespace internal

}  // namespace quarry

#endif  // QUARRY_ENGINE_ENTITY_DECODER_H_
