#pragma once
// Knoblet: skinned push buttons and two-state buttons. One export, `BtnClass`, makes a new
// `ButtonObject`. The object is the button's window itself (a QAbstractButton): after `Create` it
// is a child of its parent window, and Qt deletes it together with that parent. Never delete it
// while one of its notifications is being handled; delete `window` (or the parent) otherwise.
//
// The order of the virtual operations below is the interface between the library and the
// program: do not reorder, insert or remove any. Results are integers, nonzero meaning success;
// nothing throws across the boundary.
//
// Threads: the factory and every operation belong to the GUI thread. Only `target` may be used
// from any thread (its SendMsg blocks until the GUI thread has handled the message). `state` is
// atomic, so a worker may write it before sending WM_BUTTON_PRESS.
//
// Notifications go to the parent given to `Create`, which must implement wndmsg::MessageTarget
// (found with dynamic_cast; a parent that does not implement it gets no notifications). Each is
// sent synchronously with wParam = address of a signed 32-bit integer holding the index given to
// `SetIndex` (valid during the handling only) and lParam = 0:
//   WM_BUTTON_PRESSED   left button (or Space) goes down on the button    (only with press notify)
//   WM_BUTTON_RELEASED  it comes up again, inside or outside the button    (only with press notify)
//   WM_BUTTON_CLICKED   it came up inside the button, or WM_BUTTON_PRESS arrived; a two-state
//                       button has flipped `state` before this is sent
//
// Messages the button accepts through `target` (parameters 0; the numbers are in
// wndmsg/messages.h):
//   WM_BUTTON_PRESS  act exactly as on a click: flip a two-state button's `state`, repaint, send
//                    WM_BUTTON_CLICKED (a push button also shows its pressed look for a moment)
//   WM_SETFOCUS      start the focus look (a frame in the caption's second colour) and repaint
//   WM_MOUSEMOVE     repaint to match `state`; never a notification
//   WM_KILLFOCUS     end the focus look
// SendMsg returns 1 for these and 0 for any other message.
//
// Look: a button shows its first icon while up (`state` 0) and its second icon while down
// (`state` 1); a push button also shows the second icon while held down, hovered or focused.
// The icon is centred, or at the left edge when there is a caption; a larger icon is scaled down.

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <atomic>
#include <cstdint>
#include <wndmsg/message_target.h>

namespace knoblet {

// Style bits of `Create`. The low four bits choose the kind.
inline constexpr unsigned kStylePush = 0x0000;     // push button
inline constexpr unsigned kStyleTwoState = 0x0002; // flips between up and down on each click
inline constexpr unsigned kStyleCentred = 0x0F00;  // caption centred both ways (else beside icon)
inline constexpr unsigned kStyleKindMask = 0x000F;
inline constexpr unsigned kStyleVisible = 0x10000000; // shown at once
inline constexpr unsigned kStyleChild = 0x40000000;   // accepted; every button is a child

class ButtonObject {
public:
  // 1 = down (on), 0 = up (off). Write it and then send WM_SETFOCUS + WM_MOUSEMOVE (or call
  // window->update()) to repaint without a notification.
  std::atomic<std::int32_t> state{0};
  // The button's window: move, show, hide and caption it (setText) like any widget.
  QAbstractButton* window = nullptr;
  // Where to send WM_BUTTON_PRESS, WM_SETFOCUS, WM_MOUSEMOVE and WM_KILLFOCUS.
  wndmsg::MessageTarget* target = nullptr;

  // 1. Makes the window a child of `parent` with `rect` (parent coordinates), the caption and the
  // style above; `id` is kept as the widget property "controlId". 0 if `parent` is null or the
  // button was already created.
  virtual int Create(const QString& caption, unsigned style, const QRect& rect, QWidget* parent,
                     int id) = 0;
  // 2. The integer that the notifications point at (0 until set).
  virtual int SetIndex(std::int32_t index) = 0;
  // 3. Rebuilds the cached face of the button and repaints it.
  virtual int Prepare() = 0;
  // 4. The face behind icon and caption: `face` covers the button at `faceStrength` percent
  // opacity, and `accent` tints its lower part at `accentStrength` percent (0..100, clamped); the
  // pressed look deepens the accent and the border takes the accent's dark shade. Without a
  // backdrop the button draws no face, and the parent shows through around the icon.
  virtual int SetBackdrop(const QColor& face, int faceStrength, const QColor& accent,
                          int accentStrength) = 0;
  // 5. Caption font: size in points (1..200), face name, colour; `bold` nonzero for a bold font;
  // `focusColour` draws the focus look. 0 for a size out of range (nothing changes).
  virtual int SetCaptionFont(int points, const QString& face, const QColor& colour, int bold,
                             const QColor& focusColour) = 0;
  // 6. Nonzero: also send WM_BUTTON_PRESSED and WM_BUTTON_RELEASED. Off at creation.
  virtual int SetPressNotify(int flag) = 0;
  // 7. The icons for up and down; a null pixmap shows no icon in that state.
  virtual int SetIcons(const QPixmap& first, const QPixmap& second) = 0;

protected:
  ButtonObject() = default;
  ~ButtonObject() = default;
};

using BtnClassFn = ButtonObject* (*)();

} // namespace knoblet

// The factory: a new button object without a window parent yet. Null when no QApplication runs
// or when called from a thread other than the GUI thread.
extern "C" knoblet::ButtonObject* BtnClass();
