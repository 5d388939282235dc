#pragma once
// The soak's judgement: from the samples taken along the run (the panel process's figures and
// the simulator's counts), whether memory stayed flat after the warm-up, threads and file
// descriptors stayed constant, the status poll kept going and the automatic sequences ran; and
// the table of figures that goes with it.

#include <cstdint>
#include <string>
#include <vector>

#include "process_sample.h"
#include "sim_trace_tally.h"

namespace soak {

struct SoakRow {
  ProcessSample process;
  TraceCounts trace;
};

struct SoakLimits {
  // Samples before this point (seconds from the start) are the warm-up: the baseline is the first
  // sample at or after it.
  double warmUpSeconds = 60;
  // Largest growth of resident memory from the baseline to the end.
  std::uint64_t rssGrowthKiB = 2048;
  // Longest time the panel may take to close at the end.
  double closeSeconds = 3;
};

// What the operator side saw, for the verdict.
struct OperatorTally {
  // Sequences the operator started, and those of them the panel showed as running. Each start
  // must reach the line once (AUTO on), and nothing else may start one.
  int sequencesStarted = 0;
  int sequencesShown = 0;
  // Message boxes the panel raised (none is expected against a working controller).
  int messageBoxes = 0;
  // Seconds from the close request to the end of the panel's event loop.
  double closeSeconds = 0;
};

struct SoakVerdict {
  bool passed = false;
  // Resident memory from the baseline sample to the last one, and the steepest rise from the
  // baseline to any later sample, in KiB (negative when it shrank).
  std::int64_t rssGrowthKiB = 0;
  std::int64_t rssPeakGrowthKiB = 0;
  // Least-squares slope of resident memory after the warm-up, KiB per minute.
  double rssTrendKiBPerMinute = 0;
  // One line per check, starting with "ok" or "FAILED".
  std::vector<std::string> findings;
};

// Judges a run. The poll must show between any two samples at least two seconds apart.
// `rows` are in time order, the first taken at the start, the last at the end; a
// run with fewer than two rows, or none after the warm-up, fails.
[[nodiscard]] SoakVerdict Judge(const std::vector<SoakRow>& rows, const OperatorTally& tally,
                                const SoakLimits& limits);

// The table: the first row, the first row of every further minute, and the last row; each with
// the figures of the process and what the simulator counted since the row before it.
[[nodiscard]] std::string FormatTable(const std::vector<SoakRow>& rows);

} // namespace soak
