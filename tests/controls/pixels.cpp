#include "pixels.h"

namespace lamp::test {

QImage Grab(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect BoundsOf(const QImage& image, const QColor& colour) {
  QRect bounds;
  const QRgb wanted = colour.rgb();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == wanted) {
        bounds |= QRect(x, y, 1, 1);
      }
    }
  }
  return bounds;
}

int CountOf(const QImage& image, const QColor& colour) {
  int count = 0;
  const QRgb wanted = colour.rgb();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += image.pixel(x, y) == wanted ? 1 : 0;
    }
  }
  return count;
}

} // namespace lamp::test
