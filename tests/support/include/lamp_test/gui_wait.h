#pragma once
// Waiting on the GUI thread: processes its events, deferred deletions and the calls queued for it
// from other threads until a condition holds or a deadline passes.

#include <QApplication>
#include <chrono>
#include <functional>

#include "platform/gui_calls.h"

namespace lamp::test {

inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ServiceGuiCalls();
  }
  return true;
}

} // namespace lamp::test
