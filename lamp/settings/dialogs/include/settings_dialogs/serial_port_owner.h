#pragma once
// Implemented by the window that owns the serial port's notifications and the reply dispatcher
// (the main window), so that the serial port setup dialog can hand the reopened port back to it.
// GUI thread only.

namespace lamp {

class SerialPortOwner {
public:
  // The serial port setup reopened the port and started its threads: forget any frame begun on
  // the line before, become the owner of the port's notifications and start the reply
  // dispatcher thread, where start-up could not (the port failed to open then). Called before
  // any byte of the reopened port is handled.
  virtual void SerialPortReopened() = 0;

protected:
  ~SerialPortOwner() = default;
};

} // namespace lamp
