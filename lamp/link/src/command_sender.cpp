#include "link/command_sender.h"

#include <array>
#include <string>
#include <thread>

#include <comlane/serial_port.h>

#include "link/decimal_text.h"
#include "link/protocol.h"

namespace lamp {

namespace {

constexpr int kModeBRows = 32;
constexpr int kMachineLampRows = 4;
constexpr int kUserRows = 4;

void SleepFor(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

} // namespace

// One command frame under construction.
class CommandSender::Frame {
public:
  Frame(std::uint8_t command, std::int8_t direction)
      : bytes_{kFrameStart, 0, kFrameFixed, command, static_cast<std::uint8_t>(direction)} {}

  void U8(std::int32_t value) { bytes_[size_++] = LowByte(value); }
  void Le16(std::int32_t value) {
    bytes_[size_++] = LowByte(value);
    bytes_[size_++] = HighByte16(value);
  }
  void U8Text(const std::string& text) { U8(DecimalValue(text)); }
  void Le16Text(const std::string& text) { Le16(DecimalValue(text)); }

  // Puts the length and the end byte in place.
  void Finish() {
    bytes_[size_++] = kFrameEnd;
    bytes_[kLengthOffset] = static_cast<std::uint8_t>(size_);
  }
  [[nodiscard]] const std::uint8_t* data() const { return bytes_.data(); }
  [[nodiscard]] std::int32_t size() const { return static_cast<std::int32_t>(size_); }

private:
  std::array<std::uint8_t, kLongestCommandBytes> bytes_{};
  std::size_t size_ = kPayloadOffset;
};

CommandSender::CommandSender(MachineState& state, CommandSource& source, PollTimer& pollTimer,
                             Pause pause)
    : state_(state), source_(source), pollTimer_(pollTimer),
      pause_(pause ? std::move(pause) : Pause(SleepFor)) {}

void CommandSender::SendCommand(std::uint8_t command, std::int8_t direction) {
  if (command != command::kStatusPoll) {
    pollTimer_.StopPoll();
  }
  Build(command, direction);
  pollTimer_.StartPoll(kPollPeriodMs);
}

void CommandSender::SendStateReadBack() {
  for (std::uint8_t number : {command::kUserMode, command::kLampSwitch, command::kLampLevels,
                              command::kCursorDigit, command::kAutoKind}) {
    SendCommand(number, kRead);
  }
}

void CommandSender::Build(std::uint8_t command, std::int8_t direction) {
  const bool write = direction == kWrite;
  Frame frame(command, direction);
  const auto dialog = [this](SetupDialog which) { return source_.OpenDialog(which); };

  switch (command) {
  case command::kLampSwitch:
    if (write) {
      if (state_.userMode.load() == 0) {
        frame.U8(state_.lampMask.load());
        frame.U8(0);
      } else {
        frame.Le16(state_.userLampMask.load());
      }
    }
    break;
  case command::kLampLevels:
    if (write) {
      for (int lamp = 0; lamp < 4; ++lamp) {
        frame.Le16(source_.Level(lamp));
      }
    }
    break;
  case command::kCursorDigit:
    frame.U8(source_.CursorDigit(0));
    break;
  case command::kAutoRun:
    frame.U8(state_.autoRunning.load());
    break;
  case command::kOnOff:
    frame.U8(source_.OnOffState());
    break;
  case command::kReset:
  case command::kStatusPoll:
    break;
  case command::kAutoKind:
    if (write) {
      frame.U8(state_.autoKind.load());
    }
    break;
  case command::kFanTemperatures: {
    const DialogData* fan = dialog(SetupDialog::FanCtrl);
    if (fan == nullptr) {
      return;
    }
    if (write) {
      frame.U8Text(fan->FieldText(0));
      frame.U8Text(fan->FieldText(1));
    }
    break;
  }
  case command::kModeATable: {
    const DialogData* automode = dialog(SetupDialog::Automode);
    if (automode == nullptr) {
      return;
    }
    if (write) {
      for (int row = 0; row < 4; ++row) {
        frame.Le16Text(automode->CellText(row, 1));
      }
    }
    break;
  }
  case command::kModeBRange: {
    const DialogData* automode = dialog(SetupDialog::Automode);
    if (automode == nullptr) {
      return;
    }
    if (write) {
      frame.U8Text(automode->FieldText(0));
      frame.U8Text(automode->FieldText(1));
    }
    break;
  }
  case command::kModeBTable:
  case command::kSystemSetup:
  case command::kUserTable: {
    const SetupDialog which = command == command::kModeBTable    ? SetupDialog::Automode
                              : command == command::kSystemSetup ? SetupDialog::Machine
                                                                 : SetupDialog::UserMode;
    const DialogData* table = dialog(which);
    if (table == nullptr) {
      return;
    }
    if (write) {
      WriteTableBurst(command, direction, *table);
      return;
    }
    break;
  }
  case command::kUserMode:
    if (write) {
      frame.U8(state_.userMode.load());
    }
    break;
  case command::kSelectedUser: {
    const DialogData* users = dialog(SetupDialog::UserMode);
    if (users == nullptr || !write) {
      return;
    }
    frame.U8(users->SelectedUser());
    break;
  }
  case command::kUserDialogClosed:
    if (!write) {
      return;
    }
    frame.U8(0);
    break;
  case command::kSelectedUserRow: {
    const DialogData* users = dialog(SetupDialog::UserMode);
    if (users == nullptr || !write) {
      return;
    }
    const int selected = users->SelectedUser();
    frame.U8(selected);
    for (int column = 1; column <= 4; ++column) {
      frame.Le16Text(users->CellText(selected, column));
    }
    break;
  }
  default:
    return;
  }
  frame.Finish();
  Write(frame);
}

void CommandSender::WriteTableBurst(std::uint8_t command, std::int8_t direction,
                                    const DialogData& dialog) {
  if (command == command::kModeBTable) {
    for (int row = 0; row < kModeBRows; ++row) {
      Frame frame(command, direction);
      frame.U8(row);
      for (int column = 1; column <= 5; ++column) {
        frame.Le16Text(dialog.CellText(row, column));
      }
      frame.Finish();
      Write(frame);
      pause_(std::chrono::milliseconds(1));
    }
    return;
  }
  if (command == command::kSystemSetup) {
    for (int row = 0; row < kMachineLampRows; ++row) {
      Frame frame(command, direction);
      frame.U8(row);
      for (int column = 1; column <= 3; ++column) {
        frame.Le16Text(dialog.CellText(row, column));
      }
      frame.U8(0);
      frame.Finish();
      Write(frame);
    }
    Frame thermistor(command, direction);
    thermistor.U8(kMachineLampRows);
    thermistor.Le16Text(dialog.CellText(kMachineLampRows, 3));
    thermistor.Finish();
    Write(thermistor);
    return;
  }
  // The user table, each frame carrying the user-mode switch.
  for (int row = 0; row < kUserRows; ++row) {
    Frame frame(command, direction);
    frame.U8(state_.userMode.load());
    frame.U8(row);
    for (int column = 1; column <= 4; ++column) {
      frame.Le16Text(dialog.CellText(row, column));
    }
    frame.Finish();
    Write(frame);
  }
  SendStateReadBack();
  source_.RefreshLampButtons();
}

void CommandSender::Write(const Frame& frame) {
  if (port_ != nullptr) {
    static_cast<void>(port_->Write(frame.data(), frame.size()));
  }
}

} // namespace lamp
