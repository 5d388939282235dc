#pragma once
// Figures of a running process from the kernel's /proc files: its memory and its CPU time.
// The Parse functions take the text of one file, so that they work on any text; the Read
// functions read the file of a process and give nothing when it cannot be read (the process
// has ended) or does not hold the figure.

#include <cstdint>
#include <optional>
#include <string_view>
#include <sys/types.h>

namespace bench {

struct ProcessMemory {
  std::int64_t rssKiB = 0; // VmRSS: resident now
  std::int64_t hwmKiB = 0; // VmHWM: the most ever resident
  int threads = 0;
};

// From the text of /proc/<pid>/status.
[[nodiscard]] std::optional<ProcessMemory> ParseStatus(std::string_view text);
[[nodiscard]] std::optional<ProcessMemory> ReadMemory(pid_t pid);

// User plus system time in clock ticks, from the text of /proc/<pid>/stat. Counts every thread
// the process ever had, ended ones included; the resolution is one tick (sysconf(_SC_CLK_TCK)).
[[nodiscard]] std::optional<std::int64_t> ParseStatTicks(std::string_view text);
// The same in nanoseconds.
[[nodiscard]] std::optional<std::int64_t> ReadProcessCpuNs(pid_t pid);

// Time on a CPU of the threads the process has now whose name starts with `namePrefix` (every
// thread if empty), summed from /proc/<pid>/task/*/schedstat: nanoseconds, exact, but a thread's
// time leaves the sum when the thread ends.
[[nodiscard]] std::optional<std::int64_t> ReadThreadsCpuNs(pid_t pid,
                                                           std::string_view namePrefix = {});

// How often the threads of a process have been switched off a CPU: waiting for something
// (voluntary) or pre-empted (involuntary). Each is a wake-up paid for later, which on an idle
// machine costs more than the work it wakes for.
struct ContextSwitches {
  std::int64_t voluntary = 0;
  std::int64_t involuntary = 0;
};

// From the text of /proc/<pid>/task/<tid>/status.
[[nodiscard]] std::optional<ContextSwitches> ParseSwitches(std::string_view text);
// Summed over the threads the process has now whose name starts with `namePrefix` (every thread
// if empty).
[[nodiscard]] std::optional<ContextSwitches> ReadThreadsSwitches(pid_t pid,
                                                                 std::string_view namePrefix = {});

} // namespace bench
