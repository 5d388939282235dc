// The soak's verdict on runs made up sample by sample: a steady panel passes, and each way a
// panel can go wrong over a long run fails the check that names it, while the warm-up is
// forgiven.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "soak_verdict.h"

namespace soak {
namespace {

// Ten minutes sampled every ten seconds: 70 MiB, 9 threads, 24 descriptors, 15 polls and one
// step report of each mode per sample; each row may then be changed by `change`.
std::vector<SoakRow> SteadyRun(const std::function<void(int, SoakRow&)>& change = {}) {
  std::vector<SoakRow> rows;
  TraceCounts totals;
  for (int i = 0; i <= 60; ++i) {
    SoakRow row;
    row.process.elapsedSeconds = 10.0 * i;
    row.process.rssKiB = 70 * 1024;
    row.process.threads = 9;
    row.process.fds = 24;
    row.process.cpuSeconds = 0.2 * i;
    if (i > 0) {
      totals.polls += 15;
      totals.autoOn += 1;
      totals.modeASteps += 1;
      totals.modeBSteps += 1;
      totals.sequenceEnds += 1;
    }
    row.trace = totals;
    if (change) {
      change(i, row);
    }
    rows.push_back(row);
  }
  return rows;
}

OperatorTally GoodTally() {
  OperatorTally tally;
  tally.sequencesStarted = 60;
  tally.sequencesShown = 60;
  tally.closeSeconds = 0.3;
  return tally;
}

// The findings that failed, joined.
std::string Failed(const SoakVerdict& verdict) {
  std::string failed;
  for (const std::string& finding : verdict.findings) {
    if (finding.rfind("FAILED", 0) == 0) {
      failed += finding + "\n";
    }
  }
  return failed;
}

TEST(SoakVerdict, ASteadyRunPassesAndTheWarmUpIsForgiven) {
  // Memory and threads settle during the first minute; later, memory wobbles by 1 MiB.
  auto rows = SteadyRun([](int i, SoakRow& row) {
    if (i < 6) {
      row.process.rssKiB -= static_cast<std::uint64_t>(6 - i) * 4096;
      row.process.threads = 7;
    } else if (i % 2 == 1) {
      row.process.rssKiB += 1024;
    }
  });
  // The end sample, taken as the operator finished, just after the last regular one.
  rows.push_back(rows.back());
  rows.back().process.elapsedSeconds += 0.2;
  const SoakVerdict verdict = Judge(rows, GoodTally(), SoakLimits{});
  EXPECT_TRUE(verdict.passed) << Failed(verdict);
  EXPECT_EQ(verdict.rssGrowthKiB, 0);
  EXPECT_EQ(verdict.rssPeakGrowthKiB, 1024);
  EXPECT_NEAR(verdict.rssTrendKiBPerMinute, 0, 10);
}

TEST(SoakVerdict, EachFaultOfALongRunFailsItsCheck) {
  struct Case {
    const char* fault;
    std::function<void(int, SoakRow&)> change;
    std::function<void(OperatorTally&)> tally;
    const char* check;
  };
  const Case cases[] = {
      {"a leak of 64 KiB a sample",
       [](int i, SoakRow& row) { row.process.rssKiB += static_cast<std::uint64_t>(i) * 64; },
       {},
       "memory"},
      {"a thread that does not end",
       [](int i, SoakRow& row) { row.process.threads += i / 30; },
       {},
       "threads"},
      {"a thread that comes and goes",
       [](int i, SoakRow& row) { row.process.threads += i == 33 ? 1 : 0; },
       {},
       "threads"},
      {"a descriptor left open each round",
       [](int i, SoakRow& row) { row.process.fds += i / 7; },
       {},
       "file descriptors"},
      {"a poll that stopped for good",
       [](int i, SoakRow& row) { row.trace.polls = std::min<std::uint64_t>(i, 40) * 15; },
       {},
       "status poll"},
      {"no sequence ran",
       [](int, SoakRow& row) {
         row.trace.modeASteps = row.trace.modeBSteps = row.trace.sequenceEnds = 0;
       },
       {},
       "sequences"},
      {"the panel missed a sequence",
       {},
       [](OperatorTally& t) { --t.sequencesShown; },
       "panel followed AUTO"},
      {"a start the operator did not make",
       [](int i, SoakRow& row) { row.trace.autoOn += i == 60 ? 1 : 0; },
       {},
       "panel followed AUTO"},
      {"a message box", {}, [](OperatorTally& t) { t.messageBoxes = 1; }, "message boxes"},
      {"a slow close", {}, [](OperatorTally& t) { t.closeSeconds = 12; }, "close"},
  };
  for (const Case& c : cases) {
    OperatorTally tally = GoodTally();
    if (c.tally) {
      c.tally(tally);
    }
    const SoakVerdict verdict = Judge(SteadyRun(c.change), tally, SoakLimits{});
    EXPECT_FALSE(verdict.passed) << c.fault;
    const std::string failed = Failed(verdict);
    EXPECT_NE(failed.find(std::string("FAILED  ") + c.check), std::string::npos)
        << c.fault << ": " << failed;
    EXPECT_EQ(std::count(failed.begin(), failed.end(), '\n'), 1) << c.fault << ": " << failed;
  }
}

TEST(SoakVerdict, ARunTooShortToJudgeFails) {
  auto rows = SteadyRun();
  rows.resize(4); // all inside the warm-up
  EXPECT_FALSE(Judge(rows, GoodTally(), SoakLimits{}).passed);
  EXPECT_FALSE(Judge({}, GoodTally(), SoakLimits{}).passed);
}

TEST(SoakVerdict, TheTableHasTheStartEveryMinuteAndTheEnd) {
  auto rows = SteadyRun();
  rows.resize(14);                          // 0 to 130 s
  rows.back().process.elapsedSeconds = 135; // a late sample, off the ten-second beat
  rows[6].process.elapsedSeconds = 59.8;    // a timer that fires a little early
  rows.push_back(rows.back());              // the end sample, just after the last regular one
  rows.back().process.elapsedSeconds += 0.3;
  const std::string table = FormatTable(rows);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = table.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(table.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 2u + 4u) << table; // heading, rule, 0 s, 60 s, 120 s, 135 s
  EXPECT_EQ(lines[2].rfind("| 0 |", 0), 0u) << table;
  EXPECT_EQ(lines[3].rfind("| 60 |", 0), 0u) << table;
  EXPECT_EQ(lines[4].rfind("| 120 |", 0), 0u) << table;
  EXPECT_EQ(lines[5].rfind("| 135 |", 0), 0u) << table; // printed once, for both
  // Polls of a row count since the row before it: six samples of 15 for the 60 s row, one of the
  // last; CPU % over the same span.
  EXPECT_NE(lines[3].find("| 90 |"), std::string::npos) << lines[3];
  EXPECT_NE(lines[5].find("| 15 |"), std::string::npos) << lines[5];
  EXPECT_NE(lines[3].find("| 2.0 |"), std::string::npos) << lines[3];
}

} // namespace
} // namespace soak
