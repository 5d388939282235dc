// Writes every picture of the program into the folder given as the only argument. Run by the
// build; the output depends only on this code, Qt and the DejaVu fonts, so it is the same on
// every build of the same system.
#include "art_kit.h"
#include "panel_art.h"
#include "strip_art.h"

#include <QDir>
#include <QFontInfo>
#include <QGuiApplication>
#include <cstdio>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: lamp-artwork <output folder>\n");
    return 2;
  }
  using namespace lamp_res;
  const QFontInfo face(Lettering(20));
  if (!face.family().contains(QStringLiteral("DejaVu"))) {
    std::fprintf(stderr, "lamp-artwork: DejaVu Sans not found (install fonts-dejavu-core)\n");
    return 1;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "lamp-artwork: cannot make %s\n", argv[1]);
    return 1;
  }
  std::vector<std::pair<const char*, QImage>> files = {
      {kLogo.file, PaintLogo()},
      {kName.file, PaintName()},
      {kLine.file, PaintLine()},
      {kCursor.file, PaintCursor()},
      {kPercent.file, PaintPercent()},
      {kThermometer.file, PaintThermometer()},
      {kLampButtons.file, PaintLampButtons()},
      {kUserButtons.file, PaintUserButtons()},
      {kArrows.file, PaintArrows()},
      {kCommands.file, PaintCommands()},
      {kReadWrite.file, PaintReadWrite()},
      {kOkCancel.file, PaintOkCancel()},
      {kToolBar.file, PaintToolBar()},
      {kAppIcon.file, PaintAppIcon(kAppIcon.width)},
      {kAppIconSmall.file, PaintAppIcon(kAppIconSmall.width)},
  };
  for (int frame = 0; frame < 4; ++frame) {
    files.emplace_back(kFan[frame].file, PaintFan(frame));
  }
  for (const auto& [name, image] : files) {
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!image.save(path)) {
      std::fprintf(stderr, "lamp-artwork: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
