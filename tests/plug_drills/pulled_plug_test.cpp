// Pulled-adapter drills: the simulator closes its pty under the running panel (the program sees a
// hang-up), and later plugs a new one in behind the same link, as a USB adapter pulled and put
// back. The program must not crash, hang or spin meanwhile, and once the port is reopened (here
// by the operator from the serial port setup dialog; the panel also does it by itself, see
// healing_line_test.cpp) the panel works as before.

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTest>
#include <comlane/serial_port.h>
#include <knoblet/button_object.h>
#include <poll.h>

#include "controls/text_label.h"
#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/bootloader_menu.h"
#include "lamp_test/pty_pair.h"
#include "plug_rig.h"

namespace lamp::test {
namespace {

using namespace std::chrono_literals;

// A quiet window, and the CPU time over it that only a spinning thread exceeds: one spinning
// thread burns the whole window; the panel's poll, timers and idle threads take a few per cent.
constexpr auto kQuietWindow = 1500ms;
constexpr double kSpinBoundMs = 450.0;

// A program image of 480 pages of the simulated ATmega128: long enough that a pull lands mid-write.
Bytes LargeImage() {
  return Pattern(480 * 256, 7);
}

bool FlashHolds(const PlugRig& rig, const Bytes& image) {
  const Bytes flash = rig.Memory().Flash();
  return flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin());
}

// Opens the firmware dialog, enters the bootloader and starts writing LargeImage(); returns once
// a few pages have gone out, the write still running.
QPointer<CBootloader> StartLongWrite(PlugRig& rig) {
  QPointer<CBootloader> dialog = rig.OpenFirmwareDialog(LargeImage());
  if (dialog.isNull() || !PlugRig::EnterBootloader(*dialog)) {
    return nullptr;
  }
  dialog->RunCommand(firmware::kCmdWriteProgram);
  if (!WaitFor([&] { return dialog->ProgressBar()->value() >= 8; })) {
    return nullptr;
  }
  return dialog;
}

bool CloseFirmwareDialog(PlugRig& rig, QPointer<CBootloader>& dialog) {
  QTest::keyClick(dialog, Qt::Key_Escape);
  return WaitFor([&] { return dialog.isNull(); }) &&
         rig.Window().OpenOptionDialog(OptionDialog::Bootloader) == nullptr;
}

TEST(PulledPlug, WhilePollingNothingSpinsClicksAreHarmlessAndTheReopenedPortServesThePanel) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(rig.PanelShowsTemperature(31));
  MainWindow& window = rig.Window();

  ASSERT_TRUE(rig.PullPlug(3s));
  // The operator keeps clicking: every click is taken by the panel and its command goes nowhere.
  knoblet::ButtonObject* lamp1 = window.Button(0);
  ASSERT_NE(lamp1, nullptr);
  QTest::mouseClick(lamp1->window, Qt::LeftButton);
  EXPECT_EQ(window.State().lampMask.load() & 1u, 1u);
  QTest::keyClick(&window, Qt::Key_Right);
  QTest::keyClick(&window, Qt::Key_Up);
  QTest::mouseClick(window.Button(kAutoButton)->window, Qt::LeftButton);
  QTest::mouseClick(window.Button(kAutoButton)->window, Qt::LeftButton);
  EXPECT_EQ(window.State().autoRunning.load(), 0);
  const double unpluggedCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(unpluggedCpuMs, kSpinBoundMs);
  RecordProperty("unplugged_cpu_ms", static_cast<int>(unpluggedCpuMs));
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(rig.MessageTexts().empty());

  ASSERT_TRUE(rig.WaitForReplug());
  ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
  EXPECT_TRUE(rig.MessageTexts().empty());
  EXPECT_TRUE(window.DispatcherRunning());
  // The status poll reaches the new pty and its reply reaches the panel.
  EXPECT_TRUE(rig.PanelShowsTemperature(42));

