#include "line_readback.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

std::optional<LineReadback> ReadLine(int fd) {
  termios2 line{};
  if (ioctl(fd, TCGETS2, &line) != 0) {
    return std::nullopt;
  }
  LineReadback r;
  r.inputSpeed = line.c_ispeed;
  r.outputSpeed = line.c_ospeed;
  r.twoStopBits = (line.c_cflag & CSTOPB) != 0;
  r.oddOrMarkParity = (line.c_cflag & PARODD) != 0;
  r.stickParity = (line.c_cflag & CMSPAR) != 0;
  r.xonXoff = (line.c_iflag & (IXON | IXOFF)) != 0;
  r.lineEditing = (line.c_lflag & (ICANON | ECHO | ISIG)) != 0;
  r.outputProcessing = (line.c_oflag & OPOST) != 0;
  r.translatesInput = (line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | PARMRK)) != 0;
  return r;
}
