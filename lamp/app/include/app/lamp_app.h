#pragma once
// LampApp: the program. It sets up the application object, runs the one MainWindow modally and
// ends the program when that window closes.

#include <QApplication>

#include "app/option_dialogs.h"

namespace lamp {

// The option menu's dialogs of the program: the settings dialogs and the firmware upgrade
// dialog.
[[nodiscard]] OptionDialogFactories ProgramOptionDialogs();

class LampApp {
public:
  LampApp(int& argc, char** argv);
  LampApp(const LampApp&) = delete;
  LampApp& operator=(const LampApp&) = delete;

  // Builds the main window, runs it until it closes, destroys it. Returns the exit code (0).
  // GUI thread.
  int Run();

private:
  QApplication application_;
};

} // namespace lamp
