#pragma once
// The simulator hands the bytes it receives to one personality at a time: the controller's
// application (Controller) or, after the bootloader entry frame, a bootloader. A personality
// speaks through a Line and never touches the pseudo-terminal itself; time is passed in, so a
// personality can be driven by tests without waiting.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

enum class PersonalityKind { Application, Bootloader };

// The simulator's side of the line, as a personality sees it.
class Line {
public:
  // Sends one frame. Fault injection (noise, over-long frames, drops, delays) applies per frame.
  virtual void SendFrame(std::vector<std::uint8_t> frame) = 0;
  // Sends one frame that was due at `due` (at most now): a simulator that woke late sends it as
  // if on time, so that its own wake-up delays do not count as the device's.
  virtual void SendFrameDue(std::vector<std::uint8_t> frame, TimePoint due) {
    static_cast<void>(due);
    SendFrame(std::move(frame));
  }
  // Notes received bytes in the trace (`what` says how they were taken, e.g. "frame").
  virtual void TraceReceived(std::span<const std::uint8_t> bytes, std::string_view what) = 0;
  // Hands the line to the other personality once the current bytes are consumed.
  virtual void SwitchTo(PersonalityKind kind) = 0;

protected:
  ~Line() = default;
};

class Personality {
public:
  virtual ~Personality() = default;

  // Becomes the personality that owns the line.
  virtual void OnActivate(TimePoint now, Line& line) = 0;
  // Received bytes in arrival order. Returns how many were consumed: all of them, unless the
  // personality asked for a switch, in which case the rest goes to the next personality.
  virtual std::size_t OnBytes(std::span<const std::uint8_t> bytes, TimePoint now, Line& line) = 0;
  // Time has come to `now`; called no later than NextWakeup() asked for (and possibly earlier).
  virtual void OnTime(TimePoint now, Line& line) = 0;
  // When OnTime is next needed; TimePoint::max() for never.
  [[nodiscard]] virtual TimePoint NextWakeup() const = 0;
  // The line was cut (plug pulled): half-received frames are forgotten.
  virtual void OnLineReset() = 0;
};

} // namespace sim
