#pragma once
// Counts what the simulated controller saw and sent, from the trace that velora-sim --trace
// writes (one line per frame: seconds, "<-" for received or "->" for sent, the bytes in hex and
// an optional note in parentheses). The file may still be growing: each Update reads the lines
// completed since the last one.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace soak {

struct TraceCounts {
  // Status polls received (read request of command 7).
  std::uint64_t polls = 0;
  // AUTO switched on and off by the panel (command 4 written with 1 or 0).
  std::uint64_t autoOn = 0;
  std::uint64_t autoOff = 0;
  // Step reports sent (reply 14) of Mode A and Mode B, and end reports (reply 13).
  std::uint64_t modeASteps = 0;
  std::uint64_t modeBSteps = 0;
  std::uint64_t sequenceEnds = 0;
  // Noise bursts and over-long frames sent between the replies.
  std::uint64_t noise = 0;
  // Frames received that the controller could not take (malformed, too short, unfinished).
  std::uint64_t rejected = 0;
};

// Adds what one trace line shows to `counts`. Lines of any other kind are ignored.
void CountTraceLine(std::string_view line, TraceCounts& counts);

class SimTraceTally {
public:
  explicit SimTraceTally(std::filesystem::path trace);

  // Reads the lines completed since the last call and returns the totals so far. A file that
  // does not exist yet counts as empty. Not thread-safe; one caller.
  const TraceCounts& Update();

  [[nodiscard]] const TraceCounts& Totals() const { return counts_; }

private:
  std::filesystem::path path_;
  std::ifstream in_;
  std::string partial_;
  TraceCounts counts_;
};

} // namespace soak
