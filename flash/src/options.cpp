#include "flash/options.h"

#include <cstdlib>

namespace flash {
namespace {

bool ParseUnsigned(const std::string& text, unsigned long long limit, unsigned long long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 12) {
    return false;
  }
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value >= 1 && value <= limit;
}

} // namespace

const char* UsageText() {
  return "usage: velora-flash [options] COMMAND\n"
         "\n"
         "Upgrades the Velora controller's firmware through its bootloader.\n"
         "\n"
         "commands:\n"
         "  identify       enter the bootloader and show the device it reports\n"
         "  write FILE     write an Intel HEX file, read the memory back and compare it byte\n"
         "                 for byte, then return to the application\n"
         "  verify FILE    compare the device's memory with an Intel HEX file\n"
         "  read FILE      save the device's memory as an Intel HEX file (a backup)\n"
         "\n"
         "options:\n"
         "  --port NAME    serial port (/dev/ttyUSB0, COM3, ...); default: PORT= in lamp.INI\n"
         "  --baud N       line rate in bit/s; default: BAUDRATE= in lamp.INI\n"
         "  --eeprom       work on the data memory (EEPROM) instead of the program memory\n"
         "  --no-jump      stay in the bootloader at the end instead of starting the application\n"
         "  --timeout S    seconds the device has to answer the identify request (default 5)\n"
         "  --version      print the version and exit\n"
         "  --help         print this text and exit\n"
         "\n"
         "lamp.INI is read from $XDG_CONFIG_HOME (default ~/.config), on Windows from the\n"
         "Windows folder; section [SERIAL].\n"
         "A progress bar is drawn on a terminal; otherwise progress is printed as plain lines.\n"
         "Ctrl-C during a write ends the transfer as the dialog's Cancel does (FF FF).\n"
         "\n"
         "exit codes:\n"
         "  0    success\n"
         "  1    verify mismatch: the device's memory differs from the file\n"
         "  2    bad command line, or a file that is not Intel HEX or does not fit the device\n"
         "  3    device not answering (no identify reply, a block not acknowledged, a read\n"
         "       that stopped or kept failing its checksums)\n"
         "  4    serial port missing, busy, not allowed, or lost during the work\n"
         "  5    the bootloader refused a block of the write\n"
         "  130  interrupted by Ctrl-C\n";
}

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
  ParseResult result;
  Options& options = result.options;
  std::vector<std::string> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--eeprom") {
      options.eeprom = true;
    } else if (arg == "--no-jump") {
      options.noJump = true;
    } else if (arg == "--port" || arg == "--baud" || arg == "--timeout") {
      if (i + 1 >= arguments.size()) {
        result.error = arg + " needs a value";
        return result;
      }
      const std::string& value = arguments[++i];
      unsigned long long number = 0;
      if (arg == "--port") {
        if (value.empty()) {
          result.error = "--port needs a name";
          return result;
        }
        options.port = value;
      } else if (arg == "--baud") {
        if (!ParseUnsigned(value, 0xFFFFFFFFull, number)) {
          result.error = "--baud: not a line rate: " + value;
          return result;
        }
        options.baud = static_cast<std::uint32_t>(number);
      } else {
        if (!ParseUnsigned(value, 3600, number)) {
          result.error = "--timeout: not a number of seconds from 1 to 3600: " + value;
          return result;
        }
        options.identifyTimeout = std::chrono::seconds(number);
      }
    } else if (arg.size() > 1 && arg.front() == '-') {
      result.error = "unknown option " + arg;
      return result;
    } else {
      words.push_back(arg);
    }
  }
  if (options.help || options.version) {
    return result;
  }
  if (words.empty()) {
    result.error = "no command given";
    return result;
  }
  const std::string& command = words.front();
  const bool takesFile = command == "write" || command == "verify" || command == "read";
  if (command == "identify") {
    options.command = Command::Identify;
  } else if (command == "write") {
    options.command = Command::Write;
  } else if (command == "verify") {
    options.command = Command::Verify;
  } else if (command == "read") {
    options.command = Command::Read;
  } else {
    result.error = "unknown command " + command;
    return result;
  }
  if (takesFile && words.size() != 2) {
    result.error = command + " needs one FILE";
    return result;
  }
  if (!takesFile && words.size() != 1) {
    result.error = command + " takes no FILE";
    return result;
  }
  if (takesFile) {
    options.file = words[1];
  }
  return result;
}

} // namespace flash
