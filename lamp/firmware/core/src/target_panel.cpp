#include "firmware/target_panel.h"

#include <string>

namespace lamp::firmware {
namespace {

struct DeviceEntry {
  std::int32_t signature;
  const char* name;
};

constexpr std::array<DeviceEntry, 10> kDeviceTable = {{
    {0x9307, "ATmega8"},
    {0x9403, "ATmega16"},
    {0x9502, "ATmega32"},
    {0x9602, "ATmega64"},
    {0x9702, "ATmega128"},
    {0x9404, "ATmega162"},
    {0x9402, "ATmega163"},
    {0x9405, "ATmega169"},
    {0x9306, "ATmega8515"},
    {0x9308, "ATmega8535"},
}};

std::int32_t WordAt(const std::uint8_t* reply, int offset) {
  return reply[offset] * 256 + reply[offset + 1];
}

std::string Bytes(std::int32_t value) {
  return std::to_string(value) + " byte";
}

} // namespace

const char* DeviceName(std::int32_t signature) {
  for (const DeviceEntry& entry : kDeviceTable) {
    if (entry.signature == signature) {
      return entry.name;
    }
  }
  return kNoDeviceText;
}

void TargetPanel::ShowDevice(const std::uint8_t* reply) {
  descriptor.signature = WordAt(reply, 4);
  descriptor.flashKBytes = WordAt(reply, 6);
  descriptor.bootSize = WordAt(reply, 8);
  descriptor.pageSize = WordAt(reply, 10);
  descriptor.pageBytes = WordAt(reply, 12);
  descriptor.eepromSize = WordAt(reply, 14);
  values[0] = DeviceName(descriptor.signature);
  values[1] = std::to_string(descriptor.flashKBytes) + "Kbyte";
  values[2] = Bytes(descriptor.bootSize);
  values[3] = Bytes(descriptor.pageSize);
  values[4] = Bytes(descriptor.pageBytes);
  values[5] = Bytes(descriptor.eepromSize);
}

void TargetPanel::ClearDevice() {
  values.fill(kNoDeviceText);
}

} // namespace lamp::firmware
