// The tag removal of a cell's text, as the scanner has always done it, in a
// form whose cost stays bounded per byte of the cell whatever its shape.
//
// The removal is defined as a loop over the whole text: take the first '<'
// and the first '>'. With no '>' left, every '<' is dropped and the loop
// ends. With the '>' first, every copy of the text up to and including it
// is deleted; otherwise every copy of the tag text "<...>" is replaced by a
// blank, then every copy of its "</...>" form. The loop runs while the text
// holds a '<'. Copies are taken left to right without overlap, each
// replacement over the result of the one before.
//
// Done literally every round is a pass over the cell, and a cell can need a
// round per '>' it holds. Here every replacement only ever hits text that
// ends right before a '>', so the text is kept as its pieces between '>'
// ("segments"), joined in place without copying, and the segments that end
// with a round's text are found through an index of their endings: a trie
// keyed by their last bytes up to their last '<', then by the hashes of the
// pieces between earlier '<'. A segment is filed only as deep into the trie
// as some round has needed, and moves deeper one step at a time, so each
// byte of the cell is looked at a bounded number of times between two
// changes of its segment. Hash matches are confirmed byte by byte: the
// result is exactly the literal loop's.
//
// Working memory is about 25 bytes per '>' of the cell, plus about 45 per
// index node (made only where two segments share a step), 11 to 17 per
// segment alone under its last step, and 17 to 34 per segment whose steps
// reach back past its last piece (at most every other one): a cell dense
// with tags that do not alternate needs several times its own size while
// it is worked on. Cells whose '<' and '>' alternate (nearly all) never get
// here: CellHtmlToText replaces their tags in one pass.
// Thread-safe: no state is kept between calls. Work is reported to the
// engine's work meter.

#ifndef QUARRY_ENGINE_TAG_REMOVAL_H_
#define QUARRY_ENGINE_TAG_REMOVAL_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quarry {

// Removes the tags of `text` as described above, in place.
void RemoveTagsInRounds(std::string& text);

// The same, reading `text` where it stands and writing the result to
// `out` (replacing what it held; `text` must not lie inside it): a large
// cell then needs no working copy of itself, only room for what the rounds
// leave.
void RemoveTagsInRounds(std::string_view text, std::string& out);

namespace internal {

// The same, choosing how each round's hits are found: texts cut by '>'
// into more than `index_from` segments use the index, smaller ones look at
// every segment. The result does not depend on it; tests compare both.
std::string RemoveTagsByRounds(std::string_view text, size_t index_from);

}  // namespace internal

}  // namespace quarry

#endif  // QUARRY_ENGINE_TAG_REMOVAL_H_
