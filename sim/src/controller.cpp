#include "sim/controller.h"

#include <algorithm>
#include <array>

#include <link/protocol.h>

namespace sim {

namespace {

namespace command = lamp::command;
using lamp::kFrameEnd;
using lamp::kFrameFixed;
using lamp::kFrameStart;

constexpr std::size_t kShortestFrame = lamp::kEmptyFrameBytes;
constexpr std::size_t kLongestFrame = 32;
constexpr auto kFrameTimeout = std::chrono::milliseconds(200);

constexpr std::uint8_t kUnsolicitedDirection = lamp::kWrite;

constexpr int kModeBSteps = 32;

// Payload bytes a write of each command (0 to 22) needs; a shorter write is not taken.
constexpr std::array<std::uint8_t, 23> kWritePayload = {0,  2, 8, 1, 1, 1, 0, 0,  1, 2, 8, 2,
                                                        11, 0, 0, 0, 3, 0, 1, 10, 1, 0, 9};
constexpr int kAmbient = 25;

// A reply frame under construction.
class Frame {
public:
  Frame(std::uint8_t command, std::uint8_t direction)
      : bytes_{kFrameStart, 0, kFrameFixed, command, direction} {}
  Frame& U8(int value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    return *this;
  }
  Frame& Le16(int value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    return *this;
  }
  std::vector<std::uint8_t> Finish() {
    bytes_.push_back(kFrameEnd);
    bytes_[lamp::kLengthOffset] = static_cast<std::uint8_t>(bytes_.size());
    return std::move(bytes_);
  }

private:
  std::vector<std::uint8_t> bytes_;
};

// The frame that starts the bootloader, by its length, command and direction.
bool IsBootloaderEntry(const std::vector<std::uint8_t>& frame) {
  return frame.size() == lamp::kBootloaderEntryFrame.size() &&
         frame[lamp::kCommandOffset] == lamp::kBootloaderCommand &&
         frame[lamp::kDirectionOffset] == lamp::kBootloaderEntryDirection;
}

std::int16_t S16(const std::vector<std::uint8_t>& frame, std::size_t offset) {
  return static_cast<std::int16_t>(frame[offset] | (frame[offset + 1] << 8));
}

} // namespace

Controller::Controller(std::chrono::milliseconds second)
    : second_(std::max(second, std::chrono::milliseconds(1))), state_(PowerOnState()) {}

ControllerState Controller::PowerOnState() {
  ControllerState state;
  for (int step = 0; step < kModeBSteps; ++step) {
    for (int lamp = 0; lamp < 4; ++lamp) {
      state.modeBTable[step][lamp] = static_cast<std::int16_t>((step * 100 + lamp * 250) % 1001);
    }
    state.modeBTable[step][4] = 1;
  }
  for (auto& row : state.machineTable) {
    row = {0, 12000, 0};
  }
  return state;
}

void Controller::OnActivate(TimePoint now, Line&) {
  if (nextThermal_ == TimePoint::max()) {
    nextThermal_ = now + second_;
  }
}

std::size_t Controller::OnBytes(std::span<const std::uint8_t> bytes, TimePoint now, Line& line) {
  if (!partial_.empty() && now - lastByte_ > kFrameTimeout) {
    DropPartialFrame(line);
  }
  lastByte_ = now;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t b = bytes[i];
    if (partial_.empty()) {
      if (b == kFrameStart) {
        partial_.push_back(b);
      } else {
        skipped_.push_back(b);
      }
      ++i;
      continue;
    }
    if (partial_.size() == 1 && (b < kShortestFrame || b > kLongestFrame)) {
      // Not a length a command frame can have: the start byte was noise. Look at this byte again.
      DropPartialFrame(line);
      continue;
    }
    partial_.push_back(b);
    ++i;
    if (partial_.size() >= 2 && partial_.size() == partial_[1]) {
      if (!skipped_.empty()) {
        line.TraceReceived(skipped_, "skipped");
        skipped_.clear();
      }
      const std::vector<std::uint8_t> frame = std::move(partial_);
      partial_.clear();
      const bool entry = IsBootloaderEntry(frame);
      HandleFrame(frame, now, line);
      if (entry) {
        return i;
      }
    }
  }
  if (!skipped_.empty()) {
    line.TraceReceived(skipped_, "skipped");
    skipped_.clear();
  }
  return bytes.size();
}

