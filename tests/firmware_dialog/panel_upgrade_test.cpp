// The firmware dialog as the operator reaches it: opened from the real main window's option menu
// (command 10004), with the main window owning the port to the simulated controller and handing
// every chunk to the dialog. While the dialog is open the panel sends no status poll.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <mutex>

#include "app/main_window.h"
#include "controls/text_label.h"
#include "dialog_rig.h"
#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/bootloader_menu.h"
#include "lamp_test/panel_settings.h"
#include "platform/message_box.h"
#include "platform/notify.h"
#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace lamp {
namespace {

using firmware::ImageKind;
using namespace std::chrono_literals;

constexpr int kFirmwareUpgradeCommand = 10004;

class PanelUpgradeTest : public ::testing::Test {
protected:
  void SetUp() override {
    sim::SimulatorOptions options;
    options.link = files_.Path() / "velora";
    options.trace = [this](const std::string& line) {
      const std::lock_guard lock(mutex_);
      if (line.find("<- 5A 06 01 07 01 03") != std::string::npos) {
        ++polls_;
      }
    };
    simulator_ = std::make_unique<sim::Simulator>(std::move(options));
    memory_ = sim::InstallBootloader(*simulator_, {});
    std::string error;
    ASSERT_TRUE(simulator_->Start(&error)) << error;

    ASSERT_TRUE(config_.isValid());
    ASSERT_TRUE(test::WritePanelSettings(config_.path(), (files_.Path() / "velora").string()));

    OptionDialogFactories dialogs;
    dialogs[static_cast<std::size_t>(OptionDialog::Bootloader)] = MakeBootloaderDialog;
    window_ = std::make_unique<MainWindow>(PanelSetup{.dialogs = std::move(dialogs)});
    window_->Initialise();
    window_->show();
  }

  void TearDown() override {
    window_->close();
    window_.reset();
    simulator_.reset();
  }

  [[nodiscard]] int Polls() {
    const std::lock_guard lock(mutex_);
    return polls_;
  }

  MessageBoxRecorder boxes_;
  test::HexFolder files_;
  QTemporaryDir config_;
  std::unique_ptr<sim::Simulator> simulator_;
  std::shared_ptr<sim::BootloaderMemory> memory_;
  std::unique_ptr<MainWindow> window_;
  std::mutex mutex_;
  int polls_ = 0;
};

TEST_F(PanelUpgradeTest, OptionMenuDialogUpgradesThroughTheMainWindowsPort) {
  ASSERT_TRUE(test::WaitFor([&] { return Polls() >= 1; })); // the panel polls the controller

  window_->send(WM_COMMAND, kFirmwareUpgradeCommand, 0);
  QPointer<CBootloader> dialog =
      dynamic_cast<CBootloader*>(window_->OpenOptionDialog(OptionDialog::Bootloader));
  ASSERT_FALSE(dialog.isNull());
  window_->send(WM_COMMAND, kFirmwareUpgradeCommand, 0); // only focuses the open one
  EXPECT_EQ(window_->OpenOptionDialog(OptionDialog::Bootloader), dialog.data());
  ASSERT_NE(dialog->CancelButton(), nullptr); // the panel's push-button library

  const test::Bytes program = test::Pattern(1500, 3);
  const QString path = files_.Write("velora.hex", test::HexText(0, program));
  dialog->SetFileChooser([&](QWidget*, const QString&) { return path; });
  dialog->RunCommand(firmware::kCmdOpenProgramFile);
  const int pollsBefore = Polls();

  dialog->RunCommand(firmware::kCmdJumpBoot);
  ASSERT_TRUE(test::WaitFor([&] { return dialog->Protocol().Ready(); }));
  EXPECT_EQ(dialog->Label(7)->GetCaption(), "ATmega128");
  dialog->RunCommand(firmware::kCmdWriteProgram);
  ASSERT_TRUE(test::WaitFor([&] { return dialog->Protocol().WorkerRunning(); }));
  ASSERT_TRUE(test::WaitFor([&] { return !dialog->Protocol().WorkerRunning(); }));
  const test::Bytes flash = memory_->Flash();
  EXPECT_TRUE(std::equal(program.begin(), program.end(), flash.begin()));

  dialog->RunCommand(firmware::kCmdJumpApplication);
  ASSERT_TRUE(test::WaitFor([&] {
    return simulator_->ActiveKind() == sim::PersonalityKind::Application &&
           dialog->Label(7)->GetCaption() == "--------";
  }));
  EXPECT_EQ(Polls(), pollsBefore); // several poll periods passed without a poll

  // Closed, the dialog is forgotten and the status poll comes back.
  dialog->close();
  EXPECT_EQ(window_->OpenOptionDialog(OptionDialog::Bootloader), nullptr);
  ASSERT_TRUE(test::WaitFor([&] { return Polls() > pollsBefore; }));
}

} // namespace
} // namespace lamp
