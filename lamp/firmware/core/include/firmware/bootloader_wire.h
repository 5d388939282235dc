#pragma once
// The bytes the controller's bootloader speaks, header only, for the firmware core and the
// simulated bootloader alike.
//
//   request                5A 01 90 <sub-command>
//   write block            address (2 bytes, MSB first), n image bytes, checksum (sum of the n
//                          bytes mod 256); after the last: FF FF
//   acknowledgement        5A 01 90 <sub-command> <06 ACK or 15 NAK>
//   identify reply         5A 01 90 80, six 2-byte words (TargetPanel)
//   read block             5A 01 90 <83 or 84>, address (2 bytes, MSB first; FF FF ends the
//                          read), n image bytes, checksum
//   read answer            5A 01 90 <83 or 84> <06 ACK or 15 NAK>

#include <array>
#include <cstddef>
#include <cstdint>

#include <link/protocol.h>

namespace lamp::firmware {

// Sub-commands: the fourth byte of every request and reply.
inline constexpr std::uint8_t kBootIdentify = 0x80;
inline constexpr std::uint8_t kBootWriteProgram = 0x81;
inline constexpr std::uint8_t kBootWriteData = 0x82;
inline constexpr std::uint8_t kBootReadProgram = 0x83;
inline constexpr std::uint8_t kBootReadData = 0x84;
inline constexpr std::uint8_t kBootJumpApplication = 0x88;
inline constexpr std::uint8_t kBootAck = 0x06;
inline constexpr std::uint8_t kBootNak = 0x15;

// A request, and the start of every reply: the header and the sub-command.
inline constexpr std::array<std::uint8_t, 4> BootMessage(std::uint8_t subCommand) {
  return {kBootloaderHeader[0], kBootloaderHeader[1], kBootloaderHeader[2], subCommand};
}
inline constexpr std::size_t kBootMessageBytes = 4;
// An acknowledgement, or the answer to a read block: the message and ACK, or NAK.
inline constexpr std::array<std::uint8_t, kBootMessageBytes + 1> BootAnswer(std::uint8_t subCommand,
                                                                            bool accepted) {
  return {kBootloaderHeader[0], kBootloaderHeader[1], kBootloaderHeader[2], subCommand,
          accepted ? kBootAck : kBootNak};
}
// Where a read block's image bytes start, after the message and the address.
inline constexpr std::size_t kReadBlockDataOffset = kBootMessageBytes + 2;

inline constexpr std::int32_t kWriteAckBytes = 5;
inline constexpr std::int32_t kJumpAckBytes = 5;
// EEPROM goes in blocks of 128 bytes at byte addresses; FLASH in pages at page numbers.
inline constexpr std::int32_t kDataBlockBytes = 128;
inline constexpr std::int32_t kDataReadBlockBytes = kDataBlockBytes + 7;
// The address of the read block that ends a read.
inline constexpr std::uint16_t kEndOfRead = 0xFFFF;
// The address sent after the last block of a write (and by a writer leaving early).
inline constexpr std::array<std::uint8_t, 2> kEndOfWrite = {0xFF, 0xFF};

} // namespace lamp::firmware