void Controller::DropPartialFrame(Line& line) {
  skipped_.insert(skipped_.end(), partial_.begin(), partial_.end());
  partial_.clear();
  line.TraceReceived(skipped_, "skipped");
  skipped_.clear();
}

void Controller::OnLineReset() {
  partial_.clear();
  skipped_.clear();
}

void Controller::HandleFrame(const std::vector<std::uint8_t>& frame, TimePoint now, Line& line) {
  if (frame[lamp::kFixedOffset] != kFrameFixed || frame.back() != kFrameEnd) {
    line.TraceReceived(frame, "malformed");
    return;
  }
  line.TraceReceived(frame, "frame");
  const std::uint8_t command = frame[lamp::kCommandOffset];
  const std::uint8_t direction = frame[lamp::kDirectionOffset];
  const bool write = direction == lamp::kWrite;
  const std::size_t payload = frame.size() - kShortestFrame;
  const auto p = [&frame](std::size_t k) { return frame[lamp::kPayloadOffset + k]; };
  const auto p16 = [&frame](std::size_t k) { return S16(frame, lamp::kPayloadOffset + k); };
  if (write && command < kWritePayload.size() && payload < kWritePayload[command]) {
    line.TraceReceived(frame, "too short");
    return;
  }

  if (IsBootloaderEntry(frame)) {
    line.SwitchTo(PersonalityKind::Bootloader);
    return;
  }

  switch (command) {
  case command::kLampSwitch:
    if (write) {
      if (state_.userMode == 0) {
        state_.lampMask = p(0);
      } else {
        state_.userLampMask = static_cast<std::uint16_t>(p16(0));
      }
    }
    Reply(command, direction, line);
    return;
  case command::kLampLevels:
    if (write) {
      for (std::size_t lamp = 0; lamp < 4; ++lamp) {
        state_.levels[lamp] = p16(2 * lamp);
      }
    }
    Reply(command, direction, line);
    return;
  case command::kCursorDigit:
    if (write) {
      state_.cursorDigit = p(0);
    }
    Reply(command, direction, line);
    return;
  case command::kAutoRun:
    if (write) {
      const bool run = p(0) != 0;
      if (run && !state_.autoRunning) {
        state_.autoRunning = true;
        Reply(command, direction, line);
        StartSequence(now, line);
        return;
      }
      if (!run && state_.autoRunning) {
        state_.autoRunning = false;
        Reply(command, direction, line);
        StopSequence(line);
        return;
      }
    }
    Reply(command, direction, line);
    return;
  case command::kOnOff:
    if (write) {
      // The panel's button state 0 means "on" (its caption reads ON).
      state_.powerOn = p(0) == 0;
    }
    Reply(command, direction, line);
    return;
  case command::kReset:
    if (write) {
      if (state_.autoRunning) {
        StopSequence(line);
      }
      state_.lampMask = 0xF0;
      state_.userLampMask = 0;
      state_.cursorDigit = 0;
      state_.powerOn = false;
      Reply(command, direction, line);
      line.SendFrame(Frame(command::kOnOffKey, kUnsolicitedDirection).U8(0).Finish());
      return;
    }
    Reply(command, direction, line);
    return;
  case command::kStatusPoll:
    Reply(command, direction, line);
    return;
  case command::kAutoKind:
    if (write) {
      state_.autoKind = p(0);
    }
    Reply(command, direction, line);
    return;
  case command::kFanTemperatures:
    if (write) {
      state_.fanStart = p(0);
      state_.fanOff = p(1);
    }
    Reply(command, direction, line);
    return;
  case command::kModeATable:
    if (write) {
      for (std::size_t lamp = 0; lamp < 4; ++lamp) {
        state_.modeAWait[lamp] = p16(2 * lamp);
      }
    }
    Reply(command, direction, line);
    return;
  case command::kModeBRange:
    if (write) {
      state_.modeBBegin = p(0);
      state_.modeBEnd = p(1);
    }
    Reply(command, direction, line);
    return;
  case command::kModeBTable:
    if (write) {
      if (p(0) < kModeBSteps) {
        for (std::size_t k = 0; k < 5; ++k) {
          state_.modeBTable[p(0)][k] = p16(1 + 2 * k);
        }
        ReplyRow(command, direction, p(0), line);
      }
      return;
    }
    for (int row = 0; row < kModeBSteps; ++row) {
      ReplyRow(command, direction, row, line);
    }
    return;
  case command::kSystemSetup:
    if (write) {
      const int row = p(0);
      if (row < 4 && payload < 7) {
        line.TraceReceived(frame, "too short");
        return;
      }
      if (row < 4) {
        for (std::size_t k = 0; k < 3; ++k) {
          state_.machineTable[row][k] = p16(1 + 2 * k);
        }
      } else if (row == 4) {
        state_.thermistorOffset = p16(1);
      } else {
        return;
      }
      ReplyRow(command, direction, row, line);
      return;
    }
    for (int row = 0; row <= 4; ++row) {
      ReplyRow(command, direction, row, line);
    }
    return;
  case command::kUserMode:
    if (write) {
      state_.userMode = p(0);
    }
    Reply(command, direction, line);
    return;
  case command::kUserTable:
    if (write) {
      state_.userMode = p(0);
      if (p(1) < 4) {
        for (std::size_t k = 0; k < 4; ++k) {
          state_.userTable[p(1)][k] = p16(2 + 2 * k);
        }
        ReplyRow(command, direction, p(1), line);
      }
      return;
    }
    for (int row = 0; row < 4; ++row) {
      ReplyRow(command, direction, row, line);
    }
    return;
  case command::kSelectedUser:
    if (write) {
      if (p(0) < 4) {
        state_.selectedUser = p(0);
      }
      Reply(command, direction, line);
    }
    return;
  case command::kUserDialogClosed:
    if (write) {
      Reply(command, direction, line);
    }
    return;
  case command::kSelectedUserRow:
    if (write && p(0) < 4) {
      for (std::size_t k = 0; k < 4; ++k) {
        state_.userTable[p(0)][k] = p16(1 + 2 * k);
      }
      state_.selectedUser = p(0);
      ReplyRow(command, direction, p(0), line);
    }
    return;
  default:
    line.TraceReceived(frame, "not a command");
    return;
  }
}

