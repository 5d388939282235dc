#include "soak_verdict.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace soak {

namespace {

// Seconds; four periods of the status poll.
constexpr double kShortestPollSpan = 2;
// Seconds.
constexpr double kMinuteSlack = 1;

std::string Format(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::int64_t Difference(std::uint64_t to, std::uint64_t from) {
  return static_cast<std::int64_t>(to) - static_cast<std::int64_t>(from);
}

double TrendPerMinute(const std::vector<SoakRow>& rows, std::size_t first) {
  const std::size_t n = rows.size() - first;
  if (n < 2) {
    return 0;
  }
  double meanT = 0;
  double meanM = 0;
  for (std::size_t i = first; i < rows.size(); ++i) {
    meanT += rows[i].process.elapsedSeconds / static_cast<double>(n);
    meanM += static_cast<double>(rows[i].process.rssKiB) / static_cast<double>(n);
  }
  double covariance = 0;
  double variance = 0;
  for (std::size_t i = first; i < rows.size(); ++i) {
    const double t = rows[i].process.elapsedSeconds - meanT;
    covariance += t * (static_cast<double>(rows[i].process.rssKiB) - meanM);
    variance += t * t;
  }
  return variance > 0 ? covariance / variance * 60 : 0;
}

} // namespace

SoakVerdict Judge(const std::vector<SoakRow>& rows, const OperatorTally& tally,
                  const SoakLimits& limits) {
  SoakVerdict verdict;
  verdict.passed = true;
  const auto check = [&verdict](bool ok, const std::string& text) {
    verdict.findings.push_back((ok ? "ok      " : "FAILED  ") + text);
    verdict.passed = verdict.passed && ok;
  };

  const auto base = std::find_if(rows.begin(), rows.end(), [&](const SoakRow& row) {
    return row.process.elapsedSeconds >= limits.warmUpSeconds;
  });
  if (rows.size() < 2 || base == rows.end()) {
    check(false, "too few samples to judge (" + std::to_string(rows.size()) + ")");
    return verdict;
  }
  const SoakRow& baseline = *base;
  const SoakRow& last = rows.back();

  verdict.rssGrowthKiB = Difference(last.process.rssKiB, baseline.process.rssKiB);
  std::uint64_t peak = baseline.process.rssKiB;
  bool threadsConstant = true;
  bool fdsConstant = true;
  int fewestThreads = baseline.process.threads;
  int mostThreads = baseline.process.threads;
  int fewestFds = baseline.process.fds;
  int mostFds = baseline.process.fds;
  for (auto it = base; it != rows.end(); ++it) {
    peak = std::max(peak, it->process.rssKiB);
    threadsConstant = threadsConstant && it->process.threads == baseline.process.threads;
    fdsConstant = fdsConstant && it->process.fds == baseline.process.fds;
    fewestThreads = std::min(fewestThreads, it->process.threads);
    mostThreads = std::max(mostThreads, it->process.threads);
    fewestFds = std::min(fewestFds, it->process.fds);
    mostFds = std::max(mostFds, it->process.fds);
  }
  verdict.rssPeakGrowthKiB = Difference(peak, baseline.process.rssKiB);
  verdict.rssTrendKiBPerMinute =
      TrendPerMinute(rows, static_cast<std::size_t>(base - rows.begin()));

  check(verdict.rssGrowthKiB <= static_cast<std::int64_t>(limits.rssGrowthKiB),
        Format("memory: VmRSS %+" PRId64 " KiB from %.0f s to the end (peak %+" PRId64
               " KiB, trend %+.1f KiB/min; bound %" PRIu64 " KiB)",
               verdict.rssGrowthKiB, baseline.process.elapsedSeconds, verdict.rssPeakGrowthKiB,
               verdict.rssTrendKiBPerMinute, limits.rssGrowthKiB));
  check(threadsConstant, Format("threads: %d at %.0f s, %d..%d after it", baseline.process.threads,
                                baseline.process.elapsedSeconds, fewestThreads, mostThreads));
  check(fdsConstant, Format("file descriptors: %d at %.0f s, %d..%d after it", baseline.process.fds,
                            baseline.process.elapsedSeconds, fewestFds, mostFds));

  std::uint64_t fewestPolls = UINT64_MAX;
  double worstAt = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    // The last sample may follow the one before it closely; so short a span need not hold a
    // poll.
    if (rows[i].process.elapsedSeconds - rows[i - 1].process.elapsedSeconds < kShortestPollSpan) {
      continue;
    }
    const std::uint64_t polls = rows[i].trace.polls - rows[i - 1].trace.polls;
    if (polls < fewestPolls) {
      fewestPolls = polls;
      worstAt = rows[i].process.elapsedSeconds;
    }
  }
  check(fewestPolls > 0, Format("status poll: %" PRIu64 " polls, at least %" PRIu64
                                " between any two samples (fewest up to %.0f s)",
                                last.trace.polls, fewestPolls, worstAt));

