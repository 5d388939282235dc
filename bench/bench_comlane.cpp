// Comlane's receive path against pyserial's and against the floor, all on pseudo-terminals, in
// one run:
//  - latency from a byte written on the far side to its delivery (Comlane: the owner's
//    WM_SERIAL_DATA handler; pyserial: read(1) returning in a reader thread; the floor: a bare
//    thread blocked in read() returning), median and 99th percentile, one byte at a time with a
//    random pause of 1 to 3 ms between bytes;
//  - CPU time of an open, silent port over 5 s, as a share of one core;
//  - throughput of a 10,000-byte burst from the far side.
// Prints a markdown section for docs/performance.md.

#include "lamp_test/pty_pair.h"
#include "markdown_table.h"
#include "process_figures.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <comlane/serial_port.h>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <wndmsg/messages.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC, as Python's stamps
using namespace std::chrono_literals;
using lamp::test::PtyPair;

constexpr int kSamples = 2000; // per receiver
constexpr std::size_t kBurst = 10000;
constexpr int kBursts = 20;
constexpr auto kIdleWindow = 5s;
// Debian's interpreter, where python3-serial lives (another python3 may come first on PATH).
constexpr const char* kPython = "/usr/bin/python3";

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// Counts delivered bytes and stamps the time of the latest delivery.
class TimingOwner final : public wndmsg::MessageTarget {
public:
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam, wndmsg::LParam count) noexcept override {
    const std::int64_t now = NowNs();
    if (msg == wndmsg::WM_SERIAL_DATA) {
      std::lock_guard guard(lock);
      received += static_cast<std::size_t>(count);
      lastNs = now;
      changed.notify_all();
    }
    return 0;
  }
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

  // Waits until `n` more bytes were delivered; the time of the delivery that completed them.
  std::int64_t WaitForNext(std::size_t n) {
    std::unique_lock guard(lock);
    consumed += n;
    changed.wait(guard, [&] { return received >= consumed; });
    return lastNs;
  }

private:
  std::mutex lock;
  std::condition_variable changed;
  std::size_t received = 0;
  std::size_t consumed = 0;
  std::int64_t lastNs = 0;
};

// The least any library can do: a thread of its own blocked in read() on the device side of a
// pty, stamping each return. Stopped by a flag and one more byte from the far side.
class FloorReader {
public:
  explicit FloorReader(const std::string& device) {
    fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
      thread = std::thread([this] { Run(); });
    }
  }
  ~FloorReader() {
    if (thread.joinable()) {
      thread.join();
    }
    if (fd >= 0) {
      close(fd);
    }
  }
  [[nodiscard]] bool Ready() const { return fd >= 0; }
  std::int64_t WaitForNext(std::size_t n) { return stamps.WaitForNext(n); }
  // Ends the reader once `poke` (any write on the far side) has reached it.
  void Stop(const std::function<void()>& poke) {
    stopping = true;
    poke();
  }

private:
  void Run() {
    pthread_setname_np(pthread_self(), "floor-reader");
    std::uint8_t buffer[4096];
    while (!stopping) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got > 0) {
        stamps.SendMsg(wndmsg::WM_SERIAL_DATA, 0, static_cast<wndmsg::LParam>(got));
      } else if (got == 0 || errno != EINTR) {
        return;
      }
    }
  }

  int fd = -1;
  std::atomic<bool> stopping{false};
  TimingOwner stamps;
  std::thread thread;
};

