// The LZRW1 stream in both directions: round trips, the stored form, the
// buffer bounds, and every way a damaged stream is refused.

#include "updater/lzrw1/lzrw1.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace quarry::lzrw1 {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kGuard = 64;

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng() | 1);  // never a leading 0
  return out;
}

// Words from a small vocabulary: compresses like text does.
Bytes TextLike(size_t n, uint32_t seed) {
  static const char* kWords[] = {"table ", "row ", "<td>", "</td>", "price ", "quarry ",
                                 "12.50 ", "update ", "\r\n", "value=\"", "\" "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < n) {
    const char* w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(n);
  if (!out.empty() && out[0] == 0) out[0] = 'x';
  return out;
}

// Compresses into a buffer of exactly `capacity` bytes followed by a
// guard zone, and checks that the guard is untouched.
CompressResult CompressGuarded(const Bytes& source, size_t capacity, Bytes* stream) {
  Bytes buffer(capacity + kGuard, kCanary);
  size_t written = 0;
  const CompressResult result = Compress(source.data(), source.size(), buffer.data(), capacity,
                                         source.size() + source.size() / 10, &written);
  for (size_t i = capacity; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], kCanary) << "wrote past the capacity at " << i;
  }
  EXPECT_LE(written, capacity);
  buffer.resize(written);
  *stream = std::move(buffer);
  return result;
}

ExpandResult ExpandGuarded(const Bytes& stream, size_t capacity, Bytes* out) {
  Bytes buffer(capacity + kGuard, kCanary);
  size_t produced = 0;
  const ExpandResult result =
      Expand(stream.data(), stream.size(), buffer.data(), capacity, &produced);
  for (size_t i = capacity; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], kCanary) << "wrote past the capacity at " << i;
  }
  EXPECT_LE(produced, capacity);
  buffer.resize(produced);
  *out = std::move(buffer);
  return result;
}

// The form a source must take: compressed, stored, or either.
enum class Form { kCompressed, kStored, kAny };

struct RoundTripCase {
  const char* name;
  Bytes data;
  Form form;
};

TEST(Lzrw1Test, RoundTripsEveryKindOfData) {
  Bytes runs;
  for (int i = 0; i < 3000; ++i) runs.push_back(static_cast<uint8_t>('a' + (i / 37) % 5));
  Bytes period7;
  for (int i = 0; i < 5000; ++i) period7.push_back(static_cast<uint8_t>(1 + i % 7));
  // Matches exactly 4095 back, and one byte too far for a copy.
  Bytes far = RandomBytes(9000, 3);
  std::memcpy(far.data() + 4095, far.data(), 32);
  std::memcpy(far.data() + 8000, far.data() + 8000 - 4096, 32);

  const std::vector<RoundTripCase> cases = {
      {"empty", {}, Form::kAny},
      {"one byte", {'x'}, Form::kStored},
      {"three bytes", {'x', 'y', 'z'}, Form::kStored},
      {"short text", TextLike(39, 1), Form::kAny},
      {"text 1 KiB", TextLike(1024, 2), Form::kCompressed},
      {"text 300 KiB", TextLike(300000, 3), Form::kCompressed},
      {"random 17", RandomBytes(17, 4), Form::kStored},
      {"random 64 KiB", RandomBytes(65536, 5), Form::kStored},
      {"runs", runs, Form::kCompressed},
      {"period 7", period7, Form::kCompressed},
      {"matches 4095 and 4096 back", far, Form::kAny},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes stream;
    const CompressResult result = CompressGuarded(c.data, CompressCapacity(c.data.size()), &stream);
    ASSERT_TRUE(result == CompressResult::kCompressed || result == CompressResult::kStored);
    if (c.form != Form::kAny) {
      EXPECT_EQ(result == CompressResult::kStored, c.form == Form::kStored);
    }
    if (result == CompressResult::kStored) {
      EXPECT_EQ(stream.size(), c.data.size() + kFlagBytes);
      Bytes copy;
      EXPECT_EQ(ExpandGuarded(stream, c.data.size(), &copy), ExpandResult::kStoredCopy);
      EXPECT_EQ(copy, c.data);  // copied out, yet refused
      continue;
    }
    Bytes back;
    ASSERT_EQ(ExpandGuarded(stream, c.data.size(), &back), ExpandResult::kExpanded);
    EXPECT_EQ(back, c.data);
  }
}

