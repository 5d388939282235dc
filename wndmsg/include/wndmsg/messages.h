#pragma once
// The system's private window messages. The numbers are binding between sender and receiver.
// Where a message carries an index, wParam is the address of a signed 32-bit integer holding it.

namespace wndmsg {

// Standard window messages that the program sends to a push button (all parameters 0).
inline constexpr unsigned WM_SETFOCUS = 0x0007;  // show the focus look and match `state`
inline constexpr unsigned WM_KILLFOCUS = 0x0008; // end the focus look
inline constexpr unsigned WM_MOUSEMOVE = 0x0200; // repaint to match `state`, no notification

inline constexpr unsigned WM_CELL_CLICKED = 0x466;    // grid list -> its dialog (cell-click query)
inline constexpr unsigned WM_CELL_CHANGED = 0x46B;    // grid list -> its dialog (cell edited)
inline constexpr unsigned WM_BUTTON_PRESSED = 0x813;  // push button -> parent
inline constexpr unsigned WM_BUTTON_RELEASED = 0x814; // push button -> parent
inline constexpr unsigned WM_BUTTON_IGNORED = 0x815;  // accepted by the main window and ignored
inline constexpr unsigned WM_BUTTON_CLICKED = 0x816;  // push button -> parent
inline constexpr unsigned WM_BUTTON_PRESS = 0x817;    // program -> push button (act as clicked)
inline constexpr unsigned WM_DISPLAY_EDIT = 0x818;    // numeric display -> main window
inline constexpr unsigned WM_DISPLAY_CLICKED = 0x81B; // numeric display -> main window
inline constexpr unsigned WM_BOOT_IDENTIFY = 0xB00;   // firmware dialog -> itself
inline constexpr unsigned WM_BOOT_DATA = 0xB01;       // main window -> firmware dialog (bytes)
inline constexpr unsigned WM_EDITOR_CLOSED = 0xB17;   // CMyEdit -> its parent (focus lost)
inline constexpr unsigned WM_SERIAL_DATA = 0x1400;    // receive thread -> owner (bytes)
inline constexpr unsigned WM_SERIAL_LOST = 0x1401;    // receive thread -> owner (line lost)

} // namespace wndmsg
