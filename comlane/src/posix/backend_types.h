#pragma once
// The POSIX back end's types: a termios device and eventfd wake-ups (see port_backend.h).

#include "event_fd.h"
#include "tty_device.h"

namespace comlane {

using Wake = EventFd;
using Device = TtyDevice;

} // namespace comlane

// How the library marks its one export.
#define COMLANE_EXPORT __attribute__((visibility("default")))