void Controller::Reply(std::uint8_t command, std::uint8_t direction, Line& line) {
  Frame frame(command, direction);
  switch (command) {
  case command::kLampSwitch:
    if (state_.userMode == 0) {
      frame.U8(state_.lampMask).U8(0);
    } else {
      frame.Le16(state_.userLampMask);
    }
    break;
  case command::kLampLevels:
    for (std::int16_t level : state_.levels) {
      frame.Le16(level);
    }
    break;
  case command::kCursorDigit:
    frame.U8(state_.cursorDigit);
    break;
  case command::kAutoRun:
    frame.U8(state_.autoRunning ? 1 : 0);
    break;
  case command::kOnOff:
    frame.U8(state_.powerOn ? 0 : 1);
    break;
  case command::kStatusPoll:
    frame.Le16(state_.temperature).U8(state_.fanOn ? 1 : 0);
    break;
  case command::kAutoKind:
    frame.U8(state_.autoKind);
    break;
  case command::kFanTemperatures:
    frame.U8(state_.fanStart).U8(state_.fanOff);
    break;
  case command::kModeATable:
    for (std::int16_t wait : state_.modeAWait) {
      frame.Le16(wait);
    }
    break;
  case command::kModeBRange:
    frame.U8(state_.modeBBegin).U8(state_.modeBEnd);
    break;
  case command::kUserMode:
    frame.U8(state_.userMode);
    break;
  case command::kSelectedUser:
    frame.U8(state_.selectedUser);
    break;
  case command::kUserDialogClosed:
    frame.U8(0);
    break;
  default:
    break;
  }
  line.SendFrame(frame.Finish());
}