TEST(Lzrw1Test, SmallCapacitiesNeverOverflow) {
  // The classic 1.1x buffer is too small for short sources (flag word and
  // control word alone are six bytes) and for a group that starts just
  // under the threshold. Every size and a capacity of exactly 1.1x, or the
  // stored form's size, must stay inside the buffer.
  for (size_t n = 1; n <= 300; ++n) {
    const Bytes text = TextLike(n, static_cast<uint32_t>(n));
    for (size_t capacity : {n + n / 10, n + kFlagBytes, n + kFlagBytes + 1}) {
      SCOPED_TRACE(testing::Message() << "n=" << n << " capacity=" << capacity);
      Bytes stream;
      const CompressResult result = CompressGuarded(text, capacity, &stream);
      if (result == CompressResult::kNoRoom) {
        EXPECT_LT(capacity, n + kFlagBytes);
        continue;
      }
      Bytes back;
      const ExpandResult expanded = ExpandGuarded(stream, n, &back);
      EXPECT_TRUE(expanded == ExpandResult::kExpanded || expanded == ExpandResult::kStoredCopy);
      EXPECT_EQ(back, text);
    }
  }
}

// The items of a stream, as "L" (literal) and "C<offset>/<length>".
std::vector<std::string> Items(const Bytes& stream) {
  std::vector<std::string> items;
  size_t ip = kFlagBytes;
  while (ip + 2 <= stream.size()) {
    uint32_t control = stream[ip] | (stream[ip + 1] << 8);
    ip += 2;
    for (int i = 0; i < 16 && ip < stream.size(); ++i, control >>= 1) {
      if ((control & 1) == 0) {
        items.push_back("L");
        ++ip;
      } else {
        const int offset = ((stream[ip] & 0xF0) << 4) | stream[ip + 1];
        items.push_back("C" + std::to_string(offset) + "/" +
                        std::to_string((stream[ip] & 0x0F) + 1));
        ip += 2;
      }
    }
  }
  return items;
}

TEST(Lzrw1Test, ARunIsOneLiteralThenOverlappingCopies) {
  const Bytes run(1000, 'q');
  Bytes stream;
  ASSERT_EQ(CompressGuarded(run, CompressCapacity(run.size()), &stream),
            CompressResult::kCompressed);
  std::vector<std::string> expected = {"L", "C1/16"};
  for (int i = 0; i < 61; ++i) expected.push_back("C16/16");
  for (int i = 0; i < 7; ++i) expected.push_back("L");  // 1 + 62 x 16 + 7
  EXPECT_EQ(Items(stream), expected);
  Bytes back;
  ASSERT_EQ(ExpandGuarded(stream, run.size(), &back), ExpandResult::kExpanded);
  EXPECT_EQ(back, run);
}