  const std::uint64_t steps = last.trace.modeASteps + last.trace.modeBSteps;
  check(steps > 0 && last.trace.sequenceEnds > 0,
        Format("sequences: %" PRIu64 " AUTO starts, %" PRIu64 " Mode A and %" PRIu64
               " Mode B step reports, %" PRIu64 " end reports",
               last.trace.autoOn, last.trace.modeASteps, last.trace.modeBSteps,
               last.trace.sequenceEnds));
  check(tally.sequencesStarted > 0 && tally.sequencesShown == tally.sequencesStarted &&
            last.trace.autoOn == static_cast<std::uint64_t>(tally.sequencesStarted),
        Format("panel followed AUTO: %d of %d sequences the operator started shown as running, "
               "%" PRIu64 " started on the line",
               tally.sequencesShown, tally.sequencesStarted, last.trace.autoOn));
  check(tally.messageBoxes == 0, Format("message boxes: %d", tally.messageBoxes));
  check(tally.closeSeconds <= limits.closeSeconds,
        Format("close: the panel closed in %.2f s (bound %.1f s)", tally.closeSeconds,
               limits.closeSeconds));
  return verdict;
}

std::string FormatTable(const std::vector<SoakRow>& rows) {
  std::string table =
      "| time s | VmRSS KiB | threads | fds | CPU s | CPU % | polls | A steps | B steps | ends | "
      "noise |\n"
      "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  const SoakRow* previous = nullptr;
  double nextMinute = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SoakRow& row = rows[i];
    const bool lastRow = i + 1 == rows.size();
    // The end sample, taken right after a regular one, stands for both.
    if (i + 2 == rows.size() &&
        rows[i + 1].process.elapsedSeconds - row.process.elapsedSeconds < kShortestPollSpan) {
      continue;
    }
    // A sample a little early for its minute still stands for it.
    if (!lastRow && row.process.elapsedSeconds < nextMinute - kMinuteSlack) {
      continue;
    }
    while (nextMinute <= row.process.elapsedSeconds + kMinuteSlack) {
      nextMinute += 60;
    }
    const TraceCounts before = previous != nullptr ? previous->trace : TraceCounts{};
    const double span =
        previous != nullptr ? row.process.elapsedSeconds - previous->process.elapsedSeconds : 0;
    const double cpu = previous != nullptr && span > 0
                           ? 100 * (row.process.cpuSeconds - previous->process.cpuSeconds) / span
                           : 0;
    table +=
        Format("| %.0f | %" PRIu64 " | %d | %d | %.2f | %.1f | %" PRIu64 " | %" PRIu64 " | %" PRIu64
               " | %" PRIu64 " | %" PRIu64 " |\n",
               row.process.elapsedSeconds, row.process.rssKiB, row.process.threads, row.process.fds,
               row.process.cpuSeconds, cpu, row.trace.polls - before.polls,
               row.trace.modeASteps - before.modeASteps, row.trace.modeBSteps - before.modeBSteps,
               row.trace.sequenceEnds - before.sequenceEnds, row.trace.noise - before.noise);
    previous = &row;
  }
  return table;
}

} // namespace soak
