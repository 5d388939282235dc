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

// The life of a dialog's owner, for what the dialog tells it while closing: an owner that is one
// of the program's windows counts as alive until it begins closing; any other owner (or none) has
// no messages to miss, and counts as alive throughout. GUI thread.
class OwnerLife {
public:
  explicit OwnerLife(QWidget* owner);

  [[nodiscard]] bool alive() const { return !ownerIsWindow_ || handle_.alive(); }

private:
  WindowHandle handle_;
  bool ownerIsWindow_ = false;
};

} // namespace lamp
