// Pieces of the table scanner exposed for its tests only.

#ifndef QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
#define QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quarry::internal {

// The tag removal of CellHtmlToText, round by round (without the shortcut
// for cells whose '<' and '>' alternate). Texts cut by '>' into more than
// `index_from` pieces find each round's hits through indexes, smaller ones
// by looking at every piece; the result does not depend on it.
std::string RemoveTagsByRounds(std::string_view text, size_t index_from);

}  // namespace quarry::internal

#endif  // QUARRY_ENGINE_TABLE_SCANNER_INTERNAL_H_
