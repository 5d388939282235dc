#pragma once
// The controller's wire protocol: the bytes of a frame, the directions, the command numbers and
// the indices of the main panel's buttons. Every value here is fixed by the controller and its
// bootloader; the program, the simulator and the command-line upgrader take them from this one
// place. Nothing here has code or state.
//
// Frame (command and reply alike; every field one byte, no checksum):
//
//   offset 0            kFrameStart, 0x5A ("Z")
//   offset 1            length of the whole frame in bytes, start and end bytes counted
//   offset 2            kFrameFixed, always 0x01
//   offset 3            command number (below)
//   offset 4            direction: kWrite carries the program's values, kRead asks for the
//                       controller's; the controller's own reports (13, 14, 17) carry kWrite
//   offset 5 ...        payload: u8 (low 8 bits) and le16 (16-bit two's complement, low byte
//                       first) values, per command
//   offset length - 1   kFrameEnd, 0x03
//
// A frame without payload has kEmptyFrameBytes; the longest command frame (command 12) has
// kLongestCommandBytes. Replies are cut into slots of 20 bytes (ReplyRing).
//
// The bootloader entry frame has this layout too, with command kBootloaderCommand and the
// direction byte kBootloaderEntryDirection. The bootloader's own messages begin with
// kBootloaderHeader and follow their own layout (the firmware core's firmware/bootloader_wire.h).

#include <array>
#include <cstdint>

namespace lamp {

inline constexpr std::uint8_t kFrameStart = 0x5A;
inline constexpr std::uint8_t kFrameFixed = 0x01;
inline constexpr std::uint8_t kFrameEnd = 0x03;

inline constexpr int kLengthOffset = 1;
inline constexpr int kFixedOffset = 2;
inline constexpr int kCommandOffset = 3;
inline constexpr int kDirectionOffset = 4;
inline constexpr int kPayloadOffset = 5;

inline constexpr int kEmptyFrameBytes = 6;
inline constexpr int kLongestCommandBytes = 17;

// Directions (the byte at kDirectionOffset).
inline constexpr std::int8_t kWrite = 0;
inline constexpr std::int8_t kRead = 1;

// Command numbers. Where a write and a read differ, the write's payload is named; a read asks
// the controller for the same values, and its reply carries them in the write's layout.
namespace command {
// u8 lampMask, 0x00; or le16 userLampMask while userMode is set.
inline constexpr std::uint8_t kLampSwitch = 1;
// le16 level of lamps 1 to 4.
inline constexpr std::uint8_t kLampLevels = 2;
// u8 cursorDigit; the read carries it too.
inline constexpr std::uint8_t kCursorDigit = 3;
// u8 autoRunning: starts (1) or stops (0) the automatic sequence.
inline constexpr std::uint8_t kAutoRun = 4;
// u8 state of the ON/OFF button.
inline constexpr std::uint8_t kOnOff = 5;
// No payload.
inline constexpr std::uint8_t kReset = 6;
// Read only; the reply carries le16 temperature and u8 fan state.
inline constexpr std::uint8_t kStatusPoll = 7;
// u8 autoKind: 0 Mode A, 1 Mode B.
inline constexpr std::uint8_t kAutoKind = 8;
// Fan start and fan off temperatures, u8 each (CFanCtrl).
inline constexpr std::uint8_t kFanTemperatures = 9;
// Mode A table: le16 wait of lamps 1 to 4 (CAutomode).
inline constexpr std::uint8_t kModeATable = 10;
// Mode B range: u8 Begin, u8 End (CAutomode).
inline constexpr std::uint8_t kModeBRange = 11;
// Mode B table: a burst of 32 rows, u8 row and five le16 (CAutomode).
inline constexpr std::uint8_t kModeBTable = 12;
// System setup table: a burst of 4 lamp rows and the thermistor row (CMachine).
inline constexpr std::uint8_t kSystemSetup = 16;
// u8 userMode.
inline constexpr std::uint8_t kUserMode = 18;
// User table: a burst of 4 rows, u8 userMode, u8 row and four le16 (CUserMode).
inline constexpr std::uint8_t kUserTable = 19;
// Write only: u8 the selected user slot (CUserMode).
inline constexpr std::uint8_t kSelectedUser = 20;
// Write only: 0x00, when the user mode dialog closes.
inline constexpr std::uint8_t kUserDialogClosed = 21;
// Write only: u8 the selected user and four le16 of its row (CUserMode).
inline constexpr std::uint8_t kSelectedUserRow = 22;

// Reports the controller sends on its own; they have no command frame. 15 is not used.
// The automatic sequence ended: u8 autoRunning.
inline constexpr std::uint8_t kAutoStopped = 13;
// One step of the automatic sequence: u8 kind ('A' or 'B'), u8 step, then in Mode B four le16.
inline constexpr std::uint8_t kAutoStep = 14;
// The machine's ON/OFF key was pressed: u8 the new state.
inline constexpr std::uint8_t kOnOffKey = 17;

inline constexpr std::uint8_t kFirst = 1;
inline constexpr std::uint8_t kLast = 22;
} // namespace command

// The first payload byte of a kAutoStep report.
inline constexpr std::uint8_t kModeAStep = 0x41; // 'A'
inline constexpr std::uint8_t kModeBStep = 0x42; // 'B'

// Sent to the controller's application to start its bootloader: 5A 06 01 90 87 03.
inline constexpr std::uint8_t kBootloaderCommand = 0x90;
inline constexpr std::uint8_t kBootloaderEntryDirection = 0x87;
inline constexpr std::array<std::uint8_t, kEmptyFrameBytes> kBootloaderEntryFrame = {
    kFrameStart,        kEmptyFrameBytes,          kFrameFixed,
    kBootloaderCommand, kBootloaderEntryDirection, kFrameEnd};
// The first three bytes of every bootloader request and reply: 5A 01 90.
inline constexpr std::array<std::uint8_t, 3> kBootloaderHeader = {kFrameStart, kFrameFixed,
                                                                  kBootloaderCommand};

// Indices of the main panel's twelve buttons; their control IDs are 6000 + index. Buttons 0 to 3
// are the lamp buttons, lamp n + 1 at index n.
inline constexpr int kLampButtonCount = 4;
inline constexpr int kLeftButton = 4;
inline constexpr int kRightButton = 5;
inline constexpr int kUpButton = 6;
inline constexpr int kDownButton = 7;
inline constexpr int kAutoButton = 8;
inline constexpr int kOnOffButton = 9;
inline constexpr int kResetButton = 10;
inline constexpr int kOptionButton = 11;
inline constexpr int kPanelButtonCount = 12;

} // namespace lamp
