// The port list's devices, found in a made-up file system tree laid out as /dev and sysfs are.

#include <gtest/gtest.h>

#include "lamp_test/temp_folder.h"
#include "settings_dialogs/serial_devices.h"

namespace lamp::test {
namespace {

namespace fs = std::filesystem;

TEST(SerialDevices, AdaptersModemsPresentBuiltInPortsAndByIdLinksWithDescriptions) {
  TempFolder root;
  const fs::path dev = root.Path() / "dev";
  const fs::path sys = root.Path() / "sys";
  fs::create_directories(dev / "serial/by-id");
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS", "tty0"}) {
    WriteFile(dev / name, "");
  }
  // A USB adapter: the tty's device lies below the interface, below the USB device that names
  // maker and product.
  const fs::path usb = sys / "devices/pci0000:00/usb1/1-1";
  fs::create_directories(usb / "1-1:1.0/ttyUSB2");
  WriteFile(usb / "product", "FT232R USB UART\n");
  WriteFile(usb / "manufacturer", "FTDI\n");
  fs::create_directories(sys / "class/tty/ttyUSB2");
  fs::create_symlink(usb / "1-1:1.0/ttyUSB2", sys / "class/tty/ttyUSB2/device");
  // Built-in ports: ttyS0 has a UART, ttyS1 none (type 0).
  for (const auto& [name, type] : {std::pair{"ttyS0", "4\n"}, std::pair{"ttyS1", "0\n"}}) {
    fs::create_directories(sys / "class/tty" / name);
    WriteFile(sys / "class/tty" / name / "type", type);
  }
  fs::create_symlink("../../ttyUSB2", dev / "serial/by-id/usb-FTDI_FT232R-if00-port0");

  const std::vector<SerialDevice> devices = ListSerialDevices(root.Path());
  std::vector<std::pair<std::string, std::string>> found;
  for (const SerialDevice& device : devices) {
    found.emplace_back(device.name, device.description);
  }
  EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{
                       {"/dev/ttyUSB2", "FTDI FT232R USB UART"},
                       {"/dev/ttyUSB10", ""},
                       {"/dev/ttyACM0", ""},
                       {"/dev/ttyS0", "built-in serial port"},
                       {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "link to ttyUSB2"}}));
}

TEST(SerialDevices, NothingPresentGivesAnEmptyList) {
  TempFolder root;
  EXPECT_TRUE(ListSerialDevices(root.Path()).empty());
}

} // namespace
} // namespace lamp::test
