#include "updater/lzrw1/lzrw1.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quarry::lzrw1 {

namespace {

constexpr size_t kHashEntries = 4096;

// The hash of the next three bytes, exactly as the format's compressor
// computes it, so that our containers match the classic ones bit for bit.
inline uint32_t HashIndex(const uint8_t* p) {
  const uint32_t v = (((uint32_t{p[0]} << 4) ^ p[1]) << 4) ^ p[2];
  return ((40543u * v) >> 4) & 0xFFFu;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// How many of the 16 bytes at `a` and `b` agree from the start; both must
// have 16 readable bytes.
inline size_t MatchLength16(const uint8_t* a, const uint8_t* b) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t diff = Load64(a) ^ Load64(b);
    if (diff != 0) return static_cast<size_t>(std::countr_zero(diff)) / 8;
    diff = Load64(a + 8) ^ Load64(b + 8);
    if (diff != 0) return 8 + static_cast<size_t>(std::countr_zero(diff)) / 8;
    return 16;
  } else {
    size_t n = 0;
    while (n < 16 && a[n] == b[n]) ++n;
    return n;
  }
}

inline void StoreWord(uint8_t* p, uint32_t word) {
  p[0] = static_cast<uint8_t>(word & 0xFF);
  p[1] = static_cast<uint8_t>((word >> 8) & 0xFF);
}

// Margins that let a whole group expand without checks: a group reads at
// most 2 + 32 bytes (the block copy of literals reads 16 at a time), and
// writes at most 256 (copies write 16 at a time).
constexpr size_t kFastInput = 32 + 16;
constexpr size_t kFastOutput = 256 + 16;

// The copy item's `count` bytes from `offset` back, as the byte-by-byte
// copy makes them, writing up to 16 bytes at `to` (the caller leaves room).
inline void CopyItem(uint8_t* to, size_t offset, size_t count) {
  const uint8_t* from = to - offset;
  if (offset >= 8) {
    // The second step reads only bytes the first has written, or older
    // ones. Bytes past `count` are overwritten by what follows.
    std::memcpy(to, from, 8);
    std::memcpy(to + 8, from + 8, 8);
  } else {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
  }
}

CompressResult WriteStored(const uint8_t* source, size_t length, uint8_t* destination,
                           size_t capacity, size_t* out_length) {
  if (capacity < kFlagBytes || length > capacity - kFlagBytes) return CompressResult::kNoRoom;
  destination[0] = kFlagStored;
  destination[1] = destination[2] = destination[3] = 0;
  if (length > 0) std::memcpy(destination + kFlagBytes, source, length);
  *out_length = length + kFlagBytes;
  return CompressResult::kStored;
}

}  // namespace

size_t CompressCapacity(size_t length) {
  const size_t threshold = length + length / 10;
  return std::max(threshold + kMaxGroupBytes + kFlagBytes + 2, length + kFlagBytes);
}

CompressResult Compress(const uint8_t* source, size_t length, uint8_t* destination,
                        size_t capacity, size_t stored_threshold, size_t* out_length) {
  *out_length = 0;
  if (length > 0 && source[0] == 0) {
    const size_t n = std::min(length, capacity);
    if (n > 0) std::memcpy(destination, source, n);
    *out_length = n;
    return CompressResult::kLooksCompressed;
  }
  // The compressed body starts after the flag word and the first control
  // word; a group started at or below `limit` cannot pass the capacity.
  constexpr size_t kStart = kFlagBytes + 2;
  if (capacity < kStart + kMaxGroupBytes) {
    return WriteStored(source, length, destination, capacity, out_length);
  }
  const size_t limit = std::min(stored_threshold, capacity - kMaxGroupBytes);

  uint32_t table[kHashEntries] = {};  // position + 1 of the last such triple
  destination[0] = kFlagCompressed;
  destination[1] = destination[2] = destination[3] = 0;
  size_t control_at = kFlagBytes;
  size_t op = kStart;
  uint32_t control = 0;
  unsigned items = 0;
  size_t ip = 0;

  while (true) {
    if (op > limit) return WriteStored(source, length, destination, capacity, out_length);
    const size_t remaining = length - ip;
    unsigned unroll = 16;
    bool literals_only = false;
    if (remaining < 256) {
      unroll = 1;
      if (remaining < kMaxCopyLength) {
        if (remaining == 0) break;
        literals_only = true;
      }
    }
    for (unsigned k = 0; k < unroll; ++k) {
      // Here at least 16 source bytes remain unless literals_only. The
      // candidate test is branch-free: on data that barely repeats, whether
      // a table entry is recent enough is a coin toss the processor would
      // keep guessing wrong.
      if (!literals_only) {
        const uint8_t* current = source + ip;
        uint32_t& entry = table[HashIndex(current)];
        const size_t from = entry != 0 ? entry - 1 : ip;
        entry = static_cast<uint32_t>(ip + 1);
        const size_t offset = ip - from;
        const size_t in_reach = offset - 1 < kMaxOffset;  // offset 1..4095
        const size_t match = MatchLength16(source + from, current) & (0 - in_reach);
        if (match >= kMinCopyLength) {
          destination[op] = static_cast<uint8_t>(((offset >> 4) & 0xF0) | (match - 1));
          destination[op + 1] = static_cast<uint8_t>(offset & 0xFF);
          op += 2;
          ip += match;
          control |= 1u << items;
          ++items;
          continue;
        }
      }
      destination[op++] = source[ip++];
      ++items;
    }
    if (items == 16) {
      StoreWord(destination + control_at, control);
      control_at = op;
      op += 2;
      control = 0;
      items = 0;
    }
  }

  if (items == 0) {
    op = control_at;  // an empty last group loses its control word
  } else {
    StoreWord(destination + control_at, control);
  }
  *out_length = op;
  return CompressResult::kCompressed;
}

