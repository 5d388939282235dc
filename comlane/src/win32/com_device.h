#pragma once
// One open COM port, opened for overlapped I/O. The port object and its threads share it; the
// last holder closes the handle. Every call on the handle goes through this class, under a lock
// that Release takes to close the handle early: after Release, calls fail without reaching any
// handle, so a thread that could not be stopped never touches a handle value that Windows has
// meanwhile given to another object.
//
// The I/O calls only start a transfer or read a finished one's result; waiting happens on the
// OVERLAPPED record's event, outside the lock.

#include "line_settings.h"
#include "win_api.h"

#include <memory>
#include <shared_mutex>
#include <string>

namespace comlane {

enum class IoStart {
  kDone,    // finished at once; the result is in the OVERLAPPED record
  kPending, // under way: wait for the record's event, then call Result
  kFailed,  // refused, or the port is released
};

class ComDevice {
public:
  // The device path for a port name: a name starting with "\\" is used as it is; any other name
  // is a device in the "\\.\" name space ("COM12" is "\\.\COM12"), which reaches COM ports
  // above 9 as well.
  [[nodiscard]] static std::string PathFor(const std::string& portName);

  // Opens `path` for reading and writing, not shared, overlapped. Null if the device is missing
  // or in use.
  [[nodiscard]] static std::shared_ptr<ComDevice> Open(const std::string& path);

  explicit ComDevice(HANDLE port) : handle(port) {}
  ~ComDevice();
  ComDevice(const ComDevice&) = delete;
  ComDevice& operator=(const ComDevice&) = delete;

  // The handle while the device is not released, for set-up calls before any thread runs.
  [[nodiscard]] HANDLE SetupHandle() const { return handle; }

  // Aborts transfers under way and discards buffered input and output.
  void Purge();
  // Raises (on) or drops RTS or DTR. True on success.
  [[nodiscard]] bool SetModemLine(ModemLine line, bool on);
  // Closes the handle now; transfers under way end (their events are signalled).
  void Release();

  [[nodiscard]] IoStart StartRead(void* buffer, DWORD size, OVERLAPPED& io);
  [[nodiscard]] IoStart StartWrite(const void* bytes, DWORD size, OVERLAPPED& io);
  // Requests the next port event of the event mask into `events`.
  [[nodiscard]] IoStart StartWaitEvent(DWORD& events, OVERLAPPED& io);
  // The outcome of a transfer whose event is signalled: ERROR_SUCCESS and the byte count, or
  // the error (ERROR_OPERATION_ABORTED for a transfer that something else ended early).
  [[nodiscard]] DWORD Result(OVERLAPPED& io, DWORD& count);
  // Asks a transfer under way to end early; its event is signalled when it has.
  void Cancel(OVERLAPPED& io);
  // Ends a port-event request under way early (with no events); its event is signalled then.
  void CancelWaitEvent(OVERLAPPED& io);
  // Reads and clears the port's error state; `queued` gets the number of received bytes
  // waiting. False if the port no longer answers (pulled, or released).
  [[nodiscard]] bool ClearErrors(DWORD& queued);

private:
  [[nodiscard]] static IoStart Started(BOOL result);

  mutable std::shared_mutex lock;
  HANDLE handle; // null once released
};

} // namespace comlane
