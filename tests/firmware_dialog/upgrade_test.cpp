// Firmware upgrades through the dialog on a real line: Comlane on a pseudo-terminal whose far end
// is the simulated Velora controller with its bootloader. A panel window stands where the main
// window does: it owns the port and hands every chunk to the open dialog as WM_BOOT_DATA, on the
// GUI thread, and forgets the dialog when the dialog says it has closed.
//
// With LAMP_SCREENS_DIR set, the upgrade test saves pictures of the dialog during a write and
// after a read there (docs/screens).

#include <gtest/gtest.h>
#include <mutex>
#include <optional>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <comlane/serial_port.h>
#include <knoblet/button_object.h>
#include <wndmsg/messages.h>

#include "controls/text_label.h"
#include "dialog_rig.h"
#include "firmware/hex_reader.h"
#include "firmware/image_buffer.h"
#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/bootloader_menu.h"
#include "firmware_dialog/memory_view.h"
#include "link/reply_framer.h"
#include "link/reply_ring.h"
#include "link/serial_data_handler.h"
#include "platform/window.h"
#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace lamp {
namespace {

using namespace std::chrono_literals;
using firmware::ImageKind;
using test::Bytes;
using test::WaitFor;

// The main window's part of the conversation.
class Panel final : public Window {
public:
  Panel() {
    onMessage(wndmsg::WM_SERIAL_DATA,
              [this](WParam w, LParam l) { return serialData_.OnSerialData(w, l, dialog.data()); });
  }
  QPointer<CBootloader> dialog;

private:
  ReplyRing ring_;
  ReplyFramer framer_{ring_};
  SerialDataHandler serialData_{framer_};
};

class FirmwareUpgradeTest : public ::testing::Test {
protected:
  void TearDown() override {
    delete panel_.dialog.data();
    if (port_ != nullptr) {
      // Closing joins the receive thread, which may be waiting for the GUI thread.
      WaitServicing([this] { port_->Destroy(1); });
    }
    simulator_.reset();
  }

  void Connect(const sim::BootloaderSettings& device = {}, sim::SimulatorOptions options = {}) {
    options.link = files_.Path() / "velora";
    simulator_ = std::make_unique<sim::Simulator>(std::move(options));
    memory_ = sim::InstallBootloader(*simulator_, device);
    std::string error;
    ASSERT_TRUE(simulator_->Start(&error)) << error;
    port_ = Rs232Class();
    ASSERT_NE(port_, nullptr);
    port_->portName = (files_.Path() / "velora").string();
    port_->baudRate = 115200;
    ASSERT_NE(port_->Open(), 0);
    port_->SetOwner(&panel_);
    ASSERT_NE(port_->StartThreads(), 0);
  }

  // Opens the dialog as the option menu does.
  CBootloader* OpenDialog() {
    auto* dialog =
        new CBootloader(nullptr, {port_, test::Controls(), [this] { panel_.dialog = nullptr; }});
    dialog->SetFileChooser([this](QWidget*, const QString&) { return nextFile_; });
    panel_.dialog = dialog;
    dialog->show();
    return dialog;
  }

  void Command(int command) { panel_.dialog->RunCommand(command); }

  // Chooses the menu item `item` of popup `popup` by their texts, as the operator does.
  bool Choose(const QString& popup, const QString& item) {
    for (QAction* menu : panel_.dialog->MenuBar()->actions()) {
      if (menu->text() != popup || menu->menu() == nullptr) {
        continue;
      }
      for (QAction* action : menu->menu()->actions()) {
        if (action->text() == item) {
          action->trigger();
          return true;
        }
      }
    }
    return false;
  }

