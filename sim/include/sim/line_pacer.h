#pragma once
// Paces bytes at a serial line's rate: with `baud` bit/s and ten bits per character (start,
// eight data, stop), a character arrives one character time after the previous one has. A pty
// has no line rate, so the simulator holds its output back by this schedule. Time is passed in.

#include <chrono>
#include <cstddef>

#include "sim/personality.h"

namespace sim {

class LinePacer {
public:
  // `baud` 0: no pacing, everything is due at once.
  explicit LinePacer(unsigned baud) noexcept;

  // `count` more characters wait to be sent at `now`.
  void Queue(std::size_t count, TimePoint now) noexcept;
  // How many of the waiting characters have been fully sent by `now`; they no longer wait.
  [[nodiscard]] std::size_t TakeDue(TimePoint now) noexcept;
  // When the next waiting character will be through; TimePoint::max() when none waits.
  [[nodiscard]] TimePoint NextDue() const noexcept;
  // When the last character handed out by TakeDue was fully through the line: its true arrival,
  // which a late TakeDue has passed.
  [[nodiscard]] TimePoint LastThrough() const noexcept { return lineFree_; }
  // Drops what waits (the line was cut).
  void Clear() noexcept { waiting_ = 0; }

private:
  std::chrono::nanoseconds characterTime_;
  std::size_t waiting_ = 0;
  // When the last character handed out was through the line.
  TimePoint lineFree_{};
};

} // namespace sim
