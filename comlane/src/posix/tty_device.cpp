#include "tty_device.h"

#include "port_backend.h"
#include "tty_line.h"

#include <cctype>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace comlane {

namespace {

// The n of "COMn" (case-insensitive, n a decimal number from 1), or 0 for any other name.
unsigned long BuiltInPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 12) {
    return 0;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) {
      return 0;
    }
  }
  unsigned long number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
      return 0;
    }
    number = number * 10 + static_cast<unsigned long>(name[i] - '0');
  }
  return number;
}

} // namespace

std::string TtyDevice::PathFor(const std::string& portName) {
  if (!portName.empty() && portName.front() == '/') {
    return portName;
  }
  if (const unsigned long number = BuiltInPortNumber(portName); number > 0) {
    return "/dev/ttyS" + std::to_string(number - 1);
  }
  return "/dev/" + portName;
}

std::shared_ptr<TtyDevice> TtyDevice::Open(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  // TIOCEXCL alone does not keep out a second opener running as root; the flock does.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_shared<TtyDevice>(fd);
}

TtyDevice::~TtyDevice() {
  DropExclusive();
  close(fd);
}

// The exclusive flag belongs to the tty, not to this descriptor: on a device whose other side
// stays open (a pseudo-terminal) it would outlive the close and keep every non-root user out.
void TtyDevice::DropExclusive() {
  ioctl(fd, TIOCNXCL);
}

void TtyDevice::Purge() {
  tcflush(fd, TCIOFLUSH);
}

void TtyDevice::RequestLowLatency() {
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0) {
    return;
  }
  info.flags |= ASYNC_LOW_LATENCY;
  // A driver that refuses keeps its own timing; the line works either way.
  (void)ioctl(fd, TIOCSSERIAL, &info);
}

bool TtyDevice::SetModemLine(ModemLine line, bool on) {
  int bits = line == ModemLine::kRts ? TIOCM_RTS : TIOCM_DTR;
  return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

void TtyDevice::Release() {
  DropExclusive();
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0) {
    return;
  }
  dup3(null, fd, O_CLOEXEC);
  close(null);
}

OpenedDevice OpenDevice(const std::string& portName, const LineSettings& settings) {
  std::shared_ptr<TtyDevice> opened = TtyDevice::Open(TtyDevice::PathFor(portName));
  if (opened == nullptr) {
    return {};
  }
  const LineResult result = ApplyLineSettings(opened->Fd(), settings);
  if (result != LineResult::kApplied) {
    return {nullptr, result != LineResult::kNoLine};
  }
  opened->RequestLowLatency();
  return {std::move(opened), true};
}

} // namespace comlane
