#pragma once
// The command line of velora-flash:
//
//   velora-flash [options] identify | write FILE | verify FILE | read FILE
//
// Options may stand anywhere. Without --port and --baud the line settings come from section
// [SERIAL] of lamp.INI, as `lamp` reads them; either option overrides its key.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace flash {

enum class Command { Identify, Write, Verify, Read };

struct Options {
  Command command = Command::Identify;
  std::string file;
  std::optional<std::string> port;
  std::optional<std::uint32_t> baud;
  bool eeprom = false; // data memory (EEPROM) instead of program memory (FLASH)
  bool noJump = false; // stay in the bootloader at the end
  // How long the device has to answer the identify request after the entry pause.
  std::chrono::milliseconds identifyTimeout{5000};
  bool help = false;
  bool version = false;
};

struct ParseResult {
  Options options;
  // Empty when the command line is good; otherwise the one line that says what is wrong.
  std::string error;
};

[[nodiscard]] ParseResult ParseArguments(const std::vector<std::string>& arguments);

// The text of --help, exit codes included.
[[nodiscard]] const char* UsageText();

} // namespace flash
