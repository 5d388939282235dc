// Builds a window with the outside libraries' buttons and displays set up as the panel and the
// dialogs set them up, with the generated artwork, and saves a picture of it:
//   outside-gallery <file.png>
// The picture is docs/screens/outside.png.

#include "outside_test_support.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <knoblet/button_object.h>
#include <lamp_res/artwork.h>
#include <segmenta/digit_display.h>
#include <vector>
#include <wndmsg/messages.h>

namespace {

using namespace outside_test;

// The cells of a strip as pixmaps, its transparent colour masked out.
std::vector<QPixmap> Cut(const lamp_res::Strip& strip) {
  const QImage image(QStringLiteral(LAMP_RES_DIR "/") + strip.file);
  const QColor key(strip.transparent.r, strip.transparent.g, strip.transparent.b);
  std::vector<QPixmap> cells;
  for (int x = 0; x + strip.cellWidth <= image.width(); x += strip.cellWidth) {
    QPixmap cell = QPixmap::fromImage(image.copy(x, 0, strip.cellWidth, strip.cellHeight));
    cell.setMask(QBitmap::fromImage(
        image.copy(x, 0, strip.cellWidth, strip.cellHeight).createMaskFromColor(key.rgb())));
    cells.push_back(cell);
  }
  return cells;
}

class Panel : public RecordingParent {
public:
  explicit Panel(Recorder& r) : RecordingParent(r) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(254, 254, 254));
    setPalette(pal);
  }
};

