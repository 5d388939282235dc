// Reply framer throughput: how many bytes per second the framer cuts into the ReplyRing, on a
// stream of well-formed reply frames, on random bytes, and on noise without any start byte. The
// stream is fed in chunks of 4096 bytes (the largest chunk the serial library delivers), and the
// ring is emptied after each chunk as the dispatcher would. Prints a markdown section for
// docs/performance.md with the medians of five runs of each (Google Benchmark's own options
// still apply, e.g. --benchmark_filter).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "link/reply_framer.h"
#include "markdown_table.h"

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

constexpr int kRepetitions = 5;

BENCHMARK(BM_FramerWellFormed)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FramerRandom)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FramerNoStartByte)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

// Keeps the median of each benchmark's repetitions: bytes and entries per CPU second.
class MedianReporter final : public benchmark::BenchmarkReporter {
public:
  struct Median {
    double bytesPerSecond = 0;
    double entriesPerSecond = 0;
  };

  bool ReportContext(const Context&) override { return true; }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) {
        std::fprintf(stderr, "bench_framer: %s: %s\n", run.benchmark_name().c_str(),
                     run.error_message.c_str());
        failed = true;
        continue;
      }
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") {
        continue;
      }
      const auto counter = [&](const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : found->second.value;
      };
      medians[run.run_name.function_name] = {counter("bytes_per_second"), counter("entries/s")};
      std::fprintf(stderr, "bench_framer: %s: %.0f bytes/s\n", run.run_name.function_name.c_str(),
                   counter("bytes_per_second"));
    }
  }

  std::map<std::string, Median> medians;
  bool failed = false;
};

std::string Throughput(double bytesPerSecond) {
  constexpr double kMiB = 1024.0 * 1024.0;
  return bytesPerSecond >= 1024 * kMiB ? bench::Format("%.1f GiB/s", bytesPerSecond / 1024 / kMiB)
                                       : bench::Format("%.0f MiB/s", bytesPerSecond / kMiB);
}

void Print(const std::map<std::string, MedianReporter::Median>& medians) {
  std::printf("## Reply framer (`bench_framer`)\n\n");
  std::printf("The reply framer cuts the received byte stream into the ReplyRing. The benchmark "
              "feeds a 1 MiB stream in chunks of %zu bytes, the largest chunk Comlane delivers, "
              "and empties the ring after each chunk as the dispatcher would. Medians of %d runs "
              "(Google Benchmark), bytes per CPU second:\n\n",
              kChunk, kRepetitions);
  const std::pair<const char*, const char*> streams[] = {
      {"BM_FramerWellFormed", "well-formed reply frames of 7 to 19 bytes"},
      {"BM_FramerRandom",
       "random bytes (a start byte every 256 bytes on average, frames of random length)"},
      {"BM_FramerNoStartByte", "noise without any start byte (skipped with `memchr`)"},
  };
  bench::MarkdownTable table({"stream", "throughput", "entries committed"});
  for (const auto& [name, stream] : streams) {
    const auto found = medians.find(name);
    if (found == medians.end()) {
      continue;
    }
    const double entries = found->second.entriesPerSecond;
    table.Row(
        {stream, Throughput(found->second.bytesPerSecond),
         entries < 0.5 ? std::string("none") : bench::Format("%.1f million/s", entries / 1e6)});
  }
  std::printf("%s\n", table.Text().c_str());

  const auto wellFormed = medians.find("BM_FramerWellFormed");
  if (wellFormed != medians.end() && wellFormed->second.bytesPerSecond > 0) {
    // Ten bits per character on the line.
    const double slowLine = 57600.0 / 10;
    const double fastLine = 230400.0 / 10;
    std::printf("At the line's 57600 bit/s (%.0f bytes/s) the framer uses about %.4f %% of the "
                "user-interface thread's time; even at 230400 bit/s it is %.0f times faster than "
                "the line.\n",
                slowLine, 100 * slowLine / wellFormed->second.bytesPerSecond,
                wellFormed->second.bytesPerSecond / fastLine);
  }
}

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (reporter.failed || reporter.medians.empty()) {
    return 1;
  }
  Print(reporter.medians);
  return 0;
}
