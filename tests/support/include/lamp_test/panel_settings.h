#pragma once
// The program's settings file for a test: lamp.INI in `configFolder`, its [SERIAL] section naming
// `port` with the line settings an operator would save, and XDG_CONFIG_HOME pointed at the folder
// so that the program reads this file and never the user's own.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <string>

namespace lamp::test {

[[nodiscard]] inline bool WritePanelSettings(const QString& configFolder, const std::string& port) {
  QFile ini(QDir(configFolder).filePath(QStringLiteral("lamp.INI")));
  if (!ini.open(QIODevice::WriteOnly)) {
    return false;
  }
  const QByteArray text = QStringLiteral("[SERIAL]\nPORT=%1\nBAUDRATE=115200\nDATABIT=8\n"
                                         "PARITY=NONE\nSTOPBIT=1\nFLOW=NONE\n")
                              .arg(QString::fromStdString(port))
                              .toUtf8();
  const bool written = ini.write(text) == text.size();
  ini.close();
  qputenv("XDG_CONFIG_HOME", configFolder.toUtf8());
  return written;
}

} // namespace lamp::test