void Picture(QWidget* parent, const lamp_res::Picture& picture, const QRect& where) {
  auto* label = new QWidget(parent);
  label->setGeometry(where);
  const QImage image(QStringLiteral(LAMP_RES_DIR "/") + picture.file);
  label->setAutoFillBackground(true);
  QPalette pal;
  pal.setBrush(QPalette::Window, QPixmap::fromImage(image.scaled(where.size())));
  label->setPalette(pal);
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: outside-gallery <file.png>\n");
    return 2;
  }
  std::string error;
  auto btnClass = LoadFactory<knoblet::BtnClassFn>("libknoblet.so", "BtnClass", error);
  auto displayClass =
      LoadFactory<segmenta::DigitalCharClassFn>("libsegmenta.so", "DigitalCharClass", error);
  if (btnClass == nullptr || displayClass == nullptr) {
    std::fprintf(stderr, "outside-gallery: %s\n", error.c_str());
    return 1;
  }
  Recorder recorder;
  Panel panel(recorder);
  panel.resize(760, 470);

  Picture(&panel, lamp_res::kLogo, QRect(0, 0, 120, 80));
  Picture(&panel, lamp_res::kName, QRect(120, 0, 360, 80));
  Picture(&panel, lamp_res::kLine, QRect(0, 83, 760, 2));

  const auto lamps = Cut(lamp_res::kLampButtons);
  const auto users = Cut(lamp_res::kUserButtons);
  const int levels[4] = {250, 1000, 35, 0};
  for (int i = 0; i < 4; ++i) {
    knoblet::ButtonObject* b = btnClass();
    b->Create("", knoblet::kStyleChild | knoblet::kStyleVisible | knoblet::kStyleTwoState,
              QRect(0, 0, 100, 100), &panel, 6000 + i);
    const auto& strip = i == 3 ? users : lamps;
    b->SetIcons(strip[2 * i], strip[2 * i + 1]);
    b->SetPressNotify(1);
    b->Prepare();
    b->SetIndex(i);
    b->window->setGeometry(20, 96 + 64 * i, 160, 60);
    if (i == 1) {
      b->target->SendMsg(wndmsg::WM_BUTTON_PRESS, 0, 0);
    }

    segmenta::DigitDisplay* d = displayClass();
    d->Create("",
              segmenta::kStyleChild | segmenta::kStyleVisible | segmenta::kStyleSunken |
                  segmenta::kStyleNotify,
              QRect(0, 0, 300, 100), &panel, 0xFFFF);
    const bool highlighted = i == 2;
    const QColor lit = highlighted ? QColor(255, 255, 255) : QColor(248, 168, 97);
    const QColor further = highlighted ? QColor(248, 168, 97) : QColor(255, 255, 255);
    d->SetDigitColours(lit, QColor(0, 0, 0), QColor(150, 150, 150));
    d->SetColourA(further);
    d->SetColourB(further);
    d->SetRange(0, 1000);
    d->SetFormat("%04d");
    d->SetAltFormat(0, 0, "%.3d");
    d->SetOption(10);
    d->SetIndex(i);
    d->level = levels[i];
    d->cursorDigit = 2;
    d->ShowLevel();
    d->window->setGeometry(200, 96 + 64 * i, 150, 60);
    Picture(&panel, lamp_res::kPercent, QRect(353, 96 + 64 * i, 32, 60));
  }
  Picture(&panel, lamp_res::kCursor, QRect(200 + 37 * 2 + 2 + 4, 96 + 64 * 3 + 65, 20, 20));

  const auto arrows = Cut(lamp_res::kArrows);
  for (int k = 0; k < 4; ++k) {
    knoblet::ButtonObject* b = btnClass();
    b->Create("", knoblet::kStyleVisible, QRect(0, 0, 100, 100), &panel, 6004 + k);
    b->SetIcons(arrows[2 * k + 1], arrows[2 * k]);
    b->window->setGeometry(393 + 22 * k, 96 + 64 * 3 + 65, 22, 19);
    if (k == 2) {
      b->target->SendMsg(wndmsg::WM_SETFOCUS, 0, 0);
    }
  }

  Picture(&panel, lamp_res::kThermometer, QRect(420, 100, 32, 32));
  Picture(&panel, lamp_res::kFan[1], QRect(420, 150, 32, 32));

  const auto commands = Cut(lamp_res::kCommands);
  const char* captions[4] = {"AUTO", "ON", "RESET", "OPTION"};
  for (int k = 0; k < 4; ++k) {
    knoblet::ButtonObject* b = btnClass();
    b->Create(captions[k],
              knoblet::kStyleVisible | (k < 2 ? knoblet::kStyleTwoState : knoblet::kStylePush),
              QRect(0, 0, 100, 100), &panel, 6008 + k);
    b->SetIcons(commands[2 * k + 1], commands[2 * k]);
    b->SetPressNotify(1);
    b->Prepare();
    b->SetIndex(8 + k);
    b->SetCaptionFont(14, "Verdana", QColor(155, 0, 255), 0, QColor(0, 250, 180));
    b->SetBackdrop(QColor(255, 255, 255), 100, QColor(248, 198, 197), 10);
    b->window->setGeometry(20 + 98 * k, 400, 96, 48);
    if (k == 1) {
      b->state = 1;
      b->target->SendMsg(wndmsg::WM_SETFOCUS, 0, 0);
      b->target->SendMsg(wndmsg::WM_MOUSEMOVE, 0, 0);
    }
  }

  // The dialogs' buttons: Read/Write and Ok/Cancel.
  const auto readWrite = Cut(lamp_res::kReadWrite);
  const auto okCancel = Cut(lamp_res::kOkCancel);
  const char* dialogCaptions[4] = {"Read", "Write", "Ok", "Cancel"};
  for (int k = 0; k < 4; ++k) {
    knoblet::ButtonObject* b = btnClass();
    b->Create(dialogCaptions[k], knoblet::kStyleVisible | knoblet::kStyleCentred,
              QRect(110, 270, 190, 302), &panel, 11000);
    b->SetIndex(k % 2);
    b->SetPressNotify(0);
    b->Prepare();
    if (k < 2) {
      b->SetCaptionFont(16, "Verdana", QColor(0, 0, 0), 0, QColor(0, 250, 180));
      b->SetIcons(readWrite[2 * k + 1], readWrite[2 * k]);
      b->SetBackdrop(QColor(255, 255, 255), 100, QColor(248, 168, 97), 40);
    } else {
      b->SetCaptionFont(12, "Verdana", QColor(0, 0, 0), 0, QColor(180, 180, 180));
      b->SetIcons(okCancel[2 * (k - 2)], okCancel[2 * (k - 2) + 1]);
      b->SetBackdrop(QColor(255, 255, 255), 100, QColor(80, 120, 150), 40);
    }
    b->window->setGeometry(k < 2 ? 480 + 130 * k : 480 + 100 * (k - 2), k < 2 ? 290 : 350,
                           k < 2 ? 128 : 96, 32);
    if (k == 1 || k == 3) {
      b->target->SendMsg(wndmsg::WM_SETFOCUS, 0, 0);
    }
  }

  panel.show();
  const QImage shot = panel.grab().toImage();
  if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "outside-gallery: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
