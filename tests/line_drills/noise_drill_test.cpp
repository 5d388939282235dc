// Noise bursts and over-long frames between the controller's replies, while the panel polls, the
// operator works the lamps, levels and cursor, and System setup reads its table. Every reply the
// controller sent intact must be applied, in order and unchanged, and the panel must end up
// showing what the controller holds.

#include <gtest/gtest.h>

#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>

#include "controls/text_label.h"
#include "lamp_test/operator_input.h"
#include "line_rig.h"
#include "settings_dialogs/data_dialog.h"

namespace lamp::drills {
namespace {

using namespace std::chrono_literals;

// What the controller sent in its replies, as the panel shows it.
std::vector<std::string> SentTemperatures(const std::vector<Bytes>& sent) {
  std::vector<std::string> texts;
  for (const Bytes& frame : sent) {
    if (frame[3] == kStatusPoll) {
      texts.push_back(TemperatureText(Le16(frame, 5)));
    }
  }
  return texts;
}

std::vector<std::string> SentFans(const std::vector<Bytes>& sent) {
  std::vector<std::string> texts;
  for (const Bytes& frame : sent) {
    if (frame[3] == kStatusPoll) {
      texts.push_back(frame[7] != 0 ? "ON" : "OFF");
    }
  }
  return texts;
}

std::vector<std::int32_t> SentLevels(const std::vector<Bytes>& sent) {
  std::vector<std::int32_t> levels;
  for (const Bytes& frame : sent) {
    if (frame[3] == 2) {
      for (std::size_t lamp = 0; lamp < 4; ++lamp) {
        levels.push_back(Le16(frame, 5 + 2 * lamp));
      }
    }
  }
  return levels;
}

std::vector<std::uint8_t> SentMasks(const std::vector<Bytes>& sent) {
  std::vector<std::uint8_t> masks;
  for (const Bytes& frame : sent) {
    if (frame[3] == 1) {
      masks.push_back(frame[5]);
    }
  }
  return masks;
}

// The System setup grid as the controller's table fills it.
bool GridShows(const DataDialog& dialog, const sim::ControllerState& state) {
  for (int row = 0; row < 4; ++row) {
    for (int k = 0; k < 3; ++k) {
      const auto value =
          state.machineTable[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)];
      if (dialog.CellText(row, k + 1) != std::to_string(value)) {
        return false;
      }
    }
  }
  return dialog.CellText(4, 3) == std::to_string(state.thermistorOffset);
}

TEST(NoiseDrill, EveryIntactReplyIsAppliedUnchangedAndThePanelConvergesOnTheController) {
  sim::SimulatorOptions options;
  options.noise = 0.9;
  options.overlong = 0.5;
  options.seed = 8;
  options.second = std::chrono::minutes(10); // no temperature drift of its own
  LineRig rig(options);
  rig.Sim().UpdateState([](sim::ControllerState& state) {
    state.levels = {100, 200, 300, 400};
    state.temperature = 31;
    for (int row = 0; row < 4; ++row) {
      state.machineTable[static_cast<std::size_t>(row)] = {static_cast<std::int16_t>(1000 + row),
                                                           static_cast<std::int16_t>(11000 + row),
                                                           static_cast<std::int16_t>(-20 + row)};
    }
    state.thermistorOffset = -7;
  });
  rig.StartWindow();
  WatchedWindow& window = rig.Window();
  ASSERT_TRUE(WaitFor([&] {
    return rig.PanelLevels() == std::array<std::int32_t, 4>{100, 200, 300, 400};
  }));

  auto* machine = dynamic_cast<DataDialog*>(rig.OpenDialog(OptionDialog::Machine));
  ASSERT_NE(machine, nullptr);

  // The operator works while the controller's state moves on its own.
  const int keys[] = {Qt::Key_1,     Qt::Key_Up,   Qt::Key_Up,   Qt::Key_6,    Qt::Key_Down,
                      Qt::Key_Right, Qt::Key_2,    Qt::Key_Up,   Qt::Key_7,    Qt::Key_Left,
                      Qt::Key_3,     Qt::Key_Down, Qt::Key_1,    Qt::Key_5,    Qt::Key_Up,
                      Qt::Key_Right, Qt::Key_4,    Qt::Key_Up,   Qt::Key_Down, Qt::Key_2,
                      Qt::Key_8,     Qt::Key_Down, Qt::Key_Left, Qt::Key_3};
  int step = 0;
  for (int key : keys) {
    rig.Sim().UpdateState([step](sim::ControllerState& state) {
      state.temperature = static_cast<std::int16_t>(30 + step);
      state.fanOn = step % 3 == 0;
    });
    if (step == 12) {
      rig.Sim().UpdateState([](sim::ControllerState& state) {
        state.machineTable[2] = {-300, 9999, 55};
        state.thermistorOffset = 12;
      });
      ASSERT_TRUE(test::Press(*machine, QStringLiteral("Read")));
    }
    const std::size_t taken = rig.Taken(false).size();
    rig.Key(key);
    ASSERT_TRUE(WaitFor([&] { return rig.Taken(false).size() > taken; })) << "key " << step;
    ++step;
  }

  // The panel converges on the controller.
  const auto converged = [&] {
    const sim::ControllerState state = rig.Sim().State();
    bool same = window.State().lampMask.load() == state.lampMask &&
                window.TemperatureLabel()->GetCaption().toStdString() ==
                    TemperatureText(state.temperature) &&
                window.FanLabel()->GetCaption() == (state.fanOn ? "ON" : "OFF") &&
                GridShows(*machine, state) && window.Replies().Waiting() == 0;
    for (int i = 0; i < 4; ++i) {
      same = same && window.Display(i)->level.load() == state.levels[static_cast<std::size_t>(i)] &&
             window.Display(i)->cursorDigit.load() == state.cursorDigit;
    }
    return same;
  };
  EXPECT_TRUE(WaitFor(converged));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(window.Button(i)->state.load(), (window.State().lampMask.load() >> i) & 1) << i;
  }

  // Every reply sent intact was applied, in order and unchanged: nothing lost, nothing invented.
  // Status polls go on: their replies are compared as far as the controller had sent them.
  const std::vector<Bytes> sent = rig.Sent();
  const std::vector<std::int32_t> levels = SentLevels(sent);
  const std::vector<std::uint8_t> masks = SentMasks(sent);
  const std::vector<std::string> temperatures = SentTemperatures(sent);
  const std::vector<std::string> fans = SentFans(sent);
  ASSERT_TRUE(WaitFor([&] {
    return window.levels.size() >= levels.size() && window.masks.size() >= masks.size() &&
           window.fans.size() >= fans.size();
  }));
  EXPECT_EQ(window.levels, levels);
  EXPECT_EQ(window.masks, masks);
  const auto first = [](const std::vector<std::string>& texts, std::size_t count) {
    return std::vector<std::string>(texts.begin(), texts.begin() + static_cast<long>(count));
  };
  EXPECT_EQ(first(window.temperatures, temperatures.size()), temperatures);
  EXPECT_EQ(first(window.fans, fans.size()), fans);
  EXPECT_EQ(window.Replies().DroppedCount(), 0u);
  EXPECT_EQ(rig.Sim().Stats().bytesLost, 0u);

  // The line really was noisy.
  EXPECT_GT(rig.NoiseBursts(), 20);
  EXPECT_GT(rig.OverlongFrames(), 10);
}

} // namespace
} // namespace lamp::drills
