// The operator panel as the operator runs it: the program `lamp` of the build against the
// simulated controller on a pseudo-terminal (bench/panel_rig.h):
//  - start-up time, from spawning `lamp` to the first frame the simulator receives from it,
//    median of several starts;
//  - CPU time of the running panel with nothing to do but its status poll, over 15 s, as a share
//    of one core;
//  - beside it in the same window, the floor: one bare thread sending the same poll to a
//    simulator of its own and waiting for each reply (bench/panel_floor.h), so that the panel's
//    figure can be read against what this machine charges for the poll itself;
//  - its resident memory after start-up has settled and at the end of that window.
// Prints a markdown section for docs/performance.md; progress and failures go to stderr.
//
//   bench_panel [path of lamp]     (default: lamp next to this program)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "markdown_table.h"
#include "panel_floor.h"
#include "panel_rig.h"
#include "process_figures.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kStarts = 5;
constexpr auto kStartDeadline = 30s;
constexpr auto kSettle = 3s;
constexpr auto kIdleWindow = 15s;
constexpr int kPollPeriodMs = 500; // the panel's status poll

double Ms(std::chrono::nanoseconds time) {
  return std::chrono::duration<double, std::milli>(time).count();
}

double MiB(std::int64_t kiB) {
  return static_cast<double>(kiB) / 1024.0;
}

bool Fail(const std::string& what, const bench::PanelRig* rig) {
  std::fprintf(stderr, "bench_panel: %s\n", what.c_str());
  if (rig != nullptr) {
    std::fprintf(stderr, "panel output:\n%s\n", rig->PanelLog().c_str());
  }
  return false;
}

// Starts the panel on `rig` and waits for its first frame on the line.
bool StartPanel(bench::PanelRig& rig, std::chrono::nanoseconds& startUp) {
  std::string error;
  if (!rig.Start(error)) {
    return Fail(error, &rig);
  }
  const auto firstFrame = rig.WaitForFirstFrame(kStartDeadline);
  if (!firstFrame) {
    return Fail(rig.Running() ? "no frame from the panel within 30 s"
                              : "the panel ended before it sent anything",
                &rig);
  }
  startUp = *firstFrame;
  return true;
}

struct Figures {
  std::vector<std::chrono::nanoseconds> startUps;
  std::string firstFrame;
  std::int64_t threadsCpuNs = 0;
  std::int64_t processCpuNs = 0;
  bench::ContextSwitches switches;
  std::uint64_t replies = 0;
  std::int64_t floorCpuNs = 0;
  bench::ContextSwitches floorSwitches;
  std::uint64_t floorReplies = 0;
  std::chrono::nanoseconds window{};
  bench::ProcessMemory settled;
  bench::ProcessMemory end;
};

bool MeasureStartUps(const std::filesystem::path& lamp, Figures& figures) {
  for (int i = 0; i < kStarts; ++i) {
    bench::PanelRig rig(lamp);
    std::chrono::nanoseconds startUp{};
    if (!StartPanel(rig, startUp)) {
      return false;
    }
    figures.startUps.push_back(startUp);
    figures.firstFrame = rig.FirstFrame();
    std::fprintf(stderr, "bench_panel: start %d: first frame after %.1f ms\n", i + 1, Ms(startUp));
  }
  return true;
}

