#pragma once
// CFanCtrl, "Fan control": the controller's two fan thresholds in degrees Celsius, FAN START
// (the fan switches on) and FAN OFF (it switches off), in two boxes of at most two digits. The
// dialog reads them (command 9) when it opens and on Read and sends both on Write; the reply
// shows them with at least two digits.
//
// GUI thread only.

#include <array>

#include "settings_dialogs/data_dialog.h"

namespace lamp {

class TextLabel;

class CFanCtrl : public DataDialog {
public:
  static constexpr int kFieldId = 2001;

  CFanCtrl(PanelHost& host, QWidget* parent);

  // The FAN START (0) and FAN OFF (1) captions.
  [[nodiscard]] TextLabel* Label(int index) const {
    return labels_.at(static_cast<std::size_t>(index));
  }

private:
  void OnInitDialog() override;
  void OnButton(int index) override;
  int EditModeFor(int, int) override { return 0; }

  std::array<TextLabel*, 2> labels_{};
};

} // namespace lamp
