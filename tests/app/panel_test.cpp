// The main panel against a scripted controller on a pseudo-terminal: start-up, the road of a
// command to the line and of its reply back to the panel, missing libraries, a busy port, the
// panel's buttons, editor and keys, the automatic-mode display, and closing while replies flow.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <comlane/serial_port.h>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>
#include <sys/file.h>
#include <thread>
#include <wndmsg/messages.h>

#include "app/lamp_app.h"
#include "app/main_window.h"
#include "controls/image_static.h"
#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "lamp_test/panel_settings.h"
#include "lamp_test/pty_peer.h"
#include "platform/message_box.h"
#include "platform/notify.h"

namespace lamp {
namespace {

using test::Frame;
using test::PtyPeer;
using test::ReplyFrame;

constexpr int kDeadlineMs = 10000;

Frame Read(std::uint8_t command) {
  return {0x5A, 0x06, 0x01, command, 0x01, 0x03};
}
// The read of the selected digit carries the digit of lamp 1's display.
Frame ReadDigit(std::uint8_t digit) {
  return {0x5A, 0x07, 0x01, 0x03, 0x01, digit, 0x03};
}

// A settings dialog that takes part in commands and replies, made through the option menu's
// factory hook.
class TableDialog : public QDialog, public DialogData, public ReplyDialog {
public:
  explicit TableDialog(QWidget* parent) : QDialog(parent) { setAttribute(Qt::WA_DeleteOnClose); }
  std::string CellText(int, int) const override { return {}; }
  std::string FieldText(int) const override { return {}; }
  int SelectedUser() const override { return 0; }
  void SetCellText(int, int, const std::string&) override {}
  void SetFieldText(int, const std::string&) override {}
  void CheckRadio(int, int, int) override {}
  void SetSelectedUser(int) override {}
};

class PanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(test::WritePanelSettings(config.path(), peer.SlavePath()));
  }

  void TearDown() override {
    if (window) {
      window->close();
      window.reset();
    }
    qunsetenv("LAMP_LIB_DIR");
  }

  void Start(OptionDialogFactories dialogs = {}) {
    window = std::make_unique<MainWindow>(
        PanelSetup{.dialogs = std::move(dialogs), .freeze = [this](std::chrono::milliseconds time) {
                     frozenMs += static_cast<int>(time.count());
                   }});
    window->Initialise();
    window->show();
  }

  // Collects the frames the panel sends until `done` holds for them, or the deadline passes.
  template <class Pred> bool WaitForFrames(Pred done) {
    return QTest::qWaitFor(
        [&] {
          for (Frame& frame : peer.TakeFrames()) {
            sent.push_back(std::move(frame));
          }
          return done(sent);
        },
        kDeadlineMs);
  }
  bool WaitForFrame(const Frame& expected) {
    return WaitForFrames([&](const std::vector<Frame>& frames) {
      return std::find(frames.begin(), frames.end(), expected) != frames.end();
    });
  }
  // The frames sent so far apart from status polls.
  std::vector<Frame> Commands() const {
    std::vector<Frame> result;
    for (const Frame& frame : sent) {
      if (frame != Read(7)) {
        result.push_back(frame);
      }
    }
    return result;
  }
  // Waits for the read-back sent at start-up and forgets the frames seen so far.
  void SettleStartUp() {
    ASSERT_TRUE(WaitForFrame(Read(8)));
    sent.clear();
  }
  void Reply(const Frame& frame) { peer.Write(frame); }
  bool Until(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, kDeadlineMs);
  }
  QWidget* ButtonWindow(int index) { return window->Button(index)->window; }

  PtyPeer peer;
  QTemporaryDir config;
  MessageBoxRecorder boxes;
  std::unique_ptr<MainWindow> window;
  std::vector<Frame> sent;
  int frozenMs = 0;
};

