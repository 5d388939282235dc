#pragma once
// The line settings of a COM port: time-outs, reported events and the DCB record.

#include "line_settings.h"
#include "win_api.h"

namespace comlane {

enum class LineResult {
  kApplied, // the port took the settings
  kNoLine,  // the port's line settings cannot be read: it is not a serial line
  kRefused, // the driver refused the time-outs, the event mask or the settings
};

// Sets reads that return at once with what is buffered and writes without time-out, reports
// only received characters, and changes speed, data bits, parity and stop bits in the driver's
// DCB record with binary mode on, XON/XOFF and null stripping off. Every other field (RTS/DTR
// control, CTS/DSR flow) keeps the driver's value.
[[nodiscard]] LineResult ApplyLineSettings(HANDLE port, const LineSettings& settings);

} // namespace comlane
