#pragma once
// What the main window offers the settings and firmware dialogs that its option menu opens. The
// main window implements it; a dialog receives it when it is made (by the option dialog
// factories the program hands the main window) and keeps it for its whole life. Everything here is
// for the user-interface thread, except SerialPort(), whose object a worker thread may Write to.

#include <cstdint>

#include "link/command_source.h"
#include "link/machine_state.h"

namespace comlane {
class SerialPort;
}

namespace lamp {

class ControlFactory;

// The six dialogs of the option menu, in the order of its menu commands 10000 to 10005.
enum class OptionDialog { Automode, FanCtrl, Rs232Setup, Machine, Bootloader, UserMode };
inline constexpr int kOptionDialogCount = 6;
inline constexpr int kFirstOptionCommand = 10000;

// The option-menu dialog that holds the table of a setup dialog.
[[nodiscard]] constexpr OptionDialog OptionOf(SetupDialog which) {
  switch (which) {
  case SetupDialog::FanCtrl:
    return OptionDialog::FanCtrl;
  case SetupDialog::Machine:
    return OptionDialog::Machine;
  case SetupDialog::Automode:
    return OptionDialog::Automode;
  case SetupDialog::UserMode:
    break;
  }
  return OptionDialog::UserMode;
}

class PanelHost {
public:
  // SendCommand of the main window (command frames from MachineState, the panel and the open
  // dialogs).
  virtual void SendCommand(std::uint8_t command, std::int8_t direction) = 0;
  // The reads of commands 18, 1, 2, 3 and 8, in this order.
  virtual void SendStateReadBack() = 0;
  [[nodiscard]] virtual MachineState& State() = 0;
  // Refreshes the panel's lamp buttons and display colours from MachineState.
  virtual void RefreshLampButtons() = 0;
  // The program's one serial-port object; null when the serial library is missing.
  [[nodiscard]] virtual comlane::SerialPort* SerialPort() = 0;
  // Makes the outside libraries' buttons and displays for the dialog (controls/control_factory.h).
  [[nodiscard]] virtual ControlFactory& Controls() = 0;
  // A dialog calls this when it closes, so that the main window clears its reference. A dialog
  // object that is deleted clears the reference as well.
  virtual void DialogClosed(OptionDialog which) = 0;

protected:
  ~PanelHost() = default;
};

} // namespace lamp
