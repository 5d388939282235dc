// Reply framer throughput: how many bytes per second the framer cuts into the ReplyRing, on a
// stream of well-formed reply frames, on random bytes, and on noise without any start byte. The
// stream is fed in chunks of 4096 bytes (the largest chunk the serial library delivers), and the
// ring is emptied after each chunk as the dispatcher would.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "link/reply_framer.h"

namespace {

constexpr std::size_t kStreamSize = 1 << 20;
constexpr std::size_t kChunk = 4096;

std::vector<std::uint8_t> WellFormed() {
  std::mt19937 random(1);
  std::vector<std::uint8_t> stream;
  while (stream.size() < kStreamSize) {
    const int length = 7 + static_cast<int>(random() % 13); // 7 to 19 bytes
    stream.insert(stream.end(), {0x5A, static_cast<std::uint8_t>(length), 0x01,
                                 static_cast<std::uint8_t>(1 + random() % 22), 0x01});
    for (int i = 6; i < length; ++i) {
      stream.push_back(static_cast<std::uint8_t>(random()));
    }
    stream.push_back(0x03);
  }
  stream.resize(kStreamSize);
  return stream;
}

std::vector<std::uint8_t> Random() {
  std::mt19937 random(2);
  std::vector<std::uint8_t> stream(kStreamSize);
  for (auto& b : stream) {
    b = static_cast<std::uint8_t>(random());
  }
  return stream;
}

std::vector<std::uint8_t> NoStartByte() {
  std::vector<std::uint8_t> stream = Random();
  for (auto& b : stream) {
    if (b == 0x5A) {
      b = 0x00;
    }
  }
  return stream;
}

void Frame(benchmark::State& state, const std::vector<std::uint8_t>& stream) {
  lamp::ReplyRing ring;
  lamp::ReplyFramer framer(ring);
  std::uint64_t entries = 0;
  for (auto _ : state) {
    for (std::size_t offset = 0; offset < stream.size(); offset += kChunk) {
      framer.Feed(stream.data() + offset, std::min(kChunk, stream.size() - offset));
      while (auto entry = ring.Take()) {
        benchmark::DoNotOptimize(entry);
        ++entries;
      }
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
  state.counters["entries/s"] =
      benchmark::Counter(static_cast<double>(entries), benchmark::Counter::kIsRate);
}

void BM_FramerWellFormed(benchmark::State& state) {
  static const std::vector<std::uint8_t> stream = WellFormed();
  Frame(state, stream);
}
void BM_FramerRandom(benchmark::State& state) {
  static const std::vector<std::uint8_t> stream = Random();
  Frame(state, stream);
}
void BM_FramerNoStartByte(benchmark::State& state) {
  static const std::vector<std::uint8_t> stream = NoStartByte();
  Frame(state, stream);
}

BENCHMARK(BM_FramerWellFormed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramerRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramerNoStartByte)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
