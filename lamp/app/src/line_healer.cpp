#include "app/line_healer.h"

#include <comlane/serial_port.h>

namespace lamp {

void LineHealer::OnLineLost() {
  if (lost_) {
    return;
  }
  lost_ = true;
  host_.StopPoll();
  host_.ShowLineStatus(kLineLostText);
  host_.EndTransferForLostLine();
  host_.SetRetryTimer(kLineRetryPeriodMs);
}

void LineHealer::OnRetryTick() {
  comlane::SerialPort* port = host_.SerialPort();
  if (!lost_ || port == nullptr) {
    host_.SetRetryTimer(0);
    return;
  }
  if (host_.TransferRunning()) {
    return;
  }
  // Closed first so that Open finds nothing to close and does not pause.
  host_.ClosePort();
  if (port->Open() == 0) {
    return;
  }
  if (port->StartThreads() == 0) {
    host_.ClosePort();
    return;
  }
  OnReopened();
}

void LineHealer::OnReopened() {
  const bool wasLost = lost_;
  lost_ = false;
  host_.SetRetryTimer(0);
  host_.TakeLineOver();
  if (wasLost) {
    host_.ShowLineStatus(kLineBackText);
  }
}

} // namespace lamp