  void Open(ImageKind kind, const Bytes& bytes, const std::string& name) {
    OpenText(kind, test::HexText(0, bytes), name);
  }
  void OpenText(ImageKind kind, const std::string& text, const std::string& name) {
    nextFile_ = files_.Write(name, text);
    Command(kind == ImageKind::Program ? firmware::kCmdOpenProgramFile
                                       : firmware::kCmdOpenDataFile);
  }
  // Writes the loaded image and waits for its end; returns the status line's text.
  QString WriteAndWait(ImageKind kind) {
    Command(kind == ImageKind::Program ? firmware::kCmdWriteProgram : firmware::kCmdWriteData);
    EXPECT_TRUE(WaitFor([&] { return panel_.dialog->Protocol().Transferring(); }));
    EXPECT_TRUE(TransferEnds());
    return Status();
  }
  [[nodiscard]] QString Status() const {
    return panel_.dialog->StatusLine()->isVisible() ? panel_.dialog->StatusLine()->text()
                                                    : QString();
  }

  // "Jump Boot Program" and the identification that follows it.
  bool EnterBootloader() {
    Command(firmware::kCmdJumpBoot);
    return WaitFor([&] { return panel_.dialog->Protocol().Ready(); });
  }

  [[nodiscard]] bool TransferShown() const { return panel_.dialog->ProgressBar()->isVisible(); }
  // Waits for the end of a write or read: no worker, no transfer, the controls hidden.
  bool TransferEnds(std::chrono::milliseconds deadline = 20s) {
    return WaitFor(
        [&] {
          const auto& protocol = panel_.dialog->Protocol();
          return !protocol.Transferring() && !protocol.TransferActive() && !TransferShown() &&
                 panel_.dialog->StatusLine()->isVisible();
        },
        deadline);
  }

  void SaveScreen(const char* name) const {
    const QString folder = qEnvironmentVariable("LAMP_SCREENS_DIR");
    if (!folder.isEmpty()) {
      EXPECT_TRUE(panel_.dialog->grab().save(folder + '/' + name));
    }
  }

  [[nodiscard]] QString Value(int row) const { return panel_.dialog->Label(7 + row)->GetCaption(); }

  // The ink of the status line as drawn: red for a transfer that stopped short, green for one
  // that finished.
  [[nodiscard]] QString StatusInk() const {
    const QImage image = panel_.dialog->StatusLine()->grab().toImage();
    int red = 0;
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        red += c.red() > 110 && c.green() < 50 && c.blue() < 50 ? 1 : 0;
        green += c.green() > 70 && c.red() < 40 && c.blue() < 40 ? 1 : 0;
      }
    }
    return red > green ? QStringLiteral("red") : green > red ? QStringLiteral("green") : QString();
  }

  test::HexFolder files_;
  Panel panel_;
  std::unique_ptr<sim::Simulator> simulator_;
  std::shared_ptr<sim::BootloaderMemory> memory_;
  comlane::SerialPort* port_ = nullptr;
  QString nextFile_;
};

