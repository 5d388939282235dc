#pragma once
// Controller values travel through the dialogs as decimal text and become integers only when a
// command frame is built.

#include <cstdint>
#include <string_view>

namespace lamp {

// The integer at the start of `text`: optional leading white space and sign, then decimal digits
// up to the first non-digit; 0 if there are none. Values beyond 32 bits saturate at the 32-bit
// limits, as the platform's text-to-integer conversion does.
[[nodiscard]] std::int32_t DecimalValue(std::string_view text) noexcept;

// The low 8 bits of `value`.
[[nodiscard]] constexpr std::uint8_t LowByte(std::int32_t value) noexcept {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

// The high byte of `value` reduced to 16 bits in two's complement.
[[nodiscard]] constexpr std::uint8_t HighByte16(std::int32_t value) noexcept {
  return static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) >> 8) & 0xFFu);
}

// The signed 16-bit value with low byte `lo` and high byte `hi`, sign-extended.
[[nodiscard]] constexpr std::int32_t Signed16(std::uint8_t lo, std::uint8_t hi) noexcept {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

} // namespace lamp
