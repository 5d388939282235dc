#include "app/lamp_app.h"

#include "app/main_window.h"
#include "firmware_dialog/bootloader.h"
#include "platform/gui_calls.h"
#include "settings_dialogs/settings_dialogs.h"

namespace lamp {

OptionDialogFactories ProgramOptionDialogs() {
  OptionDialogFactories factories;
  for (OptionDialog which :
       {OptionDialog::Automode, OptionDialog::FanCtrl, OptionDialog::Rs232Setup,
        OptionDialog::Machine, OptionDialog::UserMode}) {
    factories[static_cast<std::size_t>(which)] = [which](PanelHost& host, QWidget* parent) {
      return MakeSettingsDialog(which, host, parent);
    };
  }
  factories[static_cast<std::size_t>(OptionDialog::Bootloader)] = MakeBootloaderDialog;
  return factories;
}

LampApp::LampApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QStringLiteral("lamp"));
  QApplication::setApplicationDisplayName(QStringLiteral("lamp"));
}

int LampApp::Run() {
  {
    MainWindow window({.dialogs = ProgramOptionDialogs()});
    window.Initialise();
    window.exec();
  }
  // Nobody services cross-thread calls once the main window is gone.
  RefuseGuiCalls(true);
  return 0;
}

} // namespace lamp
