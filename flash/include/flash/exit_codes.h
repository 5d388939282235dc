#pragma once
// The exit codes of velora-flash, one per kind of outcome, so that scripts on a production line
// can tell a device that must be re-flashed from a cable that must be checked.

namespace flash {

enum class ExitCode : int {
  Success = 0,
  // The device's memory differs from the file (after a write, or on `verify`).
  VerifyMismatch = 1,
  // Wrong command line, or a file that is not Intel HEX or does not fit the device.
  UsageOrBadFile = 2,
  // No answer: no identify reply, a block without acknowledgement, a read that stopped coming,
  // or read blocks that kept failing their checksum.
  DeviceNotAnswering = 3,
  // The serial port is missing, busy, not allowed, or went away during the work.
  PortProblem = 4,
  // The bootloader refused a block of the write.
  BlockRefused = 5,
  // Ctrl-C: the transfer was ended as the dialog's Cancel ends it.
  Interrupted = 130,
};

[[nodiscard]] constexpr int ToInt(ExitCode code) {
  return static_cast<int>(code);
}

} // namespace flash
