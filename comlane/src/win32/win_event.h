#pragma once
// A manual-reset Win32 event: a wake-up a thread waits on beside its overlapped I/O. Signal and
// Clear may be called from any thread; a signal stays pending until cleared.

#include "win_api.h"

namespace comlane {

class WinEvent {
public:
  // Throws std::system_error if the event cannot be created.
  WinEvent();
  ~WinEvent();
  WinEvent(const WinEvent&) = delete;
  WinEvent& operator=(const WinEvent&) = delete;

  [[nodiscard]] HANDLE Handle() const { return event; }
  void Signal();
  void Clear();

private:
  HANDLE event;
};

} // namespace comlane
