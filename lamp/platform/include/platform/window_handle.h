#pragma once
// A reference to a window that stays safe to use after the window is gone, as a window handle
// was: sending to a closed window answers 0, posting drops the message. Give workers a handle,
// not the window pointer. Copyable; any thread.

#include <memory>

#include "platform/message_window.h"

namespace lamp {

class WindowHandle {
public:
  WindowHandle() = default;
  explicit WindowHandle(const MessageWindow& window) : life_(window.life()) {}

  // False once the window has begun closing (or for an empty handle).
  [[nodiscard]] bool alive() const;
  // As MessageWindow::SendMsg; 0 when the window is gone.
  LResult send(unsigned msg, WParam wParam = 0, LParam lParam = 0) const;
  // As MessageWindow::PostMsg; dropped when the window is gone.
  void post(unsigned msg, WParam wParam = 0, LParam lParam = 0) const;
  // The window while it is alive, else null. GUI thread only (elsewhere it may vanish at once).
  [[nodiscard]] MessageWindow* get() const;

private:
  std::shared_ptr<WindowLife> life_;
};

} // namespace lamp
