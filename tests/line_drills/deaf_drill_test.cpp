// A controller that stops answering during Mode A, and one that stops reading its line as well:
// the panel must keep serving the operator without blocking or spinning, and follow the
// controller again once it answers (and reads) again.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <comlane/serial_port.h>

#include "controls/text_label.h"
#include "line_rig.h"

namespace lamp::drills {
namespace {

using namespace std::chrono_literals;

constexpr auto kQuietWindow = 2s;
constexpr double kSpinBoundMs = 1000;

bool ShowsModeA(WatchedWindow& window) {
  return window.StatusLabel()->isVisible() &&
         window.StatusLabel()->GetCaption().startsWith(QStringLiteral("Auto mode [ A ]"));
}

sim::SimulatorOptions WithRealSeconds() {
  sim::SimulatorOptions options;
  options.second = 1s;
  return options;
}

TEST(DeafDrill, ModeAUnderASilentControllerKeepsThePanelServingAndItFollowsAfter) {
  LineRig rig(WithRealSeconds());
  rig.Sim().UpdateState([](sim::ControllerState& state) {
    state.autoKind = 0;
    state.modeAWait = {600, 600, 600, 600}; // the sequence outlasts the drill
  });
  rig.StartWindow();
  WatchedWindow& window = rig.Window();
  ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= 1; }));
  rig.Key(Qt::Key_A);
  ASSERT_TRUE(WaitFor([&] { return ShowsModeA(window) && rig.Sim().State().autoRunning; }));

  rig.Sim().SetSilent(true);
  const int polls = rig.Polls();
  const std::size_t taken = rig.Taken(false).size();
  rig.Key(Qt::Key_Up);
  EXPECT_TRUE(WaitFor([&] { return rig.Taken(false).size() > taken; }));
  EXPECT_TRUE(WaitFor([&] { return rig.Polls() >= polls + 3; }));
  const double cpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(cpuMs, kSpinBoundMs);
  RecordProperty("cpu_ms_silent_2s", std::to_string(cpuMs));
  EXPECT_TRUE(ShowsModeA(window));
  rig.Sim().UpdateState([](sim::ControllerState& state) {
    state.fanStart = 20;
    state.fanOff = 10;
  });

  rig.Sim().SetSilent(false);
  EXPECT_TRUE(WaitFor([&] { return window.FanLabel()->GetCaption() == "ON"; }));
  rig.Key(Qt::Key_A);
  EXPECT_TRUE(WaitFor([&] {
    return !rig.Sim().State().autoRunning && window.StatusLabel()->isHidden() &&
           window.State().autoRunning.load() == 0;
  }));
}

TEST(DeafDrill, ControllerThatStopsReadingFillsTheTransmitQueueWithoutBlockingThePanel) {
  LineRig rig(WithRealSeconds());
  rig.StartWindow();
  ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= 1; }));

  rig.Sim().SetSilent(true);
  rig.Sim().SetDeaf(true);
  // Far more than the pty and the 4096-byte transmit queue hold: each Up writes command 2.
  constexpr int kPresses = 12000;
  QElapsedTimer pressing;
  pressing.start();
  for (int i = 0; i < kPresses; ++i) {
    rig.Key(Qt::Key_Up);
  }
  RecordProperty("presses_ms", static_cast<int>(pressing.elapsed()));
  // The window's own timers still run, and nothing spins while the line is stalled.
  bool ticked = false;
  QTimer::singleShot(100, [&] { ticked = true; });
  EXPECT_TRUE(WaitFor([&] { return ticked; }));
  const double cpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(cpuMs, kSpinBoundMs);
  RecordProperty("cpu_ms_deaf_2s", std::to_string(cpuMs));

  // More presses on the full queue: the window still closes at once.
  for (int i = 0; i < kPresses; ++i) {
    rig.Key(Qt::Key_Up);
  }
  QElapsedTimer closing;
  closing.start();
  rig.CloseWindow();
  EXPECT_LT(closing.elapsed(), 5000);
  EXPECT_EQ(MainWindow::ProgramSerialPort()->IsOpen(), 0);
}

// The controller's temperature moves a degree a second towards what its lamps give; here it must
// stand still, or the degree the drill sets is gone before the first poll after it is answered.
sim::SimulatorOptions WithoutTemperatureDrift() {
  sim::SimulatorOptions options;
  options.second = std::chrono::hours(1);
  return options;
}

bool IsStateReadBackStart(const Bytes& frame) {
  constexpr std::uint8_t kUserModeCommand = 18;
  return frame.size() > 4 && frame[3] == kUserModeCommand && frame[4] == 1;
}

TEST(DeafDrill, ControllerThatHearsAgainAfterAStalledLineIsFollowedAgain) {
  LineRig rig(WithoutTemperatureDrift());
  rig.StartWindow();
  WatchedWindow& window = rig.Window();
  ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= 1; }));
  rig.Sim().SetSilent(true);
  rig.Sim().SetDeaf(true);
  constexpr int kPresses = 12000;
  for (int i = 0; i < kPresses; ++i) {
    rig.Key(Qt::Key_Up);
  }

  // Hearing again, the controller takes the backlog and then fresh polls; what did not fit was
  // dropped, not queued without end. Answering again, the panel follows it.
  const std::uint64_t before = rig.Sim().Stats().bytesReceived;
  const int polls = rig.Polls();
  rig.Sim().SetDeaf(false);
  ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= polls + 3; }));
  constexpr std::uint64_t kFrameBytes = 14;
  EXPECT_LT(rig.Sim().Stats().bytesReceived - before, kPresses * kFrameBytes);
  rig.Sim().SetSilent(false);
  rig.Sim().UpdateState([](sim::ControllerState& state) { state.temperature = 47; });
  EXPECT_TRUE(WaitFor([&] {
    return window.TemperatureLabel()->GetCaption().toStdString() == TemperatureText(47);
  }));

  // A controller that does not read is slow, not gone: the panel never took the line for lost,
  // so it never opened it again (which would have read the state back).
  EXPECT_FALSE(window.LineLost());
  const std::vector<Bytes> taken = rig.Taken(false);
  EXPECT_EQ(std::count_if(taken.begin(), taken.end(), IsStateReadBackStart), 1);
}

} // namespace
} // namespace lamp::drills
