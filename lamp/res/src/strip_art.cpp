#include "strip_art.h"

#include "art_kit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QtMath>
#include <functional>

namespace lamp_res {
namespace {

// Draws every cell with `paint(painter, cellIndex)` on a transparent cell and joins them.
QImage Assemble(const Strip& strip, const std::function<void(QPainter&, int)>& paint) {
  QImage out(strip.width, strip.height, QImage::Format_RGB32);
  QPainter joiner(&out);
  const int cells = strip.width / strip.cellWidth;
  for (int i = 0; i < cells; ++i) {
    QImage cell = Canvas(strip.cellWidth, strip.cellHeight);
    {
      QPainter p(&cell);
      SetUpPainter(p);
      paint(p, i);
    }
    joiner.drawImage(i * strip.cellWidth, 0, Keyed(cell, ToColor(strip.transparent)));
  }
  return out;
}

// Draws a coloured icon with `paint` and its grey twin: `colourFirst` says which comes first.
QImage AssemblePairs(const Strip& strip, bool colourFirst,
                     const std::function<void(QPainter&, int)>& paintIcon) {
  return Assemble(strip, [&](QPainter& p, int i) {
    QImage colour = Canvas(strip.cellWidth, strip.cellHeight);
    {
      QPainter q(&colour);
      SetUpPainter(q);
      paintIcon(q, i / 2);
    }
    const bool isColour = (i % 2 == 0) == colourFirst;
    p.drawImage(0, 0, isColour ? colour : Greyed(colour));
  });
}

// A person's head and shoulders, for the user buttons.
void DrawUser(QPainter& p, const QRectF& box, const QColor& tone, bool lit) {
  const QPointF head(box.center().x(), box.top() + box.height() * 0.33);
  const qreal r = box.width() * 0.20;
  p.setPen(QPen(tone, std::max<qreal>(1.0, box.width() * 0.055)));
  p.setBrush(lit ? ink::kOrange : QColor(236, 230, 220));
  QPainterPath body;
  body.moveTo(box.left() + box.width() * 0.12, box.bottom() - box.height() * 0.08);
  body.cubicTo(box.left() + box.width() * 0.12, box.center().y() + r * 0.6,
               box.right() - box.width() * 0.12, box.center().y() + r * 0.6,
               box.right() - box.width() * 0.12, box.bottom() - box.height() * 0.08);
  body.closeSubpath();
  p.drawPath(body);
  p.drawEllipse(head, r, r);
}

// The plate of a lamp or user button with its symbol and word.
void DrawPlate(QPainter& p, const QString& word, bool lit, bool user) {
  const QRectF plate(2.5, 2.5, 155, 55);
  QLinearGradient g(plate.topLeft(), plate.bottomLeft());
  if (lit) {
    g.setColorAt(0.0, QColor(255, 240, 232));
    g.setColorAt(1.0, QColor(248, 204, 190));
  } else {
    g.setColorAt(0.0, QColor(250, 248, 244));
    g.setColorAt(1.0, QColor(226, 220, 212));
  }
  p.setBrush(g);
  p.setPen(QPen(lit ? QColor(186, 64, 48) : QColor(150, 138, 126), 1.6));
  p.drawRoundedRect(plate, 9, 9);
  p.setPen(QPen(QColor(255, 255, 255, 190), 1.0));
  p.drawLine(QPointF(12, 4.5), QPointF(148, 4.5));
  // The lamp's indicator: a dark lens when off, a red light when on.
  const QColor tone = lit ? ink::kRed : ink::kBrown;
  const QRectF symbol(10, 8, 40, 44);
  if (user) {
    DrawUser(p, symbol.adjusted(4, 4, -4, -4), tone, lit);
  } else {
    DrawBulb(p, symbol, tone, lit);
  }
  p.setFont(Lettering(22));
  p.setPen(tone);
  p.drawText(QRectF(50, 4, 104, 52), Qt::AlignCenter, word);
}

QPainterPath ArrowPath(int direction) { // 0 left, 1 right, 2 up, 3 down
  QPainterPath right;
  right.moveTo(-5.5, -2);
  right.lineTo(0, -2);
  right.lineTo(0, -5.5);
  right.lineTo(6, 0);
  right.lineTo(0, 5.5);
  right.lineTo(0, 2);
  right.lineTo(-5.5, 2);
  right.closeSubpath();
  static constexpr qreal kAngle[4] = {180, 0, -90, 90};
  QTransform t;
  t.translate(11, 9.5);
  t.rotate(kAngle[direction]);
  return t.map(right);
}

void DrawAlarmNote(QPainter& p) {
  // A note sheet with lines and a folded corner, and an alarm clock over its lower right.
  QPainterPath sheet;
  sheet.moveTo(4, 3);
  sheet.lineTo(18, 3);
  sheet.lineTo(23, 8);
  sheet.lineTo(23, 26);
  sheet.lineTo(4, 26);
  sheet.closeSubpath();
  p.setBrush(QColor(255, 248, 206));
  p.setPen(QPen(QColor(150, 120, 40), 1.2));
  p.drawPath(sheet);
  p.setPen(QPen(QColor(120, 150, 190), 1.0));
  for (int i = 0; i < 4; ++i) {
    p.drawLine(QPointF(7, 9.5 + i * 3.5), QPointF(i == 0 ? 16 : 19, 9.5 + i * 3.5));
  }
  const QPointF c(22, 22);
  p.setPen(QPen(QColor(120, 20, 20), 1.2));
  p.setBrush(ink::kRed);
  p.drawEllipse(QPointF(17.5, 16.2), 2.4, 2.4);
  p.drawEllipse(QPointF(26.5, 16.2), 2.4, 2.4);
  p.setBrush(QColor(255, 255, 255));
  p.setPen(QPen(ink::kRed, 2.0));
  p.drawEllipse(c, 7, 7);
  p.setPen(QPen(QColor(40, 40, 40), 1.3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c, c + QPointF(0, -4.2));
  p.drawLine(c, c + QPointF(3.2, 1.2));
  p.setPen(QPen(QColor(120, 20, 20), 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(17, 28.5), QPointF(15.5, 30));
  p.drawLine(QPointF(27, 28.5), QPointF(28.5, 30));
}

void DrawPlug(QPainter& p) {
  p.setPen(QPen(QColor(30, 60, 30), 1.2));
  // Cable, body and the two pins.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(40, 40, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
  QPainterPath cable;
  cable.moveTo(16, 24);
  cable.cubicTo(16, 29, 8, 27, 5, 30);
  p.drawPath(cable);
  QLinearGradient g(8, 0, 24, 0);
  g.setColorAt(0.0, QColor(70, 190, 100));
  g.setColorAt(1.0, ink::kGreen.darker(130));
  p.setBrush(g);
  p.setPen(QPen(QColor(20, 80, 40), 1.2));
  p.drawRoundedRect(QRectF(8.5, 11, 15, 13), 3, 3);
  p.setBrush(QColor(200, 204, 210));
  p.setPen(QPen(QColor(90, 96, 104), 1.0));
  p.drawRect(QRectF(11.5, 3, 3, 8));
  p.drawRect(QRectF(17.5, 3, 3, 8));
  p.setBrush(QColor(255, 255, 255, 120));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(10.5, 12.5, 11, 3), 1.5, 1.5);
}

void DrawCircularArrows(QPainter& p) {
  const QPointF c(16, 16);
  const qreal r = 10;
  for (int k = 0; k < 2; ++k) {
    const QColor colour = k == 0 ? ink::kSteel : ink::kOrangeDeep;
    p.setPen(QPen(colour, 3.2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const qreal start = k * 180 + 20;
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), qRound(start * 16), 130 * 16);
    const qreal end = qDegreesToRadians(start + 130);
    const QPointF tip(c.x() + r * qCos(end), c.y() - r * qSin(end));
    const QPointF along(-qSin(end), -qCos(end)); // direction of travel (counter-clockwise)
    const QPointF out(qCos(end), -qSin(end));
    QPainterPath head;
    head.moveTo(tip + along * 5.5);
    head.lineTo(tip + out * 4.8);
    head.lineTo(tip - out * 4.8);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
  }
}

void DrawGear(QPainter& p) {
  const QPointF c(16, 16);
  QPainterPath gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 4; ++i) {
    const qreal a = qDegreesToRadians(i * 360.0 / (teeth * 4) - 11.25 / 2);
    const qreal r = (i % 4 == 0 || i % 4 == 1) ? 13.5 : 10.2;
    const QPointF pt(c.x() + r * qCos(a), c.y() + r * qSin(a));
    if (i == 0) {
      gear.moveTo(pt);
    } else {
      gear.lineTo(pt);
    }
  }
  gear.closeSubpath();
  QPainterPath hole;
  hole.addEllipse(c, 4.2, 4.2);
  QLinearGradient g(0, 3, 0, 29);
  g.setColorAt(0.0, QColor(170, 182, 196));
  g.setColorAt(1.0, QColor(92, 106, 122));
  p.setBrush(g);
  p.setPen(QPen(QColor(52, 62, 74), 1.1));
  p.drawPath(gear.subtracted(hole));
  p.setPen(QPen(ink::kOrange, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, 6.8, 6.8);
}

void DrawChip(QPainter& p, const QRectF& body, const QColor& face) {
  p.setPen(QPen(QColor(150, 156, 164), 1.4));
  const int pins = 4;
  for (int i = 0; i < pins; ++i) {
    const qreal x = body.left() + (i + 0.5) * body.width() / pins;
    p.drawLine(QPointF(x, body.top() - 3), QPointF(x, body.bottom() + 3));
  }
  p.setPen(QPen(face.darker(170), 1.0));
  p.setBrush(face);
  p.drawRoundedRect(body, 1.5, 1.5);
  p.setBrush(QColor(255, 255, 255, 150));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(body.left() + 3, body.top() + 3), 1.2, 1.2);
}

void DrawDownArrow(QPainter& p, const QPointF& tip, qreal length, const QColor& colour) {
  QPainterPath arrow;
  arrow.moveTo(tip);
  arrow.lineTo(tip + QPointF(-6, -6));
  arrow.lineTo(tip + QPointF(-2.6, -6));
  arrow.lineTo(tip + QPointF(-2.6, -length));
  arrow.lineTo(tip + QPointF(2.6, -length));
  arrow.lineTo(tip + QPointF(2.6, -6));
  arrow.lineTo(tip + QPointF(6, -6));
  arrow.closeSubpath();
  p.setBrush(colour);
  p.setPen(QPen(colour.darker(150), 1.0));
  p.drawPath(arrow);
}

} // namespace

QImage PaintLampButtons() {
  return Assemble(kLampButtons, [](QPainter& p, int i) {
    DrawPlate(p, QStringLiteral("LAMP%1").arg(i / 2 + 1), i % 2 == 1, false);
  });
}

QImage PaintUserButtons() {
  return Assemble(kUserButtons, [](QPainter& p, int i) {
    DrawPlate(p, QStringLiteral("USER%1").arg(i / 2 + 1), i % 2 == 1, true);
  });
}

QImage PaintArrows() {
  return Assemble(kArrows, [](QPainter& p, int i) {
    const bool ground = i % 2 == 1;
    if (ground) {
      QLinearGradient g(0, 0, 0, 19);
      g.setColorAt(0.0, QColor(252, 194, 136));
      g.setColorAt(1.0, ink::kOrangeDeep);
      p.setBrush(g);
      p.setPen(QPen(ink::kOrangeDeep.darker(125), 1.0));
      p.drawRoundedRect(QRectF(0.5, 0.5, 21, 18), 3.5, 3.5);
    }
    p.setBrush(ground ? QColor(255, 255, 255) : ink::kSteelDark);
    p.setPen(QPen(ink::kSteelDark, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(ArrowPath(i / 2));
  });
}

QImage PaintCommands() {
  return AssemblePairs(kCommands, true, [](QPainter& p, int icon) {
    switch (icon) {
    case 0:
      DrawAlarmNote(p);
      break;
    case 1:
      DrawPlug(p);
      break;
    case 2:
      DrawCircularArrows(p);
      break;
    default:
      DrawGear(p);
      break;
    }
  });
}

QImage PaintReadWrite() {
  return AssemblePairs(kReadWrite, true, [](QPainter& p, int icon) {
    if (icon == 0) {
      DrawChip(p, QRectF(7, 4, 18, 10), QColor(60, 70, 84));
      DrawDownArrow(p, QPointF(16, 30), 12, ink::kSteel);
    } else {
      DrawDownArrow(p, QPointF(16, 17), 14, ink::kOrangeDeep);
      DrawChip(p, QRectF(7, 19, 18, 10), QColor(60, 70, 84));
    }
  });
}

QImage PaintOkCancel() {
  return AssemblePairs(kOkCancel, false, [](QPainter& p, int icon) {
    p.setBrush(Qt::NoBrush);
    if (icon == 0) {
      QPainterPath tick;
      tick.moveTo(6, 17);
      tick.lineTo(13, 24);
      tick.lineTo(26, 8);
      p.setPen(QPen(ink::kGreen.darker(140), 6.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPath(tick);
      p.setPen(QPen(ink::kGreen.lighter(120), 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPath(tick);
    } else {
      for (const QColor& c : {ink::kRed.darker(140), ink::kRed.lighter(115)}) {
        p.setPen(QPen(c, c == ink::kRed.darker(140) ? 6.5 : 4.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
      }
    }
  });
}

} // namespace lamp_res
