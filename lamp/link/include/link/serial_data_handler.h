#pragma once
// The main window's handling of WM_SERIAL_DATA (wParam: address of the received bytes, lParam:
// their count). While the firmware upgrade dialog is open, the chunk goes to it unchanged and
// synchronously as WM_BOOT_DATA, and the framer neither sees it nor changes state; otherwise
// the bytes are fed to the reply framer in order.
//
// Threads: the user-interface thread only.

#include <wndmsg/message_target.h>

#include "link/reply_framer.h"

namespace lamp {

class SerialDataHandler {
public:
  explicit SerialDataHandler(ReplyFramer& framer) noexcept : framer_(framer) {}

  // `bootDialog`: the firmware upgrade dialog while it is open, otherwise null. A null address
  // or a count below 1 is ignored. Returns 0, the handler's answer to the sender.
  wndmsg::LResult OnSerialData(wndmsg::WParam wParam, wndmsg::LParam lParam,
                               wndmsg::MessageTarget* bootDialog) noexcept;

private:
  ReplyFramer& framer_;
};

} // namespace lamp
