#include "platform/dialog_shell.h"

#include <QDialog>

namespace lamp {

DialogUnits ShapeDialog(QDialog& dialog, const DialogShell& shell) {
  if (shell.deleteOnClose) {
    dialog.setAttribute(Qt::WA_DeleteOnClose);
  }
  Qt::WindowFlags flags = shell.toolWindow ? Qt::Tool : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
  if (shell.minimiseBox) {
    flags |= Qt::WindowMinimizeButtonHint;
  }
  dialog.setWindowFlags(flags);
  dialog.setModal(false);
  dialog.setWindowTitle(shell.title);
  const QFont font = DialogFont(shell.face, shell.points);
  dialog.setFont(font);
  return DialogUnits(font);
}

QSize FixTemplateSize(QWidget& dialog, const DialogUnits& units, QSize templateUnits, int above) {
  const QSize client = units.size(templateUnits.width(), templateUnits.height());
  dialog.setFixedSize(client.width(), above + client.height());
  return client;
}

} // namespace lamp
