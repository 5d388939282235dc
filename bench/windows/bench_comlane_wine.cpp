// Comlane's Win32 receive path under wine, measured as bench_comlane measures the POSIX one: the
// far side (bench/windows/wine_latency.py) writes one byte at a time with a random pause of 1 to
// 3 ms, and this program stamps each delivery in its owner's WM_SERIAL_DATA handler.
//
//   bench_comlane_wine.exe COUNT
// prints "ready" once the port's threads run, then one stamp per delivered byte (nanoseconds of
// QueryPerformanceCounter, which wine takes from the system's monotonic clock), and "idle
// <percent>" for the CPU time of the open, silent port over 5 s.

#include <chrono>
#include <comlane/serial_port.h>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>
#include <wndmsg/messages.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

std::int64_t NowNs() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart / frequency * 1'000'000'000 +
         now.QuadPart % frequency * 1'000'000'000 / frequency;
}

class StampingOwner final : public wndmsg::MessageTarget {
public:
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam, wndmsg::LParam count) noexcept override {
    const std::int64_t now = NowNs();
    if (msg == wndmsg::WM_SERIAL_DATA) {
      std::lock_guard guard(lock);
      for (wndmsg::LParam i = 0; i < count; ++i) {
        stamps.push_back(now);
      }
      changed.notify_all();
    }
    return 0;
  }
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

  std::vector<std::int64_t> WaitFor(std::size_t n) {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return stamps.size() >= n; });
    return stamps;
  }

private:
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::int64_t> stamps;
};

double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](FILETIME t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e4;
  };
  return ms(kernel) + ms(user);
}

} // namespace

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
  comlane::SerialPort* port = Rs232Class();
  port->portName = "COM1";
  port->baudRate = 115200;
  StampingOwner owner;
  if (port->Open() == 0) {
    std::puts("no port");
    return 1;
  }
  port->SetOwner(&owner);
  if (port->StartThreads() == 0) {
    std::puts("no threads");
    return 1;
  }
  const double before = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  std::printf("idle %.1f\n", (ProcessCpuMs() - before) / 5000.0 * 100.0);
  std::puts("ready");
  std::fflush(stdout);
  for (const std::int64_t stamp : owner.WaitFor(count)) {
    std::printf("%lld\n", static_cast<long long>(stamp));
  }
  std::fflush(stdout);
  port->Close();
  return 0;
}
