#include "settings/serial_settings.h"

#include <gtest/gtest.h>

#include <comlane/serial_port.h>

#include "lamp_test/attributes_only_port.h"
#include "lamp_test/temp_folder.h"

namespace lamp {
namespace {

using test::AttributesOnly;
using test::TempFolder;
using test::WriteFile;

struct Line {
  std::string portName;
  std::uint32_t baudRate;
  int byteSize, parity, stopBits, flowControl;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& l) {
  return out << "'" << l.portName << "' " << l.baudRate << " " << l.byteSize << " " << l.parity
             << " " << l.stopBits << " " << l.flowControl;
}

class SerialSettingsTest : public ::testing::Test {
protected:
  Line Load(const std::string& content) {
    WriteFile(folder.Path() / "lamp.INI", content);
    return Load();
  }
  Line Load() {
    AttributesOnly port;
    port.flowControl = 77;
    LoadSerialSettings(port, ProfileFile(folder.Path() / "lamp.INI"));
    return {port.portName, port.baudRate, port.byteSize,
            port.parity,   port.stopBits, port.flowControl};
  }

  TempFolder folder;
};

TEST_F(SerialSettingsTest, WithoutAFileTheLineIsCom5At57600EightNoneOne) {
  EXPECT_EQ(Load(), (Line{"COM5", 57600, 8, 0, 0, 0}));
  EXPECT_EQ(Load("[OTHER]\nPORT=COM1\n"), (Line{"COM5", 57600, 8, 0, 0, 0}));
}

TEST_F(SerialSettingsTest, TextsBecomeTheLineCodes) {
  struct Case {
    std::string key, value;
    Line expected;
  };
  const Line d{"COM5", 57600, 8, 0, 0, 0};
  const auto with = [&](auto change) {
    Line l = d;
    change(l);
    return l;
  };
  const std::vector<Case> cases = {
      {"PARITY", "NONE", d},
      {"PARITY", "ODD", with([](Line& l) { l.parity = 1; })},
      {"PARITY", "EVEN", with([](Line& l) { l.parity = 2; })},
      {"PARITY", "MARK", with([](Line& l) { l.parity = 3; })},
      {"PARITY", "SPACE", with([](Line& l) { l.parity = 4; })},
      {"PARITY", "none", with([](Line& l) { l.parity = 4; })},
      {"STOPBIT", "1.5", with([](Line& l) { l.stopBits = 1; })},
      {"STOPBIT", "2", with([](Line& l) { l.stopBits = 2; })},
      {"STOPBIT", "1.0", with([](Line& l) { l.stopBits = 2; })},
      {"FLOW", "XON/XOFF", with([](Line& l) { l.flowControl = 1; })},
      {"FLOW", "HARDWARE", with([](Line& l) { l.flowControl = 2; })},
      {"FLOW", "", with([](Line& l) { l.flowControl = 2; })},
      {"BAUDRATE", "4800", with([](Line& l) { l.baudRate = 4800; })},
      {"BAUDRATE", "fast", with([](Line& l) { l.baudRate = 0; })},
      {"BAUDRATE", "-9600", with([](Line& l) { l.baudRate = 0; })},
      {"BAUDRATE", "230400bps", with([](Line& l) { l.baudRate = 230400; })},
      {"DATABIT", "264", with([](Line& l) { l.byteSize = 8; })},
      {"DATABIT", "7", with([](Line& l) { l.byteSize = 7; })},
      {"PORT", "", with([](Line& l) { l.portName = ""; })},
      {"PORT", "/dev/serial/by-id/usb-x",
       with([](Line& l) { l.portName = "/dev/serial/by-id/usb-x"; })},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Load("[SERIAL]\n" + c.key + "=" + c.value + "\n"), c.expected)
        << c.key << "=" << c.value;
  }
}

TEST_F(SerialSettingsTest, ReadsWhatTheSetupDialogWrites) {
  const ProfileFile file(folder.Path() / "lamp.INI");
  for (const auto& [key, value] :
       std::vector<std::pair<std::string_view, std::string_view>>{{kPortKey, "COM2"},
                                                                  {kBaudRateKey, "115200"},
                                                                  {kDataBitKey, "7"},
                                                                  {kParityKey, "EVEN"},
                                                                  {kStopBitKey, "2"},
                                                                  {kFlowKey, "NONE"}}) {
    ASSERT_TRUE(file.WriteString(kSerialSection, key, value));
  }
  EXPECT_EQ(Load(), (Line{"COM2", 115200, 7, 2, 2, 0}));
}

} // namespace
} // namespace lamp
