#pragma once
// SendCommand: the one operation that builds controller command frames.
//
// Frame: see link/protocol.h. The caller names only the command and the
// direction; the payload comes from MachineState, from the main panel and from the open setup
// dialogs (CommandSource). The frames go to the serial port's Write, which queues them.
//
// Threads: user-interface thread only (it is the only caller of SendCommand, and it reads the
// dialogs directly).

#include <chrono>
#include <cstdint>
#include <functional>

#include "link/command_source.h"
#include "link/machine_state.h"
#include "link/protocol.h"

namespace comlane {
class SerialPort;
}

namespace lamp {

class CommandSender {
public:
  // Blocks the calling thread for the given time; command 12 pauses 1 ms after each frame.
  using Pause = std::function<void(std::chrono::milliseconds)>;

  static constexpr int kPollPeriodMs = 500;
  static constexpr std::uint8_t kStatusPoll = command::kStatusPoll;

  // `pause` defaults to sleeping the calling thread.
  CommandSender(MachineState& state, CommandSource& source, PollTimer& pollTimer, Pause pause = {});

  // The port the frames go to; null (the serial library is missing) sends nothing.
  void SetPort(comlane::SerialPort* port) noexcept { port_ = port; }

  // Builds and writes the frame(s) of `command` in `direction`. Stops the status poll first
  // (unless the command is the poll itself) and always restarts it with 500 ms at the end, also
  // when nothing was sent. Sends nothing for commands outside 1 to 22, for 13, 14, 15 and 17, for
  // reads of 20, 21 and 22, and for a dialog's command while that dialog is closed. Write results
  // are not examined.
  void SendCommand(std::uint8_t command, std::int8_t direction);

  // The state read-back: reads of commands 18, 1, 2, 3 and 8, in this order.
  void SendStateReadBack();

private:
  class Frame;

  void Build(std::uint8_t command, std::int8_t direction);
  void Write(const Frame& frame);
  void WriteTableBurst(std::uint8_t command, std::int8_t direction, const DialogData& dialog);

  MachineState& state_;
  CommandSource& source_;
  PollTimer& pollTimer_;
  Pause pause_;
  comlane::SerialPort* port_ = nullptr;
};

} // namespace lamp
