#pragma once
// CAutomode, "Auto mode setup": which automatic sequence the controller runs (`autoKind`: Mode A
// or Mode B) and the chosen one's parameters. Mode A is one wait time per lamp (command 10);
// Mode B is a table of 32 steps with four lamp values and a wait time each (command 12) and a
// step range Begin..End (command 11). The radio buttons rebuild the grid for their mode, set
// `autoKind` and read that mode's data; Write sends the kind (command 8) and the shown mode's
// data with 1 ms between the commands. Replies fill whichever cells of the present grid their
// row and column address.
//
// GUI thread only.

#include <array>
#include <chrono>
#include <functional>

#include "settings_dialogs/data_dialog.h"

class QGroupBox;
class QRadioButton;

namespace lamp {

class TextLabel;

class CAutomode : public DataDialog {
public:
  static constexpr int kGridId = 20000;
  static constexpr int kGroupId = 1030;
  static constexpr int kModeARadio = 1028;
  static constexpr int kModeBRadio = 1029;
  static constexpr int kBeginId = 22000;
  static constexpr int kModeBSteps = 32;

  // Blocks the user-interface thread between commands (1 ms).
  using Pause = std::function<void(std::chrono::milliseconds)>;

  // `pause` defaults to sleeping the calling thread.
  CAutomode(PanelHost& host, QWidget* parent, Pause pause = {});

  [[nodiscard]] QRadioButton* Radio(int mode) const {
    return radios_.at(static_cast<std::size_t>(mode));
  }
  [[nodiscard]] TextLabel* Label(int index) const {
    return labels_.at(static_cast<std::size_t>(index));
  }

private:
  void OnInitDialog() override;
  void OnButton(int index) override;
  int EditModeFor(int row, int column) override;

  void BuildModeA();
  void BuildModeB();
  void ShowRange(bool visible);
  void SwitchMode(int kind);
  void PauseBriefly();

  Pause pause_;
  QGroupBox* group_ = nullptr;
  std::array<QRadioButton*, 2> radios_{};
  std::array<TextLabel*, 2> labels_{};
};

} // namespace lamp
