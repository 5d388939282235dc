#include "link/serial_data_handler.h"

#include <wndmsg/messages.h>

namespace lamp {

wndmsg::LResult SerialDataHandler::OnSerialData(wndmsg::WParam wParam, wndmsg::LParam lParam,
                                                wndmsg::MessageTarget* bootDialog) noexcept {
  if (wParam == 0 || lParam <= 0) {
    return 0;
  }
  if (bootDialog != nullptr) {
    static_cast<void>(bootDialog->SendMsg(wndmsg::WM_BOOT_DATA, wParam, lParam));
    return 0;
  }
  framer_.Feed(reinterpret_cast<const std::uint8_t*>(wParam), static_cast<std::size_t>(lParam));
  return 0;
}

} // namespace lamp
