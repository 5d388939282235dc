#pragma once
// One look at a running process through /proc: resident memory, threads, open file descriptors
// and CPU time. The soak takes one every few seconds to see whether any of them grows.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace soak {

struct ProcessSample {
  // Seconds since the soak began; set by the caller.
  double elapsedSeconds = 0;
  // VmRSS of /proc/<pid>/status.
  std::uint64_t rssKiB = 0;
  // Entries of /proc/<pid>/task.
  int threads = 0;
  // Entries of /proc/<pid>/fd, not counting the descriptor this reading itself holds open.
  int fds = 0;
  // User plus system time of /proc/<pid>/stat.
  double cpuSeconds = 0;
};

// Reads the figures of process `pid` from the proc file system mounted at `proc`. Empty when the
// process does not exist or one of its files cannot be read or understood. Any thread.
[[nodiscard]] std::optional<ProcessSample>
ReadProcessSample(pid_t pid, const std::filesystem::path& proc = "/proc");

} // namespace soak
