#pragma once
// The serial devices present on this machine, for the port list of the serial port setup
// dialog: /dev/ttyUSB*, /dev/ttyACM*, the /dev/ttyS* that stand for a port the kernel found
// (sysfs reports a UART type other than 0 for them), and the links in /dev/serial/by-id. Each
// comes with a readable description where sysfs provides one (for USB adapters the maker and
// product names).
//
// Any thread; reads the file system only.

#include <filesystem>
#include <string>
#include <vector>

namespace lamp {

struct SerialDevice {
  std::string name;        // the path to open, as written to the settings file
  std::string description; // empty when the system offers none
};

// The devices in the order USB adapters, ACM modems, built-in ports, by-id links; within a kind
// by number (ttyUSB2 before ttyUSB10). `root` stands for "/" (the folders dev and sys are looked
// up below it); the names returned are always the paths below "/".
[[nodiscard]] std::vector<SerialDevice> ListSerialDevices(const std::filesystem::path& root = "/");

} // namespace lamp