// pyserial_reader.py on a pty of its own, stamping every `count` bytes it receives.
class PyserialReader {
public:
  PyserialReader(const std::string& device, std::size_t count) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    const std::string countText = std::to_string(count);
    const char* argv[] = {kPython, PYSERIAL_READER, device.c_str(), countText.c_str(), nullptr};
    if (posix_spawn(&pid, kPython, &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    input = toChild[1];
    output = fdopen(fromChild[0], "r");
    const std::string greeting = pid > 0 ? ReadLine() : std::string();
    ready = greeting.rfind("ready", 0) == 0;
    version = ready && greeting.size() > 6 ? greeting.substr(6) : "?";
  }

  ~PyserialReader() {
    close(input);
    if (output != nullptr) {
      fclose(output);
    }
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }

  [[nodiscard]] bool Ready() const { return ready; }
  [[nodiscard]] pid_t Pid() const { return pid; }
  [[nodiscard]] const std::string& Version() const { return version; }

  std::string ReadLine() {
    char line[64] = {};
    if (output == nullptr || fgets(line, sizeof line, output) == nullptr) {
      return {};
    }
    return std::string(line, strcspn(line, "\n"));
  }

  // The next stamp; a reader that ended or printed something else ends the benchmark.
  std::int64_t ReadStamp() {
    const std::string line = ReadLine();
    char* end = nullptr;
    const long long stamp = std::strtoll(line.c_str(), &end, 10);
    if (line.empty() || *end != '\0') {
      std::fprintf(stderr, "bench_comlane: the pyserial reader ended or sent \"%s\"\n",
                   line.c_str());
      std::exit(1);
    }
    return stamp;
  }

private:
  pid_t pid = -1;
  int input = -1;
  FILE* output = nullptr;
  bool ready = false;
  std::string version;
};

struct Spread {
  double medianUs;
  double p99Us;
};

Spread Percentiles(std::vector<double> samplesUs) {
  std::sort(samplesUs.begin(), samplesUs.end());
  const auto at = [&](double q) {
    return samplesUs[static_cast<std::size_t>(q * static_cast<double>(samplesUs.size() - 1))];
  };
  return {at(0.5), at(0.99)};
}

// A receiver under test: the far side of its pty, and a wait for its next delivery that returns
// the delivery's time.
struct Receiver {
  PtyPair& pty;
  std::function<std::int64_t(std::size_t)> nextDelivery; // given the count sent
};

// Time from writing `bytes` on the far side to their delivery, in microseconds.
double Sample(Receiver& receiver, const std::vector<std::uint8_t>& bytes) {
  const std::int64_t sent = NowNs();
  receiver.pty.Send(bytes);
  return static_cast<double>(receiver.nextDelivery(bytes.size()) - sent) / 1e3;
}

// Samples the receivers in turn, so that all see the same load on the machine.
std::vector<std::vector<double>> SampleInTurn(const std::vector<Receiver*>& receivers, int n,
                                              std::size_t bytes) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> pauseUs(1000, 3000);
  std::vector<std::vector<double>> samples(receivers.size());
  std::vector<std::uint8_t> data(bytes);
  for (int i = 0; i < n; ++i) {
    std::fill(data.begin(), data.end(), static_cast<std::uint8_t>(i));
    for (std::size_t r = 0; r < receivers.size(); ++r) {
      samples[r].push_back(Sample(*receivers[r], data));
      std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
    }
  }
  return samples;
}

// CPU time in ns of the threads of `pid` whose name starts with `prefix` (every thread if empty).
// A process that has ended has no figure: the benchmark ends rather than report none as zero.
std::int64_t TaskCpuNs(pid_t pid, const std::string& prefix) {
  const auto ns = bench::ReadThreadsCpuNs(pid, prefix);
  if (!ns) {
    std::fprintf(stderr, "bench_comlane: the CPU time of process %d cannot be read\n",
                 static_cast<int>(pid));
    std::exit(1);
  }
  return *ns;
}

// CPU time of the matching tasks of `pid` while the caller sleeps for the window.
struct IdleCpu {
  std::int64_t startNs;
  std::int64_t ns = 0;
  [[nodiscard]] double PercentOfCore() const {
    return 100.0 * static_cast<double>(ns) /
           static_cast<double>(std::chrono::nanoseconds(kIdleWindow).count());
  }
};

struct PortDeleter {
  void operator()(comlane::SerialPort* port) const { port->Destroy(1); }
};
using Port = std::unique_ptr<comlane::SerialPort, PortDeleter>;

Port OpenPort(const std::string& device, TimingOwner& owner) {
  Port port(Rs232Class());
  port->portName = device;
  port->baudRate = 115200;
  if (port->Open() == 0) {
    std::fprintf(stderr, "bench_comlane: cannot open %s\n", device.c_str());
    std::exit(1);
  }
  port->SetOwner(&owner);
  if (port->StartThreads() == 0) {
    std::fprintf(stderr, "bench_comlane: cannot start the port's threads\n");
    std::exit(1);
  }
  return port;
}

