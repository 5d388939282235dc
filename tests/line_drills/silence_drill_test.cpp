// A controller that stops answering in the middle of an automatic sequence, and in the middle of
// the 32-frame write of the Mode B table. The panel must not hang or spin: the window keeps
// serving the operator, whose commands still reach the line, the status poll goes on, and the
// window closes at once. Once the controller answers again the panel follows it again.

#include <gtest/gtest.h>

#include <comlane/serial_port.h>
#include <cstdio>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>

#include "controls/text_label.h"
#include "lamp_test/operator_input.h"
#include "line_rig.h"
#include "settings_dialogs/data_dialog.h"

namespace lamp::drills {
namespace {

using namespace std::chrono_literals;

constexpr std::array<std::int32_t, 4> kLevelsBefore = {11, 22, 33, 44};
constexpr int kSteps = 32;
// A spinning thread burns most of a core over the window; the idle panel a few percent of it.
constexpr auto kQuietWindow = 2s;
constexpr double kSpinBoundMs = 1000;

// The step the status label reports, or -1 when it shows no Mode B step.
int ShownStep(const WatchedWindow& window) {
  int step = -1;
  const std::string text = window.StatusLabel()->GetCaption().toStdString();
  if (std::sscanf(text.c_str(), "Auto mode [ B ] %d Running", &step) != 1) {
    return -1;
  }
  return step;
}

std::array<std::int32_t, 4> StepLevels(const sim::ControllerState& state, int step) {
  std::array<std::int32_t, 4> levels{};
  for (std::size_t lamp = 0; lamp < 4; ++lamp) {
    levels[lamp] = state.modeBTable[static_cast<std::size_t>(step)][lamp];
  }
  return levels;
}

class SilenceDrill : public ::testing::Test {
protected:
  void StartWithModeB() {
    rig.Sim().UpdateState([](sim::ControllerState& state) {
      state.autoKind = 1;
      state.modeBBegin = 0;
      state.modeBEnd = kSteps - 1;
      state.levels = {11, 22, 33, 44};
    });
    rig.StartWindow();
    ASSERT_TRUE(WaitFor([&] {
      return rig.PanelLevels() == kLevelsBefore && Window().State().autoKind.load() == 1;
    }));
  }

  // While the controller is silent: the operator's lamp key `lamp` reaches the line, the status
  // poll goes on, and the panel does not spin.
  void CheckServedWhileSilent(int lamp) {
    const int polls = rig.Polls();
    rig.Key(Qt::Key_1 + lamp);
    EXPECT_TRUE(WaitFor([&] { return (rig.Sim().State().lampMask >> lamp & 1) != 0; }));
    EXPECT_EQ(Window().State().lampMask.load() >> lamp & 1, 1);
    EXPECT_TRUE(WaitFor([&] { return rig.Polls() >= polls + 3; }));
    const double cpuMs = CpuMsOverQuietWindow(kQuietWindow);
    EXPECT_LT(cpuMs, kSpinBoundMs);
    RecordProperty("cpu_ms_silent_2s", std::to_string(cpuMs));
  }

  WatchedWindow& Window() { return rig.Window(); }

