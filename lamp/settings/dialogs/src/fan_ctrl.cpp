#include "settings_dialogs/fan_ctrl.h"

#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"

namespace lamp {

CFanCtrl::CFanCtrl(PanelHost& host, QWidget* parent)
    : DataDialog(host, OptionDialog::FanCtrl, parent,
                 {QStringLiteral("Fan control"), QSize(126, 58)}, Background::Gradient) {}

void CFanCtrl::OnInitDialog() {
  const int w = width();
  const int h = height();

  const QString captions[2] = {QStringLiteral("FAN START [\u2103]"),
                               QStringLiteral("  FAN OFF   [\u2103]")};
  QRect label(0, 0, w / 2 + 48, (h - 32) / 2);
  for (std::size_t i = 0; i < 2; ++i) {
    labels_[i] = MakeLabel(captions[i], SS_CENTER | SS_CENTERIMAGE, 11, label);
    label.translate(0, label.height());
  }

  const QFont font = FieldFont(25);
  QRect box(QPoint(w / 2 + 48, 6), QPoint(w - 1, (h - 32) / 2 - 1));
  for (int i = 0; i < 2; ++i) {
    MakeField(i, kFieldId, box, QColor(230, 230, 230), QColor(248, 168, 97), font);
    box.translate(0, box.height() + 6);
  }

  MakeReadWriteButtons(QRect(w - 144, h - 32, 72, 32), QRect(w - 72, h - 32, 72, 32));
  Host().SendCommand(command::kFanTemperatures, kRead);
}

void CFanCtrl::OnButton(int index) {
  Host().SendCommand(command::kFanTemperatures, index == 0 ? kRead : kWrite);
}

} // namespace lamp
