#pragma once
// Pixel helpers for the control tests: grabs and the bounding box of one exact colour.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

namespace lamp::test {

// The widget as drawn, in 32-bit RGB.
[[nodiscard]] QImage Grab(QWidget& widget);

// Smallest rectangle holding every pixel of exactly `colour`; null when there is none.
[[nodiscard]] QRect BoundsOf(const QImage& image, const QColor& colour);

// Number of pixels of exactly `colour`.
[[nodiscard]] int CountOf(const QImage& image, const QColor& colour);

} // namespace lamp::test
