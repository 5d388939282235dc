#pragma once
// The target device as its bootloader describes it in the identify reply, the signature table
// that names it, and the six value texts of the dialog's "Target" panel.
//
// Threads: used on the user-interface thread only.

#include <array>
#include <cstdint>
#include <string>

namespace lamp::firmware {

// Identify reply: 5A 01 90 80, then six 16-bit words, most significant byte first.
inline constexpr int kIdentifyReplyBytes = 16;

// A reply is at most 512 bytes; a program-memory read block is page bytes + 7 long.
inline constexpr std::int32_t kMaxPageBytes = 505;

struct DeviceDescriptor {
  std::int32_t signature = 0;   // signature bytes 1 and 2, without the manufacturer byte
  std::int32_t flashKBytes = 0; // program memory in K bytes
  std::int32_t bootSize = 0;    // boot section size
  std::int32_t pageSize = 0;    // page size
  std::int32_t pageBytes = 0;   // bytes per program-memory page: block size of reads and writes
  std::int32_t eepromSize = 0;  // data memory in bytes

  // True when page bytes lie within 1 to 505: only such a device can be read or written.
  [[nodiscard]] bool Usable() const { return pageBytes >= 1 && pageBytes <= kMaxPageBytes; }
};

// Captions of the panel's left column, each ending in two blanks.
inline constexpr std::array<const char*, 6> kTargetCaptions = {
    "DEVICE:  ", "FLASH SIZE:  ", "BOOT SIZE:  ", "PAGE SIZE:  ", "PAGE BYTE:  ", "EEPROM SIZE:  "};

// Value shown before identification and for an unknown signature.
inline constexpr const char* kNoDeviceText = "--------";

// The name of a signature ("ATmega128" for 0x9702), or "--------" for one not in the table.
[[nodiscard]] const char* DeviceName(std::int32_t signature);

class TargetPanel {
public:
  using Values = std::array<std::string, 6>;

  TargetPanel() { ClearDevice(); }

  // Fills the descriptor from an identify reply (at least 16 bytes) and sets the six values:
  // the name, "%dKbyte", and "%d byte" for the other four.
  void ShowDevice(const std::uint8_t* reply);
  // Sets the six values to "--------"; the descriptor keeps its numbers.
  void ClearDevice();

  [[nodiscard]] const DeviceDescriptor& Descriptor() const { return descriptor; }
  // Right-column texts in the order of kTargetCaptions.
  [[nodiscard]] const Values& ValueTexts() const { return values; }

private:
  DeviceDescriptor descriptor;
  Values values;
};

} // namespace lamp::firmware
