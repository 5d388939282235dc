#include "port_shared.h"

#include <wndmsg/messages.h>

namespace comlane {

void Deliver(PortShared& shared, const std::uint8_t* bytes, std::size_t n, Chunk& delivery) {
  if (n == 0 || shared.receiveQueue.Append(bytes, n) < n) {
    return;
  }
  delivery.fill(0);
  const std::size_t taken = shared.receiveQueue.Take(delivery.data(), n);
  if (wndmsg::MessageTarget* owner = shared.owner.load()) {
    owner->SendMsg(wndmsg::WM_SERIAL_DATA, reinterpret_cast<wndmsg::WParam>(delivery.data()),
                   static_cast<wndmsg::LParam>(taken));
  }
}

void ReportLost(PortShared& shared, bool& reported) {
  if (reported || !shared.receive.running) {
    return;
  }
  reported = true;
  if (wndmsg::MessageTarget* owner = shared.owner.load()) {
    owner->SendMsg(wndmsg::WM_SERIAL_LOST, 0, 0);
  }
}

} // namespace comlane