  // The reopened line read the machine's state back: the click made while the line was out is
  // no longer shown. A lamp click reaches the controller, and the panel's lamp byte, cleared the
  // moment the controller took the command, is set again by the reply alone.
  EXPECT_TRUE(WaitFor([&] { return (window.State().lampMask.load() & 1u) == 0; }));
  rig.ArmLampReplyMarker(true);
  QTest::mouseClick(window.Button(1)->window, Qt::LeftButton);
  EXPECT_TRUE(WaitFor([&] {
    const std::uint8_t controller = rig.Simulator().State().lampMask;
    return (controller & 0x03) == 0x02 && window.State().lampMask.load() == controller;
  }));
  rig.ArmLampReplyMarker(false);
  EXPECT_EQ(rig.MarkedLampCommands(), 1);
}

TEST(PulledPlug, PulledAndReopenedAgainAndAgainLeavesNoDescriptorOrThreadBehind) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(rig.PanelShowsTemperature(30));
  const int ptys = PtyDescriptorCount();
  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(rig.PullPlug(200ms));
    ASSERT_TRUE(rig.WaitForReplug());
    ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
    EXPECT_TRUE(rig.PanelShowsTemperature(30 + round));
    EXPECT_EQ(PtyDescriptorCount(), ptys);
    EXPECT_EQ(ComlaneThreadCount(), 2);
  }
  EXPECT_TRUE(rig.MessageTexts().empty());
}

TEST(PulledPlug, ReopenedTooEarlyTheFailureIsShownAndALaterReopenSendsNothingStale) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(rig.PanelShowsTemperature(31));
  MainWindow& window = rig.Window();

  // The operator reopens while the adapter is still out: the open fails and says so, once.
  ASSERT_TRUE(rig.PullPlug(8s));
  ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
  const QString link = QString::fromStdString(window.SerialPort()->portName);
  EXPECT_EQ(rig.MessageTexts(), std::vector<QString>{link + " already open."});
  EXPECT_EQ(window.SerialPort()->IsOpen(), 0);
  // Clicks and polls meanwhile go to the closed port.
  QTest::mouseClick(window.Button(0)->window, Qt::LeftButton);
  const double closedCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(closedCpuMs, kSpinBoundMs);
  RecordProperty("closed_cpu_ms", static_cast<int>(closedCpuMs));

  ASSERT_TRUE(rig.WaitForReplug());
  const std::size_t mark = rig.Received().size();
  ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
  EXPECT_EQ(rig.MessageTexts().size(), 1u);
  EXPECT_TRUE(rig.PanelShowsTemperature(42));
  // The lamp click made while the port was closed never reaches the machine.
  for (const std::string& line : rig.Received(mark)) {
    EXPECT_EQ(line.find("<- 5A 08 01 01 00 "), std::string::npos) << line;
  }
  EXPECT_EQ(rig.Simulator().State().lampMask & 1u, 0u);
}

