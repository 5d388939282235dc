#pragma once
// One open serial device. The port object and its threads share it; the last holder closes the
// descriptor, so a thread never reaches a descriptor number that was closed and handed to another
// file.

#include "line_settings.h"

#include <memory>
#include <string>

namespace comlane {

class TtyDevice {
public:
  // The device path for a port name: a name starting with "/" is used as it is, "COMn" (n >= 1,
  // any letter case) is /dev/ttyS(n-1), any other name is looked up under /dev/.
  [[nodiscard]] static std::string PathFor(const std::string& portName);

  // Opens `path` for reading and writing, non-blocking, exclusively (flock and TIOCEXCL), without
  // making it the controlling terminal. Null if the device is missing, in use or not a terminal.
  [[nodiscard]] static std::shared_ptr<TtyDevice> Open(const std::string& path);

  explicit TtyDevice(int descriptor) : fd(descriptor) {}
  ~TtyDevice();
  TtyDevice(const TtyDevice&) = delete;
  TtyDevice& operator=(const TtyDevice&) = delete;

  [[nodiscard]] int Fd() const { return fd; }

  // Discards buffered input and output.
  void Purge();
  // Asks the driver to hand received bytes over at once instead of holding them for a few
  // milliseconds (ASYNC_LOW_LATENCY), where the driver offers it; USB serial adapters do. Other
  // devices (a pseudo-terminal, a driver without the setting) stay as they are.
  void RequestLowLatency();
  // Raises (on) or drops RTS or DTR. True on success.
  [[nodiscard]] bool SetModemLine(ModemLine line, bool on);

  // Lets go of the device now, while holders other than the caller may still use the object: the
  // descriptor is re-pointed at /dev/null, which closes the device (and drops its lock) but
  // keeps the number taken until the last holder closes it.
  void Release();

private:
  void DropExclusive();

  int fd;
};

} // namespace comlane
