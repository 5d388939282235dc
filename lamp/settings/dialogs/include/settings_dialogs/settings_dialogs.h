#pragma once
// The option menu's settings dialogs, for the main window's dialog factories.

#include "link/panel_host.h"

class QWidget;

namespace lamp {

// A new settings dialog of kind `which` with `parent`, not yet shown (it initialises itself and
// sends its first reads when first shown). Null for a kind that is not a settings dialog (the
// firmware upgrade dialog). GUI thread.
[[nodiscard]] QWidget* MakeSettingsDialog(OptionDialog which, PanelHost& host, QWidget* parent);

} // namespace lamp
