#pragma once
// CRs232Setup, "Serial port setup": the serial port and its line parameters, kept in section
// "SERIAL" of the settings file. The six lists show the stored values (or the dialog's own
// defaults COM1, 19200, 8, NONE, 1, NONE where a key is missing). "Ok" after any selection
// change closes the port, writes all six keys, loads them into the serial-port object, opens it
// again and starts its threads; "Cancel", Escape and the close box change nothing.
//
// After a successful reopen, a host that implements SerialPortOwner takes the port's
// notifications over (see there).
//
// A stored value that the lists do not offer (a port typed into the file by hand, a speed of
// 4800) is shown as the list's current text and written back unchanged, so that changing
// another list does not wipe it. The port list offers COM1 to COM10 and then the serial devices
// present on the machine, each with its description where the system has one.
//
// GUI thread only.

#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "settings/profile_file.h"
#include "settings_dialogs/settings_dialog.h"

class QComboBox;
class QGroupBox;

namespace lamp {

class TextLabel;

class CRs232Setup : public SettingsDialog {
public:
  // The lists in the order of the settings keys: port, speed, data bits, parity, stop bits, flow.
  static constexpr int kLists = 6;
  static constexpr std::array<int, kLists> kListIds{1025, 1020, 1021, 1022, 1023, 1024};
  static constexpr int kOkIndex = 0;

  using Pause = std::function<void(std::chrono::milliseconds)>;

  // `pause` (the 100 ms between closing and reopening the port) defaults to sleeping.
  CRs232Setup(PanelHost& host, QWidget* parent, Pause pause = {});

  [[nodiscard]] QComboBox* List(int index) const {
    return lists_.at(static_cast<std::size_t>(index));
  }
  [[nodiscard]] TextLabel* Label(int index) const {
    return labels_.at(static_cast<std::size_t>(index));
  }
  // The text that "Ok" would write for list `index`.
  [[nodiscard]] const std::string& Text(int index) const {
    return texts_.at(static_cast<std::size_t>(index));
  }
  [[nodiscard]] bool Modified() const { return modified_ != 0; }

  // The apply step of "Ok": nothing unless a selection changed.
  void Apply();

private:
  void OnInitDialog() override;
  void OnButton(int index) override;
  void FillLists();
  void SelectStored();
  void MakeButtons();
  void MakeLabels();
  void Selected(int list, int item);

  Pause pause_;
  ProfileFile file_;
  int modified_ = 0;
  std::array<std::string, kLists> texts_;
  std::array<QComboBox*, kLists> lists_{};
  QGroupBox* group_ = nullptr;
  std::array<TextLabel*, kLists> labels_{};
};

} // namespace lamp
