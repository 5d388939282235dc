#include "thread_state.h"

namespace comlane {

void ThreadState::Begin() {
  std::lock_guard guard(lock);
  ended = false;
  running = true;
}

void ThreadState::End() {
  std::lock_guard guard(lock);
  running = false;
  ended = true;
  endedChanged.notify_all();
}

bool ThreadState::WaitEnded(std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock);
  return endedChanged.wait_for(guard, timeout, [this] { return ended; });
}

} // namespace comlane
