#pragma once
// What the reply dispatcher changes besides MachineState: the main panel and the open setup
// dialogs. The main window implements ReplyPanel; each setup dialog that shows controller data
// implements ReplyDialog. Every operation here is called on the user-interface thread only: the
// dispatcher thread hands each reply over to that thread and waits until it has been applied.

#include <cstdint>
#include <string>

#include "link/command_source.h"
#include "link/protocol.h"

namespace lamp {

// Control IDs of the user mode dialog's "Disable" and "Enable" radio buttons (one group).
inline constexpr int kUserModeDisableRadio = 1032;
inline constexpr int kUserModeEnableRadio = 1033;

class ReplyDialog {
public:
  // Writes `text` into the table cell at (row, column), both counted from 0. A row or column the
  // table does not have is not written.
  virtual void SetCellText(int row, int column, const std::string& text) = 0;
  // Writes `text` into edit field `index` (the numbering of DialogData::FieldText).
  virtual void SetFieldText(int index, const std::string& text) = 0;
  // CUserMode: checks radio button `checkedId` within the group firstId..lastId.
  virtual void CheckRadio(int firstId, int lastId, int checkedId) = 0;
  // CUserMode: makes `index` (0 to 3) the selected user.
  virtual void SetSelectedUser(int index) = 0;

protected:
  ~ReplyDialog() = default;
};

class ReplyPanel {
public:
  // Ends an in-place level edit without taking its value: hides the editor and shows the level
  // display it covered. Nothing when no edit is in progress.
  virtual void EndLevelEdit() = 0;
  // Refreshes the lamp buttons and the display colours from MachineState.
  virtual void RefreshLampButtons() = 0;
  // `level` of the level display of lamp `lamp` (0 to 3); 0 when the display does not exist.
  [[nodiscard]] virtual std::int32_t Level(int lamp) const = 0;
  // Writes `level` into the display of lamp `lamp` and redraws it.
  virtual void ShowLevel(int lamp, std::int32_t level) = 0;
  // Sets `cursorDigit` of all four displays.
  virtual void SetCursorDigits(std::int32_t digit) = 0;
  // Moves the cursor marker under the digit the displays now select.
  virtual void PlaceCursorMarker() = 0;
  virtual void SetTemperatureText(const std::string& text) = 0;
  virtual void SetFanText(const std::string& text) = 0;
  // Sets the member `state` of panel button `index` and sends it WM_BUTTON_PRESS, so that it acts
  // as if clicked (a two-state button flips `state` and notifies its click).
  virtual void PressButton(int index, std::int32_t state) = 0;
  // Sets the member `state` of panel button `index` and has it repaint without notifying.
  virtual void RepaintButton(int index, std::int32_t state) = 0;
  virtual void SetButtonCaption(int index, const std::string& caption) = 0;
  // The automatic-mode status label.
  virtual void ShowStatusLabel(bool visible) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  // The open setup dialog of that kind, or null while it is closed.
  [[nodiscard]] virtual ReplyDialog* OpenReplyDialog(SetupDialog which) = 0;

protected:
  ~ReplyPanel() = default;
};

} // namespace lamp
