#pragma once
// Everything the simulated Velora controller keeps. Values are held as the wire carries them.

#include <array>
#include <cstdint>

namespace sim {

struct ControllerState {
  // Lamp switch byte as last written (bits 0-3 switch lamps 1-4; the program keeps its display
  // marks in bits 4-7, so the byte is stored and reported whole).
  std::uint8_t lampMask = 0xF0;
  // Lamp selection while user mode is on.
  std::uint16_t userLampMask = 0;
  std::array<std::int16_t, 4> levels{0, 0, 0, 0};
  std::uint8_t cursorDigit = 0;
  // The machine's ON/OFF switch.
  bool powerOn = false;

  std::uint8_t userMode = 0;
  std::uint8_t selectedUser = 0;
  std::array<std::array<std::int16_t, 4>, 4> userTable{};

  // Automatic sequences. autoKind 0 = Mode A, 1 = Mode B.
  std::uint8_t autoKind = 0;
  bool autoRunning = false;
  std::array<std::int16_t, 4> modeAWait{2, 2, 2, 2};
  // Mode B steps: levels of lamps 1-4, then the wait in seconds.
  std::array<std::array<std::int16_t, 5>, 32> modeBTable{};
  std::uint8_t modeBBegin = 0;
  std::uint8_t modeBEnd = 3;

  // Fan thresholds in degrees Celsius, the fan and the measured temperature.
  std::uint8_t fanStart = 45;
  std::uint8_t fanOff = 40;
  bool fanOn = false;
  std::int16_t temperature = 25;

  // System setup: per lamp min volt, max volt, offset; the thermistor's offset.
  std::array<std::array<std::int16_t, 3>, 4> machineTable{};
  std::int16_t thermistorOffset = 0;
};

} // namespace sim
