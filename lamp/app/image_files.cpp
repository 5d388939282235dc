#include "image_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lamp {

QString ImagePath(const QString& name) {
  if (QFileInfo::exists(name)) {
    return name;
  }
  QStringList folders;
  if (QCoreApplication::instance() != nullptr) {
    folders << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/lamp");
  }
  folders << QStringLiteral(LAMP_RES_INSTALL_DIR) << QStringLiteral(LAMP_RES_DIR);
  for (const QString& folder : folders) {
    const QString path = QDir(folder).filePath(name);
    if (!folder.isEmpty() && QFileInfo::exists(path)) {
      return path;
    }
  }
  return name;
}

} // namespace lamp
