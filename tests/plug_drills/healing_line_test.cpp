// A line that heals itself: the adapter is pulled under the running panel and plugged in again
// behind the same link, and the panel reconnects without the operator. It shows the line lost and
// back, reads the machine's state back first thing, ends at the controller's state, and nothing
// the operator did while the line was out reaches the machine afterwards.

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTest>
#include <comlane/serial_port.h>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>

#include "controls/text_label.h"
#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/bootloader_menu.h"
#include "lamp_test/operator_input.h"
#include "plug_rig.h"

namespace lamp::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kQuietWindow = 1500ms;
constexpr double kSpinBoundMs = 450.0;
// The panel tries once a second; a replugged adapter is taken back within a few tries.
constexpr auto kReconnectDeadline = 15s;

// The state read-back: reads of commands 18, 1, 2, 3 and 8 (the read of 3 carries a digit).
const char* const kReadBack[] = {"01 12 01", "01 01 01", "01 02 01", "01 03 01", "01 08 01"};

// The frame of a trace line of the controller ("  1.234 <- 5A 06 ...").
std::string FrameOf(const std::string& line) {
  const std::size_t at = line.find("<- ");
  return at == std::string::npos ? std::string() : line.substr(at + 3);
}

bool IsPoll(const std::string& frame) {
  return frame == "5A 06 01 07 01 03";
}

// Frames the controller took from `mark` on, status polls left out.
std::vector<std::string> FramesSince(const PlugRig& rig, std::size_t mark) {
  std::vector<std::string> frames;
  for (const std::string& line : rig.Received(mark)) {
    const std::string frame = FrameOf(line);
    if (!IsPoll(frame)) {
      frames.push_back(frame);
    }
  }
  return frames;
}

bool StartsWithReadBack(const std::vector<std::string>& frames) {
  if (frames.size() < std::size(kReadBack)) {
    return false;
  }
  return std::equal(
      std::begin(kReadBack), std::end(kReadBack), frames.begin(),
      [](const char* read, const std::string& frame) { return frame.compare(6, 8, read) == 0; });
}

bool ShowsLine(MainWindow& window, const char* text) {
  return window.StatusLabel()->isVisible() &&
         window.StatusLabel()->GetCaption() == QString::fromLatin1(text);
}

// The controller's lamps and levels change while the panel cannot see it.
void ChangeMachineBehindThePanel(PlugRig& rig) {
  rig.Simulator().UpdateState([](sim::ControllerState& state) {
    state.lampMask = 0xF4; // lamp 3 on
    state.levels = {101, 202, 303, 404};
  });
}

bool PanelMatchesMachine(PlugRig& rig) {
  const sim::ControllerState state = rig.Simulator().State();
  MainWindow& window = rig.Window();
  for (int lamp = 0; lamp < 4; ++lamp) {
    if (window.Display(lamp)->level.load() != state.levels[static_cast<std::size_t>(lamp)]) {
      return false;
    }
  }
  return window.State().lampMask.load() == state.lampMask;
}

TEST(HealingLine, PulledWhilePollingThePanelReconnectsByItselfAndEndsAtTheMachinesState) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(rig.PanelShowsTemperature(31));
  MainWindow& window = rig.Window();

  ASSERT_TRUE(rig.PullPlug(3s));
  // Nothing reaches the controller from here until the adapter is back.
  const std::size_t mark = rig.Received().size();
  ASSERT_TRUE(WaitFor([&] { return ShowsLine(window, "LINE LOST"); }));
  EXPECT_TRUE(window.LineLost());
  // The panel tries the port again once a second.
  EXPECT_TRUE(window.timerRunning(kLineRetryTimer));
  EXPECT_EQ(window.timerInterval(kLineRetryTimer), 1000);
  // The operator clicks lamp 1 meanwhile: the panel shows it, the machine never gets it.
  QTest::mouseClick(window.Button(0)->window, Qt::LeftButton);
  EXPECT_EQ(window.State().lampMask.load() & 1u, 1u);
  const double lostCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(lostCpuMs, kSpinBoundMs);
  RecordProperty("lost_cpu_ms", static_cast<int>(lostCpuMs));
  ChangeMachineBehindThePanel(rig);

  ASSERT_TRUE(rig.WaitForReplug());
  ASSERT_TRUE(WaitFor([&] { return !window.LineLost(); }, kReconnectDeadline));
  EXPECT_TRUE(ShowsLine(window, "LINE BACK"));
  EXPECT_FALSE(window.timerRunning(kLineRetryTimer));
  EXPECT_TRUE(WaitFor([&] { return StartsWithReadBack(FramesSince(rig, mark)); }))
      << ::testing::PrintToString(FramesSince(rig, mark));
  EXPECT_TRUE(WaitFor([&] { return PanelMatchesMachine(rig); }));
  EXPECT_TRUE(rig.PanelShowsTemperature(42));
  EXPECT_EQ(rig.Simulator().State().lampMask & 1u, 0u);
  for (const std::string& frame : FramesSince(rig, mark)) {
    EXPECT_EQ(frame.rfind("5A 08 01 01 00 ", 0), std::string::npos) << frame;
  }
  // "Line back" goes away by itself; the poll goes on.
  EXPECT_TRUE(WaitFor([&] { return window.StatusLabel()->isHidden(); }));
  EXPECT_TRUE(rig.MessageTexts().empty());
}

