// The settings dialogs inside the real main window: opened from the option menu, one of each,
// and the serial port setup handing a reopened port back to the main window.

#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

#include "../settings/temp_folder.h"
#include "controls/text_label.h"
#include "dialog_host.h"
#include "dialog_test_support.h"
#include "main_window.h"
#include "platform/message_box.h"
#include "platform/notify.h"
#include "settings/rs232_setup.h"
#include "settings/settings_dialogs.h"

namespace lamp::test {
namespace {

constexpr OptionDialog kSettingsDialogs[] = {OptionDialog::Automode, OptionDialog::FanCtrl,
                                             OptionDialog::Rs232Setup, OptionDialog::Machine,
                                             OptionDialog::UserMode};

class MainWindowDialogs : public ::testing::Test {
protected:
  MainWindowDialogs() {
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
    for (OptionDialog which : kSettingsDialogs) {
      MainWindow::SetOptionDialogFactory(which, [which](PanelHost& host, QWidget* parent) {
        return MakeSettingsDialog(which, host, parent);
      });
    }
  }
  ~MainWindowDialogs() override {
    window.reset();
    for (OptionDialog which : kSettingsDialogs) {
      MainWindow::SetOptionDialogFactory(which, {});
    }
    unsetenv("XDG_CONFIG_HOME");
  }

  void WriteSettings(const std::string& port) {
    WriteFile(folder.Path() / "lamp.INI", "[SERIAL]\nPORT=" + port +
                                              "\nBAUDRATE=115200\nDATABIT=8\nPARITY=NONE\n"
                                              "STOPBIT=1\nFLOW=NONE\n");
  }
  void Start() {
    window = std::make_unique<MainWindow>();
    window->Initialise();
    window->show();
  }
  void ChooseFromMenu(OptionDialog which) {
    window->send(WM_COMMAND, MakeWParam(kFirstOptionCommand + static_cast<unsigned>(which), 0), 0);
  }
  // Reads what the main window sends until a frame equal to `frame` came.
  bool Sent(const Bytes& frame) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      QApplication::processEvents();
      Bytes head = peer.Receive(2, std::chrono::milliseconds(50));
      if (head.size() < 2) {
        continue;
      }
      Bytes rest = peer.Receive(head[1] - 2u, std::chrono::seconds(1));
      head.insert(head.end(), rest.begin(), rest.end());
      if (head == frame) {
        return true;
      }
    }
    return false;
  }

  TempFolder folder;
  PtyPair peer;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowDialogs, EachDialogChosenTwiceFromTheMenuStaysOneDialog) {
  WriteSettings(peer.DevicePath());
  Start();
  for (OptionDialog which : kSettingsDialogs) {
    ChooseFromMenu(which);
    QWidget* first = window->OpenOptionDialog(which);
    ASSERT_NE(first, nullptr);
    ChooseFromMenu(which);
    EXPECT_EQ(window->OpenOptionDialog(which), first);
    int shown = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      shown += top->isVisible() && top->windowTitle() == first->windowTitle() ? 1 : 0;
    }
    EXPECT_EQ(shown, 1) << first->windowTitle().toStdString();
  }
  // The dialogs' first reads find them open: System setup asks for its table.
  EXPECT_TRUE(Sent(Frame(16, 1)));

  // Closed, the reference is cleared and the menu makes a fresh dialog.
  QPointer<QWidget> machine = window->OpenOptionDialog(OptionDialog::Machine);
  QTest::keyClick(machine, Qt::Key_Escape);
  EXPECT_EQ(window->OpenOptionDialog(OptionDialog::Machine), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return machine.isNull(); }, 5000));
  ChooseFromMenu(OptionDialog::Machine);
  EXPECT_NE(window->OpenOptionDialog(OptionDialog::Machine), nullptr);
  EXPECT_TRUE(Sent(Frame(16, 1)));
}

TEST_F(MainWindowDialogs, PortReopenedAfterAFailedStartUpDeliversRepliesToThePanel) {
  WriteSettings("/dev/lamp-no-such-port");
  MessageBoxRecorder boxes;
  Start();
  EXPECT_EQ(boxes.texts(), std::vector<QString>{"/dev/lamp-no-such-port already open."});
  EXPECT_FALSE(window->DispatcherRunning());

  // The operator names the right port in the file by hand and confirms a change in the dialog.
  WriteSettings(peer.DevicePath());
  ChooseFromMenu(OptionDialog::Rs232Setup);
  auto* setup = dynamic_cast<CRs232Setup*>(window->OpenOptionDialog(OptionDialog::Rs232Setup));
  ASSERT_NE(setup, nullptr);
  QTest::keyClick(setup->List(1), Qt::Key_Down);
  QPointer<QWidget> watch(setup);
  ASSERT_TRUE(Press(*setup, "Ok"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 5000));
  EXPECT_EQ(boxes.texts().size(), 1u);
  EXPECT_TRUE(window->DispatcherRunning());

  // A status reply from the controller reaches the panel: 30 degrees, fan on.
  peer.Send(Frame(7, 1, {0x1E, 0x00, 0x01}));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return window->TemperatureLabel()->GetCaption() == QString::fromUtf8("30\u2103"); },
      10000));
  EXPECT_EQ(window->FanLabel()->GetCaption(), "ON");
}

} // namespace
} // namespace lamp::test
