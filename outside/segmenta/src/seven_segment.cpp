#include "seven_segment.h"

#include <QPolygonF>
#include <QTransform>
#include <array>

namespace segmenta {
namespace {

constexpr qreal kLean = 0.09; // horizontal shift per unit of height, toward the top right

QPolygonF Horizontal(qreal x0, qreal x1, qreal y, qreal h) {
  return QPolygonF(
      {{x0, y}, {x0 + h, y - h}, {x1 - h, y - h}, {x1, y}, {x1 - h, y + h}, {x0 + h, y + h}});
}

QPolygonF Vertical(qreal x, qreal y0, qreal y1, qreal h) {
  return QPolygonF(
      {{x, y0}, {x + h, y0 + h}, {x + h, y1 - h}, {x, y1}, {x - h, y1 - h}, {x - h, y0 + h}});
}

} // namespace

std::uint8_t SegmentMask(QChar c) {
  static constexpr std::array<std::uint8_t, 16> kHex = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D,
                                                        0x7D, 0x07, 0x7F, 0x6F, 0x77, 0x7C,
                                                        0x39, 0x5E, 0x79, 0x71};
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') {
    return kHex[u - '0'];
  }
  if (u >= 'a' && u <= 'f') {
    return kHex[10 + u - 'a'];
  }
  if (u >= 'A' && u <= 'F') {
    return kHex[10 + u - 'A'];
  }
  return u == '-' ? 0x40 : 0;
}

void AddSegments(const QRectF& box, qreal thickness, std::uint8_t mask, QPainterPath& lit,
                 QPainterPath& unlit) {
  const qreal h = thickness / 2;
  const qreal gap = 0.6 + thickness * 0.12;
  const qreal left = box.left() + h;
  const qreal right = box.right() - h;
  const qreal top = box.top() + h;
  const qreal bottom = box.bottom() - h;
  const qreal mid = (top + bottom) / 2;
  const std::array<QPolygonF, 7> segments = {
      Horizontal(left + gap, right - gap, top, h),    // a
      Vertical(right, top + gap, mid - gap, h),       // b
      Vertical(right, mid + gap, bottom - gap, h),    // c
      Horizontal(left + gap, right - gap, bottom, h), // d
      Vertical(left, mid + gap, bottom - gap, h),     // e
      Vertical(left, top + gap, mid - gap, h),        // f
      Horizontal(left + gap, right - gap, mid, h),    // g
  };
  QTransform lean;
  lean.translate(box.center().x(), box.center().y());
  lean.shear(-kLean, 0);
  lean.translate(-box.center().x(), -box.center().y());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    QPainterPath& path = (mask >> i & 1) != 0 ? lit : unlit;
    path.addPolygon(lean.map(segments[i]));
    path.closeSubpath();
  }
}

} // namespace segmenta
