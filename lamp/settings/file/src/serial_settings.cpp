#include "settings/serial_settings.h"

#include <string>

#include <comlane/serial_port.h>

#include "link/decimal_text.h"

namespace lamp {

void LoadSerialSettings(comlane::SerialPort& port, const ProfileFile& file) {
  const auto read = [&file](std::string_view key, std::string_view fallback) {
    return file.ReadString(kSerialSection, key, fallback);
  };

  port.portName = read(kPortKey, "COM5");

  // A negative rate is no rate at all: 0, which the port refuses to open with, instead of a
  // huge unsigned number.
  const std::int32_t baud = DecimalValue(read(kBaudRateKey, "57600"));
  port.baudRate = baud > 0 ? static_cast<std::uint32_t>(baud) : 0;

  port.byteSize = LowByte(DecimalValue(read(kDataBitKey, "8")));

  const std::string parity = read(kParityKey, "NONE");
  port.parity = parity == "NONE"   ? comlane::kParityNone
                : parity == "ODD"  ? comlane::kParityOdd
                : parity == "EVEN" ? comlane::kParityEven
                : parity == "MARK" ? comlane::kParityMark
                                   : comlane::kParitySpace;

  const std::string stopBits = read(kStopBitKey, "1");
  port.stopBits = stopBits == "1"     ? comlane::kStopOne
                  : stopBits == "1.5" ? comlane::kStopOneAndHalf
                                      : comlane::kStopTwo;

  const std::string flow = read(kFlowKey, "NONE");
  port.flowControl = flow == "NONE" ? 0 : flow == "XON/XOFF" ? 1 : 2;
}

} // namespace lamp
