#include "settings_dialogs/automode.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <thread>

#include "controls/custom_list.h"
#include "controls/list_headers.h"
#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"

namespace lamp {

namespace {

void SleepFor(std::chrono::milliseconds time) {
  std::this_thread::sleep_for(time);
}

} // namespace

CAutomode::CAutomode(PanelHost& host, QWidget* parent, Pause pause)
    : DataDialog(host, OptionDialog::Automode, parent,
                 {QStringLiteral("Auto mode setup"), QSize(310, 369)}, Background::Plain),
      pause_(pause ? std::move(pause) : Pause(SleepFor)) {
  group_ = new QGroupBox(this);
  group_->setGeometry(UnitsRect(7, 7, 296, 31));
  radios_[0] = MakeRadio(QStringLiteral("Mode A"), UnitsRect(26, 20, 40, 10));
  radios_[1] = MakeRadio(QStringLiteral("Mode B"), UnitsRect(70, 20, 40, 10));
  for (int kind = 0; kind < 2; ++kind) {
    connect(radios_[static_cast<std::size_t>(kind)], &QRadioButton::clicked, this,
            [this, kind] { SwitchMode(kind); });
  }
}

void CAutomode::OnInitDialog() {
  const int w = width();
  const int h = height();

  // Begin and End, each a label over its box, right of the radio buttons.
  const QRect r = group_->geometry();
  const int left = (r.width() / 4) * 3;
  QRect label(QPoint(left, r.top()), QPoint(left + 64 - 1, r.height() / 2 + 18 - 1));
  const QFont font = FieldFont(16);
  const QString captions[2] = {QStringLiteral("Begin"), QStringLiteral("End")};
  const QColor backgrounds[2] = {QColor(248, 168, 0), QColor(248, 178, 97)};
  for (int i = 0; i < 2; ++i) {
    const auto n = static_cast<std::size_t>(i);
    labels_[n] = MakeLabel(captions[n], SS_CENTER | SS_CENTERIMAGE, 10, label);
    const QRect box(QPoint(label.left(), label.bottom() + 1 - 4),
                    QPoint(label.right(), r.bottom() + 1 - 4 - 1));
    MakeField(i, kBeginId + i, box, backgrounds[n], QColor(42, 116, 179), font);
    label.translate(64, 0);
  }
  Host().SendCommand(command::kModeBRange, kRead);

  MakeGrid(kGridId, QRect(13, 64, w - 26, h - 96), {}, {});
  if (Host().State().autoKind.load() == 1) {
    BuildModeB();
    radios_[1]->setChecked(true);
  } else {
    BuildModeA();
    radios_[0]->setChecked(true);
  }

  const int top = grid_->geometry().bottom() + 1;
  MakeReadWriteButtons(QRect(w - 269, top, 128, h - top), QRect(w - 141, top, 128, h - top));
}

void CAutomode::ShowRange(bool visible) {
  for (std::size_t i = 0; i < 2; ++i) {
    labels_[i]->setVisible(visible);
    fields_[i]->setVisible(visible);
  }
}

void CAutomode::BuildModeA() {
  ShowRange(false);
  FillListHeaders(*grid_, {QStringLiteral("ITEM"), QStringLiteral("Wait(Sec)")},
                  {QStringLiteral("LAMP1"), QStringLiteral("LAMP2"), QStringLiteral("LAMP3"),
                   QStringLiteral("LAMP4")},
                  4, 2);
  for (int column = 0; column < 2; ++column) {
    grid_->SetColumnWidth(column, grid_->ClientWidth() / 2);
  }
  Host().SendCommand(command::kModeATable, kRead);
}

void CAutomode::BuildModeB() {
  ShowRange(true);
  const QStringList titles = {QStringLiteral("No"),    QStringLiteral("LAMP1"),
                              QStringLiteral("LAMP2"), QStringLiteral("LAMP3"),
                              QStringLiteral("LAMP4"), QStringLiteral("Wait(Sec)")};
  for (int column = 0; column < titles.size(); ++column) {
    grid_->InsertColumn(column, titles[column], ColumnFormat::Centre);
  }
  for (int row = 0; row < kModeBSteps; ++row) {
    grid_->InsertItem(row, QString::asprintf("%02d", row));
  }
  // The rows need the vertical scroll bar: let the list lay itself out so that its client width
  // no longer includes the bar's.
  QCoreApplication::sendPostedEvents(grid_, QEvent::LayoutRequest);
  for (int column = 0; column < titles.size(); ++column) {
    grid_->SetColumnWidth(column, grid_->ClientWidth() / 6);
  }
  Host().SendCommand(command::kModeBRange, kRead);
  Host().SendCommand(command::kModeBTable, kRead);
}

void CAutomode::SwitchMode(int kind) {
  grid_->DeleteAllItems();
  for (int column = grid_->GetColumnCount() - 1; column >= 0; --column) {
    grid_->removeColumn(column);
  }
  if (kind == 0) {
    BuildModeA();
  } else {
    BuildModeB();
  }
  Host().State().autoKind.store(kind);
}

void CAutomode::PauseBriefly() {
  pause_(std::chrono::milliseconds(1));
}

void CAutomode::OnButton(int index) {
  const bool modeB = Host().State().autoKind.load() == 1;
  if (index == 0) {
    if (modeB) {
      Host().SendCommand(command::kModeBRange, kRead);
      PauseBriefly();
      Host().SendCommand(command::kModeBTable, kRead);
    } else {
      Host().SendCommand(command::kModeATable, kRead);
    }
    return;
  }
  Host().State().autoKind.store(modeB ? 1 : 0);
  Host().SendCommand(command::kAutoKind, kWrite);
  PauseBriefly();
  if (modeB) {
    Host().SendCommand(command::kModeBRange, kWrite);
    PauseBriefly();
    Host().SendCommand(command::kModeBTable, kWrite);
  } else {
    Host().SendCommand(command::kModeATable, kWrite);
  }
}

int CAutomode::EditModeFor(int, int column) {
  return column == 0 ? 0 : 1;
}

} // namespace lamp