TEST_F(PanelTest, StartUpAssemblesThePanelAndReadsTheStateBackInOrder) {
  Start();
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_TRUE(window->DispatcherRunning());
  ASSERT_TRUE(WaitForFrames([](const std::vector<Frame>& f) { return f.size() >= 5; }));
  EXPECT_EQ(std::vector<Frame>(sent.begin(), sent.begin() + 5),
            (std::vector<Frame>{Read(18), Read(1), Read(2), ReadDigit(3), Read(8)}));

  const int w = window->width();
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(window->Display(i), nullptr);
    EXPECT_EQ(window->Display(i)->window->x(), w / 2);
    EXPECT_EQ(ButtonWindow(i)->geometry().right() + 1, w / 2 - 16);
    EXPECT_EQ(ButtonWindow(i)->y(), window->Display(i)->window->y());
  }
  const QRect last = window->Display(3)->window->geometry();
  const QRect marker = window->CursorMarker()->geometry();
  EXPECT_GT(marker.left(), last.left() + 3 * last.width() / 4);
  EXPECT_EQ(marker.top(), last.bottom() + 1 + 5);
  EXPECT_GT(ButtonWindow(kLeftButton)->x(), last.right());
  EXPECT_EQ(window->Button(kOnOffButton)->state.load(), 1);
  EXPECT_EQ(window->TemperatureLabel()->GetCaption(), QStringLiteral("25\u2103"));
  EXPECT_EQ(window->FanLabel()->GetCaption(), QStringLiteral("OFF"));
  EXPECT_FALSE(window->StatusLabel()->isVisible());
}

TEST_F(PanelTest, LampButtonClickTravelsToTheLineAndTheReplyComesBack) {
  Start();
  SettleStartUp();
  QTest::mouseClick(ButtonWindow(1), Qt::LeftButton);
  EXPECT_EQ(window->Button(1)->state.load(), 1);
  EXPECT_EQ(window->State().lampMask.load(), 0xF2);
  ASSERT_TRUE(WaitForFrame({0x5A, 0x08, 0x01, 0x01, 0x00, 0xF2, 0x00, 0x03}));

  // The controller reports lamps 2 and 3 on and display 1 highlighted.
  Reply(ReplyFrame(1, {0xE6, 0x00}));
  ASSERT_TRUE(Until([&] { return window->State().lampMask.load() == 0xE6; }));
  EXPECT_EQ(window->Button(0)->state.load(), 0);
  EXPECT_EQ(window->Button(1)->state.load(), 1);
  EXPECT_EQ(window->Button(2)->state.load(), 1);
  EXPECT_EQ(window->Button(3)->state.load(), 0);
}

TEST_F(PanelTest, MissingLibraryIsReportedOnceAndStartUpGoesOn) {
  struct Case {
    const char* missing;
    const char* text;
  };
  for (const Case c : {Case{"libsegmenta.so", "Segmenta.Dll\n File not found."},
                       Case{"libknoblet.so", "Knoblet.Dll\n File not found."},
                       Case{"libcomlane.so", "Comlane.Dll\n File not found."}}) {
    SCOPED_TRACE(c.missing);
    QTemporaryDir libraries;
    for (const char* name : {"libsegmenta.so", "libknoblet.so", "libcomlane.so"}) {
      if (std::string(name) != c.missing) {
        ASSERT_TRUE(QFile::link(QStringLiteral(LAMP_BIN_DIR "/") + QString::fromLatin1(name),
                                QDir(libraries.path()).filePath(QString::fromLatin1(name))));
      }
    }
    qputenv("LAMP_LIB_DIR", libraries.path().toUtf8());
    MessageBoxRecorder recorder;
    Start();
    EXPECT_EQ(recorder.texts(), (std::vector<QString>{QString::fromLatin1(c.text)}));
    const std::string missing = c.missing;
    EXPECT_EQ(window->Display(0) == nullptr, missing == "libsegmenta.so");
    EXPECT_EQ(window->Button(0) == nullptr, missing == "libknoblet.so");
    EXPECT_EQ(window->DispatcherRunning(), missing != "libcomlane.so");
    if (missing == "libknoblet.so") {
      EXPECT_EQ(window->StatusLabel()->geometry(), QRect(0, 0, 100, 100));
    }
    // Keys and polls reach parts that were not made without harm.
    for (int key : {Qt::Key_Up, Qt::Key_1, Qt::Key_5, Qt::Key_A, Qt::Key_P, Qt::Key_R}) {
      QTest::keyClick(window.get(), static_cast<Qt::Key>(key));
    }
    window->close();
    EXPECT_FALSE(window->DispatcherRunning());
    window.reset();
  }
}

TEST_F(PanelTest, PortInUseIsReportedAndNoDispatcherRuns) {
  const int holder = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  Start();
  EXPECT_EQ(boxes.texts(),
            (std::vector<QString>{QString::fromStdString(peer.SlavePath() + " already open.")}));
  EXPECT_FALSE(window->DispatcherRunning());

  // Once the port is free, the serial port setup reopens it and hands it back to the panel.
  close(holder);
  comlane::SerialPort* port = window->SerialPort();
  ASSERT_NE(port->Open(), 0);
  ASSERT_NE(port->StartThreads(), 0);
  window->SerialPortReopened();
  EXPECT_TRUE(window->DispatcherRunning());
  Reply(ReplyFrame(7, {30, 0, 0}));
  EXPECT_TRUE(Until([&] { return window->TemperatureLabel()->GetCaption() == "30\u2103"; }));
}

