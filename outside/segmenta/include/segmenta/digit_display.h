#pragma once
// Segmenta: segment-style numeric displays. One export, `DigitalCharClass`, makes a new
// `DigitDisplay`. The object is the display's window itself (a QWidget): after `Create` it is a
// child of its parent window, and Qt deletes it together with that parent. Never delete it while
// one of its notifications is being handled; delete `window` (or the parent) otherwise.
//
// The order of the virtual operations below is the interface between the library and the
// program: do not reorder, insert or remove any. Results are integers, nonzero meaning success;
// nothing throws across the boundary.
//
// Threads: the factory and every operation belong to the GUI thread. `level` and `cursorDigit`
// are atomic, so a worker may write them; the display shows them after ShowLevel / Redraw.
//
// What it shows: `level` formatted with the format of SetFormat (default "%04d"), right-aligned
// in a row of digit cells. The number of cells is the longest text of the range's two ends (4 for
// "%04d" over 0..1000), more if the shown text is longer. Each cell draws a seven-segment digit
// (0-9, a-f for hexadecimal formats, '-'; anything else stays dark), the cells share the width
// evenly, so cell d spans [d * width / cells, (d + 1) * width / cells). The digit under the cursor
// sits on a tinted cell with a bar under it in colour A.
//
// Gestures and notifications, sent synchronously to the parent given to `Create` when the style
// has kStyleNotify; the parent must implement wndmsg::MessageTarget (found with dynamic_cast).
// wParam = address of a signed 32-bit integer holding the index of SetIndex (valid during the
// handling only), lParam = 0:
//   WM_DISPLAY_CLICKED  a left click (press and release inside the display)
//   WM_DISPLAY_EDIT     a left double-click
// A double-click is a first click followed by the double-click: the first click sends
// WM_DISPLAY_CLICKED at once (no waiting to see whether a second one follows), the second press
// sends WM_DISPLAY_EDIT, and the second release sends nothing. So a double-click gives exactly one
// WM_DISPLAY_CLICKED followed by one WM_DISPLAY_EDIT.

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <wndmsg/message_target.h>

namespace segmenta {

// Style bits of `Create`.
inline constexpr unsigned kStyleNotify = 0x0100;      // send the two notifications
inline constexpr unsigned kStyleSunken = 0x1000;      // sunken edge around the digits
inline constexpr unsigned kStyleVisible = 0x10000000; // shown at once
inline constexpr unsigned kStyleChild = 0x40000000;   // accepted; every display is a child

class DigitDisplay {
public:
  // The number shown (after ShowLevel); StepUp and StepDown change it.
  std::atomic<std::int32_t> level{0};
  // The digit under the cursor, 0 = leftmost; starts on the rightmost digit of the default
  // format. A value outside the cells is taken as the nearest cell.
  std::atomic<std::int32_t> cursorDigit{3};
  // The display's window: move, show and hide it like any widget.
  QWidget* window = nullptr;

  // 1. Makes the window a child of `parent` with `rect` (parent coordinates) and the style
  // above; `text` becomes the accessible name, `id` the widget property "controlId". 0 if
  // `parent` is null or the display was already created.
  virtual int Create(const QString& text, unsigned style, const QRect& rect, QWidget* parent,
                     int id) = 0;
  // 2. Colour A: the cursor bar and the cursor cell's tint.
  virtual int SetColourA(const QColor& colour) = 0;
  // 3. Colour B: the rim inside the edge.
  virtual int SetColourB(const QColor& colour) = 0;
  // 4. Lit segments, the display's ground, unlit segments (drawn as a faint ghost on the ground).
  virtual int SetDigitColours(const QColor& lit, const QColor& background, const QColor& unlit) = 0;
  // 5. The integer that the notifications point at (0 until set).
  virtual int SetIndex(std::int32_t index) = 0;
  // 6. A printf format with exactly one integer conversion (%d, %i, %u, %x, %X or %o, with
  // flags, width up to 20 and precision up to 20, no length modifier) and any other text, "%%"
  // included. Anything else is refused with 0 and the format stays. Reshows `level`.
  virtual int SetFormat(const QString& format) = 0;
  // 7. Formats `level` as it is now and repaints.
  virtual int ShowLevel() = 0;
  // 8. Repaints (after colour changes) without reformatting `level`.
  virtual int Redraw() = 0;
  // 9. Levels from `from` up to but not including `to` are shown with `format` (same rules as
  // SetFormat) instead; from >= to sets no band. 0 for a refused format.
  virtual int SetAltFormat(int from, int to, const QString& format) = 0;
  // 10. The range that StepUp and StepDown keep `level` in (default 0..9999). 0 and no change if
  // minimum > maximum. `level` itself is not changed.
  virtual int SetRange(int minimum, int maximum) = 0;
  // 11. Segment thickness in percent of the digit height, 4..25 (default 10); 0 if out of range.
  virtual int SetOption(int value) = 0;
  // 12. The shown text, padded with leading spaces to the number of cells.
  virtual QString GetText() = 0;
  // 13. `cursorDigit`, first brought into the cells (0 = leftmost).
  virtual int GetCursorDigit() = 0;
  // 14./15. Add / subtract one unit of the digit under the cursor (its place value in the
  // format's base), keeping the result within the range. 0 and no change when `level` already
  // is at (or beyond) the range end in that direction.
  virtual int StepUp() = 0;
  virtual int StepDown() = 0;
  // 16./17. Move the cursor one digit; 0 and no move at the leftmost / rightmost digit.
  virtual int CursorLeft() = 0;
  virtual int CursorRight() = 0;

protected:
  DigitDisplay() = default;
  ~DigitDisplay() = default;
};

using DigitalCharClassFn = DigitDisplay* (*)();

} // namespace segmenta

// The factory: a new display without a window parent yet. Null when no QApplication runs or when
// called from a thread other than the GUI thread.
extern "C" segmenta::DigitDisplay* DigitalCharClass();
