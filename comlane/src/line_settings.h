#pragma once
// The line attributes that Open applies, in the form the back ends take them.

#include <cstdint>

namespace comlane {

struct LineSettings {
  std::uint32_t baudRate = 0; // bit/s, above 0
  std::uint8_t byteSize = 8;  // 5 to 8
  std::uint8_t parity = 0;    // kParity*
  std::uint8_t stopBits = 0;  // kStop*
};

// True if every attribute is within its range (a speed of 0 would hang up the line).
[[nodiscard]] bool IsValid(const LineSettings& settings);

enum class ModemLine { kRts, kDtr };

} // namespace comlane
