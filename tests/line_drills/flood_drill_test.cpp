// A flood of unsolicited replies, far more than the reply ring holds, arriving at once while the
// dispatcher takes one per pass: what was received first is all applied, in order; the surplus is
// dropped and counted; the panel works afterwards; closing does not wait for the backlog.

#include <gtest/gtest.h>

#include <comlane/serial_port.h>
#include <knoblet/button_object.h>

#include "controls/text_label.h"
#include "line_rig.h"

namespace lamp::drills {
namespace {

constexpr int kFloodSize = 100;
constexpr int kRingHolds = ReplyRing::kSlotCount - 1;
constexpr int kFirstFloodDegrees = 100; // above anything the controller reports itself

// kFloodSize status replies, 100 to 199 degrees, in one write.
Bytes Flood() {
  Bytes flood;
  for (int k = 0; k < kFloodSize; ++k) {
    const int degrees = kFirstFloodDegrees + k;
    const Bytes frame =
        ReplyFrame(kStatusPoll,
                   {static_cast<std::uint8_t>(degrees & 0xFF),
                    static_cast<std::uint8_t>(degrees >> 8), static_cast<std::uint8_t>(k % 2)},
                   0);
    flood.insert(flood.end(), frame.begin(), frame.end());
  }
  return flood;
}

// Which flood replies (0 based) the panel applied, in the order it applied them.
std::vector<int> FloodApplied(const WatchedWindow& window) {
  std::vector<int> applied;
  for (const std::string& text : window.temperatures) {
    const int degrees = std::stoi(text);
    if (degrees >= kFirstFloodDegrees && text == TemperatureText(degrees)) {
      applied.push_back(degrees - kFirstFloodDegrees);
    }
  }
  return applied;
}

// Status replies the controller sent.
std::size_t StatusReplies(const std::vector<Bytes>& sent) {
  return static_cast<std::size_t>(std::count_if(
      sent.begin(), sent.end(), [](const Bytes& frame) { return frame[3] == kStatusPoll; }));
}

class FloodDrill : public ::testing::Test {
protected:
  void SetUp() override {
    rig.StartWindow();
    // The start-up read-back is through; then the controller answers nothing more, so that the
    // flood alone fills the ring.
    ASSERT_TRUE(WaitFor([&] { return rig.Sent().size() >= 5 && Window().Replies().Empty(); }));
    rig.Sim().SetSilent(true);
    ASSERT_TRUE(WaitFor([&] {
      return rig.Sim().Stats().framesSilenced > 0 && Window().Replies().Empty() &&
             Window().temperatures.size() == StatusReplies(rig.Sent());
    }));
    droppedBefore = Window().Replies().DroppedCount();
  }

  WatchedWindow& Window() { return rig.Window(); }

  LineRig rig{sim::SimulatorOptions{}};
  std::uint64_t droppedBefore = 0;
};

TEST_F(FloodDrill, FirstRepliesAreAllAppliedInOrderTheSurplusIsCountedAndThePanelWorksOn) {
  rig.Sim().SendRaw(Flood());
  ASSERT_TRUE(WaitFor([&] {
    const std::uint64_t dropped = Window().Replies().DroppedCount() - droppedBefore;
    return Window().Replies().Empty() &&
           FloodApplied(Window()).size() + dropped == static_cast<std::size_t>(kFloodSize);
  }));
  const std::vector<int> applied = FloodApplied(Window());
  ASSERT_GE(applied.size(), static_cast<std::size_t>(kRingHolds));
  EXPECT_TRUE(std::is_sorted(applied.begin(), applied.end()));
  for (int k = 0; k < kRingHolds; ++k) {
    EXPECT_EQ(applied[static_cast<std::size_t>(k)], k);
  }
  EXPECT_GT(Window().Replies().DroppedCount(), droppedBefore);

  // The panel works on: a lamp switched on reaches the controller, and its answer the panel.
  rig.Sim().SetSilent(false);
  rig.Key(Qt::Key_1);
  EXPECT_TRUE(WaitFor([&] {
    return (rig.Sim().State().lampMask & 1) != 0 && !rig.Window().masks.empty() &&
           (rig.Window().masks.back() & 1) != 0 &&
           Window().TemperatureLabel()->GetCaption().toStdString() == TemperatureText(25);
  }));
  EXPECT_EQ(Window().Button(0)->state.load(), 1);
}

TEST_F(FloodDrill, ClosingDoesNotWaitForTheBacklog) {
  rig.Sim().SendRaw(Flood());
  ASSERT_TRUE(WaitFor([&] { return Window().Replies().Waiting() >= kRingHolds - 1; }));
  const ReplyRing& ring = Window().Replies();
  Window().close();
  EXPECT_FALSE(Window().DispatcherRunning());
  EXPECT_EQ(MainWindow::ProgramSerialPort()->IsOpen(), 0);
  // Seconds' worth of replies at ten a second were still waiting when the window had closed.
  EXPECT_GE(ring.Waiting(), kRingHolds - 10);
}

} // namespace
} // namespace lamp::drills
