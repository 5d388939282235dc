#include "line_settings.h"

#include <comlane/serial_port.h>

namespace comlane {

bool IsValid(const LineSettings& settings) {
  return settings.baudRate > 0 && settings.byteSize >= 5 && settings.byteSize <= 8 &&
         settings.parity <= kParitySpace && settings.stopBits <= kStopTwo;
}

} // namespace comlane
