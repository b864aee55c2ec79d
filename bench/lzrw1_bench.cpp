// The LZRW1 codec beside LZ4 on the same data, both directions, in MB/s of
// uncompressed data, with the compressed size as a share of the original.
//
// Data: a generated web page (text), this benchmark program's own file
// (machine code and tables, like the files an update carries), and random
// bytes (which both codecs store rather than compress).

#include <benchmark/benchmark.h>
#include <lz4.h>

#include <fstream>
#include <iterator>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/page_generator.h"
#include "updater/lzrw1/lzrw1.h"

namespace quarry::bench {
namespace {

enum DataKind { kPage = 0, kProgram = 1, kRandom = 2 };

constexpr size_t kDataBytes = 4u << 20;

const std::string& Data(int kind) {
  static std::string data[3];
  std::string& d = data[kind];
  if (!d.empty()) return d;
  switch (kind) {
    case kPage:
      d = GeneratePage(kDataBytes, 1000);
      break;
    case kProgram: {
      std::ifstream in("/proc/self/exe", std::ios::binary);
      d.assign(std::istreambuf_iterator<char>(in), {});
      // Repeat when small, cut when large: the same size as the others.
      const std::string once = d.empty() ? std::string("\x7f" "ELF") : d;
      while (d.size() < kDataBytes) d += once;
      d.resize(kDataBytes);
      break;
    }
    case kRandom: {
      std::mt19937 rng(7);
      d.resize(kDataBytes);
      for (char& c : d) c = static_cast<char>(rng() | 1);
      break;
    }
  }
  if (d[0] == 0) d[0] = 'x';  // a leading 0 would mark a stream
  return d;
}

const char* KindName(int kind) {
  static const char* names[] = {"page", "program", "random"};
  return names[kind];
}

void Finish(benchmark::State& state, size_t original, size_t packed) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(original));
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(original);
  state.SetLabel(KindName(static_cast<int>(state.range(0))));
}

void BM_Lzrw1Compress(benchmark::State& state) {
  const std::string& d = Data(static_cast<int>(state.range(0)));
  const auto* src = reinterpret_cast<const uint8_t*>(d.data());
  std::vector<uint8_t> out(lzrw1::CompressCapacity(d.size()));
  size_t written = 0;
  for (auto _ : state) {
    lzrw1::Compress(src, d.size(), out.data(), out.size(), d.size() + d.size() / 10, &written);
    benchmark::DoNotOptimize(out.data());
  }
  Finish(state, d.size(), written);
}

void BM_Lzrw1Expand(benchmark::State& state) {
  const std::string& d = Data(static_cast<int>(state.range(0)));
  const auto* src = reinterpret_cast<const uint8_t*>(d.data());
  std::vector<uint8_t> stream(lzrw1::CompressCapacity(d.size()));
  size_t written = 0;
  if (lzrw1::Compress(src, d.size(), stream.data(), stream.size(), SIZE_MAX, &written) !=
      lzrw1::CompressResult::kCompressed) {
    state.SkipWithError("did not compress");
    return;
  }
  std::vector<uint8_t> out(d.size());
  size_t produced = 0;
  for (auto _ : state) {
    lzrw1::Expand(stream.data(), written, out.data(), out.size(), &produced);
    benchmark::DoNotOptimize(out.data());
  }
  if (produced != d.size() || std::memcmp(out.data(), d.data(), d.size()) != 0) {
    state.SkipWithError("the round trip changed the data");
  }
  Finish(state, d.size(), written);
}

void BM_Lz4Compress(benchmark::State& state) {
  const std::string& d = Data(static_cast<int>(state.range(0)));
  std::vector<char> out(static_cast<size_t>(LZ4_compressBound(static_cast<int>(d.size()))));
  int written = 0;
  for (auto _ : state) {
    written = LZ4_compress_default(d.data(), out.data(), static_cast<int>(d.size()),
                                   static_cast<int>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
  Finish(state, d.size(), static_cast<size_t>(written));
}

void BM_Lz4Expand(benchmark::State& state) {
  const std::string& d = Data(static_cast<int>(state.range(0)));
  std::vector<char> packed(static_cast<size_t>(LZ4_compressBound(static_cast<int>(d.size()))));
  const int written = LZ4_compress_default(d.data(), packed.data(), static_cast<int>(d.size()),
                                           static_cast<int>(packed.size()));
  std::vector<char> out(d.size());
  int produced = 0;
  for (auto _ : state) {
    produced = LZ4_decompress_safe(packed.data(), out.data(), written,
                                   static_cast<int>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
  if (produced != static_cast<int>(d.size())) state.SkipWithError("LZ4 round trip failed");
  Finish(state, d.size(), static_cast<size_t>(written));
}

// Random data does not compress: LZRW1 stores it, so its expansion is not
// measured there.
BENCHMARK(BM_Lzrw1Compress)->Arg(kPage)->Arg(kProgram)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz4Compress)->Arg(kPage)->Arg(kProgram)->Arg(kRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lzrw1Expand)->Arg(kPage)->Arg(kProgram)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lz4Expand)->Arg(kPage)->Arg(kProgram)->Arg(kRandom)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quarry::bench
