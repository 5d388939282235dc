#include "panel_art.h"

#include "art_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace lamp_res {

QImage PaintLogo() {
  QImage image = PanelCanvas(kLogo.width, kLogo.height);
  QPainter p(&image);
  SetUpPainter(p);
  const QPointF centre(image.width() / 2.0, image.height() / 2.0);
  const qreal r = image.height() * 0.42;
  QRadialGradient disc(centre - QPointF(r * 0.3, r * 0.4), r * 1.5);
  disc.setColorAt(0.0, QColor(236, 244, 252));
  disc.setColorAt(1.0, QColor(196, 216, 236));
  p.setBrush(disc);
  p.setPen(QPen(ink::kSteel, r * 0.10));
  p.drawEllipse(centre, r, r);
  p.setPen(QPen(ink::kSteelLight, r * 0.03));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, r * 0.84, r * 0.84);
  DrawBulb(p, QRectF(centre.x() - r * 0.72, centre.y() - r * 0.66, r * 1.44, r * 1.44),
           ink::kSteelDark, true);
  return image;
}

QImage PaintName() {
  QImage image = PanelCanvas(kName.width, kName.height);
  QPainter p(&image);
  SetUpPainter(p);
  QFont big = Lettering(50);
  big.setLetterSpacing(QFont::AbsoluteSpacing, 6);
  p.setFont(big);
  const QRectF word(12, 8, image.width() - 24, 56);
  // A faint shadow under the letters, then the letters in a steel gradient.
  p.setPen(QColor(0, 0, 0, 40));
  p.drawText(word.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VELORA"));
  QLinearGradient steel(word.topLeft(), word.bottomLeft());
  steel.setColorAt(0.0, ink::kSteel);
  steel.setColorAt(1.0, ink::kSteelDark);
  p.setPen(QPen(QBrush(steel), 1));
  p.drawText(word, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VELORA"));
  const QRectF extent =
      p.boundingRect(word, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VELORA"));
  p.fillRect(QRectF(word.left() + 2, 68, extent.width() - 8, 3), ink::kOrange);
  QFont small = Lettering(13);
  small.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(small);
  p.setPen(ink::kGrey);
  p.drawText(QRectF(word.left() + 2, 74, image.width(), 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("LAMP CONTROL PANEL"));
  return image;
}

QImage PaintLine() {
  QImage image = PanelCanvas(kLine.width, kLine.height);
  QPainter p(&image);
  QLinearGradient top(0, 0, image.width(), 0);
  top.setColorAt(0.0, ink::kSteelLight);
  top.setColorAt(0.15, ink::kSteel);
  top.setColorAt(0.85, ink::kSteel);
  top.setColorAt(1.0, ink::kSteelLight);
  p.fillRect(QRect(0, 0, image.width(), 1), top);
  p.fillRect(QRect(0, 1, image.width(), 1), ink::kSteelLight);
  return image;
}

QImage PaintCursor() {
  QImage image = PanelCanvas(kCursor.width, kCursor.height);
  QPainter p(&image);
  SetUpPainter(p);
  QPainterPath arrow;
  arrow.moveTo(10, 2.5);
  arrow.lineTo(17.5, 14);
  arrow.lineTo(2.5, 14);
  arrow.closeSubpath();
  QLinearGradient fill(0, 2, 0, 14);
  fill.setColorAt(0.0, ink::kOrange);
  fill.setColorAt(1.0, ink::kOrangeDeep);
  p.setBrush(fill);
  p.setPen(QPen(ink::kOrangeDeep.darker(130), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(arrow);
  p.fillRect(QRectF(3, 16, 14, 2), ink::kSteel);
  return image;
}

QImage PaintPercent() {
  QImage image = PanelCanvas(kPercent.width, kPercent.height);
  QPainter p(&image);
  SetUpPainter(p);
  // Sits on the lower part of a display slot, like a unit printed beside the digits.
  const QColor c = ink::kSteel;
  p.setPen(QPen(c, 3.2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(10, 28), 4.6, 6.2);
  p.drawEllipse(QPointF(22, 46), 4.6, 6.2);
  p.setPen(QPen(c, 3.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(24, 21), QPointF(8, 53));
  return image;
}

QImage PaintThermometer() {
  QImage image = PanelCanvas(kThermometer.width, kThermometer.height);
  QPainter p(&image);
  SetUpPainter(p);
  QPainterPath body;
  body.addRoundedRect(QRectF(12, 2.5, 8, 21), 4, 4);
  body.addEllipse(QPointF(16, 25), 5.5, 5.5);
  body = body.simplified();
  p.setBrush(QColor(246, 248, 250));
  p.setPen(QPen(ink::kSteelDark, 1.6));
  p.drawPath(body);
  p.setPen(Qt::NoPen);
  p.setBrush(ink::kRed);
  p.drawEllipse(QPointF(16, 25), 3.6, 3.6);
  p.drawRoundedRect(QRectF(14.4, 9, 3.2, 16), 1.6, 1.6);
  p.setPen(QPen(ink::kSteelDark, 1.0));
  for (int i = 0; i < 4; ++i) {
    const qreal y = 6.5 + i * 4;
    p.drawLine(QPointF(21.5, y), QPointF(i % 2 == 0 ? 26 : 24, y));
  }
  return image;
}

QImage PaintFan(int frame) {
  QImage image = PanelCanvas(kFan[0].width, kFan[0].height);
  QPainter p(&image);
  SetUpPainter(p);
  const QPointF centre(16, 16);
  p.setPen(QPen(ink::kSteelDark, 1.8));
  p.setBrush(QColor(238, 243, 248));
  p.drawEllipse(centre, 14.2, 14.2);
  // Four curved blades; each frame turns them a quarter of the way to the next blade.
  QPainterPath blade;
  blade.moveTo(0, -2.2);
  blade.cubicTo(4, -9, 10, -9.5, 12, -5.5);
  blade.cubicTo(10.5, -2.5, 6, 0.5, 2.2, 1.2);
  blade.closeSubpath();
  p.setPen(QPen(ink::kSteelDark, 0.8));
  for (int i = 0; i < 4; ++i) {
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(frame * 22.5 + i * 90.0);
    QLinearGradient g(t.map(QPointF(0, 0)), t.map(QPointF(12, -6)));
    g.setColorAt(0.0, ink::kSteel);
    g.setColorAt(1.0, ink::kSteelLight);
    p.setBrush(g);
    p.drawPath(t.map(blade));
  }
  p.setBrush(ink::kSteelDark);
  p.drawEllipse(centre, 3.2, 3.2);
  p.setBrush(ink::kOrange);
  p.setPen(Qt::NoPen);
  p.drawEllipse(centre, 1.4, 1.4);
  return image;
}

QImage PaintAppIcon(int size) {
  QImage image = Canvas(size, size);
  QPainter p(&image);
  SetUpPainter(p);
  p.scale(size / 256.0, size / 256.0);
  const QRectF tile(12, 12, 232, 232);
  QLinearGradient g(tile.topLeft(), tile.bottomLeft());
  g.setColorAt(0.0, QColor(62, 142, 206));
  g.setColorAt(1.0, ink::kSteelDark);
  p.setBrush(g);
  p.setPen(QPen(QColor(20, 44, 70), 6));
  p.drawRoundedRect(tile, 44, 44);
  // Four lamp dots under a glowing bulb: the machine's four lamps.
  DrawBulb(p, QRectF(46, 22, 164, 164), QColor(24, 40, 60), true);
  for (int i = 0; i < 4; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(i < 2 ? ink::kOrange : QColor(200, 216, 232));
    p.drawEllipse(QPointF(74 + i * 36, 206), 11, 11);
  }
  return image;
}

} // namespace lamp_res
