#include "flash/console.h"

#include <atomic>
#include <functional>
#include <io.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace flash {
namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    interrupted.store(true);
    return TRUE;
  }
  return FALSE;
}

constexpr char kDeviceSpace[] = "\\\\.\\";

} // namespace

bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

void CatchInterrupt() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() {
  return interrupted.load();
}

std::string DevicePath(const std::string& portName) {
  if (portName.rfind("\\\\", 0) == 0) {
    return portName;
  }
  return kDeviceSpace + portName;
}

PortState ProbePort(const std::string& path) {
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    // A COM port that another program holds answers "access denied".
    switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return PortState::Busy;
    default:
      return PortState::Missing;
    }
  }
  CloseHandle(port);
  return PortState::Free;
}

std::optional<std::uint64_t> DeviceIdentity(const std::string& path) {
  // What the port's name points at (a driver's device object): another value, or none, once the
  // adapter was pulled.
  std::string name = path.rfind(kDeviceSpace, 0) == 0 ? path.substr(4) : path;
  char target[1024] = {};
  if (QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) {
    return std::nullopt;
  }
  return std::hash<std::string>{}(target);
}

} // namespace flash
