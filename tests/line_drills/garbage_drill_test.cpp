// A controller that resets sends garbage, start bytes included, between its frames. Frames cut
// by it may be lost; nothing the controller did not send may reach the panel.

#include <gtest/gtest.h>

#include <knoblet/button_object.h>
#include <random>
#include <segmenta/digit_display.h>
#include <set>

#include "controls/text_label.h"
#include "line_rig.h"

namespace lamp::drills {
namespace {

constexpr int kBatches = 6;
constexpr int kFramesPerBatch = 20;

TEST(GarbageDrill, GarbageWithStartBytesBetweenFramesPutsNothingOnThePanelTheControllerNeverSent) {
  LineRig rig{sim::SimulatorOptions{}};
  rig.StartWindow();
  WatchedWindow& window = rig.Window();
  ASSERT_TRUE(WaitFor([&] { return rig.Sent().size() >= 5 && window.Replies().Empty(); }));
  // From here on only the frames below reach the line.
  rig.Sim().SetSilent(true);
  ASSERT_TRUE(WaitFor([&] { return rig.Sim().Stats().framesSilenced > 0; }));
  ASSERT_TRUE(WaitFor([&] { return window.Replies().Empty(); }));
  const std::uint8_t mask = window.State().lampMask.load();
  const std::int32_t autoKind = window.State().autoKind.load();
  const std::int32_t cursorDigit = window.Display(0)->cursorDigit.load();
  const QString onOff = window.Button(kOnOffButton)->window->text();
  window.levels.clear();
  window.temperatures.clear();

  // Level and status replies, every one different, each after a burst of garbage in which one
  // byte in four is a start byte.
  std::mt19937 random(4);
  std::set<std::vector<std::int32_t>> levelsSent;
  std::set<std::string> temperaturesSent;
  int frame = 0;
  for (int batch = 0; batch < kBatches; ++batch) {
    Bytes bytes;
    for (int i = 0; i < kFramesPerBatch; ++i, ++frame) {
      const int garbage = 1 + static_cast<int>(random() % 12);
      for (int g = 0; g < garbage; ++g) {
        bytes.push_back(random() % 4 == 0 ? 0x5A : static_cast<std::uint8_t>(random()));
      }
      Bytes reply;
      if (frame % 2 == 0) {
        std::vector<std::int32_t> levels;
        Bytes payload;
        for (int lamp = 0; lamp < 4; ++lamp) {
          const int level = (frame * 37 + lamp * 101) % 1001;
          levels.push_back(level);
          payload.push_back(static_cast<std::uint8_t>(level & 0xFF));
          payload.push_back(static_cast<std::uint8_t>(level >> 8));
        }
        levelsSent.insert(levels);
        reply = ReplyFrame(2, payload);
      } else {
        const int degrees = 20 + frame;
        temperaturesSent.insert(TemperatureText(degrees));
        reply = ReplyFrame(kStatusPoll, {static_cast<std::uint8_t>(degrees), 0, 0});
      }
      bytes.insert(bytes.end(), reply.begin(), reply.end());
    }
    rig.Sim().SendRaw(bytes);
    // Let the dispatcher catch up, so that the ring never overflows.
    ASSERT_TRUE(WaitFor([&] { return !window.Replies().Empty(); }));
    ASSERT_TRUE(WaitFor([&] { return window.Replies().Empty(); }));
  }

  for (std::size_t i = 0; i + 4 <= window.levels.size(); i += 4) {
    const std::vector<std::int32_t> levels(window.levels.begin() + static_cast<long>(i),
                                           window.levels.begin() + static_cast<long>(i + 4));
    EXPECT_TRUE(levelsSent.count(levels) == 1) << "levels never sent: " << levels[0] << " "
                                               << levels[1] << " " << levels[2] << " " << levels[3];
  }
  for (const std::string& text : window.temperatures) {
    EXPECT_TRUE(temperaturesSent.count(text) == 1) << "temperature never sent: " << text;
  }
  // Nothing else on the panel moved.
  EXPECT_EQ(window.State().lampMask.load(), mask);
  EXPECT_EQ(window.State().autoRunning.load(), 0);
  EXPECT_EQ(window.State().userMode.load(), 0);
  EXPECT_EQ(window.State().autoKind.load(), autoKind);
  EXPECT_EQ(window.Display(0)->cursorDigit.load(), cursorDigit);
  EXPECT_TRUE(window.StatusLabel()->isHidden());
  EXPECT_EQ(window.Button(kOnOffButton)->window->text(), onOff);
  EXPECT_EQ(window.Replies().DroppedCount(), 0u);

  // The panel works on.
  rig.Sim().SetSilent(false);
  rig.Key(Qt::Key_1);
  EXPECT_TRUE(WaitFor([&] {
    return (rig.Sim().State().lampMask & 1) != 0 &&
           window.State().lampMask.load() == rig.Sim().State().lampMask &&
           window.TemperatureLabel()->GetCaption().toStdString() == TemperatureText(25);
  }));
}

} // namespace
} // namespace lamp::drills
