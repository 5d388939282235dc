#pragma once
// What a back end gives the shared port object. Each back-end folder (posix/, win32/) has a
// `backend_types.h` that names its two types:
//
//   Wake    a wake-up signal for one thread: Signal() and Clear() from any thread; a signal
//           stays pending until cleared.
//   Device  one open, configured port, shared by the port object and its threads; the last
//           holder closes it. Purge() discards what the driver buffered in either direction,
//           SetModemLine(ModemLine, bool) raises or drops RTS/DTR (true on success), Release()
//           lets go of the port at once while a thread that could not be stopped still holds
//           the object: that thread then reaches no port, and nothing else in its place.
//
// and defines the functions below. The back end is chosen at build time.

#include "line_settings.h"
#include "port_shared.h"

#include <memory>
#include <string>

namespace comlane {

struct OpenedDevice {
  std::shared_ptr<Device> device; // null on any failure
  bool lineReached = false;       // the port's line settings could be read (it is a serial line)
};

// Opens `portName` exclusively and applies `settings` (already checked with IsValid): raw
// mode, no XON/XOFF, RTS/DTR and hardware flow control as the driver has them, reads that never
// block. The device is null if the port is missing, in use, not a serial line or refuses the
// settings; nothing stays open then. May throw std::bad_alloc.
[[nodiscard]] OpenedDevice OpenDevice(const std::string& portName, const LineSettings& settings);

// The port's two threads. Each runs until its running flag is cleared and its Wake signalled,
// then signals its end.
//
// Transmit: sleeps until bytes are queued, then writes them to the device in order, waiting for
// room in the driver as needed. Bytes taken for a write that fails are lost.
//
// Receive: sleeps on the device and its Wake. Received bytes go to the owner as WM_SERIAL_DATA
// (Deliver) in chunks of at most 4096 bytes, synchronously and in order. A vanished device (a
// hang-up, a read error; on POSIX also a write error met by the transmit thread, which sets
// `writeFailed` and signals the receive Wake) is no longer watched: the thread tells the owner
// once (ReportLost) and then only waits to be stopped, without spinning.
void RunTransmit(std::shared_ptr<PortShared> shared, std::shared_ptr<Device> device);
void RunReceive(std::shared_ptr<PortShared> shared, std::shared_ptr<Device> device);

} // namespace comlane
