#include "dialog_host.h"

#include <QTest>
#include <algorithm>
#include <comlane/serial_port.h>
#include <wndmsg/messages.h>

#include "platform/gui_calls.h"

#include "settings_dialogs/settings_dialogs.h"

namespace lamp::test {

Bytes Frame(std::uint8_t command, std::uint8_t direction, const Bytes& payload) {
  Bytes frame(payload.size() + 6);
  frame[0] = 0x5A;
  frame[1] = static_cast<std::uint8_t>(frame.size());
  frame[2] = 0x01;
  frame[3] = command;
  frame[4] = direction;
  std::copy(payload.begin(), payload.end(), frame.begin() + 5);
  frame.back() = 0x03;
  return frame;
}

DialogHost::DialogHost(PtyPair& peer, bool withButtons)
    : DialogHost(peer.DevicePath(), withButtons) {
  peer_ = &peer;
}

DialogHost::DialogHost(const std::string& device, bool withButtons)
    : sender_(state_, *this, *this) {
  onMessage(wndmsg::WM_SERIAL_DATA, [this](WParam wParam, LParam lParam) {
    return serialData_.OnSerialData(wParam, lParam, nullptr);
  });
  if (withButtons) {
    controls_.SetButtonLibrary(LoadProgramLibrary(LAMP_BIN_DIR "/libknoblet.so"));
  }
  port_ = Rs232Class();
  port_->portName = device;
  port_->baudRate = 57600;
  if (port_->Open() != 0) {
    port_->SetOwner(this);
    port_->StartThreads();
  }
  sender_.SetPort(port_);
}

DialogHost::~DialogHost() {
  for (QPointer<QWidget>& dialog : dialogs_) {
    delete dialog.data();
  }
  comlane::SerialPort* port = port_;
  WaitServicing([port] { port->Close(); });
  port->SetOwner(nullptr);
  port->Destroy(1);
}

QWidget* DialogHost::Open(OptionDialog which, bool activate) {
  QPointer<QWidget>& open = dialogs_[static_cast<std::size_t>(which)];
  if (!open.isNull()) {
    open->activateWindow();
    return open.data();
  }
  return Adopt(which, MakeSettingsDialog(which, *this, this), activate);
}

QWidget* DialogHost::Adopt(OptionDialog which, QWidget* dialog, bool activate) {
  dialogs_[static_cast<std::size_t>(which)] = dialog;
  if (dialog != nullptr) {
    dialog->show();
    if (!activate) {
      return dialog;
    }
    // Focus moves (editors closing when they lose it) need the window to be the active one.
    dialog->activateWindow();
    static_cast<void>(QTest::qWaitForWindowActive(dialog));
  }
  return dialog;
}

QWidget* DialogHost::OpenDialogOf(OptionDialog which) const {
  return dialogs_[static_cast<std::size_t>(which)].data();
}

std::vector<Bytes> DialogHost::Frames(std::size_t count, std::chrono::milliseconds within) {
  std::vector<Bytes> frames;
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (frames.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    Bytes frame =
        peer_->ReceiveFrame(std::max(left, std::chrono::milliseconds(1)), std::chrono::seconds(2));
    if (frame.size() < 2 || frame[1] < 2) {
      break;
    }
    frames.push_back(std::move(frame));
  }
  return frames;
}

bool DialogHost::Quiet() {
  return peer_->Receive(1, std::chrono::milliseconds(200)).empty();
}

bool DialogHost::Reply(const std::vector<Bytes>& frames) {
  for (const Bytes& frame : frames) {
    peer_->Send(frame);
  }
  const int expected = static_cast<int>(frames.size());
  if (!QTest::qWaitFor([&] { return ring_.Waiting() >= expected; }, 5000)) {
    return false;
  }
  ApplyWaiting();
  return true;
}

int DialogHost::ApplyWaiting() {
  int applied = 0;
  while (const auto entry = ring_.Take()) {
    applier_.Apply(*entry);
    ++applied;
  }
  return applied;
}

void DialogHost::SendCommand(std::uint8_t command, std::int8_t direction) {
  sender_.SendCommand(command, direction);
}

void DialogHost::SendStateReadBack() {
  sender_.SendStateReadBack();
}

void DialogHost::SerialPortReopened() {
  ++reopened;
  port_->SetOwner(this);
}

void DialogHost::DialogClosed(OptionDialog which) {
  dialogs_[static_cast<std::size_t>(which)] = nullptr;
}

const DialogData* DialogHost::OpenDialog(SetupDialog which) const {
  return dynamic_cast<const DialogData*>(OpenDialogOf(OptionOf(which)));
}

ReplyDialog* DialogHost::OpenReplyDialog(SetupDialog which) {
  return dynamic_cast<ReplyDialog*>(OpenDialogOf(OptionOf(which)));
}

} // namespace lamp::test
