#include "com_device.h"

#include "com_line.h"
#include "port_backend.h"

#include <mutex>

namespace comlane {

namespace {

// The driver's buffer sizes: one queue's worth in each direction.
constexpr DWORD kDriverBuffer = 4096;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

} // namespace

std::string ComDevice::PathFor(const std::string& portName) {
  if (portName.rfind("\\\\", 0) == 0) {
    return portName;
  }
  return "\\\\.\\" + portName;
}

std::shared_ptr<ComDevice> ComDevice::Open(const std::string& path) {
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  try {
    return std::make_shared<ComDevice>(port);
  } catch (...) {
    CloseHandle(port);
    throw;
  }
}

ComDevice::~ComDevice() {
  if (handle != nullptr) {
    CloseHandle(handle);
  }
}

void ComDevice::Purge() {
  std::shared_lock guard(lock);
  if (handle != nullptr) {
    PurgeComm(handle, kPurgeAll);
  }
}

bool ComDevice::SetModemLine(ModemLine line, bool on) {
  std::shared_lock guard(lock);
  if (handle == nullptr) {
    return false;
  }
  const DWORD function = line == ModemLine::kRts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
  return EscapeCommFunction(handle, function) != FALSE;
}

void ComDevice::Release() {
  std::unique_lock guard(lock);
  if (handle != nullptr) {
    CancelIoEx(handle, nullptr);
    CloseHandle(handle);
    handle = nullptr;
  }
}

IoStart ComDevice::Started(BOOL result) {
  if (result != FALSE) {
    return IoStart::kDone;
  }
  return GetLastError() == ERROR_IO_PENDING ? IoStart::kPending : IoStart::kFailed;
}

IoStart ComDevice::StartRead(void* buffer, DWORD size, OVERLAPPED& io) {
  std::shared_lock guard(lock);
  if (handle == nullptr) {
    return IoStart::kFailed;
  }
  return Started(ReadFile(handle, buffer, size, nullptr, &io));
}

IoStart ComDevice::StartWrite(const void* bytes, DWORD size, OVERLAPPED& io) {
  std::shared_lock guard(lock);
  if (handle == nullptr) {
    return IoStart::kFailed;
  }
  return Started(WriteFile(handle, bytes, size, nullptr, &io));
}

IoStart ComDevice::StartWaitEvent(DWORD& events, OVERLAPPED& io) {
  std::shared_lock guard(lock);
  if (handle == nullptr) {
    return IoStart::kFailed;
  }
  events = 0;
  return Started(WaitCommEvent(handle, &events, &io));
}

DWORD ComDevice::Result(OVERLAPPED& io, DWORD& count) {
  std::shared_lock guard(lock);
  count = 0;
  // A transfer cut short by Release has ended with the handle.
  if (handle == nullptr) {
    return ERROR_INVALID_HANDLE;
  }
  return GetOverlappedResult(handle, &io, &count, FALSE) != FALSE ? ERROR_SUCCESS : GetLastError();
}

void ComDevice::Cancel(OVERLAPPED& io) {
  std::shared_lock guard(lock);
  if (handle != nullptr) {
    CancelIoEx(handle, &io);
  }
}

void ComDevice::CancelWaitEvent(OVERLAPPED& io) {
  std::shared_lock guard(lock);
  if (handle != nullptr) {
    // Setting the event mask ends a pending request; wine's does not end on a cancel.
    SetCommMask(handle, EV_RXCHAR);
    CancelIoEx(handle, &io);
  }
}

bool ComDevice::ClearErrors(DWORD& queued) {
  std::shared_lock guard(lock);
  queued = 0;
  if (handle == nullptr) {
    return false;
  }
  DWORD errors = 0;
  COMSTAT status{};
  if (ClearCommError(handle, &errors, &status) == FALSE) {
    return false;
  }
  queued = status.cbInQue;
  return true;
}

OpenedDevice OpenDevice(const std::string& portName, const LineSettings& settings) {
  std::shared_ptr<ComDevice> opened = ComDevice::Open(ComDevice::PathFor(portName));
  if (opened == nullptr) {
    return {};
  }
  const HANDLE port = opened->SetupHandle();
  // The sizes are a recommendation to the driver; one that keeps its own is still usable.
  SetupComm(port, kDriverBuffer, kDriverBuffer);
  const LineResult result = ApplyLineSettings(port, settings);
  if (result != LineResult::kApplied) {
    return {nullptr, result != LineResult::kNoLine};
  }
  return {std::move(opened), true};
}

} // namespace comlane
