#include "settings_dialogs/machine.h"

#include "controls/custom_list.h"

namespace lamp {

CMachine::CMachine(PanelHost& host, QWidget* parent)
    : DataDialog(host, OptionDialog::Machine, parent,
                 {QStringLiteral("System setup"), QSize(246, 254)}, Background::Plain) {}

void CMachine::OnInitDialog() {
  const int w = width();
  const int h = height();
  MakeGrid(kGridId, QRect(0, 0, w, h - 32),
           {QStringLiteral("ITEM"), QStringLiteral("MinVolt(mV)"), QStringLiteral("MaxVolt(mV)"),
            QStringLiteral("Offset")},
           {QStringLiteral("LAMP1"), QStringLiteral("LAMP2"), QStringLiteral("LAMP3"),
            QStringLiteral("LAMP4"), QStringLiteral("Thermistor")});
  const int top = h - 32;
  MakeReadWriteButtons(QRect(w - 256, top, 128, h - top), QRect(w - 128, top, 128, h - top));
  Host().SendCommand(command::kSystemSetup, kRead);
}

void CMachine::OnButton(int index) {
  Host().SendCommand(command::kSystemSetup, index == 0 ? kRead : kWrite);
}

int CMachine::EditModeFor(int row, int column) {
  if (column == 0 || (row == kThermistorRow && (column == 1 || column == 2))) {
    return 0;
  }
  return 1;
}

} // namespace lamp
