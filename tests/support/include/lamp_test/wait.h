#pragma once
// Waiting for a condition that another thread makes true, up to a deadline (never a bare sleep).

#include <chrono>
#include <thread>

namespace lamp::test {

// Checks `condition` every millisecond until it holds (true) or `deadline` has passed (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

} // namespace lamp::test
