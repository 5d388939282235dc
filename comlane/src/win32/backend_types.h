#pragma once
// The Win32 back end's types: a COM port opened for overlapped I/O and event objects as wake-ups
// (see port_backend.h).

#include "com_device.h"
#include "win_event.h"

namespace comlane {

using Wake = WinEvent;
using Device = ComDevice;

} // namespace comlane

// How the library marks its one export.
#define COMLANE_EXPORT __declspec(dllexport)
