#pragma once
// The serial line's settings: section "SERIAL" of the settings file with six keys, each holding
// the text the serial port setup dialog offered.

#include <string_view>

#include "settings/profile_file.h"

namespace comlane {
class SerialPort;
}

namespace lamp {

inline constexpr std::string_view kSerialSection = "SERIAL";
inline constexpr std::string_view kPortKey = "PORT";
inline constexpr std::string_view kBaudRateKey = "BAUDRATE";
inline constexpr std::string_view kDataBitKey = "DATABIT";
inline constexpr std::string_view kParityKey = "PARITY";
inline constexpr std::string_view kStopBitKey = "STOPBIT";
inline constexpr std::string_view kFlowKey = "FLOW";

// Reads the six keys (a missing key gives "COM5", "57600", "8", "NONE", "1", "NONE") and sets,
// in this order: `portName` (the text as it is), `baudRate` (the decimal number at the start of
// the text, 0 without one), `byteSize` (likewise, kept in 8 bits), `parity` ("NONE" 0, "ODD" 1,
// "EVEN" 2, "MARK" 3, any other text 4), `stopBits` ("1" 0, "1.5" 1, any other 2) and
// `flowControl` ("NONE" 0, "XON/XOFF" 1, any other 2). Comparisons are exact and case-sensitive.
// A negative rate gives 0 (which Open refuses). Opens nothing; the caller opens the port
// afterwards.
void LoadSerialSettings(comlane::SerialPort& port, const ProfileFile& file);

} // namespace lamp
