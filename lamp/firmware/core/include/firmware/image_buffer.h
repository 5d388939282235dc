#pragma once
// The one firmware image buffer: 131072 bytes shared by program (FLASH) and data (EEPROM) images.
// Image index 0 holds the byte at the image's base address; index i the byte at base + i.

#include <array>
#include <cstddef>
#include <cstdint>

namespace lamp::firmware {

inline constexpr std::uint32_t kImageBufferBytes = 131072;

class ImageBuffer {
public:
  // Every byte starts as 0xFF, the value of erased memory.
  ImageBuffer();

  void Fill(std::uint8_t value) { bytes.fill(value); }
  [[nodiscard]] std::uint8_t* Data() { return bytes.data(); }
  [[nodiscard]] const std::uint8_t* Data() const { return bytes.data(); }
  [[nodiscard]] std::uint8_t& operator[](std::size_t index) { return bytes[index]; }
  [[nodiscard]] std::uint8_t operator[](std::size_t index) const { return bytes[index]; }
  [[nodiscard]] static constexpr std::uint32_t Size() { return kImageBufferBytes; }

private:
  std::array<std::uint8_t, kImageBufferBytes> bytes;
};

// The program-wide buffer, alive for the whole run. Its bytes outlive every firmware dialog.
[[nodiscard]] ImageBuffer& ProgramImageBuffer();

} // namespace lamp::firmware