TEST_F(PanelTest, UpStepsHighlightedDisplaysOrElseThoseOfLampsThatAreOff) {
  struct Case {
    std::uint8_t lampMask;
    std::array<std::int32_t, 4> levels;
  };
  // Displays 1 and 3 highlighted; none highlighted with lamps 1 and 2 on; highlighting wins over
  // the lamps. Every display starts at 100 with the cursor on the last digit, so Up adds one.
  for (const Case c : {Case{0x50, {100, 101, 100, 101}}, Case{0xF3, {100, 100, 101, 101}},
                       Case{0x53, {100, 101, 100, 101}}}) {
    Start();
    SettleStartUp();
    Reply(ReplyFrame(1, {c.lampMask, 0}));
    Reply(ReplyFrame(2, {100, 0, 100, 0, 100, 0, 100, 0}));
    ASSERT_TRUE(Until([&] { return window->Display(3)->level.load() == 100; }));
    ASSERT_EQ(window->State().lampMask.load(), c.lampMask);
    ASSERT_EQ(window->Display(3)->GetCursorDigit(), 3);
    QTest::keyClick(window.get(), Qt::Key_Up);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(window->Display(i)->level.load(), c.levels[static_cast<std::size_t>(i)])
          << int(c.lampMask) << " display " << i;
    }
    ASSERT_TRUE(WaitForFrame({0x5A, 0x0E, 0x01, 0x02, 0x00, static_cast<std::uint8_t>(c.levels[0]),
                              0, static_cast<std::uint8_t>(c.levels[1]), 0,
                              static_cast<std::uint8_t>(c.levels[2]), 0,
                              static_cast<std::uint8_t>(c.levels[3]), 0, 0x03}));
    window->close();
    window.reset();
    sent.clear();
  }
}

TEST_F(PanelTest, HeldArrowRepeatsUntilReleased) {
  Start();
  SettleStartUp();
  QTest::mousePress(ButtonWindow(kUpButton), Qt::LeftButton);
  // With no display highlighted and every lamp off, each step raises all four displays.
  ASSERT_TRUE(Until([&] { return window->Display(0)->level.load() >= 3; }));
  QTest::mouseRelease(ButtonWindow(kUpButton), Qt::LeftButton);
  ASSERT_TRUE(Until([&] { return !window->timerRunning(kRepeatTimer); }));
  const std::int32_t stopped = window->Display(0)->level.load();
  EXPECT_FALSE(window->timerRunning(kHoldTimer));
  EXPECT_EQ(window->Display(3)->level.load(), stopped);
}

