#include "win_event.h"

#include <system_error>

namespace comlane {

WinEvent::WinEvent() : event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (event == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "CreateEventA");
  }
}

WinEvent::~WinEvent() {
  CloseHandle(event);
}

void WinEvent::Signal() {
  SetEvent(event);
}

void WinEvent::Clear() {
  ResetEvent(event);
}

} // namespace comlane