struct Report {
  Spread comlaneLatency;
  Spread pyserialLatency;
  Spread floorLatency;
  IdleCpu comlaneIdle;
  IdleCpu pyserialIdle;
  double comlaneBurstUs;
  double pyserialBurstUs;
};

std::string Ratio(double comlane, double pyserial) {
  return bench::Format("%.2f", pyserial / comlane);
}

std::string Idle(const IdleCpu& idle) {
  return bench::Format("%lld ns (%.5f %% of a core)", static_cast<long long>(idle.ns),
                       idle.PercentOfCore());
}

void Print(const Report& r, const std::string& pyserialVersion) {
  const long long idleS = std::chrono::seconds(kIdleWindow).count();
  std::printf("## Comlane (`bench_comlane`)\n\n");
  std::printf("`bench_comlane` runs Comlane and pyserial (Debian's `python3-serial` %s, "
              "`bench/pyserial_reader.py`: a reader thread blocked in `read(1)`) side by side on "
              "pseudo-terminals in one run, sampling them in turn so that both see the same "
              "load:\n\n",
              pyserialVersion.c_str());
  std::printf("- receive latency: one byte written on the far side of the pty, timed until "
              "Comlane's owner handler is entered with it (`WM_SERIAL_DATA`), respectively until "
              "pyserial's `read(1)` returns it; %d samples each, with a random pause of 1 to 3 ms "
              "between bytes;\n",
              kSamples);
  std::printf("- CPU time of an open, silent port over %lld s (Comlane: its two threads; "
              "pyserial: the whole Python process), from the kernel's per-task run time "
              "(`/proc/<pid>/task/*/schedstat`);\n",
              idleS);
  std::printf("- a burst of %zu bytes, from writing its first byte on the far side to the "
              "delivery of its last (pyserial: `read(1)`, then what is waiting); median of %d "
              "bursts.\n\n",
              kBurst, kBursts);

  bench::MarkdownTable table({"figure", "Comlane", "pyserial", "pyserial / Comlane"});
  table.Row({"latency median", bench::Format("%.1f µs", r.comlaneLatency.medianUs),
             bench::Format("%.1f µs", r.pyserialLatency.medianUs),
             Ratio(r.comlaneLatency.medianUs, r.pyserialLatency.medianUs)});
  table.Row({"latency p99", bench::Format("%.1f µs", r.comlaneLatency.p99Us),
             bench::Format("%.1f µs", r.pyserialLatency.p99Us),
             Ratio(r.comlaneLatency.p99Us, r.pyserialLatency.p99Us)});
  table.Row(
      {bench::Format("silent port, %lld s", idleS), Idle(r.comlaneIdle), Idle(r.pyserialIdle), ""});
  table.Row({bench::Format("%zu-byte burst", kBurst),
             bench::Format("%.0f µs (%.1f MB/s)", r.comlaneBurstUs, kBurst / r.comlaneBurstUs),
             bench::Format("%.0f µs (%.1f MB/s)", r.pyserialBurstUs, kBurst / r.pyserialBurstUs),
             Ratio(r.comlaneBurstUs, r.pyserialBurstUs)});
  std::printf("%s\n", table.Text().c_str());

  // The floor: how far Comlane's threads, queue and delivery are from a bare blocking read.
  const double ratioMedian = r.comlaneLatency.medianUs / r.floorLatency.medianUs;
  const double ratioP99 = r.comlaneLatency.p99Us / r.floorLatency.p99Us;
  constexpr double kFloorTarget = 1.25;
  std::printf("The floor, sampled in turn with the two in the same run: a bare thread blocked in "
              "`read()` on the same kind of pty, timed until `read()` returns.\n\n");
  bench::MarkdownTable floor({"figure", "Comlane", "floor", "Comlane / floor"});
  floor.Row({"latency median", bench::Format("%.1f µs", r.comlaneLatency.medianUs),
             bench::Format("%.1f µs", r.floorLatency.medianUs),
             bench::Format("%.2f", ratioMedian)});
  floor.Row({"latency p99", bench::Format("%.1f µs", r.comlaneLatency.p99Us),
             bench::Format("%.1f µs", r.floorLatency.p99Us), bench::Format("%.2f", ratioP99)});
  std::printf("%s\n", floor.Text().c_str());
  std::printf("Comlane is %s the target of %.2f times the floor at the median and the 99th "
              "percentile.\n\n",
              ratioMedian <= kFloorTarget && ratioP99 <= kFloorTarget ? "within" : "outside",
              kFloorTarget);

  const bool aheadMedian = r.comlaneLatency.medianUs < r.pyserialLatency.medianUs;
  const bool aheadP99 = r.comlaneLatency.p99Us < r.pyserialLatency.p99Us;
  std::printf("%s. ", aheadMedian && aheadP99
                          ? "Comlane is ahead of pyserial at the median and at the 99th percentile"
                      : aheadMedian ? "Comlane is ahead of pyserial at the median, not at the 99th "
                                      "percentile (which shows the load of the machine most)"
                      : aheadP99    ? "Comlane is ahead of pyserial at the 99th percentile, not at "
                                      "the median"
                                    : "Comlane is not ahead of pyserial in this run");
  // Comlane's reader sleeps in poll() while the line is silent.
  const double target = 0.01;
  std::printf("Its silent port sleeps in `poll()` and uses %s (the target is below %.2f %% of "
              "one core%s).\n",
              r.comlaneIdle.ns == 0
                  ? "no CPU time at all"
                  : bench::Format("%.5f %% of one core", r.comlaneIdle.PercentOfCore()).c_str(),
              target, r.comlaneIdle.PercentOfCore() < target ? "" : "; missed in this run");
}

} // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  PtyPair comlanePty, pyLatencyPty, pyBurstPty;
  TimingOwner owner;
  Port port = OpenPort(comlanePty.DevicePath(), owner);
  PyserialReader pyLatency(pyLatencyPty.DevicePath(), 1);
  PyserialReader pyBurst(pyBurstPty.DevicePath(), kBurst);
  if (!pyLatency.Ready() || !pyBurst.Ready()) {
    std::fprintf(stderr, "bench_comlane: %s with python3-serial is needed\n", kPython);
    return 1;
  }
  PtyPair floorPty;
  FloorReader floorReader(floorPty.DevicePath());
  if (!floorReader.Ready()) {
    std::fprintf(stderr, "bench_comlane: cannot open %s\n", floorPty.DevicePath().c_str());
    return 1;
  }
  // Both silent over the same window, after Python has settled from its start-up.
  std::this_thread::sleep_for(500ms);
  IdleCpu comlaneIdle{TaskCpuNs(getpid(), "comlane-")};
  IdleCpu pyIdle{TaskCpuNs(pyLatency.Pid(), "")};
  std::this_thread::sleep_for(kIdleWindow);
  comlaneIdle.ns = TaskCpuNs(getpid(), "comlane-") - comlaneIdle.startNs;
  pyIdle.ns = TaskCpuNs(pyLatency.Pid(), "") - pyIdle.startNs;

  Receiver comlane{comlanePty, [&](std::size_t n) { return owner.WaitForNext(n); }};
  Receiver pyserial{pyLatencyPty, [&](std::size_t) { return pyLatency.ReadStamp(); }};
  Receiver pyserialBursts{pyBurstPty, [&](std::size_t) { return pyBurst.ReadStamp(); }};
  Receiver floor{floorPty, [&](std::size_t n) { return floorReader.WaitForNext(n); }};
  const auto latencies = SampleInTurn({&comlane, &pyserial, &floor}, kSamples, 1);
  floorReader.Stop([&] { floorPty.Send({0}); });
  const auto bursts = SampleInTurn({&comlane, &pyserialBursts}, kBursts, kBurst);
  const std::vector<double>& comlaneBurstUs = bursts[0];
  const std::vector<double>& pyBurstUs = bursts[1];
  const Spread comlaneLatency = Percentiles(latencies[0]);
  const Spread pyserialLatency = Percentiles(latencies[1]);
  const Spread floorLatency = Percentiles(latencies[2]);
  const double comlaneBurst = Percentiles(comlaneBurstUs).medianUs;
  const double pyserialBurst = Percentiles(pyBurstUs).medianUs;

  Report report{comlaneLatency, pyserialLatency, floorLatency, comlaneIdle,
                pyIdle,         comlaneBurst,    pyserialBurst};
  Print(report, pyLatency.Version());
  return 0;
}
