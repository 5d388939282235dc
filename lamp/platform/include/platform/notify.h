#pragma once
// The framework messages that carry control notifications, with the numbers the system used, and
// the header that every notification record starts with.

#include <cstdint>
#include <wndmsg/message_target.h>

namespace lamp {

inline constexpr unsigned WM_NOTIFY = 0x004E;  // wParam control ID, lParam NotifyHeader*
inline constexpr unsigned WM_COMMAND = 0x0111; // wParam MakeWParam(control ID, code), lParam sender
inline constexpr unsigned WM_USER = 0x0400;
// A WM_NOTIFY that the parent did not handle itself, handed back to the control that sent it.
inline constexpr unsigned WM_REFLECTED_NOTIFY = 0x2000 + WM_NOTIFY;

// Start of every WM_NOTIFY record: who sent it, its control ID and the notification code.
struct NotifyHeader {
  wndmsg::MessageTarget* sender = nullptr;
  std::uintptr_t id = 0;
  unsigned code = 0;
};

[[nodiscard]] constexpr wndmsg::WParam MakeWParam(unsigned low, unsigned high) {
  return (wndmsg::WParam{high & 0xFFFFu} << 16) | (low & 0xFFFFu);
}
[[nodiscard]] constexpr unsigned LowWord(wndmsg::WParam w) {
  return unsigned(w & 0xFFFFu);
}
[[nodiscard]] constexpr unsigned HighWord(wndmsg::WParam w) {
  return unsigned((w >> 16) & 0xFFFFu);
}

} // namespace lamp
