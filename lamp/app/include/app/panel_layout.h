#pragma once
// Pixel layout of the main panel, computed from the client rectangle and from the rectangles of
// controls already placed. Pure functions: no widget is needed to compute or test them.
//
// Rectangles follow the window-system convention: right and bottom are one past the last pixel,
// so width = right - left. Every division truncates toward zero.

namespace lamp {

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  [[nodiscard]] constexpr int Width() const { return right - left; }
  [[nodiscard]] constexpr int Height() const { return bottom - top; }
  friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

[[nodiscard]] constexpr PixelRect RectAt(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

struct HeaderLayout {
  PixelRect logo;
  PixelRect productName;
  PixelRect firstLine;
};

// Logo, product name and the line under them, for a client area of w x h pixels.
[[nodiscard]] HeaderLayout LayoutHeader(int w, int h);

// Level display `index` (0..3): in the right half, one 60-pixel slot per display with 4 pixels
// between slots, starting 8 pixels under the first line.
[[nodiscard]] PixelRect DisplayRect(int w, int firstLineBottom, int index);

// The percent sign right of a display.
[[nodiscard]] PixelRect PercentRect(const PixelRect& display);

// The second separator line, under the last display.
[[nodiscard]] PixelRect SecondLineRect(int w, const PixelRect& lastDisplay);

// First placement of the cursor marker at start-up: digit 0 is the rightmost digit here.
[[nodiscard]] PixelRect InitialCursorRect(const PixelRect& lastDisplay, int cursorDigit);

// Placement of the cursor marker after the cursor moved: `cursorDigit` as the display reports it
// (0 = leftmost digit).
[[nodiscard]] PixelRect CursorRect(const PixelRect& lastDisplay, int cursorDigit);

// Lamp button `index` (0..3): 160 pixels wide, ending 16 pixels left of the middle, level with
// its display.
[[nodiscard]] PixelRect LampButtonRect(int w, int firstLineBottom, int index);

// Arrow button `index` (0 left, 1 right, 2 up, 3 down): 22 x 19, in a row of touching buttons
// under the last display's percent sign.
[[nodiscard]] PixelRect ArrowButtonRect(const PixelRect& lastDisplay, int index);

// Command button `index` (0 AUTO, 1 ON/OFF, 2 RESET, 3 OPTION): 96 x 48 in a row 32 pixels under
// the second line.
[[nodiscard]] PixelRect CommandButtonRect(int w, const PixelRect& secondLine, int index);

// Thermometer and fan pictures, 32 x 32, under the second line.
[[nodiscard]] PixelRect ThermometerRect(const PixelRect& secondLine);
[[nodiscard]] PixelRect FanRect(const PixelRect& secondLine);

// A 52-pixel-wide label just right of a picture, as high as the picture.
[[nodiscard]] PixelRect LabelBeside(const PixelRect& picture);

// The automatic-mode status label: from the AUTO button's left edge and bottom to the client's
// right and bottom edges.
[[nodiscard]] PixelRect StatusLabelRect(const PixelRect& autoButton, int w, int h);

} // namespace lamp