TEST_F(FirmwareUpgradeTest, WritesReadsBackAndReturnsToTheApplication) {
  sim::SimulatorOptions options;
  options.delay = 2ms; // a write takes long enough to be seen while it runs
  ASSERT_NO_FATAL_FAILURE(Connect({}, options));
  CBootloader* dialog = OpenDialog();

  ASSERT_TRUE(EnterBootloader());
  EXPECT_EQ(simulator_->ActiveKind(), sim::PersonalityKind::Bootloader);
  const QStringList device = {Value(0), Value(1), Value(2), Value(3), Value(4), Value(5)};
  EXPECT_EQ(device.join('|'), "ATmega128|128Kbyte|1024 byte|128 byte|256 byte|4096 byte");

  // Program memory: 300 pages less a little, so the last page carries erased bytes past the image.
  const Bytes program = test::Pattern(300 * 256 - 100, 5);
  Open(ImageKind::Program, program, "velora.hex");
  ASSERT_TRUE(WaitFor([&] { return !dialog->ViewFillerRunning(); }));
  Command(firmware::kCmdWriteProgram);
  ASSERT_TRUE(WaitFor([&] { return TransferShown() && dialog->ProgressBar()->value() >= 100; }));
  EXPECT_EQ(dialog->ProgressBar()->maximum(), 300);
  EXPECT_TRUE(dialog->CancelButton()->window->isVisible());
  SaveScreen("firmware-dialog-write.png");
  ASSERT_TRUE(TransferEnds());
  const Bytes flash = memory_->Flash();
  ASSERT_EQ(flash.size(), 131072u);
  EXPECT_TRUE(std::equal(program.begin(), program.end(), flash.begin()));
  EXPECT_TRUE(std::all_of(flash.begin() + std::ptrdiff_t(program.size()), flash.end(),
                          [](std::uint8_t b) { return b == 0xFF; }));

  // Read it back: the whole program memory comes into the image and the view, from address 0;
  // the file label keeps the file's path.
  const QString path = dialog->Label(0)->GetCaption();
  Command(firmware::kCmdReadProgram);
  ASSERT_TRUE(WaitFor([&] { return dialog->Image().Loaded(ImageKind::Program); }, 60s));
  ASSERT_TRUE(TransferEnds());
  EXPECT_EQ(dialog->Image().Size(), 131072u);
  EXPECT_EQ(dialog->Image().Base(), 0u);
  const firmware::ImageBuffer& buffer = firmware::ProgramImageBuffer();
  EXPECT_TRUE(std::equal(flash.begin(), flash.end(), buffer.Data()));
  ASSERT_TRUE(WaitFor(
      [&] { return !dialog->ViewFillerRunning() && dialog->MemoryView()->RowCount() == 8192; }));
  EXPECT_EQ(dialog->MemoryView()->Text(8191, 0), "0001FFF0");
  EXPECT_EQ(dialog->Label(0)->GetCaption(), path);
  // The picture shows where the written image ends and erased memory begins. The view lays out
  // the rows the filler just added first, or the scroll would stop at the old image's last row.
  dialog->MemoryView()->doItemsLayout();
  dialog->MemoryView()->scrollTo(
      dialog->MemoryView()->model()->index(int(program.size() / 16) - 8, 0),
      QAbstractItemView::PositionAtTop);
  SaveScreen("firmware-dialog-read.png");

  // Data memory: 1000 bytes written as eight blocks of 128, and read back.
  const Bytes data = test::Pattern(1000, 77);
  Open(ImageKind::Data, data, "velora.eep");
  Command(firmware::kCmdWriteData);
  ASSERT_TRUE(WaitFor([&] { return dialog->Protocol().WorkerRunning(); }));
  ASSERT_TRUE(TransferEnds());
  const Bytes eeprom = memory_->Eeprom();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin()));
  EXPECT_EQ(eeprom[1000], 0xFF);
  Command(firmware::kCmdReadData);
  ASSERT_TRUE(WaitFor([&] { return dialog->Image().Loaded(ImageKind::Data); }, 60s));
  EXPECT_EQ(dialog->Image().Size(), 4096u);
  EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), buffer.Data()));

  // Back to the application: the panel forgets the device, and the controller answers again.
  Command(firmware::kCmdJumpApplication);
  ASSERT_TRUE(WaitFor([&] {
    return simulator_->ActiveKind() == sim::PersonalityKind::Application && Value(0) == "--------";
  }));
  EXPECT_EQ(Value(5), "--------");
  EXPECT_FALSE(dialog->Protocol().Ready());
}

