#pragma once
// The running flag and the "ended" signal of one of the port's threads. The starter raises the
// flag before the thread exists, so that a stop issued at once is never missed; the stopper
// clears it and waits for the end; the thread signals its end as its last act.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace comlane {

class ThreadState {
public:
  std::atomic<bool> running{false};

  // Called by the starter, before the thread is created.
  void Begin();
  // Called by the thread as its last act.
  void End();
  // True if the thread ended within `timeout` (or was not started).
  [[nodiscard]] bool WaitEnded(std::chrono::milliseconds timeout);

private:
  std::mutex lock;
  std::condition_variable endedChanged;
  bool ended = true;
};

} // namespace comlane