TEST_F(PanelTest, EditorTakesAtMostOneThousandAndAnyLeftClickClosesIt) {
  Start();
  SettleStartUp();
  std::int32_t index = 2;
  auto openEditor = [&] {
    window->send(wndmsg::WM_DISPLAY_EDIT, reinterpret_cast<WParam>(&index), 0);
    ASSERT_TRUE(window->Editor()->isVisible());
    EXPECT_FALSE(window->Display(2)->window->isVisible());
  };

  openEditor();
  window->Editor()->selectAll();
  QTest::keyClicks(window->Editor(), QStringLiteral("1001"));
  QTest::keyClick(window->Editor(), Qt::Key_Return);
  EXPECT_FALSE(window->Editor()->isVisible());
  EXPECT_TRUE(window->Display(2)->window->isVisible());
  EXPECT_EQ(window->Display(2)->level.load(), 0);

  openEditor();
  window->Editor()->selectAll();
  QTest::keyClicks(window->Editor(), QStringLiteral("250"));
  QTest::keyClick(window->Editor(), Qt::Key_Enter);
  EXPECT_EQ(window->Display(2)->level.load(), 250);
  ASSERT_TRUE(WaitForFrame({0x5A, 0x0E, 0x01, 0x02, 0x00, 0, 0, 0, 0, 250, 0, 0, 0, 0x03}));
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const Frame& f) { return f[3] == 2; }), 1);

  for (QWidget* target :
       {static_cast<QWidget*>(window->Editor()), static_cast<QWidget*>(window.get())}) {
    openEditor();
    QTest::keyClicks(window->Editor(), QStringLiteral("7"));
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(window->Editor()->isVisible());
    EXPECT_TRUE(window->Display(2)->window->isVisible());
    EXPECT_EQ(window->Display(2)->level.load(), 250);
  }

  // Any reply ends an edit without taking it, an empty entry too.
  openEditor();
  Reply({0x5A, 0x19, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  ASSERT_TRUE(Until([&] { return !window->Editor()->isVisible(); }));
  EXPECT_TRUE(window->Display(2)->window->isVisible());
}

TEST_F(PanelTest, UserSelectorChoosesOneLampAndKeepsTheChoiceWhileItsDialogIsOpen) {
  OptionDialogFactories dialogs;
  dialogs[static_cast<std::size_t>(OptionDialog::UserMode)] = [](PanelHost&, QWidget* parent) {
    return new TableDialog(parent);
  };
  Start(std::move(dialogs));
  SettleStartUp();
  Reply(ReplyFrame(18, {1}));
  Reply(ReplyFrame(1, {0x01, 0x00}));
  ASSERT_TRUE(Until([&] { return window->State().userLampMask.load() == 1; }));

  QTest::mouseClick(ButtonWindow(2), Qt::LeftButton);
  EXPECT_EQ(window->State().userLampMask.load(), 0x4);
  ASSERT_TRUE(WaitForFrame({0x5A, 0x08, 0x01, 0x01, 0x00, 0x04, 0x00, 0x03}));
  // The selector redraw leaves the chosen button up (0) and the others down (1).
  ASSERT_TRUE(Until([&] { return window->Button(2)->state.load() == 0; }));
  ASSERT_TRUE(Until([&] { return window->Button(0)->state.load() == 1; }));
  EXPECT_EQ(window->Button(1)->state.load(), 1);
  EXPECT_EQ(window->Button(3)->state.load(), 1);

  QTest::mouseClick(ButtonWindow(2), Qt::LeftButton);
  EXPECT_EQ(window->State().userLampMask.load(), 0);

  window->send(WM_COMMAND, 10005, 0);
  ASSERT_NE(window->OpenOptionDialog(OptionDialog::UserMode), nullptr);
  QTest::mouseClick(ButtonWindow(3), Qt::LeftButton);
  EXPECT_EQ(window->State().userLampMask.load(), 0);
}

TEST_F(PanelTest, OptionDialogsOpenOnceAndTheFirmwareDialogStopsThePoll) {
  int made = 0;
  OptionDialogFactories dialogs;
  dialogs[static_cast<std::size_t>(OptionDialog::FanCtrl)] = [&](PanelHost&, QWidget* parent) {
    ++made;
    return new TableDialog(parent);
  };
  dialogs[static_cast<std::size_t>(OptionDialog::Bootloader)] = [](PanelHost&, QWidget* parent) {
    auto* dialog = new Dialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
  };
  Start(std::move(dialogs));
  SettleStartUp();
  window->send(WM_COMMAND, 10001, 0);
  window->send(WM_COMMAND, 10001, 0);
  EXPECT_EQ(made, 1);
  window->send(WM_COMMAND, 10002, 0); // no serial setup dialog registered: nothing
  EXPECT_EQ(window->OpenOptionDialog(OptionDialog::Rs232Setup), nullptr);

  window->send(WM_COMMAND, 10004, 0);
  QWidget* firmware = window->OpenOptionDialog(OptionDialog::Bootloader);
  ASSERT_NE(firmware, nullptr);
  sent.clear();
  // Several poll periods pass; a reply 7 shows that the line and the panel are alive meanwhile.
  QTest::qWait(1600);
  EXPECT_TRUE(WaitForFrames([](const std::vector<Frame>&) { return true; }));
  EXPECT_EQ(std::count(sent.begin(), sent.end(), Read(7)), 0);
  firmware->close();
  ASSERT_TRUE(Until([&] { return window->OpenOptionDialog(OptionDialog::Bootloader) == nullptr; }));
  ASSERT_TRUE(WaitForFrame(Read(7)));
}

// A dialog reports its close when it closes and again when it is deleted, later. A dialog of the
// same kind opened in between keeps its place, and with it the line's bytes for the firmware
// dialog and its data in the commands and replies for a settings dialog.
TEST_F(PanelTest, DialogReopenedBeforeTheOldOneIsDeletedStaysOpen) {
  Start(ProgramOptionDialogs());
  SettleStartUp();
  for (OptionDialog which : {OptionDialog::Bootloader, OptionDialog::FanCtrl}) {
    SCOPED_TRACE(static_cast<int>(which));
    const auto command = static_cast<WParam>(kFirstOptionCommand + static_cast<int>(which));
    window->send(WM_COMMAND, command, 0);
    QPointer<QWidget> first = window->OpenOptionDialog(which);
    ASSERT_FALSE(first.isNull());
    first->close();
    ASSERT_FALSE(first.isNull()); // its deletion waits for the event loop
    EXPECT_EQ(window->OpenOptionDialog(which), nullptr);

    window->send(WM_COMMAND, command, 0);
    QPointer<QWidget> second = window->OpenOptionDialog(which);
    ASSERT_FALSE(second.isNull());
    ASSERT_NE(second.data(), first.data());
    ASSERT_TRUE(Until([&] { return first.isNull(); }));
    EXPECT_EQ(window->OpenOptionDialog(which), second.data());
    second->close();
    ASSERT_TRUE(Until([&] { return second.isNull(); }));
    EXPECT_EQ(window->OpenOptionDialog(which), nullptr);
  }
}

TEST_F(PanelTest, AutomaticModeDisplayFollowsAndRestoresAndTemperatureMayBeNegative) {
  Start();
  SettleStartUp();
  Reply(ReplyFrame(2, {10, 0, 20, 0, 30, 0, 40, 0}));
  Reply(ReplyFrame(7, {0xFB, 0xFF, 0x01}));
  ASSERT_TRUE(Until([&] { return window->FanLabel()->GetCaption() == QStringLiteral("ON"); }));
  EXPECT_EQ(window->TemperatureLabel()->GetCaption(), QStringLiteral("-5\u2103"));

  Reply(ReplyFrame(14, {0x42, 1, 1, 0, 2, 0, 3, 0, 4, 0}));
  Reply(ReplyFrame(14, {0x42, 2, 5, 0, 6, 0, 7, 0, 8, 0}));
  ASSERT_TRUE(Until([&] { return window->Display(3)->level.load() == 8; }));
  EXPECT_TRUE(window->StatusLabel()->isVisible());
  EXPECT_EQ(window->StatusLabel()->GetCaption(), QStringLiteral("Auto mode [ B ] 02 Running....."));
  EXPECT_EQ(window->Display(0)->level.load(), 5);
  EXPECT_EQ(window->Button(kAutoButton)->state.load(), 1);

  Reply(ReplyFrame(13, {0}));
  ASSERT_TRUE(Until([&] { return !window->StatusLabel()->isVisible(); }));
  EXPECT_EQ(window->Display(0)->level.load(), 10);
  EXPECT_EQ(window->Display(3)->level.load(), 40);
  EXPECT_EQ(window->StatusLabel()->GetCaption(), QString());
  // The program's own presses of AUTO sent no command 4.
  for (const Frame& frame : Commands()) {
    EXPECT_NE(frame[3], 4);
  }
}

TEST_F(PanelTest, ResetFreezesThenReadsTheStateBack) {
  Start();
  SettleStartUp();
  QTest::keyClick(window.get(), Qt::Key_R);
  EXPECT_EQ(frozenMs, 1000);
  ASSERT_TRUE(WaitForFrames([](const std::vector<Frame>& f) { return f.size() >= 6; }));
  EXPECT_EQ(std::vector<Frame>(sent.begin(), sent.begin() + 6),
            (std::vector<Frame>{{0x5A, 0x06, 0x01, 0x06, 0x00, 0x03},
                                Read(18),
                                Read(1),
                                Read(2),
                                ReadDigit(3),
                                Read(8)}));
}

TEST_F(PanelTest, ClosingWhileRepliesFlowEndsCleanly) {
  for (int round = 0; round < 5; ++round) {
    Start();
    std::atomic<bool> flowing{true};
    std::thread controller([&] {
      while (flowing.load()) {
        peer.TryWrite(ReplyFrame(7, {static_cast<std::uint8_t>(round), 0, 1}));
        peer.TryWrite(ReplyFrame(17, {static_cast<std::uint8_t>(round & 1)}));
        peer.TakeFrames();
        std::this_thread::yield();
      }
    });
    const QString shown = QStringLiteral("%1\u2103").arg(round, 2, 10, QLatin1Char('0'));
    EXPECT_TRUE(Until([&] { return window->TemperatureLabel()->GetCaption() == shown; }));
    window->close();
    EXPECT_FALSE(window->DispatcherRunning());
    window.reset();
    flowing.store(false);
    controller.join();
  }
}

} // namespace
} // namespace lamp
