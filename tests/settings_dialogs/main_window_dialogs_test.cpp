// The settings dialogs inside the real main window: opened from the option menu, one of each,
// and the serial port setup handing a reopened port back to the main window.

#include <QComboBox>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <knoblet/button_object.h>

#include "app/lamp_app.h"
#include "app/main_window.h"
#include "controls/custom_list.h"
#include "controls/text_label.h"
#include "dialog_host.h"
#include "lamp_test/operator_input.h"
#include "lamp_test/temp_folder.h"
#include "platform/message_box.h"
#include "platform/notify.h"
#include "settings_dialogs/automode.h"
#include "settings_dialogs/rs232_setup.h"
#include "settings_dialogs/settings_dialogs.h"

namespace lamp::test {
namespace {

constexpr OptionDialog kSettingsDialogs[] = {OptionDialog::Automode, OptionDialog::FanCtrl,
                                             OptionDialog::Rs232Setup, OptionDialog::Machine,
                                             OptionDialog::UserMode};

class MainWindowDialogs : public ::testing::Test {
protected:
  MainWindowDialogs() { setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1); }
  ~MainWindowDialogs() override {
    window.reset();
    unsetenv("XDG_CONFIG_HOME");
  }

  void WriteSettings(const std::string& port) {
    WriteFile(folder.Path() / "lamp.INI", "[SERIAL]\nPORT=" + port +
                                              "\nBAUDRATE=115200\nDATABIT=8\nPARITY=NONE\n"
                                              "STOPBIT=1\nFLOW=NONE\n");
  }
  void Start() {
    // The settings dialogs as the program makes them; no firmware dialog.
    OptionDialogFactories dialogs = ProgramOptionDialogs();
    dialogs[static_cast<std::size_t>(OptionDialog::Bootloader)] = {};
    window = std::make_unique<MainWindow>(PanelSetup{.dialogs = std::move(dialogs)});
    window->Initialise();
    window->show();
  }
  void ChooseFromMenu(OptionDialog which) {
    window->send(WM_COMMAND, MakeWParam(kFirstOptionCommand + static_cast<unsigned>(which), 0), 0);
  }
  // Clicks OPTION and, while its menu is up, notes its items and where it stands, then chooses
  // the item captioned `item` with the keyboard (or closes the menu when there is none).
  QStringList ChooseOption(const QString& item, const std::function<void()>& open = {}) {
    QStringList shown;
    bool done = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr || done) {
        return;
      }
      done = true;
      menuAt = menu->pos();
      for (QAction* action : menu->actions()) {
        shown << action->text();
      }
      for (QAction* action : menu->actions()) {
        if (action->text() == item) {
          menu->setActiveAction(action);
          QTest::keyClick(menu, Qt::Key_Return);
          return;
        }
      }
      menu->close();
    });
    poll.start(10);
    if (open) {
      open();
    } else {
      QTest::mouseClick(window->Button(kOptionButton)->window, Qt::LeftButton);
    }
    poll.stop();
    return shown;
  }
  // Reads what the main window sends until a frame equal to `frame` came.
  bool Sent(const Bytes& frame) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      QApplication::processEvents();
      if (peer.ReceiveFrame(std::chrono::milliseconds(50), std::chrono::seconds(1)) == frame) {
        return true;
      }
    }
    return false;
  }

  TempFolder folder;
  PtyPair peer;
  std::unique_ptr<MainWindow> window;
  QPoint menuAt;
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

TEST_F(MainWindowDialogs, OptionMenuOffersTheSixItemsInOrderAndEachOpensItsDialog) {
  WriteSettings(peer.DevicePath());
  Start();
  const QStringList items = {"Auto mode setup", "Fan control",      "Serial port setup",
                             "System setup",    "Firmware upgrade", "User Mode Setting"};
  struct Choice {
    const char* item;
    OptionDialog dialog;
    const char* title;
  };
  for (const Choice& c :
       {Choice{"Auto mode setup", OptionDialog::Automode, "Auto mode setup"},
        Choice{"Fan control", OptionDialog::FanCtrl, "Fan control"},
        Choice{"Serial port setup", OptionDialog::Rs232Setup, "Serial port setup"},
        Choice{"System setup", OptionDialog::Machine, "System setup"},
        Choice{"User Mode Setting", OptionDialog::UserMode, "User Mode Setting.."}}) {
    SCOPED_TRACE(c.item);
    EXPECT_EQ(ChooseOption(c.item), items);
    QWidget* option = window->Button(kOptionButton)->window;
    EXPECT_EQ(menuAt, option->mapToGlobal(QPoint(0, option->height())));
    QWidget* dialog = window->OpenOptionDialog(c.dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), c.title);
    for (OptionDialog other : kSettingsDialogs) {
      if (other != c.dialog && window->OpenOptionDialog(other) != nullptr) {
        EXPECT_NE(window->OpenOptionDialog(other)->windowTitle(), c.title);
      }
    }
    dialog->close();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->OpenOptionDialog(c.dialog) == nullptr; }, 5000));
  }
  // The key O, typed to whatever has the focus in the panel, opens the same menu.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  EXPECT_EQ(
      ChooseOption("Fan control", [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_O); }),
      items);
  EXPECT_NE(window->OpenOptionDialog(OptionDialog::FanCtrl), nullptr);
}

TEST_F(MainWindowDialogs, UserModeSettingStandsAtThePanelsCornerTheOthersAtTheScreensMiddle) {
  WriteSettings(peer.DevicePath());
  Start();
  window->move(40, 30);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->pos() == QPoint(40, 30); }, 5000));
  ChooseFromMenu(OptionDialog::UserMode);
  QWidget* userMode = window->OpenOptionDialog(OptionDialog::UserMode);
  ASSERT_NE(userMode, nullptr);
  EXPECT_EQ(userMode->pos(), window->mapToGlobal(QPoint(0, 0)));
  QRect overPanel(QPoint(), userMode->size());
  overPanel.moveCenter(window->geometry().center());
  EXPECT_NE(userMode->pos(), overPanel.topLeft());

  ChooseFromMenu(OptionDialog::Machine);
  QWidget* machine = window->OpenOptionDialog(OptionDialog::Machine);
  ASSERT_NE(machine, nullptr);
  QRect onScreen(QPoint(), machine->size());
  onScreen.moveCenter(QApplication::primaryScreen()->availableGeometry().center());
  EXPECT_EQ(machine->pos(), onScreen.topLeft());
}

TEST_F(MainWindowDialogs, AutoModeSetupOpensInTheKindTheControllerReported) {
  WriteSettings(peer.DevicePath());
  Start();
  ASSERT_TRUE(Sent(Frame(8, 1)));
  peer.Send(Frame(8, 1, {1}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->State().autoKind.load() == 1; }, 10000));
  ChooseOption("Auto mode setup");
  auto* dialog = dynamic_cast<CAutomode*>(window->OpenOptionDialog(OptionDialog::Automode));
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->Radio(1)->isChecked());
  EXPECT_EQ(dialog->Grid()->GetItemCount(), 32);
  EXPECT_TRUE(Sent(Frame(12, 1)));
}

} // namespace
} // namespace lamp::test
