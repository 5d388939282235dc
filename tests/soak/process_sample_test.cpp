// Figures of a process read from /proc: the test process's own, as threads and files come and
// go, and a process tree written by hand for what a running system rarely shows.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "lamp_test/temp_folder.h"
#include "lamp_test/wait.h"
#include "process_sample.h"

namespace soak {
namespace {

using lamp::test::TempFolder;
using lamp::test::WriteFile;

// Samples the test process until `done` holds for a sample, or the deadline passes.
bool SampleUntil(const std::function<bool(const ProcessSample&)>& done) {
  return lamp::test::WaitUntil([&] {
    const auto sample = ReadProcessSample(getpid());
    return sample && done(*sample);
  });
}

TEST(ProcessSample, OwnThreadsAndDescriptorsAreCountedAsTheyComeAndGo) {
  // A sanitizer's runtime starts a helper thread of its own with the first thread the program
  // creates; one thread made and joined first keeps it out of the counts below.
  std::thread([] {}).join();
  const auto before = ReadProcessSample(getpid());
  ASSERT_TRUE(before);
  EXPECT_GT(before->rssKiB, 0u);

  std::atomic<bool> release{false};
  std::thread worker([&] {
    while (!release.load()) {
      std::this_thread::yield();
    }
  });
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const auto during = ReadProcessSample(getpid());
  ASSERT_TRUE(during);
  EXPECT_EQ(during->threads, before->threads + 1);
  EXPECT_EQ(during->fds, before->fds + 1);

  release.store(true);
  worker.join();
  std::fclose(file);
  EXPECT_TRUE(SampleUntil([&](const ProcessSample& after) {
    return after.threads == before->threads && after.fds == before->fds;
  }));
  // The spinning worker used processor time.
  EXPECT_TRUE(SampleUntil(
      [&](const ProcessSample& after) { return after.cpuSeconds > before->cpuSeconds; }));
}

TEST(ProcessSample, ReadsAHandWrittenProcessWhoseNameHoldsParentheses) {
  TempFolder proc;
  const auto folder = proc.Path() / "4242";
  std::filesystem::create_directories(folder / "task");
  std::filesystem::create_directories(folder / "fd");
  WriteFile(folder / "status", "Name:\tsoak (x) y\nVmPeak:\t  9999 kB\nVmRSS:\t   1234 kB\n");
  // utime 300 and stime 100 ticks in fields 14 and 15.
  WriteFile(folder / "stat", "4242 (soak (x) y) S 1 4242 4242 0 -1 4194560 100 0 0 0 300 100 0 "
                             "0 20 0 3 0 100 1000 300\n");
  for (const char* tid : {"4242", "4243", "4244"}) {
    WriteFile(folder / "task" / tid, "");
  }
  for (const char* fd : {"0", "1", "2", "3", "4"}) {
    WriteFile(folder / "fd" / fd, "");
  }

  const auto sample = ReadProcessSample(4242, proc.Path());
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->rssKiB, 1234u);
  EXPECT_EQ(sample->threads, 3);
  EXPECT_EQ(sample->fds, 5);
  EXPECT_DOUBLE_EQ(sample->cpuSeconds, 400.0 / static_cast<double>(sysconf(_SC_CLK_TCK)));

  // A process that is gone, and one without resident memory (a zombie shows no VmRSS).
  EXPECT_FALSE(ReadProcessSample(4243, proc.Path()));
  WriteFile(folder / "status", "Name:\tsoak\nState:\tZ (zombie)\n");
  EXPECT_FALSE(ReadProcessSample(4242, proc.Path()));
}

} // namespace
} // namespace soak
