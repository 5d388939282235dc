// The simulator's trace as the soak reads it: which lines count for what, and a file read while
// the simulator is still writing it.

#include <gtest/gtest.h>

#include <fstream>

#include "lamp_test/temp_folder.h"
#include "sim_trace_tally.h"

namespace soak {
namespace {

TEST(SimTraceTally, EachLineCountsForWhatItShows) {
  struct Case {
    const char* line;
    std::uint64_t TraceCounts::*counter; // null: counts for nothing
  };
  const Case cases[] = {
      {"     1.500 <- 5A 06 01 07 01 03", &TraceCounts::polls},
      {"     1.500 <- 5A 06 01 07 01 03\r", &TraceCounts::polls},
      {"     2.000 <- 5A 07 01 04 00 01 03", &TraceCounts::autoOn},
      {"     9.000 <- 5A 07 01 04 00 00 03", &TraceCounts::autoOff},
      {"     2.001 -> 5A 08 01 0E 00 41 00 03", &TraceCounts::modeASteps},
      {"     3.001 -> 5A 10 01 0E 00 42 01 64 00 5E 01 58 02 52 03 01 03",
       &TraceCounts::modeBSteps},
      {"    10.000 -> 5A 07 01 0D 00 00 03", &TraceCounts::sequenceEnds},
      {"     4.000 -> 17 A2 03  (noise)", &TraceCounts::noise},
      {"     4.000 -> 5A 18 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 10 20 30 40 50 60 70  "
       "(over-long)",
       &TraceCounts::noise},
      {"     5.000 <- 5A 06 01 07 01 03  (malformed)", &TraceCounts::rejected},
      {"     5.000 <- 13 37  (skipped)", &TraceCounts::rejected},
      // Replies to a poll, a longer frame that starts like one, events and the banner.
      {"     1.501 -> 5A 09 01 07 01 19 00 00 03", nullptr},
      {"     1.600 <- 5A 06 01 07 01 03 00", nullptr},
      {"     6.000 -- plug pulled", nullptr},
      {"velora-sim: controller at /dev/pts/7, link /tmp/x/velora", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    TraceCounts counts;
    CountTraceLine(c.line, counts);
    TraceCounts expected;
    if (c.counter != nullptr) {
      expected.*c.counter = 1;
    }
    EXPECT_EQ(counts.polls, expected.polls) << c.line;
    EXPECT_EQ(counts.autoOn, expected.autoOn) << c.line;
    EXPECT_EQ(counts.autoOff, expected.autoOff) << c.line;
    EXPECT_EQ(counts.modeASteps, expected.modeASteps) << c.line;
    EXPECT_EQ(counts.modeBSteps, expected.modeBSteps) << c.line;
    EXPECT_EQ(counts.sequenceEnds, expected.sequenceEnds) << c.line;
    EXPECT_EQ(counts.noise, expected.noise) << c.line;
    EXPECT_EQ(counts.rejected, expected.rejected) << c.line;
  }
}

TEST(SimTraceTally, AFileStillBeingWrittenIsCountedOnceLineByLine) {
  lamp::test::TempFolder folder;
  const auto path = folder.Path() / "sim.trace";
  SimTraceTally tally(path);
  EXPECT_EQ(tally.Update().polls, 0u); // not there yet

  std::ofstream out(path, std::ios::binary);
  out << "     0.500 <- 5A 06 01 07 01 03\n     1.000 <- 5A 06 01";
  out.flush();
  EXPECT_EQ(tally.Update().polls, 1u); // the unfinished line waits for its end
  out << " 07 01 03\n";
  out.flush();
  EXPECT_EQ(tally.Update().polls, 2u);
  EXPECT_EQ(tally.Update().polls, 2u); // nothing new, nothing counted twice

  std::string many;
  for (int i = 0; i < 500; ++i) {
    many += "    20.000 <- 5A 06 01 07 01 03\n";
  }
  out << many;
  out.flush();
  EXPECT_EQ(tally.Update().polls, 502u);
  EXPECT_EQ(tally.Totals().polls, 502u);
}

} // namespace
} // namespace soak