TEST_F(FirmwareUpgradeTest, CancelStopsAWriteAfterTheBlockInFlight) {
  sim::SimulatorOptions options;
  options.delay = 20ms; // 512 pages would take ten seconds
  ASSERT_NO_FATAL_FAILURE(Connect({}, options));
  CBootloader* dialog = OpenDialog();
  ASSERT_TRUE(EnterBootloader());
  Open(ImageKind::Program, test::Pattern(131072, 9), "full.hex");

  Command(firmware::kCmdWriteProgram);
  ASSERT_TRUE(WaitFor([&] { return TransferShown() && dialog->ProgressBar()->value() >= 2; }));
  QTest::mouseClick(dialog->CancelButton()->window, Qt::LeftButton);
  ASSERT_TRUE(TransferEnds());

  // Some pages went out, far from all; the bootloader took FF FF and answers a read again.
  const Bytes flash = memory_->Flash();
  const Bytes expected = test::Pattern(131072, 9);
  EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 512, flash.begin()));
  EXPECT_TRUE(
      std::all_of(flash.end() - 256 * 100, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(dialog->Protocol().Ready());
  EXPECT_FALSE(dialog->Protocol().CancelRequested());
  Command(firmware::kCmdReadData);
  EXPECT_TRUE(WaitFor([&] { return dialog->Image().Loaded(ImageKind::Data); }, 60s));
}

TEST_F(FirmwareUpgradeTest, ClosingDuringAnyWorkNeitherHangsNorCrashes) {
  // Each case leaves a worker or a transfer running, then closes the dialog a different way.
  enum class Work { Identify, UnacknowledgedWrite, Write, Read };
  enum class Close { Escape, CloseBox, Exit, Delete };
  struct Case {
    Work work;
    Close close;
  };
  for (const Case& c :
       {Case{Work::Identify, Close::Escape}, Case{Work::UnacknowledgedWrite, Close::CloseBox},
        Case{Work::Write, Close::Exit}, Case{Work::Read, Close::Delete},
        Case{Work::Write, Close::Escape}}) {
    SCOPED_TRACE(int(c.work) * 10 + int(c.close));
    TearDown();
    sim::BootloaderSettings device;
    device.neverIdentify = c.work == Work::Identify;
    device.neverAcknowledge = c.work == Work::UnacknowledgedWrite;
    sim::SimulatorOptions options;
    options.delay = 10ms;
    ASSERT_NO_FATAL_FAILURE(Connect(device, options));
    QPointer<CBootloader> dialog = OpenDialog();
    Open(ImageKind::Program, test::Pattern(131072, 1), "full.hex");

    if (c.work == Work::Identify) {
      Command(firmware::kCmdJumpBoot);
      ASSERT_TRUE(WaitFor([&] { return dialog->Protocol().WorkerRunning(); }));
    } else {
      ASSERT_TRUE(EnterBootloader());
      Command(c.work == Work::Read ? firmware::kCmdReadProgram : firmware::kCmdWriteProgram);
      ASSERT_TRUE(WaitFor([&] { return TransferShown(); }));
    }

    switch (c.close) {
    case Close::Escape:
      QTest::keyClick(dialog, Qt::Key_Escape);
      break;
    case Close::CloseBox:
      dialog->close();
      break;
    case Close::Exit:
      Command(firmware::kCmdExit);
      break;
    case Close::Delete:
      delete dialog.data();
      break;
    }
    EXPECT_TRUE(panel_.dialog.isNull());
    ASSERT_TRUE(WaitFor([&] { return dialog.isNull(); }));

    // The line stays usable: a new dialog finds the bootloader (or, when it never answers, keeps
    // asking until it is closed).
    CBootloader* again = OpenDialog();
    EXPECT_FALSE(again->Image().Loaded(ImageKind::Program));
    if (c.work != Work::Identify) {
      EXPECT_TRUE(EnterBootloader());
    }
  }
}

// The status line tells a finished transfer from one that stopped, and where, without a message
// box; a device read saved through "Save Program(FLASH) File" is a byte-exact backup.
TEST_F(FirmwareUpgradeTest, StatusLineTellsHowEachTransferEnded) {
  sim::BootloaderSettings refusing;
  refusing.refuseBlock = 3;
  ASSERT_NO_FATAL_FAILURE(Connect(refusing));
  OpenDialog();
  ASSERT_TRUE(EnterBootloader());
  Open(ImageKind::Program, test::Pattern(10 * 256, 4), "ten.hex");
  EXPECT_EQ(WriteAndWait(ImageKind::Program), "Write stopped at page 3 (block 4 of 10): refused.");
  EXPECT_EQ(StatusInk(), "red");

  TearDown();
  sim::SimulatorOptions slow;
  slow.delay = 5ms; // 512 pages take a few seconds: the line is lost while the write runs
  ASSERT_NO_FATAL_FAILURE(Connect({}, slow));
  CBootloader* dialog = OpenDialog();
  ASSERT_TRUE(EnterBootloader());
  Open(ImageKind::Program, test::Pattern(10 * 256, 4), "ten.hex");
  EXPECT_EQ(WriteAndWait(ImageKind::Program), "Write finished: 10 pages.");
  EXPECT_EQ(StatusInk(), "green");
  Command(firmware::kCmdReadProgram);
  ASSERT_TRUE(WaitFor([&] { return dialog->Image().Loaded(ImageKind::Program); }, 60s));
  ASSERT_TRUE(TransferEnds());
  EXPECT_EQ(Status(), "Read finished: 512 pages.");
  const std::filesystem::path backup = files_.Path() / "backup.hex";
  dialog->SetSaveFileChooser(
      [&](QWidget*, const QString&) { return QString::fromStdString(backup.string()); });
  Command(firmware::kCmdSaveProgramFile);
  firmware::ImageBuffer saved;
  ASSERT_TRUE(firmware::LoadHexFile(backup.string(), saved).ok);
  EXPECT_TRUE(std::equal(saved.Data(), saved.Data() + saved.Size(), memory_->Flash().begin()));

  // The line lost in the middle of a long write: stopped, and where.
  Open(ImageKind::Program, test::Pattern(131072, 6), "full.hex");
  Command(firmware::kCmdWriteProgram);
  ASSERT_TRUE(WaitFor([&] { return TransferShown() && dialog->ProgressBar()->value() >= 2; }));
  EXPECT_FALSE(dialog->StatusLine()->isVisible()) << "the progress bar has the row";
  dialog->LineLost();
  ASSERT_TRUE(TransferEnds());
  EXPECT_TRUE(Status().startsWith("Write stopped at page ")) << Status().toStdString();
  EXPECT_TRUE(Status().endsWith(" of 512): line lost.")) << Status().toStdString();
  SaveScreen("firmware-dialog-stopped.png");
  // Back on the line, a half reply from before the loss does not swallow the jump's answer.
  dialog->PortReopened();
  Command(firmware::kCmdJumpApplication);
  ASSERT_TRUE(WaitFor([&] { return Value(0) == "--------"; }));
}

// A write through the dialog on a paced line (every byte at its line time, each page after its
// programming time) lasts several block time-outs: the time-out is per block, not per write.
TEST_F(FirmwareUpgradeTest, PacedWriteLastingSeveralTimeOutsFinishes) {
  sim::SimulatorOptions paced;
  paced.baud = 115200;
  ASSERT_NO_FATAL_FAILURE(Connect({}, paced));
  CBootloader* dialog = OpenDialog();
  ASSERT_TRUE(EnterBootloader());
  const Bytes program = test::Pattern(144 * 256, 8); // about 37 KB on the line, 3.3 s
  Open(ImageKind::Program, program, "paced.hex");
  const auto start = std::chrono::steady_clock::now();
  Command(firmware::kCmdWriteProgram);
  ASSERT_TRUE(TransferEnds(60s));
  // A lower bound only, so that the test cannot pass without the write having outlived two
  // ticks of the block timer; load only makes the write longer.
  EXPECT_GT(std::chrono::steady_clock::now() - start, 2500ms);
  EXPECT_EQ(Status(), "Write finished: 144 pages.");
  const Bytes flash = memory_->Flash();
  EXPECT_TRUE(std::equal(program.begin(), program.end(), flash.begin()));
  EXPECT_TRUE(dialog->Protocol().Ready());
}

// Files reach the device at their own addresses: one based at 0x1C00, one with a gap (both ranges
// written, the gap erased as the image holds it), and a data file based at 0x180.
TEST_F(FirmwareUpgradeTest, ImagesReachTheDeviceAtTheirOwnAddresses) {
  ASSERT_NO_FATAL_FAILURE(Connect());
  OpenDialog();
  ASSERT_TRUE(EnterBootloader());

  const Bytes boot = test::Pattern(1000, 11);
  OpenText(ImageKind::Program, test::HexText(0x1C00, boot), "boot.hex");
  EXPECT_EQ(WriteAndWait(ImageKind::Program), "Write finished: 4 pages.");
  Bytes flash = memory_->Flash();
  EXPECT_TRUE(std::equal(boot.begin(), boot.end(), flash.begin() + 0x1C00));
  EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 0x1C00, [](auto b) { return b == 0xFF; }));

  const Bytes first = test::Pattern(256, 1);
  const Bytes second = test::Pattern(256, 2);
  std::string gapped = test::HexText(0, first);
  gapped.erase(gapped.rfind(':'));
  gapped += test::HexText(4096, second);
  OpenText(ImageKind::Program, gapped, "gapped.hex");
  EXPECT_EQ(WriteAndWait(ImageKind::Program), "Write finished: 17 pages.");
  flash = memory_->Flash();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), flash.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), flash.begin() + 4096));
  EXPECT_TRUE(
      std::all_of(flash.begin() + 256, flash.begin() + 4096, [](auto b) { return b == 0xFF; }));

  const Bytes data = test::Pattern(200, 5);
  OpenText(ImageKind::Data, test::HexText(0x180, data), "data.eep");
  EXPECT_EQ(WriteAndWait(ImageKind::Data), "Write finished: 2 blocks.");
  const Bytes eeprom = memory_->Eeprom();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin() + 0x180));
  EXPECT_EQ(eeprom[0x17F], 0xFF);
}

