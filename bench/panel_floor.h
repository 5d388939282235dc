#pragma once
// The least any panel can do for its status poll, measured beside the panel in the same run so
// that the panel's idle CPU can be read against what this machine charges for the poll itself.
//
// One thread, named "panel-floor": every 500 ms it sends the status poll to a simulated
// controller of its own on a pseudo-terminal and waits in poll() for the whole reply. No window,
// no transmit or receive thread, no hand-over between threads: two wake-ups a reply, the tick
// and the reply.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulator.h"

namespace bench {

class PanelFloor {
public:
  // The name of the polling thread, for /proc figures by thread name.
  static constexpr const char* kThreadName = "panel-floor";

  explicit PanelFloor(std::chrono::milliseconds period);
  // Stops the thread promptly, then the simulator.
  ~PanelFloor();
  PanelFloor(const PanelFloor&) = delete;
  PanelFloor& operator=(const PanelFloor&) = delete;

  // Starts the simulator, opens its pseudo-terminal as the panel does (raw) and starts the
  // thread; its first poll goes out one period later. False with `error` if any of it fails.
  [[nodiscard]] bool Start(std::string& error);

  // Whole replies received so far.
  [[nodiscard]] std::uint64_t Replies() const { return replies_.load(); }

private:
  void Run();
  // Waits up to `timeout` for bytes on the device (true); false on the stop (`stopped` set) or
  // when the time is up.
  bool WaitForDevice(std::chrono::milliseconds timeout, bool& stopped);
  bool Take(std::vector<std::uint8_t>& bytes);
  bool ReadReply(std::chrono::milliseconds timeout, bool& stopped);

  const std::chrono::milliseconds period_;
  std::unique_ptr<sim::Simulator> simulator_;
  int device_ = -1;
  int stop_ = -1; // an eventfd: readable once the destructor wants the thread to end
  std::thread thread_;
  std::atomic<std::uint64_t> replies_{0};
};

} // namespace bench
