#pragma once
// The About window of the main window's menu: the program's icon, name and version, and an OK
// button; 235 x 55 dialog units of the owner's font. Modal: returns when it is closed.
// User-interface thread.

#include <QWidget>

namespace lamp {

void ShowAboutBox(QWidget& owner);

} // namespace lamp
