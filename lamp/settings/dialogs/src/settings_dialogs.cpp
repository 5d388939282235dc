#include "settings_dialogs/settings_dialogs.h"

#include "settings_dialogs/automode.h"
#include "settings_dialogs/fan_ctrl.h"
#include "settings_dialogs/machine.h"
#include "settings_dialogs/rs232_setup.h"
#include "settings_dialogs/user_mode.h"

namespace lamp {

QWidget* MakeSettingsDialog(OptionDialog which, PanelHost& host, QWidget* parent) {
  switch (which) {
  case OptionDialog::Automode:
    return new CAutomode(host, parent);
  case OptionDialog::FanCtrl:
    return new CFanCtrl(host, parent);
  case OptionDialog::Rs232Setup:
    return new CRs232Setup(host, parent);
  case OptionDialog::Machine:
    return new CMachine(host, parent);
  case OptionDialog::UserMode:
    return new CUserMode(host, parent);
  case OptionDialog::Bootloader:
    break;
  }
  return nullptr;
}

} // namespace lamp
