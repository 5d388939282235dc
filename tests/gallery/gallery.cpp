// lamp-gallery: shows the shared controls in one window, set up as the panel and the settings
// dialogs set them up. With `--screenshot FILE` it saves a grab of the window and exits.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "controls/cell_edit.h"
#include "controls/custom_list.h"
#include "controls/image_static.h"
#include "controls/list_headers.h"
#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "platform/dialog_units.h"
#include "platform/log_font.h"
#include "platform/window.h"

namespace {

const QColor kGround(254, 254, 254);
const QColor kOrange(248, 168, 97);
const QColor kSteel(42, 116, 179);

// Where the pictures come from: the built artwork, or a stand-in drawn here.
QString PictureFolder(QTemporaryDir& scratch) {
#ifdef LAMP_RES_DIR
  if (QDir(LAMP_RES_DIR).exists("img_logo.bmp")) {
    return LAMP_RES_DIR;
  }
#endif
  QImage logo(128, 96, QImage::Format_RGB32);
  logo.fill(kGround);
  QPainter painter(&logo);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(kOrange);
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRect(20, 4, 88, 88));
  painter.end();
  logo.save(scratch.filePath("img_logo.bmp"));
  return scratch.path();
}

class Gallery : public lamp::Dialog {
public:
  explicit Gallery(const QString& pictures) {
    setWindowTitle("LAMP controls");
    setFont(lamp::DialogFont("Verdana", 8));
    const lamp::DialogUnits units(font());
    resize(units.x(300), 290);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kGround);
    setPalette(colours);
    setAutoFillBackground(true);

    const int width = this->width();
    MakePicture(logo_, pictures + "/img_logo.bmp", QRect(8, 8, 64, 48));
    MakePicture(name_, pictures + "/img_name.bmp", QRect(76, 8, 192, 48));
    MakePicture(line_, pictures + "/img_line.bmp", QRect(8, 62, width - 16, 2));
    MakePicture(thermometer_, pictures + "/img_thermometer.bmp", QRect(8, 72, 32, 32));
    MakePicture(fan_, pictures + "/img_fan1.bmp", QRect(8, 106, 32, 32));

    // The panel's temperature and fan labels.
    MakePanelLabel(temperature_, QString::fromUtf8("25℃"), QRect(42, 72, 52, 32));
    MakePanelLabel(fanState_, "OFF", QRect(42, 106, 52, 32));

    const int labelsLeft = 104;
    const int labelWidth = (width - labelsLeft - 8 - 12) / 4;
    auto labelRect = [&](int i, int top, int height) {
      return QRect(labelsLeft + i * (labelWidth + 4), top, labelWidth, height);
    };
    gradient_.Create("Gradient", lamp::WS_VISIBLE | lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                     labelRect(0, 72, 30), this, 1);
    gradient_.SetFill(kSteel, kOrange, true).SetInkColour(Qt::white).SetHeavy(true);

    framed_.Create("Framed\r\nstatic edge", lamp::WS_VISIBLE | lamp::SS_CENTER,
                   labelRect(1, 72, 30), this, 2);
    framed_.SetFramed(true).SetEdge(true).SetFill(QColor(255, 250, 235), Qt::black, false);

    blinking_.Create("AUTO A 03", lamp::WS_VISIBLE | lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                     labelRect(2, 72, 30), this, 3);
    blinking_.SetFill(QColor(255, 240, 200), Qt::black, false)
        .SetInkColour(QColor(200, 60, 0))
        .SetHeavy(true)
        .SetBlinkText(true);
    blinking_.onTimer(lamp::TextLabel::kFlashTimer); // show the visible phase

    link_.Create("velora.example", lamp::WS_VISIBLE | lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                 labelRect(3, 72, 30), this, 4);
    link_.SetWebLink(true, false)
        .SetUnderlined(true)
        .SetInkColour(QColor(0, 0, 238))
        .SetSeeThrough(true)
        .SetHoverCursor(QCursor(Qt::PointingHandCursor));

    rotated_.Create("Rotated", lamp::WS_VISIBLE, labelRect(0, 104, 40).translated(-8, 0), this, 5);
    rotated_.SetFill(kGround, kGround, false)
        .SetInkColour(kSteel)
        .SetHeavy(true)
        .SetAngle(12, true);

