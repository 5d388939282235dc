#pragma once
// The pauses of the firmware workers (the identify poller's 250 ms, the writer's 1 ms between
// blocks), injected so that tests decide when time passes.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace lamp::firmware {

class Pacer {
public:
  virtual ~Pacer() = default;
  // Pauses the calling thread for `duration`, returning early once `stop()` is true. `stop` is
  // checked on entry and again after every Wake().
  virtual void Pause(std::chrono::milliseconds duration, const std::function<bool()>& stop) = 0;
  // Makes every paused thread check its stop condition again. Any thread.
  virtual void Wake() = 0;
};

// Pauses on the steady clock.
class SteadyPacer final : public Pacer {
public:
  void Pause(std::chrono::milliseconds duration, const std::function<bool()>& stop) override;
  void Wake() override;

private:
  std::mutex mutex;
  std::condition_variable wake;
};

} // namespace lamp::firmware
