#pragma once
// The Velora controller's application: takes command frames (5A, length, 01, command,
// direction, payload, 03), keeps the controller's state and answers every command with its reply
// frame, in the same layout. While an automatic sequence runs it reports each step on its own
// (reply 14) and reports the end (reply 13); its ON/OFF key reports through reply 17. A
// temperature follows the lit lamps and the fan, which switches at the fan thresholds.
//
// Frames with a length below 6 or above 32, and frames left unfinished for 200 ms, are dropped
// and hunting starts again with the next byte. The bootloader entry frame 5A 06 01 90 87 03
// hands the line to the bootloader.
//
// Threads: one at a time (the simulator's loop, or a test).

#include <cstdint>
#include <vector>

#include "sim/controller_state.h"
#include "sim/personality.h"

namespace sim {

class Controller final : public Personality {
public:
  // `second`: how long one second of the controller's waits (sequence steps, temperature
  // changes) lasts; shorter for tests.
  explicit Controller(std::chrono::milliseconds second = std::chrono::seconds(1));

  // The state right after power-on.
  [[nodiscard]] static ControllerState PowerOnState();

  void OnActivate(TimePoint now, Line& line) override;
  std::size_t OnBytes(std::span<const std::uint8_t> bytes, TimePoint now, Line& line) override;
  void OnTime(TimePoint now, Line& line) override;
  [[nodiscard]] TimePoint NextWakeup() const override;
  void OnLineReset() override;

  // The machine's own ON/OFF key: toggles the switch and reports it (reply 17).
  void PressOnOffKey(Line& line);

  [[nodiscard]] const ControllerState& State() const noexcept { return state_; }
  [[nodiscard]] ControllerState& MutableState() noexcept { return state_; }

private:
  void HandleFrame(const std::vector<std::uint8_t>& frame, TimePoint now, Line& line);
  void Reply(std::uint8_t command, std::uint8_t direction, Line& line);
  void ReplyRow(std::uint8_t command, std::uint8_t direction, int row, Line& line);
  void StartSequence(TimePoint now, Line& line);
  void ReportStep(TimePoint stepStart, Line& line);
  void StopSequence(Line& line);
  void UpdateTemperature();
  void DropPartialFrame(Line& line);

  std::chrono::milliseconds second_;
  ControllerState state_;

  // Receiving.
  std::vector<std::uint8_t> partial_;
  TimePoint lastByte_{};
  std::vector<std::uint8_t> skipped_;

  // The running sequence: Mode A's lamp or Mode B's step, and when the next one is due.
  int runningKind_ = 0;
  int step_ = 0;
  int lastStep_ = 0;
  TimePoint nextStep_ = TimePoint::max();
  TimePoint nextThermal_ = TimePoint::max();
};

} // namespace sim
