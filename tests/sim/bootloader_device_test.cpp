#include "sim/bootloader_device.h"

#include <gtest/gtest.h>

#include <numeric>

namespace sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// The simulator's side of the line as the bootloader sees it: frames are kept in order.
class RecordingLine final : public Line {
public:
  void SendFrame(std::vector<std::uint8_t> frame) override { frames.push_back(std::move(frame)); }
  void TraceReceived(std::span<const std::uint8_t>, std::string_view) override {}
  void SwitchTo(PersonalityKind) override {}
  std::vector<Bytes> frames;
};

Bytes Block(std::uint16_t address, std::size_t size, std::uint8_t fill) {
  Bytes block = {static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
  block.insert(block.end(), size, fill);
  block.push_back(static_cast<std::uint8_t>(std::accumulate(block.begin() + 2, block.end(), 0u)));
  return block;
}

class BootloaderDeviceTest : public ::testing::Test {
protected:
  BootloaderDeviceTest() : settings(*BootloaderSettings::ForDevice("ATmega8")) {}

  void Feed(const Bytes& bytes, TimePoint now) { device->OnBytes(bytes, now, line); }
  void Make() {
    memory = std::make_shared<BootloaderMemory>(settings);
    device = std::make_unique<BootloaderDevice>(settings, memory);
    device->OnActivate(t0, line);
  }

  const TimePoint t0 = TimePoint() + 1h;
  BootloaderSettings settings;
  std::shared_ptr<BootloaderMemory> memory;
  std::unique_ptr<BootloaderDevice> device;
  RecordingLine line;
};

TEST_F(BootloaderDeviceTest, ProgramPageIsAcknowledgedOnlyOnceItsPageTimeHasPassed) {
  EXPECT_EQ(settings.pageTime, 4500us);
  Make();
  Feed({0x5A, 0x01, 0x90, 0x81}, t0);
  Feed(Block(3, settings.pageBytes, 0x11), t0 + 1ms);
  EXPECT_TRUE(line.frames.empty());
  EXPECT_EQ(device->NextWakeup(), t0 + 1ms + 4500us);
  device->OnTime(t0 + 5499us, line);
  EXPECT_TRUE(line.frames.empty());
  device->OnTime(t0 + 5500us, line);
  ASSERT_EQ(line.frames.size(), 1u);
  EXPECT_EQ(line.frames[0], (Bytes{0x5A, 0x01, 0x90, 0x81, 0x06}));
  EXPECT_EQ(memory->Flash()[3 * settings.pageBytes], 0x11);
  EXPECT_EQ(device->NextWakeup(), TimePoint::max());
}

TEST_F(BootloaderDeviceTest, RefusedPagesDataBlocksAndOtherRequestsAreAnsweredAtOnce) {
  settings.pageTime = 20ms;
  Make();
  Bytes bad = Block(0, settings.pageBytes, 0x22);
  bad.back() ^= 1;
  Feed({0x5A, 0x01, 0x90, 0x81}, t0);
  Feed(bad, t0);
  Feed({0xFF, 0xFF, 0x5A, 0x01, 0x90, 0x82}, t0);
  Feed(Block(128, 128, 0x33), t0);
  Feed({0xFF, 0xFF, 0x5A, 0x01, 0x90, 0x80}, t0);
  ASSERT_EQ(line.frames.size(), 3u);
  EXPECT_EQ(line.frames[0], (Bytes{0x5A, 0x01, 0x90, 0x81, 0x15}));
  EXPECT_EQ(line.frames[1], (Bytes{0x5A, 0x01, 0x90, 0x82, 0x06}));
  EXPECT_EQ(line.frames[2].size(), 16u);
  EXPECT_EQ(memory->Eeprom()[128], 0x33);
}

TEST_F(BootloaderDeviceTest, AnswersKeepTheirOrderBehindAPageBeingProgrammed) {
  settings.pageTime = 10ms;
  Make();
  // The end of the write and an identify request arrive while page 0 is being programmed.
  Feed({0x5A, 0x01, 0x90, 0x81}, t0);
  Feed(Block(0, settings.pageBytes, 0x44), t0);
  Feed({0xFF, 0xFF, 0x5A, 0x01, 0x90, 0x80}, t0 + 1ms);
  EXPECT_TRUE(line.frames.empty());
  device->OnTime(t0 + 10ms, line);
  ASSERT_EQ(line.frames.size(), 2u);
  EXPECT_EQ(line.frames[0], (Bytes{0x5A, 0x01, 0x90, 0x81, 0x06}));
  EXPECT_EQ(line.frames[1][3], 0x80);
}

TEST_F(BootloaderDeviceTest, PulledPlugForgetsAnAnswerHeldForAPage) {
  Make();
  Feed({0x5A, 0x01, 0x90, 0x81}, t0);
  Feed(Block(0, settings.pageBytes, 0x55), t0);
  device->OnLineReset();
  device->OnTime(t0 + 1s, line);
  EXPECT_TRUE(line.frames.empty());
  EXPECT_EQ(device->NextWakeup(), TimePoint::max());
}

} // namespace
} // namespace sim
