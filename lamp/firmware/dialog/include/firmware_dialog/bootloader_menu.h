#pragma once
// The commands of the firmware upgrade dialog: menu 140 with its command IDs, the prompt and tool
// tip of each command, and the buttons of tool bar 143 with their images in bitmap 142.

#include <array>
#include <string_view>

namespace lamp::firmware {

inline constexpr int kCmdWriteProgram = 32771;
inline constexpr int kCmdWriteData = 32772;
inline constexpr int kCmdReadProgram = 32773;
inline constexpr int kCmdReadData = 32775;
inline constexpr int kCmdEraseProgram = 32776;
inline constexpr int kCmdEraseData = 32777;
inline constexpr int kCmdJumpBoot = 32778;
inline constexpr int kCmdJumpApplication = 32779;
inline constexpr int kCmdBootloaderLock = 32780;
inline constexpr int kCmdOpenProgramFile = 32781;
inline constexpr int kCmdOpenDataFile = 32782;
inline constexpr int kCmdSaveProgramFile = 32783;
inline constexpr int kCmdSaveDataFile = 32784;
inline constexpr int kCmdExit = 32785;

// Control IDs of the dialog's controls.
inline constexpr int kTargetGroupId = 51;
inline constexpr int kLabelId = 20000;
inline constexpr int kMemoryViewId = 20000;
inline constexpr int kProgressBarId = 4000;
inline constexpr int kCancelButtonId = 11000;
inline constexpr int kToolBarId = 0xE800;

// One entry of a menu popup: a command, or a separator (command 0).
struct MenuItem {
  std::string_view text;
  int command;
};

inline constexpr std::array<MenuItem, 7> kFileMenu = {{
    {"Open &Program(FLASH) File", kCmdOpenProgramFile},
    {"Open &Data(EEPROM) File", kCmdOpenDataFile},
    {"", 0},
    {"Save Program(&FLASH) File", kCmdSaveProgramFile},
    {"Save Data(&EEPROM) File", kCmdSaveDataFile},
    {"", 0},
    {"E&xit", kCmdExit},
}};

inline constexpr std::array<MenuItem, 13> kCommandMenu = {{
    {"&Write Program(FLASH)", kCmdWriteProgram},
    {"Write Data(EEP&ROM)", kCmdWriteData},
    {"", 0},
    {"Read Program(F&LASH)", kCmdReadProgram},
    {"Read Data(EEPR&OM)", kCmdReadData},
    {"", 0},
    {"&Erase Program(FLASH)", kCmdEraseProgram},
    {"Er&ase Data(EEPROM)", kCmdEraseData},
    {"", 0},
    {"Jump &Boot Program", kCmdJumpBoot},
    {"Jump &Application Program", kCmdJumpApplication},
    {"", 0},
    {"Bootloader &Lock", kCmdBootloaderLock},
}};

// Tool bar buttons in order, separators as 0. The n-th command takes image n of the strip.
inline constexpr std::array<int, 18> kToolBarButtons = {kCmdOpenProgramFile,
                                                        kCmdOpenDataFile,
                                                        kCmdSaveProgramFile,
                                                        kCmdSaveDataFile,
                                                        0,
                                                        kCmdWriteProgram,
                                                        kCmdWriteData,
                                                        kCmdReadProgram,
                                                        kCmdReadData,
                                                        kCmdEraseProgram,
                                                        kCmdEraseData,
                                                        0,
                                                        kCmdJumpBoot,
                                                        kCmdJumpApplication,
                                                        0,
                                                        kCmdBootloaderLock,
                                                        0,
                                                        kCmdExit};

// The string of a command: its prompt, a newline, its tool tip. Empty for an unknown command.
[[nodiscard]] std::string_view CommandString(int command);

// The tool tip of a command: the text after the newline of its string, at most 79 characters.
[[nodiscard]] std::string_view CommandToolTip(int command);

} // namespace lamp::firmware