TEST(Lzrw1Test, TheLastGroupIsShiftedAndAnEmptyOneDropped) {
  // 3 literals: one group of three items, bits in the low end.
  Bytes stream;
  Bytes abc = {'a', 'b', 'c'};
  size_t written = 0;
  Bytes buffer(64);
  ASSERT_EQ(Compress(abc.data(), abc.size(), buffer.data(), buffer.size(), 1000, &written),
            CompressResult::kCompressed);
  buffer.resize(written);
  EXPECT_EQ(buffer, (Bytes{0, 0, 0, 0, 0, 0, 'a', 'b', 'c'}));

  // 16 literals fill a group exactly: no empty control word after them.
  const Bytes sixteen = RandomBytes(16, 9);
  buffer.assign(64, 0);
  ASSERT_EQ(Compress(sixteen.data(), 16, buffer.data(), buffer.size(), 1000, &written),
            CompressResult::kCompressed);
  EXPECT_EQ(written, kFlagBytes + 2 + 16);

  // A copy as the 19th item: bit 2 of the second control word.
  Bytes pattern = RandomBytes(16, 10);
  for (int i = 0; i < 20; ++i) pattern.insert(pattern.end(), {'x', 'y'});
  buffer.assign(128, 0);
  ASSERT_EQ(Compress(pattern.data(), pattern.size(), buffer.data(), buffer.size(), 1000, &written),
            CompressResult::kCompressed);
  buffer.resize(written);
  const std::vector<std::string> items = Items(buffer);
  ASSERT_GT(items.size(), 18u);
  EXPECT_EQ(items[18], "C2/16");
  EXPECT_EQ(buffer[kFlagBytes + 2 + 16] & 0x07, 0x04);  // L L C
}

TEST(Lzrw1Test, ASourceThatLooksCompressedIsCopiedAndRefused) {
  const Bytes source = {0, 1, 2, 3, 4};
  Bytes buffer(16, kCanary);
  size_t written = 0;
  EXPECT_EQ(Compress(source.data(), source.size(), buffer.data(), buffer.size(), 100, &written),
            CompressResult::kLooksCompressed);
  EXPECT_EQ(written, source.size());
  EXPECT_TRUE(std::equal(source.begin(), source.end(), buffer.begin()));
}

struct BadStream {
  const char* name;
  Bytes stream;
  size_t capacity;
  ExpandResult expected;
  size_t produced;
};

TEST(Lzrw1Test, DamagedStreamsAreRefused) {
  const std::vector<BadStream> cases = {
      {"no flag word", {0, 0, 0}, 10, ExpandResult::kTooShort, 0},
      {"unknown flag", {2, 0, 0, 0, 0, 0, 'a'}, 10, ExpandResult::kBadFlag, 0},
      {"flag with high bytes", {0, 0, 1, 0, 0, 0, 'a'}, 10, ExpandResult::kBadFlag, 0},
      {"half a control word", {0, 0, 0, 0, 0}, 10, ExpandResult::kTruncated, 0},
      {"literal past the end", {0, 0, 0, 0, 0, 0, 'a', 'b', 'c'}, 2, ExpandResult::kOverrun, 2},
      {"copy from offset 0", {0, 0, 0, 0, 2, 0, 'a', 0x02, 0x00}, 10,
       ExpandResult::kBadOffset, 1},
      {"copy from before the output", {0, 0, 0, 0, 2, 0, 'a', 0x02, 0x02}, 10,
       ExpandResult::kBadOffset, 1},
      {"copy past the end", {0, 0, 0, 0, 2, 0, 'a', 0x0F, 0x01}, 10, ExpandResult::kOverrun, 1},
      {"copy cut in half", {0, 0, 0, 0, 2, 0, 'a', 0x02}, 10, ExpandResult::kTruncated, 1},
      {"copy of the run", {0, 0, 0, 0, 2, 0, 'a', 0x02, 0x01}, 4, ExpandResult::kExpanded, 4},
      {"empty body", {0, 0, 0, 0}, 0, ExpandResult::kExpanded, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    EXPECT_EQ(ExpandGuarded(c.stream, c.capacity, &out), c.expected);
    EXPECT_EQ(out.size(), c.produced);
  }
}

TEST(Lzrw1Test, OverlappingCopiesRepeatTheirOwnOutput) {
  // "ab" then a copy of 9 from 2 back, and of 3 from 1 back.
  const Bytes stream = {0, 0, 0, 0, 0x0C, 0, 'a', 'b', 0x08, 0x02, 0x02, 0x01};
  Bytes out;
  ASSERT_EQ(ExpandGuarded(stream, 14, &out), ExpandResult::kExpanded);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abababababaaaa");
}

}  // namespace
}  // namespace quarry::lzrw1
