#pragma once
// What the command builder reads besides MachineState: the main panel's level displays and
// ON/OFF button, and the setup dialogs that are open. The main window implements CommandSource,
// each setup dialog implements DialogData. Everything here is called on the user-interface
// thread only, from inside CommandSender::SendCommand.

#include <cstdint>
#include <string>

namespace lamp {

// The setup dialogs whose data command frames carry.
enum class SetupDialog { FanCtrl, Machine, Automode, UserMode };

// The texts of one open setup dialog, as decimal text the operator sees.
class DialogData {
public:
  // Text of the table cell at (row, column), both counted from 0, column 0 being the row label.
  // Empty for a cell the table does not have.
  [[nodiscard]] virtual std::string CellText(int row, int column) const = 0;
  // Text of the dialog's edit field `index`: CFanCtrl 0 = fan start, 1 = fan off; CAutomode
  // 0 = Begin, 1 = End. Empty for a field the dialog does not have.
  [[nodiscard]] virtual std::string FieldText(int index) const = 0;
  // CUserMode: the selected user index (0 to 3). Other dialogs answer 0.
  [[nodiscard]] virtual int SelectedUser() const = 0;

protected:
  ~DialogData() = default;
};

class CommandSource {
public:
  // `level` and `cursorDigit` of the level display of lamp `lamp` (0 to 3).
  [[nodiscard]] virtual std::int32_t Level(int lamp) const = 0;
  [[nodiscard]] virtual std::int32_t CursorDigit(int lamp) const = 0;
  // The member `state` of the panel's ON/OFF button.
  [[nodiscard]] virtual std::int32_t OnOffState() const = 0;
  // The open dialog of that kind, or null while its reference in the main window is clear.
  [[nodiscard]] virtual const DialogData* OpenDialog(SetupDialog which) const = 0;
  // Refreshes the panel's lamp buttons from MachineState (after a user table write).
  virtual void RefreshLampButtons() = 0;

protected:
  ~CommandSource() = default;
};

// The main window's status-poll timer (timer 3).
class PollTimer {
public:
  virtual void StopPoll() = 0;
  // Starts the timer with `periodMs`, replacing a running instance.
  virtual void StartPoll(int periodMs) = 0;

protected:
  ~PollTimer() = default;
};

} // namespace lamp
