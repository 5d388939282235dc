#include "app/panel_layout.h"

namespace lamp {

namespace {
constexpr int kSlotPitch = 64;
constexpr int kSlotHeight = 60;
constexpr int kLampButtonWidth = 160;
constexpr int kArrowWidth = 22;
constexpr int kArrowHeight = 19;
constexpr int kCommandPitch = 98;
constexpr int kPictureSize = 32;
constexpr int kCursorSize = 20;

int SlotTop(int firstLineBottom, int index) {
  return firstLineBottom + 8 + kSlotPitch * index;
}
} // namespace

HeaderLayout LayoutHeader(int w, int h) {
  return {
      .logo = {0, 0, w / 4, h / 6},
      .productName = {w / 4, 0, w, h / 6},
      .firstLine = {0, h / 6 + 3, w, h / 6 + 5},
  };
}

PixelRect DisplayRect(int w, int firstLineBottom, int index) {
  const int top = SlotTop(firstLineBottom, index);
  return {w / 2, top, w / 2 + w / 4, top + kSlotHeight};
}

PixelRect PercentRect(const PixelRect& display) {
  return {display.right + 3, display.top, display.right + 3 + 32, display.bottom};
}

PixelRect SecondLineRect(int w, const PixelRect& lastDisplay) {
  return RectAt(0, lastDisplay.bottom + kSlotPitch - 32, w, 2);
}

PixelRect InitialCursorRect(const PixelRect& lastDisplay, int cursorDigit) {
  const int q = lastDisplay.Width() / 4;
  return RectAt(lastDisplay.left + (3 - cursorDigit) * q + (4 - cursorDigit) + 4,
                lastDisplay.bottom + 5, kCursorSize, kCursorSize);
}

PixelRect CursorRect(const PixelRect& lastDisplay, int cursorDigit) {
  const int q = lastDisplay.Width() / 4;
  return RectAt(lastDisplay.left + q * cursorDigit + cursorDigit + 4, lastDisplay.bottom + 5,
                kCursorSize, kCursorSize);
}

PixelRect LampButtonRect(int w, int firstLineBottom, int index) {
  const int right = w / 2 - 16;
  return RectAt(right - kLampButtonWidth, SlotTop(firstLineBottom, index), kLampButtonWidth,
                kSlotHeight);
}

PixelRect ArrowButtonRect(const PixelRect& lastDisplay, int index) {
  return RectAt(lastDisplay.right + 8 + kArrowWidth * index, lastDisplay.bottom + 5, kArrowWidth,
                kArrowHeight);
}

PixelRect CommandButtonRect(int w, const PixelRect& secondLine, int index) {
  return RectAt(w / 4 - 16 + kCommandPitch * index, secondLine.bottom + 32, 96, 48);
}

PixelRect ThermometerRect(const PixelRect& secondLine) {
  return RectAt(secondLine.left + 16, secondLine.bottom + 16, kPictureSize, kPictureSize);
}

PixelRect FanRect(const PixelRect& secondLine) {
  return RectAt(secondLine.left + 16, secondLine.bottom + 50, kPictureSize, kPictureSize);
}

PixelRect LabelBeside(const PixelRect& picture) {
  return {picture.right + 2, picture.top, picture.right + 2 + 52, picture.bottom};
}

PixelRect StatusLabelRect(const PixelRect& autoButton, int w, int h) {
  return {autoButton.left, autoButton.bottom, w, h};
}

} // namespace lamp
