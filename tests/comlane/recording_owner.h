#pragma once
// An owner for a serial port that records every WM_SERIAL_DATA chunk and every WM_SERIAL_LOST. With
// the gate closed, each delivery blocks in SendMsg until the test opens it, like an owner thread
// that is busy.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>
#include <wndmsg/message_target.h>

class RecordingOwner final : public wndmsg::MessageTarget {
public:
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override;
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

  void CloseGate();
  void OpenGate();

  // Waits until at least `n` bytes (all chunks together) arrived.
  [[nodiscard]] bool WaitForBytes(std::size_t n, std::chrono::milliseconds within);
  // Waits until a delivery is waiting at the closed gate.
  [[nodiscard]] bool WaitForBlockedDelivery(std::chrono::milliseconds within);
  // Waits until no delivery is inside SendMsg.
  [[nodiscard]] bool WaitForNoDelivery(std::chrono::milliseconds within);

  // Waits until at least `n` line losses were reported.
  [[nodiscard]] bool WaitForLosses(int n, std::chrono::milliseconds within);
  [[nodiscard]] int Losses();
  // The number of bytes that had arrived when the first loss was reported.
  [[nodiscard]] std::size_t BytesBeforeFirstLoss();

  [[nodiscard]] std::vector<std::vector<std::uint8_t>> Chunks();
  [[nodiscard]] std::vector<std::uint8_t> Bytes();

private:
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::vector<std::uint8_t>> chunks;
  std::size_t byteCount = 0;
  int losses = 0;
  std::size_t bytesBeforeFirstLoss = 0;
  bool gateClosed = false;
  int inside = 0;
};
