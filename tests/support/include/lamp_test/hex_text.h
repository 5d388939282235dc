#pragma once
// Firmware images for tests: Intel HEX text for given bytes, and byte patterns that do not repeat
// from one page to the next.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lamp::test {

// Intel HEX text for `bytes` from `address` on: data records of 16 bytes, an extended linear
// address record before each 64 KiB above the first, then the end-of-file record; lines end in LF.
inline std::string HexText(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char line[64];
  const auto record = [&](std::uint8_t type, std::uint32_t at, const std::uint8_t* data,
                          std::size_t count) {
    unsigned sum = unsigned(count) + (at >> 8 & 0xFF) + (at & 0xFF) + type;
    std::snprintf(line, sizeof line, ":%02X%04X%02X", unsigned(count), at & 0xFFFF, type);
    text += line;
    for (std::size_t i = 0; i < count; ++i) {
      std::snprintf(line, sizeof line, "%02X", data[i]);
      text += line;
      sum += data[i];
    }
    std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += line;
  };
  std::uint32_t upper = address >> 16;
  for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
    const std::uint32_t at = address + std::uint32_t(offset);
    if (at >> 16 != upper) {
      upper = at >> 16;
      const std::uint8_t word[2] = {std::uint8_t(upper >> 8), std::uint8_t(upper)};
      record(0x04, 0, word, 2);
    }
    record(0x00, at, bytes.data() + offset, std::min<std::size_t>(16, bytes.size() - offset));
  }
  record(0x01, 0, nullptr, 0);
  return text;
}

// Bytes 0, 1, 2, ... (mod 251, so that no page repeats another) for `count` bytes.
inline std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t seed = 0) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = std::uint8_t((i + seed) % 251);
  }
  return bytes;
}

} // namespace lamp::test
