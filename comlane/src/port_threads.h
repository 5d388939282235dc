#pragma once
// The port's two threads. Each runs until its running flag is cleared and its wake-up descriptor
// signalled, then signals its end.
//
// Transmit: sleeps until bytes are queued, then writes them to the device in order, waiting for
// room in the driver as needed. Bytes taken for a write that fails are lost.
//
// Receive: sleeps in poll() on the device and its wake-up descriptor. Received bytes go to the
// owner as WM_SERIAL_DATA in chunks of at most 4096 bytes, synchronously and in order. A vanished
// device (hang-up, read errors) is no longer watched; the thread then only waits to be stopped.

#include "port_shared.h"
#include "tty_device.h"

#include <memory>

namespace comlane {

void RunTransmit(std::shared_ptr<PortShared> shared, std::shared_ptr<TtyDevice> device);
void RunReceive(std::shared_ptr<PortShared> shared, std::shared_ptr<TtyDevice> device);

} // namespace comlane
