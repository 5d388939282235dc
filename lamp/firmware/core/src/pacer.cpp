#include "firmware/pacer.h"

namespace lamp::firmware {

void SteadyPacer::Pause(std::chrono::milliseconds duration, const std::function<bool()>& stop) {
  std::unique_lock lock(mutex);
  wake.wait_for(lock, duration, stop);
}

void SteadyPacer::Wake() {
  // Taking the lock orders a stop condition set before this call against a waiter between its
  // check and its wait, so no wake-up is lost.
  { const std::lock_guard lock(mutex); }
  wake.notify_all();
}

} // namespace lamp::firmware
