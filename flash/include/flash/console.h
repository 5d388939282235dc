#pragma once
// The few things velora-flash needs from the system that differ between POSIX and Windows:
// whether an output is a terminal, Ctrl-C, and what can be learnt about a serial device that
// would not open. Everything else in velora-flash is standard C++.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace flash {

// True when `stream` is a terminal (a progress bar may redraw itself there).
[[nodiscard]] bool IsTerminal(std::FILE* stream);

// From now on Ctrl-C (SIGINT) and SIGTERM no longer end the program: they set the flag that
// Interrupted() reads. Main thread, once.
void CatchInterrupt();
[[nodiscard]] bool Interrupted();

// The device path behind a port name, by the serial library's rules: a name starting with "/"
// as it is, "COMn" (any letter case) /dev/ttyS(n-1), any other name under /dev/.
[[nodiscard]] std::string DevicePath(const std::string& portName);

enum class PortState { Missing, NotAllowed, Busy, Free };
// What an open of `path` would meet: no such device, no permission, held exclusively by another
// program, or free (then a failed open means the device is no serial line, or refused the line
// settings).
[[nodiscard]] PortState ProbePort(const std::string& path);

// An identity of the device at `path` (device number and inode), or nothing when there is none:
// a different value later means the adapter was pulled and something else appeared.
[[nodiscard]] std::optional<std::uint64_t> DeviceIdentity(const std::string& path);

} // namespace flash
