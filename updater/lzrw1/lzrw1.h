// The LZRW1 stream: a fast, simple compression format of 16-item groups,
// each under a 16-bit control word, whose items are single bytes or copies
// of 3 to 16 bytes from up to 4095 bytes back.
//
// Stream layout: a 4-byte flag word (first byte 0 = compressed, 1 = stored
// copy; the other three 0). A stored copy carries the source bytes
// unchanged after the flag. A compressed body is a sequence of groups: a
// little-endian control word, then up to 16 items; bit 0 describes the
// first item. Bit clear = literal (one byte). Bit set = copy (two bytes:
// (offset >> 4 & 0xF0) | (length - 1), then offset & 0xFF). The last
// group's control word is shifted so that its first item is still bit 0,
// and an empty last group is left out altogether.
//
// Both directions work on whole buffers in one pass, with no allocation,
// and never read or write outside the buffers they are given, whatever the
// input holds. Plain C++, no Qt.

#ifndef QUARRY_UPDATER_LZRW1_LZRW1_H_
#define QUARRY_UPDATER_LZRW1_LZRW1_H_

#include <cstddef>
#include <cstdint>

namespace quarry::lzrw1 {

inline constexpr size_t kFlagBytes = 4;
inline constexpr uint8_t kFlagCompressed = 0;
inline constexpr uint8_t kFlagStored = 1;
inline constexpr size_t kMaxCopyLength = 16;
inline constexpr size_t kMinCopyLength = 3;
inline constexpr size_t kMaxOffset = 4095;
// The most a group adds to the output: a control word and 16 copy items.
inline constexpr size_t kMaxGroupBytes = 2 + 16 * 2;
// No stream expands more than this many times its length: a copy item of
// two bytes gives at most 16.
inline constexpr uint64_t kMaxExpansionRatio = 8;

enum class CompressResult {
  kCompressed,      // a compressed stream
  kStored,          // the stored form: the data did not compress
  kLooksCompressed, // refused: the source begins with a 0 byte, as a
                    // stream does; the source was copied unchanged
  kNoRoom,          // refused: the destination cannot hold even the
                    // stored form (length + 4); nothing usable written
};

// The destination capacity that always suffices for `length` source bytes
// when the stored form is chosen once the output passes `length` x 1.1:
// room for that threshold, one more group, and the stored form.
size_t CompressCapacity(size_t length);

// Compresses source[0 .. length) into destination[0 .. capacity). The
// output switches to the stored form when, at the start of a group, it has
// passed `stored_threshold` bytes (the classic choice is length x 1.1);
// the threshold is lowered as needed so that no group can write past the
// capacity. *out_length receives the bytes written (an empty source takes
// the stored form, four bytes). Never writes past capacity.
CompressResult Compress(const uint8_t* source, size_t length,
                        uint8_t* destination, size_t capacity,
                        size_t stored_threshold, size_t* out_length);

enum class ExpandResult {
  kExpanded,       // destination[0 .. *out_length) holds the data
  kStoredCopy,     // refused: a stored copy, which is copied out unchanged
                   // (as far as it fits) but never accepted
  kTooShort,       // refused: shorter than the flag word
  kBadFlag,        // refused: a flag word of neither known form
  kOverrun,        // refused: would write past the destination's capacity
  kBadOffset,      // refused: a copy from offset 0 or from before the output
  kTruncated,      // refused: the stream ends inside a control word or item
};

// Expands `stream` into destination[0 .. capacity). *out_length receives
// the bytes produced (for a refused stream, those produced before the
// refusal). Runs in time linear in length + capacity.
ExpandResult Expand(const uint8_t* stream, size_t length, uint8_t* destination,
                    size_t capacity, size_t* out_length);

}  // namespace quarry::lzrw1

#endif  // QUARRY_UPDATER_LZRW1_LZRW1_H_