void Controller::ReplyRow(std::uint8_t command, std::uint8_t direction, int row, Line& line) {
  Frame frame(command, direction);
  switch (command) {
  case command::kModeBTable:
    frame.U8(row);
    for (std::int16_t value : state_.modeBTable[row]) {
      frame.Le16(value);
    }
    break;
  case command::kSystemSetup:
    frame.U8(row);
    if (row < 4) {
      for (std::int16_t value : state_.machineTable[row]) {
        frame.Le16(value);
      }
      frame.U8(0);
    } else {
      frame.Le16(state_.thermistorOffset);
    }
    break;
  case command::kUserTable:
    frame.U8(state_.userMode).U8(row);
    for (std::int16_t value : state_.userTable[row]) {
      frame.Le16(value);
    }
    break;
  case command::kSelectedUserRow:
    frame.U8(row);
    for (std::int16_t value : state_.userTable[row]) {
      frame.Le16(value);
    }
    break;
  default:
    return;
  }
  line.SendFrame(frame.Finish());
}

void Controller::StartSequence(TimePoint now, Line& line) {
  if (state_.autoKind == 1) {
    step_ = state_.modeBBegin;
    lastStep_ = std::min<int>(state_.modeBEnd, kModeBSteps - 1);
    if (step_ > lastStep_) {
      StopSequence(line);
      return;
    }
  } else {
    step_ = 0;
    lastStep_ = 3;
  }
  runningKind_ = state_.autoKind == 1 ? 1 : 0;
  ReportStep(now, line);
}

void Controller::ReportStep(TimePoint stepStart, Line& line) {
  Frame frame(command::kAutoStep, kUnsolicitedDirection);
  int wait = 0;
  if (runningKind_ == 1) {
    frame.U8(lamp::kModeBStep).U8(step_);
    for (int lamp = 0; lamp < 4; ++lamp) {
      frame.Le16(state_.modeBTable[step_][lamp]);
    }
    wait = state_.modeBTable[step_][4];
  } else {
    frame.U8(lamp::kModeAStep).U8(step_);
    wait = state_.modeAWait[step_];
  }
  line.SendFrame(frame.Finish());
  nextStep_ = stepStart + std::max(wait, 0) * second_;
}

void Controller::StopSequence(Line& line) {
  state_.autoRunning = false;
  nextStep_ = TimePoint::max();
  line.SendFrame(Frame(command::kAutoStopped, kUnsolicitedDirection).U8(0).Finish());
}

void Controller::OnTime(TimePoint now, Line& line) {
  while (state_.autoRunning && now >= nextStep_) {
    if (step_ >= lastStep_) {
      StopSequence(line);
      break;
    }
    ++step_;
    ReportStep(nextStep_, line);
  }
  if (nextThermal_ != TimePoint::max() && now >= nextThermal_) {
    UpdateTemperature();
    // After a long stall, take up the rhythm from now rather than catching up step by step.
    nextThermal_ = std::max(nextThermal_ + second_, now);
  }
}

TimePoint Controller::NextWakeup() const {
  return std::min(state_.autoRunning ? nextStep_ : TimePoint::max(), nextThermal_);
}

void Controller::UpdateTemperature() {
  // Lit lamps heat towards a target above the room; the fan takes three quarters of the rise.
  int rise = 0;
  if (state_.powerOn) {
    for (int lamp = 0; lamp < 4; ++lamp) {
      if ((state_.lampMask >> lamp) & 1) {
        rise += std::max<int>(state_.levels[lamp], 0) / 40;
      }
    }
  }
  if (state_.fanOn) {
    rise /= 4;
  }
  const int target = kAmbient + rise;
  state_.temperature = static_cast<std::int16_t>(state_.temperature +
                                                 std::clamp(target - state_.temperature, -1, 1));
  if (!state_.fanOn && state_.temperature >= state_.fanStart) {
    state_.fanOn = true;
  } else if (state_.fanOn && state_.temperature <= state_.fanOff) {
    state_.fanOn = false;
  }
}

void Controller::PressOnOffKey(Line& line) {
  state_.powerOn = !state_.powerOn;
  line.SendFrame(
      Frame(command::kOnOffKey, kUnsolicitedDirection).U8(state_.powerOn ? 1 : 0).Finish());
}

} // namespace sim