TEST_F(FirmwareUpgradeTest, MenuItemsByTheirTextsEnterAfterASecondAndWriteUnderTheBlockTimer) {
  // "Jump Boot Program" leaves the bootloader a second to start before asking who it is: the
  // simulator stamps the first request it takes. A bootloader that never acknowledges a block:
  // the write shows its progress and Cancel, runs timer 10 with its period of one second, and
  // ends on its own after the time-out.
  struct FirstRequest {
    std::mutex mutex;
    std::optional<std::chrono::steady_clock::time_point> at;
  };
  auto firstRequest = std::make_shared<FirstRequest>();
  sim::SimulatorOptions options;
  options.trace = [firstRequest](const std::string& line) {
    if (line.find("(request)") != std::string::npos) {
      std::lock_guard lock(firstRequest->mutex);
      firstRequest->at = firstRequest->at.value_or(std::chrono::steady_clock::now());
    }
  };
  sim::BootloaderSettings device;
  device.neverAcknowledge = true;
  ASSERT_NO_FATAL_FAILURE(Connect(device, options));
  CBootloader* dialog = OpenDialog();
  const auto jumped = std::chrono::steady_clock::now();
  ASSERT_TRUE(Choose("&Command", "Jump &Boot Program"));
  ASSERT_TRUE(WaitFor([&] { return dialog->Protocol().Ready(); }));
  EXPECT_EQ(Value(0), "ATmega128");
  {
    std::lock_guard lock(firstRequest->mutex);
    ASSERT_TRUE(firstRequest->at.has_value());
    EXPECT_GE(*firstRequest->at - jumped, 1000ms);
  }

  nextFile_ = files_.Write("velora.eep", test::HexText(0, test::Pattern(1000, 3)));
  ASSERT_TRUE(Choose("&File", "Open &Data(EEPROM) File"));
  ASSERT_TRUE(WaitFor([&] { return dialog->Image().Loaded(ImageKind::Data); }));
  EXPECT_EQ(dialog->Label(0)->GetCaption(), nextFile_);

  ASSERT_TRUE(Choose("&Command", "Write Data(EEP&ROM)"));
  ASSERT_TRUE(WaitFor([&] { return TransferShown(); }));
  EXPECT_TRUE(dialog->CancelButton()->window->isVisible());
  EXPECT_EQ(dialog->ProgressBar()->maximum(), 1000);
  EXPECT_TRUE(dialog->timerRunning(firmware::kBlockTimerId));
  EXPECT_EQ(dialog->timerInterval(10), 1000);
  ASSERT_TRUE(TransferEnds());
  EXPECT_FALSE(dialog->timerRunning(10));
  EXPECT_FALSE(dialog->CancelButton()->window->isVisible());
  EXPECT_TRUE(dialog->Protocol().Ready());

  // Items without a protocol do nothing, and Exit closes the dialog.
  ASSERT_TRUE(Choose("&Command", "Bootloader &Lock"));
  EXPECT_FALSE(TransferShown());
  QPointer<CBootloader> watch(dialog);
  ASSERT_TRUE(Choose("&File", "E&xit"));
  EXPECT_TRUE(WaitFor([&] { return watch.isNull(); }));
}

} // namespace
} // namespace lamp
