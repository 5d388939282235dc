#pragma once
// The main panel's pictures: logo, product name, separator line, cursor marker, percent sign,
// thermometer and the four fan frames.

#include <QImage>

namespace lamp_res {

QImage PaintLogo();
QImage PaintName();
QImage PaintLine();
QImage PaintCursor();
QImage PaintPercent();
QImage PaintThermometer();
QImage PaintFan(int frame); // 0..3
QImage PaintAppIcon(int size);

} // namespace lamp_res
