#pragma once
// CUserMode, "User Mode Setting..": switches user mode on and off in the controller (Disable /
// Enable, command 18 followed by the state read-back), shows the four users' values (command
// 19), lets the operator pick the user to work on (the drop-down in the first row's label cell)
// and edit that user's row. While user mode is on, a picked user is sent at once (command 20)
// and so is a committed value of the selected user's row (command 22). Closing tells the
// controller (command 21): twice by the close box, once by Escape.
//
// GUI thread only.

#include <array>

#include "settings_dialogs/data_dialog.h"

class QGroupBox;
class QRadioButton;

namespace lamp {

class CUserMode : public DataDialog {
public:
  static constexpr int kGridId = 27000;
  static constexpr int kGroupId = 1031;
  static constexpr int kUsers = 4;

  CUserMode(PanelHost& host, QWidget* parent);
  ~CUserMode() override;

  // "Disable" (0) and "Enable" (1).
  [[nodiscard]] QRadioButton* Radio(int index) const {
    return radios_.at(static_cast<std::size_t>(index));
  }

  // DialogData: the selected user (0 to 3).
  [[nodiscard]] int SelectedUser() const override { return selectedUser_; }
  // ReplyDialog: checks "Enable" or "Disable"; selects a user (indices outside 0..3 are not
  // users and are ignored).
  void CheckRadio(int firstId, int lastId, int checkedId) override;
  void SetSelectedUser(int index) override;

private:
  void OnInitDialog() override;
  void OnButton(int index) override;
  void OnEscape() override;
  void OnCloseBox() override;
  int EditModeFor(int row, int column) override;
  LResult OnCellChanged(WParam wParam, LParam lParam);
  void SwitchUserMode(int on);

  QGroupBox* group_ = nullptr;
  std::array<QRadioButton*, 2> radios_{};
  int selectedUser_ = 0;
  bool closedByCloseBox_ = false;
};

} // namespace lamp
