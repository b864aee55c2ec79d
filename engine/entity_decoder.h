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

namespace quarry {

// Replaces, in place, every reference and escape of the list, step after
// step, exactly as if each of the 177 steps replaced all occurrences of its
// pattern (left to right, without overlap) in the result of the step before.
// A text with neither '&' nor '%' is left alone after one scan; others
// usually take one more pass, and a text whose replacements complete
// further patterns ("&amp;lt;") a pass per step that finds something.
// Never fails; the text is always left fully decoded.
void DecodeHtmlEntities(std::string& text);

}  // namespace quarry

#endif  // QUARRY_ENGINE_ENTITY_DECODER_H_
