#include "lamp_res/art_files.h"

#include <QBitmap>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStringList>

namespace lamp_res {

QString ArtworkPath(const QString& name) {
  if (name.isEmpty()) {
    return name;
  }
  QStringList folders = {QDir::currentPath()};
  // Without an application object the program's folder is unknown; the fixed folders remain.
  const QString programFolder =
      QCoreApplication::instance() != nullptr ? QCoreApplication::applicationDirPath() : QString();
  if (!programFolder.isEmpty()) {
    folders << programFolder + QStringLiteral("/../share/lamp");
  }
  folders << QStringLiteral(LAMP_RES_INSTALL_DIR);
  if (!programFolder.isEmpty()) {
    folders << programFolder + QStringLiteral("/res");
  }
  folders << QStringLiteral(LAMP_RES_DIR);
  for (const QString& folder : folders) {
    const QString path = QDir(folder).filePath(name);
    if (QFileInfo(path).isFile()) {
      return path;
    }
  }
  return name;
}

QString ArtworkPath(const char* name) {
  return ArtworkPath(QString::fromLatin1(name));
}

std::vector<QPixmap> CutStrip(const Strip& strip) {
  std::vector<QPixmap> cells;
  const QImage image(ArtworkPath(strip.file));
  if (image.isNull() || strip.cellWidth <= 0) {
    return cells;
  }
  const QColor transparent(strip.transparent.r, strip.transparent.g, strip.transparent.b);
  for (int x = 0; x + strip.cellWidth <= image.width(); x += strip.cellWidth) {
    QPixmap cell = QPixmap::fromImage(image.copy(x, 0, strip.cellWidth, strip.cellHeight));
    cell.setMask(cell.createMaskFromColor(transparent, Qt::MaskInColor));
    cells.push_back(cell);
  }
  return cells;
}

} // namespace lamp_res