    slanted_.Create(
        "Slanted, outward emboss", lamp::WS_VISIBLE | lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
        QRect(labelRect(1, 106, 32).topLeft(), labelRect(2, 106, 32).bottomRight()), this, 6);
    slanted_.SetFill(QColor(235, 242, 250), Qt::black, false)
        .SetSlanted(true)
        .SetTypeface("Verdana", 0)
        .SetPoints(11)
        .SetInkColour(kSteel)
        .SetEmbossed(true, false)
        .SetEmbossColour(kOrange);

    editor_.setParent(this);
    editor_.setGeometry(labelRect(3, 106, 32));
    editor_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    editor_.setMaxLength(4);
    lamp::LogFont big;
    big.height = 26;
    big.weight = 200;
    big.faceName = "Verdana";
    big.quality = lamp::kAntialiasedQuality;
    editor_.setFont(lamp::FontFromLogFont(big));
    editor_.SetBackgroundColour(kOrange);
    editor_.SetTextColour(kSteel);
    editor_.setText("250");

    // The system setup grid, as the settings dialog sets it up.
    lamp::SetUpGrid(grid_, this, 20000, QRect(8, 146, width - 16, height() - 146 - 8),
                    {"ITEM", "MinVolt(mV)", "MaxVolt(mV)", "Offset"},
                    {"LAMP1", "LAMP2", "LAMP3", "LAMP4", "Thermistor"});
    const char* values[4][3] = {{"9500", "12000", "-5"},
                                {"9500", "12000", "0"},
                                {"9400", "11800", "12"},
                                {"9600", "12100", "-32768"}};
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 3; ++column) {
        grid_.SetItemText(row, column + 1, values[row][column]);
      }
    }
    grid_.SetItemText(4, 3, "3");
  }

  // Opens an edit box over a cell with something typed, as an operator would see it.
  void OpenEditor() {
    if (lamp::CCellEdit* editor = grid_.OpenCellEdit(2, 3)) {
      editor->setText("-15");
    }
  }

private:
  void MakePicture(lamp::CImageStatic& picture, const QString& file, const QRect& rect) {
    picture.Create(lamp::WS_VISIBLE, rect, this, 1000);
    picture.PrepareSurface();
    picture.SetImageFile(file);
  }

  void MakePanelLabel(lamp::TextLabel& label, const QString& text, const QRect& rect) {
    label.Create("", lamp::WS_VISIBLE | lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                 QRect(0, 0, 100, 100), this, 20000);
    label.SetCaption(text)
        .SetEmbossed(true, true)
        .SetEmbossColour(kSteel)
        .SetTypeface("Verdana", 0)
        .SetPoints(14)
        .SetHeavy(true)
        .SetSeeThrough(true);
    label.setGeometry(rect);
  }

  lamp::CImageStatic logo_, name_, line_, thermometer_, fan_;
  lamp::TextLabel temperature_, fanState_, gradient_, framed_, blinking_, link_, rotated_, slanted_;
  lamp::CMyEdit editor_;
  lamp::CCustomList grid_;
};

} // namespace

int main(int argc, char** argv) {
  bool screenshot = false;
  for (int i = 1; i < argc; ++i) {
    screenshot = screenshot || QByteArray(argv[i]) == "--screenshot";
  }
  if (screenshot && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("LAMP");
  QCommandLineParser parser;
  parser.setApplicationDescription("Shows each shared control of LAMP in one window.");
  parser.addHelpOption();
  const QCommandLineOption shotOption("screenshot", "Save a grab of the window to FILE and exit.",
                                      "FILE");
  parser.addOption(shotOption);
  parser.process(app);

  QTemporaryDir scratch;
  Gallery gallery(PictureFolder(scratch));
  gallery.show();
  gallery.activateWindow();
  gallery.OpenEditor();
  if (!parser.isSet(shotOption)) {
    return app.exec();
  }
  const QString file = parser.value(shotOption);
  QTimer::singleShot(300, &app, [&] {
    const bool saved = gallery.grab().save(file);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                 qPrintable(file));
    app.exit(saved ? 0 : 1);
  });
  return app.exec();
}
