#include "art_kit.h"

#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace lamp_res {

QColor ToColor(Rgb c) {
  return QColor(c.r, c.g, c.b);
}

QImage Canvas(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  return image;
}

QImage PanelCanvas(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(ink::kGround);
  return image;
}

QImage Keyed(const QImage& argb, const QColor& key) {
  constexpr int kOpaqueFrom = 96;
  QImage out(argb.size(), QImage::Format_RGB32);
  const QImage src = argb.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < src.height(); ++y) {
    for (int x = 0; x < src.width(); ++x) {
      const QRgb s = src.pixel(x, y);
      const int a = qAlpha(s);
      if (a < kOpaqueFrom) {
        out.setPixel(x, y, key.rgb());
        continue;
      }
      auto over = [a](int c, int ground) { return (c * a + ground * (255 - a)) / 255; };
      QColor c(over(qRed(s), ink::kGround.red()), over(qGreen(s), ink::kGround.green()),
               over(qBlue(s), ink::kGround.blue()));
      if (c == key) {
        c = QColor(key.red() ^ 1, key.green(), key.blue() ^ 1);
      }
      out.setPixel(x, y, c.rgb());
    }
  }
  return out;
}

QImage Greyed(const QImage& argb) {
  QImage out = argb.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x) {
      const QRgb s = out.pixel(x, y);
      const int luma = (qRed(s) * 30 + qGreen(s) * 59 + qBlue(s) * 11) / 100;
      const int g = 96 + luma * 55 / 100;
      out.setPixel(x, y, qRgba(g, g, g + 4, qAlpha(s)));
    }
  }
  return out;
}

QFont Lettering(qreal pixelSize, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(qRound(pixelSize));
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

void SetUpPainter(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

void DrawBulb(QPainter& p, const QRectF& box, const QColor& tone, bool lit) {
  const qreal w = box.width();
  const qreal h = box.height();
  const QPointF centre(box.center().x(), box.top() + h * 0.38);
  const qreal radius = std::min(w, h) * 0.30;
  p.save();
  if (lit) {
    QRadialGradient glow(centre, radius * 1.9);
    glow.setColorAt(0.0, QColor(255, 214, 120, 200));
    glow.setColorAt(1.0, QColor(255, 214, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, radius * 1.9, radius * 1.9);
    p.setPen(QPen(ink::kOrangeDeep, std::max<qreal>(1.0, w * 0.05), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 7; ++i) {
      const qreal angle = qDegreesToRadians(-180.0 + 30.0 * i);
      const QPointF dir(qCos(angle), qSin(angle));
      p.drawLine(centre + dir * radius * 1.35, centre + dir * radius * 1.75);
    }
  }
  // Glass: a circle narrowing into the neck.
  QPainterPath glass;
  glass.addEllipse(centre, radius, radius);
  QPainterPath neck;
  const qreal neckTop = centre.y() + radius * 0.55;
  const qreal neckBottom = centre.y() + radius * 1.45;
  neck.moveTo(centre.x() - radius * 0.80, neckTop - radius * 0.2);
  neck.lineTo(centre.x() + radius * 0.80, neckTop - radius * 0.2);
  neck.lineTo(centre.x() + radius * 0.45, neckBottom);
  neck.lineTo(centre.x() - radius * 0.45, neckBottom);
  neck.closeSubpath();
  glass = glass.united(neck);
  QRadialGradient fill(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.4);
  if (lit) {
    fill.setColorAt(0.0, QColor(255, 250, 220));
    fill.setColorAt(1.0, ink::kOrange);
  } else {
    fill.setColorAt(0.0, QColor(255, 255, 255));
    fill.setColorAt(1.0, QColor(226, 222, 214));
  }
  p.setBrush(fill);
  p.setPen(QPen(tone, std::max<qreal>(1.0, w * 0.055)));
  p.drawPath(glass);
  // Filament.
  p.setPen(QPen(lit ? ink::kRed : tone, std::max<qreal>(0.8, w * 0.035)));
  p.setBrush(Qt::NoBrush);
  QPainterPath filament;
  filament.moveTo(centre.x() - radius * 0.35, neckTop);
  filament.lineTo(centre.x() - radius * 0.25, centre.y());
  filament.lineTo(centre.x(), centre.y() + radius * 0.2);
  filament.lineTo(centre.x() + radius * 0.25, centre.y());
  filament.lineTo(centre.x() + radius * 0.35, neckTop);
  p.drawPath(filament);
  // Screw base.
  const qreal baseTop = neckBottom;
  const qreal baseWidth = radius * 0.9;
  p.setPen(Qt::NoPen);
  p.setBrush(tone);
  for (int i = 0; i < 3; ++i) {
    p.drawRoundedRect(
        QRectF(centre.x() - baseWidth / 2, baseTop + i * radius * 0.28, baseWidth, radius * 0.2),
        radius * 0.08, radius * 0.08);
  }
  p.restore();
}

} // namespace lamp_res
