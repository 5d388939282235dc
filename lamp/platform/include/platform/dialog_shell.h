#pragma once
// The window of a dialog made from its template, set up alike for the main window and the dialogs
// it opens: the caption with its system menu and close box, the frame (a dialog's, or a tool
// window's thin one), the template's font, and the fixed size the template's dialog units give.
// The dialogs the main window opens are also modeless and deleted once closed. GUI thread.
//
//   const DialogUnits units = ShapeDialog(*this, {.title = QStringLiteral("Fan control"),
//                                                 .face = QStringLiteral("Verdana"),
//                                                 .points = 8});
//   FixTemplateSize(*this, units, QSize(200, 120));

#include <QColor>
#include <QSize>
#include <QString>

#include "platform/dialog_units.h"

class QDialog;
class QWidget;

namespace lamp {

struct DialogShell {
  QString title{};
  // The template's font, in which its dialog units count.
  QString face{};
  int points = 8;
  bool toolWindow = true;     // a tool window's thin caption, else a dialog's
  bool minimiseBox = false;   // a minimise box in the caption
  bool deleteOnClose = false; // deleted once closed
};

// The near-white the program's plain windows are filled with.
inline const QColor kPlainGround(254, 254, 254);

// Sets up `dialog` as `shell` says: caption, frame and boxes, modeless, deleted once closed when
// asked, the template's font. Returns the dialog units of that font.
DialogUnits ShapeDialog(QDialog& dialog, const DialogShell& shell);

// Fixes the size of `dialog` to the template's client area of `templateUnits` dialog units, with
// `above` pixels more on top (a menu bar above the client area). Returns the client area's size
// in pixels.
QSize FixTemplateSize(QWidget& dialog, const DialogUnits& units, QSize templateUnits,
                      int above = 0);

} // namespace lamp