bool MeasureRunning(const std::filesystem::path& lamp, Figures& figures) {
  bench::PanelRig rig(lamp);
  std::chrono::nanoseconds startUp{};
  if (!StartPanel(rig, startUp)) {
    return false;
  }
  bench::PanelFloor floor{std::chrono::milliseconds(kPollPeriodMs)};
  if (std::string error; !floor.Start(error)) {
    return Fail(error, nullptr);
  }
  std::this_thread::sleep_for(kSettle);
  const pid_t self = ::getpid();
  const pid_t pid = rig.Pid();
  const auto settled = bench::ReadMemory(pid);
  const auto threadsBefore = bench::ReadThreadsCpuNs(pid);
  const auto processBefore = bench::ReadProcessCpuNs(pid);
  const auto switchesBefore = bench::ReadThreadsSwitches(pid);
  const std::uint64_t repliesBefore = rig.LineStats().framesSent;
  const auto floorCpuBefore = bench::ReadThreadsCpuNs(self, bench::PanelFloor::kThreadName);
  const auto floorSwitchesBefore = bench::ReadThreadsSwitches(self, bench::PanelFloor::kThreadName);
  const std::uint64_t floorRepliesBefore = floor.Replies();
  const Clock::time_point windowStart = Clock::now();
  std::fprintf(stderr, "bench_panel: panel running; measuring %lld s\n",
               static_cast<long long>(std::chrono::seconds(kIdleWindow).count()));
  std::this_thread::sleep_for(kIdleWindow);
  const auto threadsAfter = bench::ReadThreadsCpuNs(pid);
  const auto processAfter = bench::ReadProcessCpuNs(pid);
  const auto switchesAfter = bench::ReadThreadsSwitches(pid);
  const auto end = bench::ReadMemory(pid);
  const auto floorCpuAfter = bench::ReadThreadsCpuNs(self, bench::PanelFloor::kThreadName);
  const auto floorSwitchesAfter = bench::ReadThreadsSwitches(self, bench::PanelFloor::kThreadName);
  figures.window = Clock::now() - windowStart;
  figures.replies = rig.LineStats().framesSent - repliesBefore;
  figures.floorReplies = floor.Replies() - floorRepliesBefore;
  if (!rig.Running() || !settled || !end || !threadsBefore || !threadsAfter || !processBefore ||
      !processAfter || !switchesBefore || !switchesAfter) {
    return Fail("the panel ended, or its figures could not be read", &rig);
  }
  if (figures.replies == 0) {
    return Fail("no status poll was answered in the window", &rig);
  }
  if (figures.floorReplies == 0 || !floorCpuBefore || !floorCpuAfter || !floorSwitchesBefore ||
      !floorSwitchesAfter) {
    return Fail("the floor's poll was not answered, or its figures could not be read", nullptr);
  }
  figures.floorCpuNs = *floorCpuAfter - *floorCpuBefore;
  figures.floorSwitches = {floorSwitchesAfter->voluntary - floorSwitchesBefore->voluntary,
                           floorSwitchesAfter->involuntary - floorSwitchesBefore->involuntary};
  figures.settled = *settled;
  figures.end = *end;
  figures.threadsCpuNs = *threadsAfter - *threadsBefore;
  figures.processCpuNs = *processAfter - *processBefore;
  figures.switches = {switchesAfter->voluntary - switchesBefore->voluntary,
                      switchesAfter->involuntary - switchesBefore->involuntary};
  return true;
}

double PerReply(std::int64_t count, std::uint64_t replies) {
  return static_cast<double>(count) / static_cast<double>(replies);
}

// Of the window as it was measured (a sleep may overshoot on a loaded machine).
double PercentOfCore(std::int64_t ns, std::chrono::nanoseconds window) {
  return 100.0 * static_cast<double>(ns) / static_cast<double>(window.count());
}

