#include "settings_dialogs/user_mode.h"

#include <QGroupBox>
#include <QRadioButton>
#include <wndmsg/messages.h>

#include "controls/custom_list.h"
#include "controls/list_records.h"
#include "link/decimal_text.h"

namespace lamp {

namespace {

constexpr int kEditBox = 1;
constexpr int kDropDown = 2;

} // namespace

CUserMode::CUserMode(PanelHost& host, QWidget* parent)
    : DataDialog(host, OptionDialog::UserMode, parent,
                 {QStringLiteral("User Mode Setting.."), QSize(298, 142), false},
                 Background::Plain) {
  group_ = new QGroupBox(this);
  group_->setGeometry(UnitsRect(7, 7, 284, 27));
  radios_[0] = MakeRadio(QStringLiteral("Disable"), UnitsRect(16, 15, 51, 15));
  radios_[1] = MakeRadio(QStringLiteral("Enable"), UnitsRect(72, 15, 51, 15));
  for (int on = 0; on < 2; ++on) {
    connect(radios_[static_cast<std::size_t>(on)], &QRadioButton::clicked, this,
            [this, on] { SwitchUserMode(on); });
  }
  onMessage(wndmsg::WM_CELL_CHANGED, &CUserMode::OnCellChanged);
}

CUserMode::~CUserMode() {
  // The controller hears of the close box once more when the window is gone.
  if (closedByCloseBox_ && ClosedWithHostAlive()) {
    Host().SendCommand(command::kUserDialogClosed, kWrite);
  }
}

void CUserMode::OnInitDialog() {
  const int w = width();
  const int h = height();
  MakeGrid(kGridId, QRect(13, 64, w - 26, h - 96),
           {QStringLiteral("ITEM"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
            QStringLiteral("4")},
           {QStringLiteral("USER1"), QString(), QString(), QString()});
  const int top = grid_->geometry().bottom() + 1;
  MakeReadWriteButtons(QRect(w - 243, top, 114, h - top), QRect(w - 128, top, 114, h - top));
  Host().SendCommand(command::kUserTable, kRead);
}

void CUserMode::OnButton(int index) {
  Host().SendCommand(command::kUserTable, index == 0 ? kRead : kWrite);
}

void CUserMode::OnEscape() {
  Host().SendCommand(command::kUserDialogClosed, kWrite);
}

void CUserMode::OnCloseBox() {
  Host().SendCommand(command::kUserDialogClosed, kWrite);
  closedByCloseBox_ = true;
}

void CUserMode::SwitchUserMode(int on) {
  Host().State().userMode.store(on);
  Host().SendCommand(command::kUserMode, kWrite);
  Host().SendStateReadBack();
  Host().RefreshLampButtons();
}

void CUserMode::CheckRadio(int firstId, int lastId, int checkedId) {
  if (checkedId < firstId || checkedId > lastId) {
    return;
  }
  const int index = checkedId - firstId;
  if (index >= 0 && index < 2) {
    radios_[static_cast<std::size_t>(index)]->setChecked(true);
  }
}

void CUserMode::SetSelectedUser(int index) {
  if (index >= 0 && index < kUsers) {
    selectedUser_ = index;
  }
}

int CUserMode::EditModeFor(int row, int column) {
  if (row == 0 && column == 0) {
    grid_->ClearChoices();
    for (int user = 1; user <= kUsers; ++user) {
      grid_->AddChoice(QString::asprintf("USER%d", user));
    }
    return kDropDown;
  }
  if (row == selectedUser_ && column >= 1 && column <= 4) {
    return kEditBox;
  }
  return 0;
}

LResult CUserMode::OnCellChanged(WParam, LParam lParam) {
  const bool userModeOn = Host().State().userMode.load() != 0;
  const int mode = grid_->editMode();
  if (mode == kEditBox) {
    if (userModeOn) {
      Host().SendCommand(command::kSelectedUserRow, kWrite);
    }
  } else if (mode != 0) {
    const auto* item = reinterpret_cast<const ListItem*>(lParam);
    if (item == nullptr || item->text == nullptr || item->text->isEmpty()) {
      return 0;
    }
    // The picked name ends in the user's number: USER3 is user index 2.
    const int user = DecimalValue(item->text->right(1).toStdString()) - 1;
    if (user < 0 || user >= kUsers) {
      return 0;
    }
    selectedUser_ = user;
    if (userModeOn) {
      Host().SendCommand(command::kSelectedUser, kWrite);
    }
  }
  return 0;
}

} // namespace lamp
