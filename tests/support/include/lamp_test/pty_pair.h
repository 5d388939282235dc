#pragma once
// A pseudo-terminal pair for driving a serial port from its far side. Both ends are raw. The
// test keeps its own descriptor of the device side, to read its line settings and poll it.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace lamp::test {

class PtyPair {
public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  [[nodiscard]] const std::string& DevicePath() const { return devicePath; }
  [[nodiscard]] int DeviceFd() const { return device; }

  // Writes every byte to the far side (blocking until the pty took them).
  void Send(const std::vector<std::uint8_t>& bytes);
  // Reads from the far side until `n` bytes came or the deadline passed.
  [[nodiscard]] std::vector<std::uint8_t> Receive(std::size_t n, std::chrono::milliseconds within);
  // Reads one frame (5A, length, ...): its first two bytes within `within`, the rest within
  // `rest`. Fewer than two bytes when none came; the head alone when its length is below 2.
  [[nodiscard]] std::vector<std::uint8_t> ReceiveFrame(std::chrono::milliseconds within,
                                                       std::chrono::milliseconds rest);
  // Waits until the device side has input waiting (without reading it).
  [[nodiscard]] bool WaitDeviceReadable(std::chrono::milliseconds within);
  // Pulls the plug: closes the far side.
  void CloseFarSide();

private:
  int far = -1;
  int device = -1;
  std::string devicePath;
};

} // namespace lamp::test