void Print(const Figures& figures) {
  std::vector<std::chrono::nanoseconds> startUps = figures.startUps;
  std::sort(startUps.begin(), startUps.end());
  const long windowS = static_cast<long>(std::chrono::seconds(kIdleWindow).count());
  const long tickMs = 1000 / ::sysconf(_SC_CLK_TCK);

  std::printf("## Operator panel (`bench_panel`)\n\n");
  std::printf(
      "`bench_panel` runs the panel as the operator does: the program `lamp` of the build as a "
      "process of its own, on Qt's offscreen platform, with a settings folder of its own whose "
      "`lamp.INI` names the port of the simulated controller (the simulator's library, in the "
      "benchmark's process, on a pseudo-terminal at 115200 bit/s):\n\n");
  std::printf("- start-up: from spawning `lamp` to the first frame the simulator receives from "
              "it, over %d starts, each with a new simulator and settings folder;\n",
              kStarts);
  std::printf("- idle CPU: the CPU time of the whole `lamp` process (every one of its threads: the "
              "user-interface thread, Comlane's, Qt's own) over %ld s in which its "
              "only work is the status poll (one request every %d ms, answered by the "
              "simulator), as a share of one core; from the kernel's per-thread run time "
              "(`/proc/<pid>/task/*/schedstat`) and, as a check, from the process's user and "
              "system time (`/proc/<pid>/stat`, in ticks of %ld ms);\n",
              windowS, kPollPeriodMs, tickMs);
  std::printf("- wake-ups: how often the panel's threads were switched off a CPU in that window, "
              "waiting (`voluntary_ctxt_switches` of `/proc/<pid>/task/*/status`) or pre-empted "
              "(`nonvoluntary_ctxt_switches`), per reply. Each is paid again when the thread "
              "wakes, and on a machine whose cores sleep (a virtual one most of all) the waking "
              "costs more than the work, so this count, which does not depend on the machine, "
              "says most about the idle CPU;\n");
  std::printf("- the floor: in the same window, one bare thread of this benchmark sends the "
              "same poll every %d ms to a simulator of its own on a pseudo-terminal and waits in "
              "`poll()` for each reply: no window, no transmit or receive thread, no hand-over "
              "between threads. It is the least any panel can spend on the poll on this machine, "
              "and the panel's CPU per reply is given as a multiple of it;\n",
              kPollPeriodMs);
  std::printf("- resident memory: `VmRSS` (resident now) and `VmHWM` (the peak) of `/proc/<pid>/"
              "status`, %lld s after the first frame and at the end of the idle window.\n\n",
              static_cast<long long>(std::chrono::seconds(kSettle).count()));

  bench::MarkdownTable table({"figure", "value"});
  table.Row({bench::Format("start-up to the first frame, median of %d", kStarts),
             bench::Format("%.0f ms", Ms(startUps[startUps.size() / 2]))});
  table.Row({"start-up, fastest / slowest",
             bench::Format("%.0f / %.0f ms", Ms(startUps.front()), Ms(startUps.back()))});
  table.Row({"first frame on the line", "`" + figures.firstFrame + "`"});
  table.Row({bench::Format("CPU of the running panel over %ld s (schedstat)", windowS),
             bench::Format("%.3f %% of one core (%.1f ms)",
                           PercentOfCore(figures.threadsCpuNs, figures.window),
                           static_cast<double>(figures.threadsCpuNs) / 1e6)});
  table.Row({bench::Format("CPU of the running panel over %ld s (utime + stime)", windowS),
             bench::Format("%.3f %% of one core (%.0f ms)",
                           PercentOfCore(figures.processCpuNs, figures.window),
                           static_cast<double>(figures.processCpuNs) / 1e6)});
  table.Row({"replies the simulator sent in the window",
             bench::Format("%llu", static_cast<unsigned long long>(figures.replies))});
  table.Row({"CPU per reply (all of the window's CPU time / replies)",
             bench::Format("%.2f ms", PerReply(figures.threadsCpuNs, figures.replies) / 1e6)});
  table.Row({"threads switched off a CPU per reply: waiting / pre-empted",
             bench::Format("%.1f / %.1f", PerReply(figures.switches.voluntary, figures.replies),
                           PerReply(figures.switches.involuntary, figures.replies))});
  table.Row({"the floor in the same window: CPU, and per reply",
             bench::Format("%.3f %% of one core (%.2f ms per reply, %llu replies)",
                           PercentOfCore(figures.floorCpuNs, figures.window),
                           PerReply(figures.floorCpuNs, figures.floorReplies) / 1e6,
                           static_cast<unsigned long long>(figures.floorReplies))});
  table.Row(
      {"the floor's thread switched off a CPU per reply: waiting / pre-empted",
       bench::Format("%.1f / %.1f", PerReply(figures.floorSwitches.voluntary, figures.floorReplies),
                     PerReply(figures.floorSwitches.involuntary, figures.floorReplies))});
  table.Row({"the panel's CPU per reply / the floor's",
             bench::Format("%.1f", PerReply(figures.threadsCpuNs, figures.replies) /
                                       PerReply(figures.floorCpuNs, figures.floorReplies))});
  table.Row(
      {"resident memory (VmRSS), settled / end",
       bench::Format("%.1f / %.1f MiB", MiB(figures.settled.rssKiB), MiB(figures.end.rssKiB))});
  table.Row(
      {"peak resident memory (VmHWM), settled / end",
       bench::Format("%.1f / %.1f MiB", MiB(figures.settled.hwmKiB), MiB(figures.end.hwmKiB))});
  table.Row({"threads, settled / end",
             bench::Format("%d / %d", figures.settled.threads, figures.end.threads)});
  std::printf("%s", table.Text().c_str());
  // An answered poll changes nothing on the panel: nothing is drawn again, the fan stands still.
  constexpr double kIdleTarget = 0.05;
  const double idle = PercentOfCore(figures.threadsCpuNs, figures.window);
  std::printf("\nThe idle panel's target is below %.2f %% of one core: %s in this run, in which "
              "the floor took %.3f %%.\n",
              kIdleTarget, idle < kIdleTarget ? "met" : "missed",
              PercentOfCore(figures.floorCpuNs, figures.window));
}

} // namespace

int main(int argc, char** argv) {
  const std::filesystem::path lamp =
      argc > 1 ? std::filesystem::path(argv[1])
               : std::filesystem::read_symlink("/proc/self/exe").parent_path() / "lamp";
  if (!std::filesystem::exists(lamp)) {
    std::fprintf(stderr, "bench_panel: %s is not built\n", lamp.c_str());
    return 1;
  }
  Figures figures;
  if (!MeasureStartUps(lamp, figures) || !MeasureRunning(lamp, figures)) {
    return 1;
  }
  Print(figures);
  return 0;
}