TEST(PulledPlug, DuringAFirmwareWriteTheWriteEndsUnreportedAndAfterTheReopenAllWorksAgain) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= 1; }));
  const Bytes image = LargeImage();
  QPointer<CBootloader> dialog = StartLongWrite(rig);
  ASSERT_FALSE(dialog.isNull());

  ASSERT_TRUE(rig.PullPlug(3s));
  // No acknowledgement can come. The writer waits for it without spinning, and the write ends on
  // its block time-out, without a word.
  const double unpluggedCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(unpluggedCpuMs, kSpinBoundMs);
  RecordProperty("unplugged_cpu_ms", static_cast<int>(unpluggedCpuMs));
  // The writer hides the progress bar through the dialog's queue as it ends.
  EXPECT_TRUE(WaitFor(
      [&] { return !dialog->Protocol().WorkerRunning() && !dialog->ProgressBar()->isVisible(); }));
  EXPECT_FALSE(dialog->Protocol().TransferActive());
  EXPECT_FALSE(FlashHolds(rig, image)) << "the write ended before the plug was pulled";
  ASSERT_TRUE(CloseFirmwareDialog(rig, dialog));

  ASSERT_TRUE(rig.WaitForReplug());
  ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
  // The controller stayed in its bootloader through the pull: the operator sends it back to its
  // application, and the panel's poll is answered again.
  dialog = rig.OpenFirmwareDialog(image);
  ASSERT_FALSE(dialog.isNull());
  dialog->RunCommand(firmware::kCmdJumpApplication);
  ASSERT_TRUE(
      WaitFor([&] { return rig.Simulator().ActiveKind() == sim::PersonalityKind::Application; }));
  ASSERT_TRUE(CloseFirmwareDialog(rig, dialog));
  EXPECT_TRUE(rig.PanelShowsTemperature(42));

  // A second write goes through whole.
  dialog = rig.OpenFirmwareDialog(image);
  ASSERT_FALSE(dialog.isNull());
  ASSERT_TRUE(PlugRig::EnterBootloader(*dialog));
  dialog->RunCommand(firmware::kCmdWriteProgram);
  ASSERT_TRUE(WaitFor([&] { return !dialog->Protocol().WorkerRunning(); }, 90s));
  EXPECT_TRUE(FlashHolds(rig, image));
  EXPECT_TRUE(rig.MessageTexts().empty());
}

// Pulled mid-read, the read gets no further block and ends as stopped after the block time-out,
// with no image loaded. Here the dialog stays open across the reopen and the read given again, on
// the new line, brings the whole memory.
TEST(PulledPlug,
     DuringAFirmwareReadTheDialogStaysUsableAndTheReadGivenAgainAfterTheReopenCompletes) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  QPointer<CBootloader> dialog = StartLongWrite(rig);
  ASSERT_FALSE(dialog.isNull());
  ASSERT_TRUE(WaitFor([&] { return !dialog->Protocol().WorkerRunning(); }, 90s));
  const Bytes image = LargeImage();
  ASSERT_TRUE(FlashHolds(rig, image));

  dialog->RunCommand(firmware::kCmdReadProgram);
  ASSERT_TRUE(WaitFor([&] { return dialog->ProgressBar()->value() >= 8; }));
  ASSERT_TRUE(rig.PullPlug(3s));
  const double unpluggedCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(unpluggedCpuMs, kSpinBoundMs);
  // The operator tries Cancel on the stalled read; nothing more can come to end it.
  ASSERT_NE(dialog->CancelButton(), nullptr);
  QTest::mouseClick(dialog->CancelButton()->window, Qt::LeftButton);
  EXPECT_FALSE(dialog->Image().Loaded(firmware::ImageKind::Program));

  ASSERT_TRUE(rig.WaitForReplug());
  ASSERT_TRUE(rig.ReopenPortFromSerialSetup());
  ASSERT_FALSE(dialog.isNull());
  dialog->RunCommand(firmware::kCmdReadProgram);
  ASSERT_TRUE(WaitFor([&] { return dialog->Image().Loaded(firmware::ImageKind::Program); }, 90s));
  const std::uint8_t* read = dialog->Image().Buffer().Data();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), read));
  EXPECT_EQ(dialog->Image().Size(), std::uint32_t{128 * 1024});
  EXPECT_TRUE(rig.MessageTexts().empty());
}

