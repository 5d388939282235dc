// The main window's serial line through a loss and back (the LineHealer's host), and the serial
// port setup's reopening of the port.
#include <comlane/serial_port.h>

#include "app/main_window.h"
#include "firmware_dialog/bootloader.h"
#include "platform/gui_calls.h"

namespace lamp {

namespace {
constexpr int kLineBackShownMs = 3000;
} // namespace

void MainWindow::SerialPortReopened() {
  comlane::SerialPort* port = SerialPort();
  if (port == nullptr || shutDown_ || port->IsOpen() == 0) {
    return;
  }
  healer_.OnReopened();
}

CBootloader* MainWindow::OpenBootloader() const {
  return dialogs_.OpenedAs<CBootloader>(OptionDialog::Bootloader);
}

void MainWindow::ClosePort() {
  if (comlane::SerialPort* port = SerialPort()) {
    WaitServicing([port] { port->Close(); });
  }
}

bool MainWindow::TransferRunning() {
  const CBootloader* dialog = OpenBootloader();
  return dialog != nullptr && dialog->Protocol().Transferring();
}

void MainWindow::EndTransferForLostLine() {
  if (CBootloader* dialog = OpenBootloader()) {
    dialog->LineLost();
  }
}

void MainWindow::SetRetryTimer(int periodMs) {
  if (periodMs > 0) {
    setTimer(kLineRetryTimer, periodMs);
  } else {
    killTimer(kLineRetryTimer);
  }
}

void MainWindow::ShowLineStatus(const std::string& text) {
  panel_.SetStatusText(text);
  panel_.ShowStatusLabel(true);
  if (text == kLineBackText) {
    setTimer(kLineStatusTimer, kLineBackShownMs);
  } else {
    killTimer(kLineStatusTimer);
  }
}

void MainWindow::TakeLineOver() {
  comlane::SerialPort* port = SerialPort();
  if (port == nullptr || shutDown_) {
    return;
  }
  // A reply cut off when the old line went (an adapter pulled mid-frame) would otherwise be
  // finished with the first bytes of the new line and applied as a reply of the controller.
  // No byte of the new line has been handed over yet: its deliveries wait for this thread.
  framer_.Reset();
  port->SetOwner(this);
  dispatcher_.Start();
  // What the panel showed may never have reached the machine, or the machine may have changed
  // meanwhile. While the firmware dialog holds the line, replies would go to it: read back after.
  if (CBootloader* dialog = OpenBootloader()) {
    dialog->PortReopened();
    readBackPending_ = true;
  } else {
    SendStateReadBack();
  }
  StartPoll(CommandSender::kPollPeriodMs);
}

} // namespace lamp