  LineRig rig{[] {
    sim::SimulatorOptions options;
    options.second = 1s; // one Mode B step per second: the sequence outlasts the drill
    return options;
  }()};
};

TEST_F(SilenceDrill, PanelKeepsWorkingThroughASilenceMidSequenceAndFollowsTheSequenceAfter) {
  StartWithModeB();
  rig.Key(Qt::Key_A);
  // From the second step report on, the panel shows the steps' levels.
  ASSERT_TRUE(WaitFor([&] { return ShownStep(Window()) >= 1 && Window().State().autoBActive; }));

  rig.Sim().SetSilent(true);
  CheckServedWhileSilent(1);
  // Meanwhile the controller's fan comes on (its thresholds now lie below the room).
  rig.Sim().UpdateState([](sim::ControllerState& state) {
    state.fanStart = 20;
    state.fanOff = 10;
  });
  const std::uint64_t silenced = rig.Sim().Stats().framesSilenced;
  EXPECT_GT(silenced, 0u);
  ASSERT_TRUE(rig.Sim().State().autoRunning) << "the sequence ended during the silence";
  const int lastShown = ShownStep(Window());

  // Answering again, the controller's next step reports and status replies reach the panel.
  rig.Sim().SetSilent(false);
  EXPECT_TRUE(WaitFor([&] {
    const int step = ShownStep(Window());
    return step > lastShown && rig.PanelLevels() == StepLevels(rig.Sim().State(), step) &&
           Window().FanLabel()->GetCaption() == "ON";
  })) << "shown step "
      << ShownStep(Window()) << " after " << lastShown << ", fan "
      << Window().FanLabel()->GetCaption().toStdString();

  // The operator stops the sequence: the levels from before it come back on both sides.
  rig.Key(Qt::Key_A);
  EXPECT_TRUE(WaitFor([&] {
    return !rig.Sim().State().autoRunning && Window().Replies().Empty() &&
           Window().StatusLabel()->isHidden() && rig.PanelLevels() == kLevelsBefore &&
           Window().State().autoRunning.load() == 0;
  })) << "controller running "
      << rig.Sim().State().autoRunning << ", label "
      << Window().StatusLabel()->GetCaption().toStdString() << " hidden "
      << Window().StatusLabel()->isHidden() << ", panel running "
      << Window().State().autoRunning.load() << ", lamp 1 level " << rig.PanelLevels()[0];
  EXPECT_EQ(rig.Sim().State().levels, (std::array<std::int16_t, 4>{11, 22, 33, 44}));
}

TEST_F(SilenceDrill, TableWriteToASilentControllerLeavesThePanelWorkingAndClosesAtOnce) {
  StartWithModeB();
  auto* automode = dynamic_cast<DataDialog*>(rig.OpenDialog(OptionDialog::Automode));
  ASSERT_NE(automode, nullptr);
  const auto gridShows = [&](const sim::ControllerState& state) {
    for (int row = 0; row < kSteps; ++row) {
      for (int k = 0; k < 5; ++k) {
        const auto value =
            state.modeBTable[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)];
        if (automode->CellText(row, k + 1) != std::to_string(value)) {
          return false;
        }
      }
    }
    return true;
  };
  ASSERT_TRUE(WaitFor([&] { return gridShows(rig.Sim().State()); }));

  // The operator's new table goes out, all 32 rows, to a controller that no longer answers.
  rig.Sim().SetSilent(true);
  for (int row = 0; row < kSteps; ++row) {
    for (int k = 0; k < 5; ++k) {
      automode->SetCellText(row, k + 1, std::to_string(row * 10 + k));
    }
  }
  ASSERT_TRUE(test::Press(*automode, QStringLiteral("Write")));
  EXPECT_TRUE(WaitFor([&] {
    const sim::ControllerState state = rig.Sim().State();
    for (int row = 0; row < kSteps; ++row) {
      for (int k = 0; k < 5; ++k) {
        if (state.modeBTable[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)] !=
            row * 10 + k) {
          return false;
        }
      }
    }
    return true;
  }));
  CheckServedWhileSilent(2);

  // Answering again: the dialog's Read shows what the controller now holds.
  rig.Sim().SetSilent(false);
  rig.Sim().UpdateState([](sim::ControllerState& state) {
    state.modeBTable[7] = {7, 77, 777, -7, 3};
  });
  ASSERT_TRUE(test::Press(*automode, QStringLiteral("Read")));
  EXPECT_TRUE(WaitFor([&] { return gridShows(rig.Sim().State()); }));

  // Silent again, with replies still owed: the window closes at once and takes the port along.
  rig.Sim().SetSilent(true);
  ASSERT_TRUE(test::Press(*automode, QStringLiteral("Read")));
  Window().close();
  EXPECT_FALSE(Window().DispatcherRunning());
  EXPECT_EQ(MainWindow::ProgramSerialPort()->IsOpen(), 0);
}

} // namespace
} // namespace lamp::drills
