#pragma once
// The line settings of a serial device: speed, character format, raw mode. Kept apart from the
// rest of the library because the kernel's termios2 record (needed for arbitrary speeds) cannot
// share a source file with the C library's <termios.h>.

#include "line_settings.h"

namespace comlane {

enum class LineResult {
  kApplied, // the device took the settings
  kNoLine,  // the device's line settings cannot be read: it is not a serial line
  kRefused, // the driver refused the settings
};

// Reads the device's line settings, changes speed, data bits, parity and stop bits, switches to
// raw mode without XON/XOFF, and writes them back. RTS/DTR and hardware flow control keep the
// driver's values. Reads then never block and return what is buffered.
[[nodiscard]] LineResult ApplyLineSettings(int fd, const LineSettings& settings);

} // namespace comlane