ExpandResult Expand(const uint8_t* stream, size_t length, uint8_t* destination,
                    size_t capacity, size_t* out_length) {
  *out_length = 0;
  if (length < kFlagBytes) return ExpandResult::kTooShort;
  if (stream[1] != 0 || stream[2] != 0 || stream[3] != 0) return ExpandResult::kBadFlag;
  if (stream[0] == kFlagStored) {
    const size_t n = std::min(length - kFlagBytes, capacity);
    if (n > 0) std::memcpy(destination, stream + kFlagBytes, n);
    *out_length = n;
    return ExpandResult::kStoredCopy;
  }
  if (stream[0] != kFlagCompressed) return ExpandResult::kBadFlag;

  size_t ip = kFlagBytes;
  size_t op = 0;
  ExpandResult result = ExpandResult::kExpanded;
  while (ip < length) {
    if (length - ip < 2) {
      result = ExpandResult::kTruncated;
      break;
    }
    uint32_t control = stream[ip] | (uint32_t{stream[ip + 1]} << 8);
    ip += 2;
    if (length - ip >= kFastInput && capacity - op >= kFastOutput) {
      // A whole group far from both ends: no bound checks per item, and
      // each run of literals is one block copy.
      uint32_t bits = control | 0x10000u;  // marks the end of the 16 items
      while (true) {
        const unsigned literals = static_cast<unsigned>(std::countr_zero(bits));
        std::memcpy(destination + op, stream + ip, 16);
        op += literals;
        ip += literals;
        bits >>= literals;
        if (bits == 1) break;
        const uint8_t b0 = stream[ip];
        const uint8_t b1 = stream[ip + 1];
        ip += 2;
        const size_t count = (b0 & 0x0F) + 1u;
        const size_t offset = (size_t{b0 & 0xF0u} << 4) | b1;
        if (offset == 0 || offset > op) {
          *out_length = op;
          return ExpandResult::kBadOffset;
        }
        CopyItem(destination + op, offset, count);
        op += count;
        bits >>= 1;
        if (bits == 1) break;
      }
      continue;
    }
    for (unsigned item = 0; item < 16 && ip < length; ++item, control >>= 1) {
      if ((control & 1) == 0) {
        if (op >= capacity) {
          result = ExpandResult::kOverrun;
          break;
        }
        destination[op++] = stream[ip++];
        continue;
      }
      if (length - ip < 2) {
        result = ExpandResult::kTruncated;
        break;
      }
      const uint8_t b0 = stream[ip];
      const uint8_t b1 = stream[ip + 1];
      ip += 2;
      const size_t count = (b0 & 0x0F) + 1u;
      const size_t offset = (size_t{b0 & 0xF0u} << 4) | b1;
      if (offset == 0 || offset > op) {
        result = ExpandResult::kBadOffset;
        break;
      }
      if (count > capacity - op) {
        result = ExpandResult::kOverrun;
        break;
      }
      uint8_t* to = destination + op;
      if (capacity - op >= 16) {
        CopyItem(to, offset, count);
      } else {
        const uint8_t* from = to - offset;
        for (size_t i = 0; i < count; ++i) to[i] = from[i];
      }
      op += count;
    }
    if (result != ExpandResult::kExpanded) break;
  }
  *out_length = op;
  return result;
}

}  // namespace quarry::lzrw1
