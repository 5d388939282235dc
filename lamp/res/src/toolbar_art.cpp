// The firmware dialog's tool bar: fourteen 16 x 16 pictures drawn pixel by pixel in the sixteen
// classic colours, stored as an indexed image.
#include "art_kit.h"
#include "strip_art.h"

#include <QPolygon>
#include <QVector>

namespace lamp_res {
namespace {

namespace vga {
const QColor kBlack(0, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kOlive(128, 128, 0);
const QColor kNavy(0, 0, 128);
const QColor kPurple(128, 0, 128);
const QColor kTeal(0, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kMagenta(255, 0, 255);
const QColor kCyan(0, 255, 255);
const QColor kWhite(255, 255, 255);
} // namespace vga

QVector<QRgb> Palette() {
  using namespace vga;
  QVector<QRgb> colours;
  for (const QColor& c : {kBlack, kMaroon, kGreen, kOlive, kNavy, kPurple, kTeal, kSilver, kGrey,
                          kRed, kLime, kYellow, kBlue, kMagenta, kCyan, kWhite}) {
    colours.push_back(c.rgb());
  }
  return colours;
}

void Box(QPainter& p, int x0, int y0, int x1, int y1, const QColor& fill, const QColor& edge) {
  p.fillRect(QRect(QPoint(x0, y0), QPoint(x1, y1)), edge);
  if (x1 - x0 >= 2 && y1 - y0 >= 2) {
    p.fillRect(QRect(QPoint(x0 + 1, y0 + 1), QPoint(x1 - 1, y1 - 1)), fill);
  }
}

void Shape(QPainter& p, const QPolygon& outline, const QColor& fill, const QColor& edge) {
  p.setPen(edge);
  p.setBrush(fill);
  p.drawPolygon(outline);
}

// FLASH items are blue, EEPROM items green.
QColor Memory(bool flash) {
  return flash ? vga::kBlue : vga::kGreen;
}

void Badge(QPainter& p, bool flash) {
  Box(p, 10, 10, 15, 15, Memory(flash), vga::kBlack);
}

void OpenFolder(QPainter& p, bool flash) {
  Box(p, 1, 3, 5, 4, vga::kYellow, vga::kOlive);
  Box(p, 1, 4, 12, 13, vga::kOlive, vga::kBlack);
  Shape(p, QPolygon({QPoint(3, 7), QPoint(14, 7), QPoint(12, 13), QPoint(1, 13)}), vga::kYellow,
        vga::kBlack);
  Badge(p, flash);
}

void Floppy(QPainter& p, bool flash) {
  Box(p, 1, 1, 13, 14, vga::kNavy, vga::kBlack);
  Box(p, 4, 1, 10, 5, vga::kSilver, vga::kBlack);
  p.fillRect(QRect(8, 2, 1, 3), vga::kNavy);
  Box(p, 3, 8, 11, 14, vga::kWhite, vga::kBlack);
  p.fillRect(QRect(4, 10, 6, 1), vga::kGrey);
  p.fillRect(QRect(4, 12, 6, 1), vga::kGrey);
  Badge(p, flash);
}

void Chip(QPainter& p, int top, bool flash) {
  for (int x = 4; x <= 11; x += 2) {
    p.fillRect(QRect(x, top - 2, 1, 2), vga::kGrey);
    p.fillRect(QRect(x, top + 6, 1, 2), vga::kGrey);
  }
  Box(p, 2, top, 13, top + 5, Memory(flash), vga::kBlack);
  p.fillRect(QRect(3, top + 1, 1, 1), vga::kWhite);
}

void ArrowDown(QPainter& p, int top, const QColor& colour) {
  p.fillRect(QRect(7, top, 2, 3), colour);
  Shape(p,
        QPolygon({QPoint(4, top + 3), QPoint(11, top + 3), QPoint(8, top + 6), QPoint(7, top + 6)}),
        colour, colour);
}

void WriteMemory(QPainter& p, bool flash) {
  ArrowDown(p, 0, vga::kRed);
  Chip(p, 9, flash);
}

void ReadMemory(QPainter& p, bool flash) {
  Chip(p, 2, flash);
  ArrowDown(p, 9, vga::kTeal);
}

void EraseMemory(QPainter& p, bool flash) {
  Chip(p, 5, flash);
  p.setPen(QPen(vga::kRed, 2));
  p.drawLine(3, 2, 12, 13);
  p.drawLine(12, 2, 3, 13);
}

void Jump(QPainter& p, bool toBoot) {
  if (toBoot) {
    Box(p, 6, 7, 15, 15, vga::kMaroon, vga::kBlack);
    p.fillRect(QRect(8, 9, 5, 1), vga::kYellow);
    p.fillRect(QRect(8, 11, 3, 1), vga::kYellow);
  } else {
    Box(p, 6, 7, 15, 15, vga::kWhite, vga::kBlack);
    p.fillRect(QRect(7, 8, 8, 2), vga::kNavy);
  }
  // A bent arrow from the top left down into the box.
  p.fillRect(QRect(1, 2, 7, 2), vga::kTeal);
  p.fillRect(QRect(6, 2, 2, 3), vga::kTeal);
  Shape(p, QPolygon({QPoint(4, 5), QPoint(9, 5), QPoint(7, 7), QPoint(6, 7)}), vga::kTeal,
        vga::kTeal);
}

void Lock(QPainter& p) {
  Box(p, 5, 1, 10, 7, vga::kMagenta, vga::kGrey);
  Box(p, 6, 2, 9, 7, vga::kMagenta, vga::kSilver);
  p.fillRect(QRect(7, 3, 2, 5), vga::kMagenta);
  Box(p, 3, 7, 12, 14, vga::kYellow, vga::kOlive);
  p.fillRect(QRect(7, 9, 2, 2), vga::kBlack);
  p.fillRect(QRect(7, 11, 1, 2), vga::kBlack);
}

void Exit(QPainter& p) {
  Box(p, 1, 1, 9, 14, vga::kOlive, vga::kBlack);
  Box(p, 2, 2, 8, 13, vga::kMaroon, vga::kMaroon);
  p.fillRect(QRect(7, 8, 1, 1), vga::kYellow);
  p.fillRect(QRect(9, 7, 4, 2), vga::kRed);
  Shape(p, QPolygon({QPoint(12, 4), QPoint(15, 7), QPoint(15, 8), QPoint(12, 11)}), vga::kRed,
        vga::kRed);
}

} // namespace

QImage PaintToolBar() {
  QImage image(kToolBar.width, kToolBar.height, QImage::Format_RGB32);
  image.fill(vga::kMagenta);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int i = 0; i < 14; ++i) {
    p.save();
    p.translate(i * kToolBar.cellWidth, 0);
    p.setClipRect(0, 0, kToolBar.cellWidth, kToolBar.cellHeight);
    const bool flash = i % 2 == 0;
    switch (i) {
    case 0:
    case 1:
      OpenFolder(p, flash);
      break;
    case 2:
    case 3:
      Floppy(p, flash);
      break;
    case 4:
    case 5:
      WriteMemory(p, flash);
      break;
    case 6:
    case 7:
      ReadMemory(p, flash);
      break;
    case 8:
    case 9:
      EraseMemory(p, flash);
      break;
    case 10:
    case 11:
      Jump(p, i == 10);
      break;
    case 12:
      Lock(p);
      break;
    default:
      Exit(p);
      break;
    }
    p.restore();
  }
  p.end();
  return image.convertToFormat(QImage::Format_Indexed8, Palette(), Qt::ThresholdDither);
}

} // namespace lamp_res
