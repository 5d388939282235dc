#pragma once
// The receiving end of a window message, as the libraries and the program share it.
//
// Comlane delivers received bytes through it, the push buttons and displays notify their parent
// through it, and the program's windows implement it on top of their own message tables. It uses
// nothing but the C++ language, so every library can include it without depending on Qt or on
// one another.

#include <cstdint>

namespace wndmsg {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

class MessageTarget {
public:
  // Handles `msg` on the target's own thread and returns the handler's result. Called from any
  // other thread, it blocks until that thread has handled the message (so a buffer passed in
  // wParam stays valid for the whole handling). A target that is closing or gone answers 0
  // without handling. Never throws.
  virtual LResult SendMsg(unsigned msg, WParam wParam, LParam lParam) noexcept = 0;

  // Queues `msg` for the target's thread and returns at once. Never throws.
  virtual void PostMsg(unsigned msg, WParam wParam, LParam lParam) noexcept = 0;

protected:
  ~MessageTarget() = default;
};

} // namespace wndmsg
