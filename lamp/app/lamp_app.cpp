#include "lamp_app.h"

#include "firmware/bootloader.h"
#include "main_window.h"
#include "platform/gui_calls.h"
#include "settings/settings_dialogs.h"

namespace lamp {

namespace {

// The option menu's dialogs: the settings dialogs and the firmware upgrade dialog.
void RegisterOptionDialogs() {
  for (OptionDialog which :
       {OptionDialog::Automode, OptionDialog::FanCtrl, OptionDialog::Rs232Setup,
        OptionDialog::Machine, OptionDialog::UserMode}) {
    MainWindow::SetOptionDialogFactory(which, [which](PanelHost& host, QWidget* parent) {
      return MakeSettingsDialog(which, host, parent);
    });
  }
  MainWindow::SetOptionDialogFactory(OptionDialog::Bootloader, MakeBootloaderDialog);
}

} // namespace

LampApp::LampApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QStringLiteral("lamp"));
  QApplication::setApplicationDisplayName(QStringLiteral("lamp"));
}

int LampApp::Run() {
  RegisterOptionDialogs();
  {
    MainWindow window;
    window.Initialise();
    window.exec();
  }
  // Nobody services cross-thread calls once the main window is gone.
  RefuseGuiCalls(true);
  return 0;
}

} // namespace lamp