TEST(HealingLine, PulledWhileASettingsTableIsWrittenNothingOfItGoesOutAfterTheReconnection) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(rig.PanelShowsTemperature(31));
  MainWindow& window = rig.Window();
  ASSERT_TRUE(rig.ChooseFromOptionMenu(QStringLiteral("System setup")));
  QWidget* setup = window.OpenOptionDialog(OptionDialog::Machine);
  ASSERT_NE(setup, nullptr);
  const auto table = rig.Simulator().State().machineTable;

  ASSERT_TRUE(rig.PullPlug(3s));
  const std::size_t mark = rig.Received().size();
  ASSERT_TRUE(Press(*setup, QStringLiteral("Write")));
  ASSERT_TRUE(WaitFor([&] { return window.LineLost(); }));
  ASSERT_TRUE(Press(*setup, QStringLiteral("Write")));

  ASSERT_TRUE(rig.WaitForReplug());
  ASSERT_TRUE(WaitFor([&] { return !window.LineLost(); }, kReconnectDeadline));
  EXPECT_TRUE(WaitFor([&] { return StartsWithReadBack(FramesSince(rig, mark)); }))
      << ::testing::PrintToString(FramesSince(rig, mark));
  EXPECT_TRUE(rig.PanelShowsTemperature(42));
  for (const std::string& frame : FramesSince(rig, mark)) {
    EXPECT_NE(frame.compare(6, 8, "01 10 00"), 0) << "a table row went out: " << frame;
  }
  EXPECT_EQ(rig.Simulator().State().machineTable, table);
  EXPECT_TRUE(rig.MessageTexts().empty());
}

TEST(HealingLine, PulledDuringAFirmwareWriteTheWriteEndsAndTheLineComesBackBehindIt) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  MainWindow& window = rig.Window();
  QPointer<CBootloader> dialog = rig.OpenFirmwareDialog(Pattern(480 * 256, 7));
  ASSERT_FALSE(dialog.isNull());
  ASSERT_TRUE(PlugRig::EnterBootloader(*dialog));
  dialog->RunCommand(firmware::kCmdWriteProgram);
  ASSERT_TRUE(WaitFor([&] { return dialog->ProgressBar()->value() >= 8; }));

  ASSERT_TRUE(rig.PullPlug(2s));
  const std::size_t mark = rig.Received().size();
  ASSERT_TRUE(WaitFor([&] { return window.LineLost(); }));
  // The transfer ends as stopped; the line is not reopened while it runs.
  EXPECT_TRUE(WaitFor([&] { return !dialog->Protocol().TransferActive(); }));
  EXPECT_TRUE(WaitFor([&] { return !dialog->Protocol().WorkerRunning(); }));
  ASSERT_TRUE(rig.WaitForReplug());
  ASSERT_TRUE(WaitFor([&] { return !window.LineLost(); }, kReconnectDeadline));
  // While the dialog holds the line the panel neither polls nor reads back.
  const int polls = rig.Polls();
  const double backCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(backCpuMs, kSpinBoundMs);
  EXPECT_TRUE(FramesSince(rig, mark).empty());
  EXPECT_EQ(rig.Polls(), polls);

  // Back in the application, the dialog closed: the machine's state is read back.
  dialog->RunCommand(firmware::kCmdJumpApplication);
  ASSERT_TRUE(
      WaitFor([&] { return rig.Simulator().ActiveKind() == sim::PersonalityKind::Application; }));
  const std::size_t closing = rig.Received().size();
  QTest::keyClick(dialog, Qt::Key_Escape);
  ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));
  EXPECT_TRUE(WaitFor([&] { return StartsWithReadBack(FramesSince(rig, closing)); }))
      << ::testing::PrintToString(FramesSince(rig, closing));
  EXPECT_TRUE(rig.PanelShowsTemperature(42));
  EXPECT_TRUE(rig.MessageTexts().empty());
}

TEST(HealingLine, PulledForGoodThePanelKeepsTryingQuietlyAndClosesPromptly) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= 1; }));
  MainWindow& window = rig.Window();
  ASSERT_TRUE(rig.PullPlug(24h));
  ASSERT_TRUE(WaitFor([&] { return ShowsLine(window, kLineLostText); }));
  // Several tries go by without a word and without spinning.
  const double lostCpuMs = CpuMsOverQuietWindow(3s);
  EXPECT_LT(lostCpuMs, 2 * kSpinBoundMs);
  RecordProperty("lost_cpu_ms_3s", static_cast<int>(lostCpuMs));
  EXPECT_TRUE(window.LineLost());
  EXPECT_TRUE(ShowsLine(window, kLineLostText));
  EXPECT_TRUE(rig.MessageTexts().empty());

  const auto start = std::chrono::steady_clock::now();
  rig.ClosePanel();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, 5s);
  RecordProperty(
      "close_ms",
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_EQ(ComlaneThreadCount(), 0);
  EXPECT_EQ(MainWindow::ProgramSerialPort()->IsOpen(), 0);
}

TEST(HealingLine, ReopenFromSerialSetupReadsTheMachinesStateBack) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(rig.PanelShowsTemperature(31));
  ChangeMachineBehindThePanel(rig);
  const std::size_t mark = rig.Received().size();
  ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
  EXPECT_TRUE(WaitFor([&] { return StartsWithReadBack(FramesSince(rig, mark)); }))
      << ::testing::PrintToString(FramesSince(rig, mark));
  EXPECT_TRUE(WaitFor([&] { return PanelMatchesMachine(rig); }));
  EXPECT_FALSE(rig.Window().LineLost());
  EXPECT_TRUE(rig.Window().StatusLabel()->isHidden());
}

} // namespace
} // namespace lamp::test
