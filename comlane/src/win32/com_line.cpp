#include "com_line.h"

namespace comlane {

namespace {

// Characters in the driver's input buffer at which it would send XON or XOFF, had it XON/XOFF.
constexpr WORD kXonXoffLimit = 100;

} // namespace

LineResult ApplyLineSettings(HANDLE port, const LineSettings& settings) {
  // Reads return at once with whatever is buffered; writes have no time-out.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  DCB line{};
  line.DCBlength = sizeof line;
  if (GetCommState(port, &line) == FALSE) {
    return LineResult::kNoLine;
  }
  if (!IsValid(settings) || SetCommTimeouts(port, &timeouts) == FALSE ||
      SetCommMask(port, EV_RXCHAR) == FALSE) {
    return LineResult::kRefused;
  }
  // The attribute codes are the DCB's own (NOPARITY..SPACEPARITY, ONESTOPBIT..TWOSTOPBITS).
  line.BaudRate = settings.baudRate;
  line.ByteSize = settings.byteSize;
  line.Parity = settings.parity;
  line.StopBits = settings.stopBits;
  line.fBinary = TRUE;
  line.fOutX = FALSE;
  line.fInX = FALSE;
  line.fNull = FALSE;
  line.XonLim = kXonXoffLimit;
  line.XoffLim = kXonXoffLimit;
  return SetCommState(port, &line) != FALSE ? LineResult::kApplied : LineResult::kRefused;
}

} // namespace comlane
