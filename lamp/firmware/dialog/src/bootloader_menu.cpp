#include "firmware_dialog/bootloader_menu.h"

#include <algorithm>
#include <utility>

namespace lamp::firmware {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 14> kStrings = {{
    {kCmdWriteProgram, "Write Program(FLASH)\nWrite Program(FLASH)"},
    {kCmdWriteData, "Write Data(EEPROM)\nWrite Data(EEPROM)"},
    {kCmdReadProgram, "Read Program(FLASH)\nRead Program(FLASH)"},
    {kCmdReadData, "Read Data(EEPROM)\nRead Data(EEPROM)"},
    {kCmdEraseProgram, "Erase Program(FLASH)\nErase Program(FLASH)"},
    {kCmdEraseData, "Erase Data(EEPROM)\nErase Data(EEPROM)"},
    {kCmdJumpBoot, "Jump Boot Program\nJump Boot Program"},
    {kCmdJumpApplication, "Jump Application Program\nJump Application Program"},
    {kCmdBootloaderLock, "Bootloader Lock\nBootloader Lock"},
    {kCmdOpenProgramFile, "Open Program(FLASH) File\nOpen Program(FLASH) File"},
    {kCmdOpenDataFile, "Open Data(EEPROM) File\nOpen Data(EEPROM) File"},
    {kCmdSaveProgramFile, "Save Program(FLASH) File\nSave Program(FLASH) File"},
    {kCmdSaveDataFile, "Save Data(EEPROM) File\nSave Data(EEPROM) File"},
    {kCmdExit, "Exit\nExit"},
}};

constexpr std::size_t kMaxToolTip = 79;

} // namespace

std::string_view CommandString(int command) {
  const auto* it = std::find_if(kStrings.begin(), kStrings.end(),
                                [command](const auto& entry) { return entry.first == command; });
  return it == kStrings.end() ? std::string_view{} : it->second;
}

std::string_view CommandToolTip(int command) {
  const std::string_view text = CommandString(command);
  const std::size_t newline = text.find('\n');
  if (newline == std::string_view::npos) {
    return {};
  }
  return text.substr(newline + 1, kMaxToolTip);
}

} // namespace lamp::firmware
