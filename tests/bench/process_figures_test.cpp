#include "process_figures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>

namespace bench {
namespace {

TEST(ProcessFigures, StatusGivesResidentPeakAndThreadsOrNothing) {
  const std::string status = "Name:\tlamp\nVmPeak:\t  900000 kB\nVmHWM:\t   61440 kB\n"
                             "VmRSS:\t   60000 kB\nThreads:\t5\n";
  const auto memory = ParseStatus(status);
  ASSERT_TRUE(memory.has_value());
  EXPECT_EQ(memory->rssKiB, 60000);
  EXPECT_EQ(memory->hwmKiB, 61440);
  EXPECT_EQ(memory->threads, 5);

  // A kernel thread has no memory lines; a cut-off file has no number.
  for (const char* text :
       {"Name:\tkthreadd\nThreads:\t1\n", "VmHWM:\t1 kB\nVmRSS:\t\nThreads:\t1\n", "",
        "XVmRSS:\t1 kB\nVmHWM:\t1 kB\nThreads:\t1\n"}) {
    EXPECT_FALSE(ParseStatus(text).has_value()) << text;
  }
}

TEST(ProcessFigures, StatTicksAreCountedFromTheEndOfTheCommandName) {
  const struct {
    const char* text;
    std::optional<std::int64_t> ticks;
  } cases[] = {
      {"1234 (lamp) S 1 1234 1234 0 -1 4194560 100 0 0 0 70 30 0 0 20 0 5", 100},
      // A name holding spaces and parentheses must not shift the fields.
      {"1234 (a) b (c) S 1 1234 1234 0 -1 4194560 100 0 0 0 7 3 0 0 20 0 5", 10},
      {"1234 (lamp) S 1 1234 1234 0 -1 4194560 100 0 0 0 70", std::nullopt},
      {"1234 (lamp) S 1 1234 1234 0 -1 4194560 100 0 0 0 x 30", std::nullopt},
      {"1234 lamp S 1", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseStatTicks(c.text), c.ticks) << c.text;
  }
}

TEST(ProcessFigures, SwitchesAreReadByTheirWholeNames) {
  // "voluntary_ctxt_switches" ends "nonvoluntary_ctxt_switches" too: each is taken by its own name.
  const auto both = ParseSwitches("Name:\tlamp\nvoluntary_ctxt_switches:\t120\n"
                                  "nonvoluntary_ctxt_switches:\t7\n");
  ASSERT_TRUE(both.has_value());
  EXPECT_EQ(both->voluntary, 120);
  EXPECT_EQ(both->involuntary, 7);
  EXPECT_FALSE(ParseSwitches("nonvoluntary_ctxt_switches:\t7\n").has_value());
  EXPECT_FALSE(ParseSwitches("voluntary_ctxt_switches:\t7\n").has_value());
}

TEST(ProcessFigures, ReadsThisProcessAndNothingForOneThatIsGone) {
  const auto memory = ReadMemory(::getpid());
  ASSERT_TRUE(memory.has_value());
  EXPECT_GT(memory->rssKiB, 0);
  EXPECT_GE(memory->hwmKiB, memory->rssKiB);
  EXPECT_GE(memory->threads, 1);
  EXPECT_TRUE(ReadProcessCpuNs(::getpid()).has_value());
  EXPECT_TRUE(ReadThreadsCpuNs(::getpid()).has_value());
  // A process that has never waited may not have been switched off a CPU yet: this one waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto switches = ReadThreadsSwitches(::getpid());
  ASSERT_TRUE(switches.has_value());
  EXPECT_GT(switches->voluntary + switches->involuntary, 0);
  // Only threads with the name asked for count.
  EXPECT_EQ(ReadThreadsCpuNs(::getpid(), "no thread is called this"), 0);
  const auto noSwitches = ReadThreadsSwitches(::getpid(), "no thread is called this");
  ASSERT_TRUE(noSwitches.has_value());
  EXPECT_EQ(noSwitches->voluntary + noSwitches->involuntary, 0);

  // Beyond the kernel's largest process id.
  constexpr pid_t kGone = 1 << 30;
  EXPECT_FALSE(ReadMemory(kGone).has_value());
  EXPECT_FALSE(ReadProcessCpuNs(kGone).has_value());
  EXPECT_FALSE(ReadThreadsCpuNs(kGone).has_value());
  EXPECT_FALSE(ReadThreadsSwitches(kGone).has_value());
}

} // namespace
} // namespace bench
