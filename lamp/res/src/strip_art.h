#pragma once
// The bitmap strips of the buttons: each strip is its cells side by side, every cell drawn on its
// own and then made opaque around the strip's transparent colour.

#include <QImage>

namespace lamp_res {

QImage PaintLampButtons();
QImage PaintUserButtons();
QImage PaintArrows();
QImage PaintCommands();
QImage PaintReadWrite();
QImage PaintOkCancel();
QImage PaintToolBar();

} // namespace lamp_res
