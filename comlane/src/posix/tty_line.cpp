#include "tty_line.h"

#include <asm/termbits.h>
#include <comlane/serial_port.h>
#include <sys/ioctl.h>

namespace comlane {

namespace {

tcflag_t CharacterSize(std::uint8_t byteSize) {
  switch (byteSize) {
  case 5:
    return CS5;
  case 6:
    return CS6;
  case 7:
    return CS7;
  default:
    return CS8;
  }
}

tcflag_t ParityFlags(std::uint8_t parity) {
  switch (parity) {
  case kParityOdd:
    return PARENB | PARODD;
  case kParityEven:
    return PARENB;
  case kParityMark:
    return PARENB | CMSPAR | PARODD;
  case kParitySpace:
    return PARENB | CMSPAR;
  default:
    return 0;
  }
}

void SetLine(termios2& line, const LineSettings& settings) {
  // Raw mode: no character translation, no parity marks inserted into the data, no stripping of
  // the eighth bit, no XON/XOFF, no echo or line editing, no output processing.
  line.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                    IXANY | IUCLC | IMAXBEL);
  line.c_oflag &= ~OPOST;
  line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // With the descriptor non-blocking, a read returns at once with what is buffered, and an empty
  // buffer gives EAGAIN; a minimum of 0 would make it return 0, which looks like end of file.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;

  // Any speed, standard or not. Clearing CIBAUD makes the input speed follow the output speed.
  line.c_cflag &= ~(CBAUD | CIBAUD);
  line.c_cflag |= BOTHER;
  line.c_ispeed = settings.baudRate;
  line.c_ospeed = settings.baudRate;

  line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  line.c_cflag |= CharacterSize(settings.byteSize) | ParityFlags(settings.parity);
  // Linux offers one or two stop bits. A UART sends 1.5 stop bits when asked for two with five
  // data bits; with more data bits two is the nearest that a receiver expecting 1.5 still takes.
  if (settings.stopBits != kStopOne) {
    line.c_cflag |= CSTOPB;
  }
  // The line has no carrier to wait for (a three-wire cable has none): ignore DCD, and receive.
  // CRTSCTS and HUPCL stay as the driver has them.
  line.c_cflag |= CLOCAL | CREAD;
}

} // namespace

LineResult ApplyLineSettings(int fd, const LineSettings& settings) {
  termios2 line{};
  if (ioctl(fd, TCGETS2, &line) != 0) {
    return LineResult::kNoLine;
  }
  if (!IsValid(settings)) {
    return LineResult::kRefused;
  }
  SetLine(line, settings);
  return ioctl(fd, TCSETS2, &line) == 0 ? LineResult::kApplied : LineResult::kRefused;
}

} // namespace comlane
