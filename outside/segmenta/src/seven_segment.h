#pragma once
// Geometry of a seven-segment digit: which segments a character lights and their outlines.

#include <QChar>
#include <QPainterPath>
#include <QRectF>
#include <cstdint>

namespace segmenta {

// Bits 0..6 are the segments a (top), b (top right), c (bottom right), d (bottom),
// e (bottom left), f (top left), g (middle). Characters without a digit shape light nothing.
std::uint8_t SegmentMask(QChar c);

// Adds the outline of every segment in `box` to `lit` (segments in `mask`) or `unlit` (the
// others). `thickness` is the segment width in pixels; the digit leans slightly to the right.
void AddSegments(const QRectF& box, qreal thickness, std::uint8_t mask, QPainterPath& lit,
                 QPainterPath& unlit);

} // namespace segmenta
