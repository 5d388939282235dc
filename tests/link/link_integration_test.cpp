// The whole controller link on a real line: SendCommand writes through Comlane onto a pty, the
// simulated controller answers from the far side, Comlane delivers the reply as WM_SERIAL_DATA
// and the framer commits it to the ReplyRing, byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <comlane/serial_port.h>
#include <wndmsg/messages.h>

#include "lamp_test/temp_folder.h"
#include "link/command_sender.h"
#include "link/serial_data_handler.h"
#include "sim/simulator.h"

namespace lamp {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// The main window's part: it frames what the port delivers. Deliveries come one at a time from
// Comlane's receive thread, so the framer still has a single writer.
class FramingOwner final : public wndmsg::MessageTarget {
public:
  explicit FramingOwner(SerialDataHandler& handler) : handler_(handler) {}
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override {
    return msg == wndmsg::WM_SERIAL_DATA ? handler_.OnSerialData(wParam, lParam, nullptr) : 0;
  }
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

private:
  SerialDataHandler& handler_;
};

class Panel final : public CommandSource, public PollTimer {
public:
  std::int32_t Level(int lamp) const override { return 100 * (lamp + 1); }
  std::int32_t CursorDigit(int) const override { return 1; }
  std::int32_t OnOffState() const override { return 0; }
  const DialogData* OpenDialog(SetupDialog) const override { return nullptr; }
  void RefreshLampButtons() override {}
  void StopPoll() override {}
  void StartPoll(int) override {}
};

ReplyRing::Slot Entry(const Bytes& bytes) {
  ReplyRing::Slot slot{};
  std::copy(bytes.begin(), bytes.end(), slot.begin());
  return slot;
}

class LinkIntegrationTest : public ::testing::Test {
protected:
  void TearDown() override {
    if (port_ != nullptr) {
      port_->Destroy(1);
    }
    simulator_.reset();
  }

  void Connect(sim::SimulatorOptions options = {}) {
    options.link = folder_.Path() / "velora";
    simulator_ = std::make_unique<sim::Simulator>(std::move(options));
    std::string error;
    ASSERT_TRUE(simulator_->Start(&error)) << error;
    port_ = Rs232Class();
    ASSERT_NE(port_, nullptr);
    port_->portName = (folder_.Path() / "velora").string();
    port_->baudRate = 57600;
    ASSERT_NE(port_->Open(), 0);
    port_->SetOwner(&owner_);
    ASSERT_NE(port_->StartThreads(), 0);
    sender_.SetPort(port_);
  }

  // The entries committed until `count` have come or ten seconds have passed.
  std::vector<ReplyRing::Slot> Replies(std::size_t count) {
    std::vector<ReplyRing::Slot> entries;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (entries.size() < count && std::chrono::steady_clock::now() < deadline) {
      if (auto entry = ring_.Take()) {
        entries.push_back(*entry);
      } else {
        std::this_thread::sleep_for(1ms);
      }
    }
    return entries;
  }

  test::TempFolder folder_;
  std::unique_ptr<sim::Simulator> simulator_;
  comlane::SerialPort* port_ = nullptr;
  ReplyRing ring_;
  ReplyFramer framer_{ring_};
  SerialDataHandler handler_{framer_};
  FramingOwner owner_{handler_};
  MachineState state_;
  Panel panel_;
  CommandSender sender_{state_, panel_, panel_};
};

TEST_F(LinkIntegrationTest, CommandsGoOutAndRepliesLandInTheRingByteForByte) {
  Connect();
  sender_.SendCommand(7, 1);
  EXPECT_EQ(Replies(1), std::vector{Entry({0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x00, 0x03})});

  state_.lampMask = 0xF3;
  sender_.SendCommand(1, 0);
  sender_.SendCommand(2, 0);
  sender_.SendStateReadBack();
  const std::vector<ReplyRing::Slot> expected = {
      Entry({0x5A, 0x08, 0x01, 0x01, 0x00, 0xF3, 0x00, 0x03}),
      Entry({0x5A, 0x0E, 0x01, 0x02, 0x00, 0x64, 0x00, 0xC8, 0x00, 0x2C, 0x01, 0x90, 0x01, 0x03}),
      Entry({0x5A, 0x07, 0x01, 0x12, 0x01, 0x00, 0x03}),
      Entry({0x5A, 0x08, 0x01, 0x01, 0x01, 0xF3, 0x00, 0x03}),
      Entry({0x5A, 0x0E, 0x01, 0x02, 0x01, 0x64, 0x00, 0xC8, 0x00, 0x2C, 0x01, 0x90, 0x01, 0x03}),
      Entry({0x5A, 0x07, 0x01, 0x03, 0x01, 0x00, 0x03}),
      Entry({0x5A, 0x07, 0x01, 0x08, 0x01, 0x00, 0x03}),
  };
  EXPECT_EQ(Replies(expected.size()), expected);
  EXPECT_EQ(simulator_->State().lampMask, 0xF3);
  EXPECT_EQ(ring_.DroppedCount(), 0u);
}

TEST_F(LinkIntegrationTest, NoiseAndOverlongFramesOnTheLineLeaveOnlyEmptyEntriesBehind) {
  sim::SimulatorOptions options;
  options.noise = 1;
  options.overlong = 1;
  options.baud = 57600;
  Connect(options);
  for (std::uint8_t command : {7, 8, 18}) {
    sender_.SendCommand(command, 1);
  }
  // Every reply comes after an over-long frame, which leaves one empty entry.
  const std::vector<ReplyRing::Slot> entries = Replies(6);
  const std::vector<ReplyRing::Slot> expected = {
      ReplyRing::Slot{}, Entry({0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x00, 0x03}),
      ReplyRing::Slot{}, Entry({0x5A, 0x07, 0x01, 0x08, 0x01, 0x00, 0x03}),
      ReplyRing::Slot{}, Entry({0x5A, 0x07, 0x01, 0x12, 0x01, 0x00, 0x03}),
  };
  EXPECT_EQ(entries, expected);
}

TEST_F(LinkIntegrationTest, AfterAPulledPlugTheReopenedPortWorksAgain) {
  Connect();
  simulator_->PullPlug(50ms);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (simulator_->Stats().plugIns < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(simulator_->Stats().plugIns, 2u);
  port_->Close();
  ASSERT_NE(port_->Open(), 0);
  ASSERT_NE(port_->StartThreads(), 0);
  sender_.SendCommand(7, 1);
  EXPECT_EQ(Replies(1), std::vector{Entry({0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x00, 0x03})});
}

} // namespace
} // namespace lamp