TEST(PulledPlug, DuringAFirmwareWriteClosingTheDialogAtOnceReleasesTheWaitingWriter) {
  PlugRig rig;
  ASSERT_TRUE(rig.StartPanel());
  QPointer<CBootloader> dialog = StartLongWrite(rig);
  ASSERT_FALSE(dialog.isNull());
  ASSERT_TRUE(rig.PullPlug(24h));
  // The writer may already have ended as stopped (line lost) once the panel heard of the loss.

  // Closing joins the writer, which cannot be waiting for its acknowledgement any more.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(CloseFirmwareDialog(rig, dialog));
  const auto took = std::chrono::steady_clock::now() - start;
  // Well inside the one to two seconds after which the block time-out would have ended it.
  EXPECT_LT(took, 1s);
  RecordProperty(
      "close_ms",
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_TRUE(rig.MessageTexts().empty());
  // The panel's status poll comes back (on the dead line) without trouble.
  const double unpluggedCpuMs = CpuMsOverQuietWindow(kQuietWindow);
  EXPECT_LT(unpluggedCpuMs, kSpinBoundMs);
}

TEST(PulledPlug, NeverRepluggedClosingTheWindowEndsPromptlyAndCleanly) {
  struct Case {
    const char* what;
    bool writing;
  };
  for (const Case& drill : {Case{"panel polling", false},
                            Case{"firmware write waiting for an acknowledgement", true}}) {
    SCOPED_TRACE(drill.what);
    PlugRig rig;
    ASSERT_TRUE(rig.StartPanel());
    ASSERT_TRUE(WaitFor([&] { return rig.Polls() >= 1; }));
    QPointer<CBootloader> dialog;
    if (drill.writing) {
      dialog = StartLongWrite(rig);
      ASSERT_FALSE(dialog.isNull());
    }
    EXPECT_EQ(ComlaneThreadCount(), 2);
    ASSERT_TRUE(rig.PullPlug(24h));

    const auto start = std::chrono::steady_clock::now();
    rig.ClosePanel();
    const auto took = std::chrono::steady_clock::now() - start;
    // Each of the port's threads is stopped in at most three waits of 200 ms.
    EXPECT_LT(took, 5s);
    RecordProperty(
        drill.writing ? "close_while_writing_ms" : "close_while_polling_ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(ComlaneThreadCount(), 0);
    EXPECT_EQ(MainWindow::ProgramSerialPort()->IsOpen(), 0);
    EXPECT_TRUE(rig.MessageTexts().empty());
  }
}

// The simulator sends whole frames; a scripted line cuts one short. The panel must not finish the
// cut frame with the first bytes of the line it is reopened on: here the five bytes of a lamp
// reply and a status reply of the new line would make a lamp reply of lamps 2 and 4, which the
// next lamp click would then switch on at the machine.
TEST(PulledPlug, AReplyCutShortByThePullIsNotFinishedWithTheReopenedLinesBytes) {
  MessageBoxRecorder boxes;
  const HexFolder folder;
  const std::filesystem::path link = folder.Path() / "adapter";
  auto line = std::make_unique<PtyPair>();
  ASSERT_TRUE(PlaceLink(link, line->DevicePath()));
  const ProgramSetting setting(link.string());
  MainWindow window({.dialogs = ProgramOptionDialogs()});
  window.Initialise();
  window.show();
  const std::uint8_t lampsBefore = window.State().lampMask.load();

  line->Send({0x5A, 0x08, 0x01, 0x01, 0x00});
  ASSERT_TRUE(WaitFor([&] {
    pollfd waiting = {line->DeviceFd(), POLLIN, 0};
    return ::poll(&waiting, 1, 0) == 0;
  }));
  line->CloseFarSide();
  auto next = std::make_unique<PtyPair>();
  ASSERT_TRUE(PlaceLink(link, next->DevicePath()));
  ASSERT_TRUE(ReopenPortFromSerialSetup(window, link.string()));

  next->Send({0x5A, 0x09, 0x01, 0x07, 0x01, 0x2A, 0x00, 0x00, 0x03});
  EXPECT_TRUE(WaitFor(
      [&] { return window.TemperatureLabel()->GetCaption() == QString::fromUtf8("42\u2103"); }));
  EXPECT_EQ(window.State().lampMask.load(), lampsBefore);
  EXPECT_TRUE(boxes.texts().empty());
  window.close();
}

} // namespace
} // namespace lamp::test
