#pragma once
// CMachine, "System setup": the controller's calibration table in a 5 x 4 grid. Rows LAMP1 to
// LAMP4 carry a minimum and a maximum voltage (mV) and an offset, the Thermistor row only an
// offset. The dialog reads the table (command 16) when it opens and on Read, and sends the whole
// table on Write; replies fill the rows. The texts in the grid are the only copy it holds.
//
// GUI thread only.

#include "settings_dialogs/data_dialog.h"

namespace lamp {

class CMachine : public DataDialog {
public:
  static constexpr int kGridId = 20000;
  static constexpr int kThermistorRow = 4;

  CMachine(PanelHost& host, QWidget* parent);

private:
  void OnInitDialog() override;
  void OnButton(int index) override;
  int EditModeFor(int row, int column) override;
};

} // namespace lamp
