// Fuzzes the updater's expanding side as a download reaches it: the bytes
// read as a container (header, stored name, expanded size) and expanded
// through CLZRW1Codec::ExpandBuffer; the same bytes as a bare stream into
// a buffer whose size the input picks; and compressed and expanded back.
//
// Besides crashes and sanitizer reports it checks the contracts callers
// rely on; a broken one aborts with a message.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "updater/lzrw1/lzrw1.h"
#include "updater/lzrw1/lzrw1_codec.h"
#include "updater/lzrw1/lzrw1_container.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "contract broken: %s\n", what);
  std::abort();
}

void AsContainer(const uint8_t* data, size_t size) {
  quarry::lzrw1::ContainerHeader header;
  if (quarry::lzrw1::ReadContainerHeader(data, size, &header) !=
      quarry::lzrw1::ContainerError::kNone) {
    return;
  }
  if (header.has_name && !quarry::lzrw1::IsBareFileName(header.name)) {
    Broken("an accepted stored name is not a bare file name");
  }
  if (header.stream_offset > size) Broken("the stream starts past the data");
  const size_t stream_length = size - header.stream_offset;
  if (header.expanded_size > 8 * size + 8) Broken("an accepted size is out of proportion");
  std::vector<uint8_t> out(header.expanded_size);
  quarry::CLZRW1Codec codec;
  size_t produced = 0;
  const int ok = codec.ExpandBuffer(data + header.stream_offset, stream_length, out.data(),
                                    out.size(), &produced);
  if (produced > out.size()) Broken("ExpandBuffer produced more than its capacity");
  if (ok == 0 && codec.ErrorText().empty()) Broken("a refusal without a reason");
}

void AsStream(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const size_t capacity = (size_t{data[0]} << 8 | data[1]) % (8 * size + 1);
  std::vector<uint8_t> out(capacity);
  size_t produced = 0;
  (void)quarry::lzrw1::Expand(data + 2, size - 2, out.data(), out.size(), &produced);
  if (produced > capacity) Broken("Expand produced more than its capacity");
}

void RoundTrip(const uint8_t* data, size_t size) {
  std::vector<uint8_t> stream(quarry::lzrw1::CompressCapacity(size));
  size_t written = 0;
  const auto result = quarry::lzrw1::Compress(data, size, stream.data(), stream.size(),
                                              size + size / 10, &written);
  if (written > stream.size()) Broken("Compress wrote past its capacity");
  if (result == quarry::lzrw1::CompressResult::kNoRoom) Broken("CompressCapacity was too small");
  if (result != quarry::lzrw1::CompressResult::kCompressed) return;
  std::vector<uint8_t> back(size);
  size_t produced = 0;
  if (quarry::lzrw1::Expand(stream.data(), written, back.data(), back.size(), &produced) !=
          quarry::lzrw1::ExpandResult::kExpanded ||
      produced != size || (size > 0 && std::memcmp(back.data(), data, size) != 0)) {
    Broken("a compressed stream did not expand back to its source");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AsContainer(data, size);
  AsStream(data, size);
  RoundTrip(data, size);
  return 0;
}
