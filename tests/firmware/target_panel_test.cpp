// The device descriptor from identify replies and the texts of the target panel.
#include <gtest/gtest.h>

#include <array>

#include "firmware/target_panel.h"

using namespace lamp::firmware;

TEST(TargetPanel, ShowsTheIdentifiedDeviceAndClears) {
  struct Case {
    std::array<std::uint8_t, 16> reply;
    TargetPanel::Values values;
    DeviceDescriptor descriptor;
  };
  const std::array<Case, 3> cases = {{
      {{0x5A, 0x01, 0x90, 0x80, 0x97, 0x02, 0x00, 0x80, 0x04, 0x00, 0x00, 0x80, 0x01, 0x00, 0x10,
        0x00},
       {"ATmega128", "128Kbyte", "1024 byte", "128 byte", "256 byte", "4096 byte"},
       {0x9702, 128, 1024, 128, 256, 4096}},
      {{0x5A, 0x01, 0x90, 0x80, 0x93, 0x07, 0x00, 0x08, 0x04, 0x00, 0x00, 0x20, 0x00, 0x40, 0x02,
        0x00},
       {"ATmega8", "8Kbyte", "1024 byte", "32 byte", "64 byte", "512 byte"},
       {0x9307, 8, 1024, 32, 64, 512}},
      {{0x5A, 0x01, 0x90, 0x80, 0x12, 0x34, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 1},
       {"--------", "65535Kbyte", "0 byte", "0 byte", "0 byte", "1 byte"},
       {0x1234, 65535, 0, 0, 0, 1}},
  }};
  for (const Case& c : cases) {
    TargetPanel panel;
    EXPECT_EQ(panel.ValueTexts()[0], "--------");
    panel.ShowDevice(c.reply.data());
    EXPECT_EQ(panel.ValueTexts(), c.values);
    const DeviceDescriptor& d = panel.Descriptor();
    EXPECT_EQ(d.signature, c.descriptor.signature);
    EXPECT_EQ(d.flashKBytes, c.descriptor.flashKBytes);
    EXPECT_EQ(d.bootSize, c.descriptor.bootSize);
    EXPECT_EQ(d.pageSize, c.descriptor.pageSize);
    EXPECT_EQ(d.pageBytes, c.descriptor.pageBytes);
    EXPECT_EQ(d.eepromSize, c.descriptor.eepromSize);
    panel.ClearDevice();
    for (const std::string& value : panel.ValueTexts()) {
      EXPECT_EQ(value, "--------");
    }
    EXPECT_EQ(panel.Descriptor().pageBytes, c.descriptor.pageBytes) << "the numbers stay";
  }
}

TEST(TargetPanel, NamesEverySignatureOfTheTable) {
  const std::array<std::pair<std::int32_t, const char*>, 11> names = {{
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
      {0x1E97, "--------"},
  }};
  for (const auto& [signature, name] : names) {
    EXPECT_STREQ(DeviceName(signature), name) << std::hex << signature;
  }
}
