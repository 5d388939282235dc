// The main panel as the operator works it: mouse clicks on the real buttons and displays, keys to
// whatever has the focus, and what then goes over the line and what the panel shows (captions,
// button states, display colours, levels, the editor, the status line). The timers' periods are
// read from the window's timer table, not waited for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>

#include "app/auto_repeat.h"
#include "app/main_window.h"
#include "controls/image_static.h"
#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "lamp_test/pty_peer.h"
#include "platform/message_box.h"

namespace lamp {
namespace {

using test::Frame;
using test::PtyPeer;
using test::ReplyFrame;

constexpr int kDeadlineMs = 10000;
const QColor kOrange(248, 168, 97);
const QColor kWhite(255, 255, 255);

Frame Read(std::uint8_t command) {
  return {0x5A, 0x06, 0x01, command, 0x01, 0x03};
}
Frame Write(std::uint8_t command, std::vector<std::uint8_t> payload) {
  Frame frame = ReplyFrame(command, std::move(payload));
  frame[4] = 0x00;
  return frame;
}
Frame Levels(std::array<std::uint16_t, 4> levels) {
  std::vector<std::uint8_t> payload;
  for (std::uint16_t level : levels) {
    payload.push_back(static_cast<std::uint8_t>(level & 0xFF));
    payload.push_back(static_cast<std::uint8_t>(level >> 8));
  }
  return Write(2, payload);
}

class PanelOperator : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid());
    QFile ini(QDir(config.path()).filePath(QStringLiteral("lamp.INI")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[SERIAL]\nPORT=%1\n")
                  .arg(QString::fromStdString(peer.SlavePath()))
                  .toUtf8());
    ini.close();
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    window = std::make_unique<MainWindow>(
        PanelSetup{.freeze = [this](std::chrono::milliseconds time) { freezes.push_back(time); }});
    window->Initialise();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(WaitFor(Read(8)));
    sent.clear();
  }
  void TearDown() override {
    window->close();
    window.reset();
  }

  // Waits until `expected` has reached the controller; the frames seen are kept in `sent`.
  bool WaitFor(const Frame& expected) {
    return QTest::qWaitFor(
        [&] {
          for (Frame& frame : peer.TakeFrames()) {
            sent.push_back(std::move(frame));
          }
          return std::find(sent.begin(), sent.end(), expected) != sent.end();
        },
        kDeadlineMs);
  }
  // The frames of `command` among those seen.
  [[nodiscard]] long Count(std::uint8_t command) const {
    return std::count_if(sent.begin(), sent.end(), [&](const Frame& f) { return f[3] == command; });
  }
  // Waits for the next status poll: every frame sent before it has then been seen.
  bool NextPoll() {
    sent.clear();
    return WaitFor(Read(7));
  }
  void Reply(const Frame& frame) { peer.Write(frame); }
  bool Until(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, kDeadlineMs);
  }
  // The key as typed: to the widget that has the focus.
  static void Type(Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key);
  }
  static void TypeText(const QString& text) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClicks(focus, text);
  }
  void Click(int button) { QTest::mouseClick(window->Button(button)->window, Qt::LeftButton); }
  QWidget* DisplayWindow(int index) { return window->Display(index)->window; }
  // The rim of a display: white in normal colours, orange when highlighted.
  QColor Rim(int index) {
    const QImage picture = DisplayWindow(index)->grab().toImage();
    return picture.pixelColor(2, picture.height() / 2);
  }
  std::int32_t State(int button) { return window->Button(button)->state.load(); }
  std::int32_t Level(int display) { return window->Display(display)->level.load(); }
  // Sets the four levels through the controller and waits until they are shown.
  void SetLevels(std::array<std::uint16_t, 4> levels) {
    Frame reply = Levels(levels);
    reply[4] = 0x01;
    Reply(reply);
    ASSERT_TRUE(Until([&] {
      for (int i = 0; i < 4; ++i) {
        if (Level(i) != levels[static_cast<std::size_t>(i)]) {
          return false;
        }
      }
      return true;
    }));
  }

  PtyPeer peer;
  QTemporaryDir config;
  MessageBoxRecorder boxes;
  std::unique_ptr<MainWindow> window;
  std::vector<Frame> sent;
  std::vector<std::chrono::milliseconds> freezes;
};

TEST_F(PanelOperator, DisplayClickHighlightsItOnlyWhileItsLampIsOff) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Rim(i), kWhite) << i;
  }
  QTest::mouseClick(DisplayWindow(1), Qt::LeftButton);
  EXPECT_EQ(Rim(1), kOrange);
  EXPECT_EQ(Rim(0), kWhite);
  EXPECT_EQ(window->State().lampMask.load(), 0xD0);
  ASSERT_TRUE(WaitFor(Write(1, {0xD0, 0x00})));
  QTest::mouseClick(DisplayWindow(1), Qt::LeftButton);
  EXPECT_EQ(Rim(1), kWhite);
  ASSERT_TRUE(WaitFor(Write(1, {0xF0, 0x00})));

  // LAMP1 on: its display keeps its colours, and the click still writes command 1.
  Click(0);
  EXPECT_EQ(State(0), 1);
  ASSERT_TRUE(WaitFor(Write(1, {0xF1, 0x00})));
  sent.clear();
  QTest::mouseClick(DisplayWindow(0), Qt::LeftButton);
  EXPECT_EQ(Rim(0), kWhite);
  EXPECT_EQ(window->State().lampMask.load(), 0xF1);
  ASSERT_TRUE(WaitFor(Write(1, {0xF1, 0x00})));

  // Keys 5 to 8 act as clicks on displays 0 to 3.
  Type(Qt::Key_8);
  EXPECT_EQ(Rim(3), kOrange);
  Type(Qt::Key_5);
  EXPECT_EQ(Rim(0), kWhite);
  EXPECT_EQ(window->State().lampMask.load(), 0x71);

  // In user mode a display click changes nothing and sends nothing.
  Reply(ReplyFrame(18, {1}));
  ASSERT_TRUE(Until([&] { return window->State().userMode.load() == 1; }));
  ASSERT_TRUE(NextPoll());
  QTest::mouseClick(DisplayWindow(2), Qt::LeftButton);
  EXPECT_EQ(Rim(2), kWhite);
  ASSERT_TRUE(NextPoll());
  EXPECT_EQ(Count(1), 0);
}

TEST_F(PanelOperator, UpAndDownStepTheChosenDisplaysAndSendTheLevels) {
  SetLevels({100, 100, 100, 100});
  // Nothing highlighted, LAMP2 on: Up raises the displays of the lamps that are off.
  Click(1);
  Click(kUpButton);
  EXPECT_EQ(Level(0), 101);
  EXPECT_EQ(Level(1), 100);
  ASSERT_TRUE(WaitFor(Levels({101, 100, 101, 101})));
  // Display 1 highlighted (its lamp now off): only it follows Down.
  Click(1);
  QTest::mouseClick(DisplayWindow(1), Qt::LeftButton);
  Type(Qt::Key_Down);
  ASSERT_TRUE(WaitFor(Levels({101, 99, 101, 101})));

  // In user mode nothing steps, and the levels are sent all the same.
  Reply(ReplyFrame(18, {1}));
  ASSERT_TRUE(Until([&] { return window->State().userMode.load() == 1; }));
  Click(kUpButton);
  EXPECT_EQ(Level(1), 99);
  ASSERT_TRUE(WaitFor(Levels({101, 99, 101, 101})));
}

TEST_F(PanelOperator, ArrowsMoveTheCursorOfEveryDisplayAndTheMarkerUnderDisplay3) {
  auto markerAt = [&](int digit) {
    const QRect display = DisplayWindow(3)->geometry();
    const int q = display.width() / 4;
    return QRect(display.left() + q * digit + digit + 4, display.bottom() + 1 + 5, 20, 20);
  };
  Click(kLeftButton);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(window->Display(i)->GetCursorDigit(), 2) << i;
  }
  EXPECT_EQ(window->CursorMarker()->geometry(), markerAt(2));
  ASSERT_TRUE(WaitFor(Write(3, {2})));
  Type(Qt::Key_Left);
  EXPECT_EQ(window->CursorMarker()->geometry(), markerAt(1));
  ASSERT_TRUE(WaitFor(Write(3, {1})));
  Click(kRightButton);
  EXPECT_EQ(window->Display(0)->GetCursorDigit(), 2);
  ASSERT_TRUE(WaitFor(Write(3, {2})));

  // The controller's own cursor moves the marker as well.
  Reply(ReplyFrame(3, {0}));
  ASSERT_TRUE(Until([&] { return window->CursorMarker()->geometry() == markerAt(0); }));
  EXPECT_EQ(window->Display(1)->cursorDigit.load(), 0);
}

TEST_F(PanelOperator, LevelEditorOpensOverAnUnlitDisplayAndTakesAtMostOneThousand) {
  SetLevels({0, 37, 0, 0});
  QTest::mouseDClick(DisplayWindow(1), Qt::LeftButton);
  CMyEdit* editor = window->Editor();
  ASSERT_TRUE(editor->isVisible());
  EXPECT_FALSE(DisplayWindow(1)->isVisible());
  EXPECT_EQ(editor->geometry(), DisplayWindow(1)->geometry());
  EXPECT_EQ(QApplication::focusWidget(), editor);
  EXPECT_EQ(editor->text(), "0037");
  EXPECT_EQ(editor->selectedText(), "0037");
  // Its font's character cell is 60 pixels high, as the panel's font description asks.
  EXPECT_NEAR(QFontMetrics(editor->font()).height(), 60, 1);
  EXPECT_EQ(editor->font().weight(), 200);

  TypeText("12345");
  EXPECT_EQ(editor->text(), "1234") << "four characters at most";
  editor->selectAll();
  TypeText("1000");
  Type(Qt::Key_Return);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_TRUE(DisplayWindow(1)->isVisible());
  EXPECT_EQ(Level(1), 1000);
  ASSERT_TRUE(WaitFor(Levels({0, 1000, 0, 0})));

  QTest::mouseDClick(DisplayWindow(1), Qt::LeftButton);
  ASSERT_TRUE(editor->isVisible());
  editor->selectAll();
  TypeText("1001");
  Type(Qt::Key_Enter);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(Level(1), 1000);
  ASSERT_TRUE(NextPoll());
  EXPECT_EQ(Count(2), 0) << "a number above 1000 is dropped without a word";

  // No editor over the display of a lamp that is on, nor in user mode.
  Click(1);
  QTest::mouseDClick(DisplayWindow(1), Qt::LeftButton);
  EXPECT_FALSE(editor->isVisible());
  Reply(ReplyFrame(18, {1}));
  ASSERT_TRUE(Until([&] { return window->State().userMode.load() == 1; }));
  QTest::mouseDClick(DisplayWindow(2), Qt::LeftButton);
  EXPECT_FALSE(editor->isVisible());
}

TEST_F(PanelOperator, OnOffButtonCaptionAndStateFollowClicksKeysAndTheMachinesKey) {
  QWidget* onOff = window->Button(kOnOffButton)->window;
  EXPECT_EQ(onOff->property("text").toString(), "ON");
  EXPECT_EQ(State(kOnOffButton), 1);
  Click(kOnOffButton);
  EXPECT_EQ(State(kOnOffButton), 0);
  EXPECT_EQ(onOff->property("text").toString(), "OFF");
  ASSERT_TRUE(WaitFor(Write(5, {0})));
  Type(Qt::Key_P);
  EXPECT_EQ(State(kOnOffButton), 1);
  EXPECT_EQ(onOff->property("text").toString(), "ON");
  ASSERT_TRUE(WaitFor(Write(5, {1})));

  // The machine's own key: reply 17 sets caption and state and sends nothing back.
  sent.clear();
  Reply(ReplyFrame(17, {0}));
  ASSERT_TRUE(Until([&] { return onOff->property("text").toString() == "OFF"; }));
  EXPECT_EQ(State(kOnOffButton), 0);
  Reply(ReplyFrame(17, {1}));
  ASSERT_TRUE(Until([&] { return onOff->property("text").toString() == "ON"; }));
  EXPECT_EQ(State(kOnOffButton), 1);
  ASSERT_TRUE(NextPoll());
  EXPECT_EQ(Count(5), 0);
}

TEST_F(PanelOperator, LampButtonsAndTheirKeysSwitchLampsAndSendTheMask) {
  Click(2);
  EXPECT_EQ(State(2), 1);
  ASSERT_TRUE(WaitFor(Write(1, {0xF4, 0x00})));
  Type(Qt::Key_4);
  EXPECT_EQ(State(3), 1);
  ASSERT_TRUE(WaitFor(Write(1, {0xFC, 0x00})));
  Type(Qt::Key_3);
  EXPECT_EQ(State(2), 0);
  ASSERT_TRUE(WaitFor(Write(1, {0xF8, 0x00})));
  // Keys that name nothing do nothing.
  sent.clear();
  Type(Qt::Key_9);
  Type(Qt::Key_Z);
  ASSERT_TRUE(NextPoll());
  EXPECT_EQ(sent.size(), 1u);
}

TEST_F(PanelOperator, AutoDuringModeBRestoresTheSavedLevelsAndHidesTheStatus) {
  SetLevels({10, 20, 30, 40});
  Reply(ReplyFrame(14, {0x42, 0, 1, 0, 2, 0, 3, 0, 4, 0}));
  Reply(ReplyFrame(14, {0x42, 7, 5, 0, 6, 0, 7, 0, 8, 0}));
  ASSERT_TRUE(Until([&] { return Level(3) == 8; }));
  EXPECT_TRUE(window->StatusLabel()->isVisible());
  EXPECT_EQ(window->StatusLabel()->GetCaption(), "Auto mode [ B ] 07 Running.....");
  EXPECT_EQ(State(kAutoButton), 1);

  Click(kAutoButton);
  EXPECT_EQ(Level(0), 10);
  EXPECT_EQ(Level(3), 40);
  EXPECT_FALSE(window->StatusLabel()->isVisible());
  EXPECT_EQ(window->StatusLabel()->GetCaption(), "");
  EXPECT_EQ(window->State().autoRunning.load(), 0);
  ASSERT_TRUE(WaitFor(Write(4, {0})));
  // The next press starts a sequence and leaves the levels alone.
  Type(Qt::Key_A);
  EXPECT_EQ(window->State().autoRunning.load(), 1);
  EXPECT_EQ(Level(0), 10);
  ASSERT_TRUE(WaitFor(Write(4, {1})));
}

TEST_F(PanelOperator, ModeAMarksTheCurrentLampUntilTheSequenceEnds) {
  Click(0); // LAMP1 on
  ASSERT_TRUE(WaitFor(Write(1, {0xF1, 0x00})));
  Reply(ReplyFrame(14, {0x41, 2}));
  ASSERT_TRUE(Until([&] { return window->StatusLabel()->isVisible(); }));
  EXPECT_EQ(window->StatusLabel()->GetCaption(), "Auto mode [ A ] Running.....");
  // The program's presses flip each button: the marked one ends up, the others down.
  ASSERT_TRUE(Until([&] { return State(2) == 0 && State(3) == 1; }));
  EXPECT_EQ(State(0), 1);
  EXPECT_EQ(State(1), 1);
  // The current lamp already on: no button is marked.
  Reply(ReplyFrame(14, {0x41, 0}));
  ASSERT_TRUE(Until([&] { return State(2) == 1; }));
  EXPECT_EQ(State(0), 1);

  Reply(ReplyFrame(13, {0}));
  ASSERT_TRUE(Until([&] { return !window->StatusLabel()->isVisible(); }));
  EXPECT_EQ(window->State().autoRunning.load(), 0);
  EXPECT_EQ(State(kAutoButton), 0);
  ASSERT_TRUE(NextPoll());
  EXPECT_EQ(Count(4), 0) << "the program's own presses of AUTO send nothing";
}

TEST_F(PanelOperator, StatusRepliesShowTemperatureAndFanAndTheFanTurns) {
  Reply({0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x01, 0x03});
  ASSERT_TRUE(Until([&] { return window->FanLabel()->GetCaption() == "ON"; }));
  EXPECT_EQ(window->TemperatureLabel()->GetCaption(), "25\u2103");
  ASSERT_TRUE(Until([&] { return window->timerRunning(kFanTimer); }));
  EXPECT_EQ(window->timerInterval(kFanTimer), 30);
  Reply(ReplyFrame(7, {0xFB, 0xFF, 0x00}));
  ASSERT_TRUE(Until([&] { return window->FanLabel()->GetCaption() == "OFF"; }));
  EXPECT_EQ(window->TemperatureLabel()->GetCaption(), "-5\u2103");
  ASSERT_TRUE(Until([&] { return !window->timerRunning(kFanTimer); }));
}

TEST_F(PanelOperator, TimersRunWithThePanelsPeriods) {
  // The status poll every 500 ms, started again with 500 ms by every command.
  EXPECT_EQ(window->timerInterval(kPollTimer), 500);
  Click(0);
  EXPECT_EQ(window->timerInterval(kPollTimer), 500);

  // Held buttons: the first repeat after (delay setting + 1) x 250 ms, then every
  // 500 - 12 x speed ms.
  QStyleHints* hints = QGuiApplication::styleHints();
  const int savedHold = hints->mousePressAndHoldInterval();
  for (const auto& [hold, first] : {std::pair{250, 250}, std::pair{1000, 1000}}) {
    hints->setMousePressAndHoldInterval(hold);
    QTest::mousePress(window->Button(kUpButton)->window, Qt::LeftButton);
    EXPECT_EQ(window->timerInterval(kHoldTimer), first);
    QTest::mouseRelease(window->Button(kUpButton)->window, Qt::LeftButton);
  }
  hints->setMousePressAndHoldInterval(savedHold);
  ASSERT_TRUE(Until([&] { return window->timerRunning(kRepeatTimer); }));
  const int speed = KeyboardSpeedSetting(hints->keyboardAutoRepeatRate());
  EXPECT_EQ(window->timerInterval(kRepeatTimer), 500 - 12 * speed);
  ASSERT_TRUE(Until([&] { return !window->timerRunning(kRepeatTimer); }));

  // The user selector is redrawn 30 ms after a click.
  Reply(ReplyFrame(18, {1}));
  ASSERT_TRUE(Until([&] { return window->State().userMode.load() == 1; }));
  Click(1);
  EXPECT_EQ(window->timerInterval(kSelectorTimer), 30);
  ASSERT_TRUE(Until([&] { return !window->timerRunning(kSelectorTimer); }));
  EXPECT_EQ(State(1), 0);
  EXPECT_EQ(State(0), 1);
}

TEST_F(PanelOperator, LampRepliesSetTheButtonsAndTheDisplayColoursOrTheUserChoice) {
  // LAMP2 on; displays 1 and 2 highlighted.
  Reply(ReplyFrame(1, {0x92, 0x00}));
  ASSERT_TRUE(Until([&] { return window->State().lampMask.load() == 0x92; }));
  EXPECT_EQ(State(0), 0);
  EXPECT_EQ(State(1), 1);
  EXPECT_EQ(State(2), 0);
  EXPECT_EQ(Rim(0), kWhite);
  EXPECT_EQ(Rim(1), kOrange);
  EXPECT_EQ(Rim(2), kOrange);
  EXPECT_EQ(Rim(3), kWhite);

  // In user mode the reply names the chosen user: USER3 up, the others down, colours kept.
  Reply(ReplyFrame(18, {1}));
  Reply(ReplyFrame(1, {0x04, 0x00}));
  ASSERT_TRUE(Until([&] { return window->State().userLampMask.load() == 0x04; }));
  EXPECT_EQ(window->State().lampMask.load(), 0x92);
  EXPECT_EQ(State(2), 0);
  EXPECT_EQ(State(0), 1);
  EXPECT_EQ(State(3), 1);
  EXPECT_EQ(Rim(1), kOrange);
}

TEST_F(PanelOperator, ResetFreezesForASecondThenReadsTheStateBackAndClearsTheStatus) {
  Reply(ReplyFrame(14, {0x41, 1}));
  ASSERT_TRUE(Until([&] { return window->StatusLabel()->isVisible(); }));
  Click(kResetButton);
  EXPECT_EQ(freezes, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(1000)});
  EXPECT_FALSE(window->StatusLabel()->isVisible());
  EXPECT_EQ(window->StatusLabel()->GetCaption(), "");
  ASSERT_TRUE(WaitFor(Read(8)));
  std::vector<Frame> commands;
  for (const Frame& frame : sent) {
    if (frame != Read(7)) {
      commands.push_back(frame);
    }
  }
  EXPECT_EQ(commands, (std::vector<Frame>{Write(6, {}),
                                          Read(18),
                                          Read(1),
                                          Read(2),
                                          {0x5A, 0x07, 0x01, 0x03, 0x01, 0x03, 0x03},
                                          Read(8)}));
}

TEST_F(PanelOperator, EscapeInTheLevelEditorEndsThePanel) {
  QTest::mouseDClick(DisplayWindow(0), Qt::LeftButton);
  ASSERT_EQ(QApplication::focusWidget(), window->Editor());
  Type(Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(window->DispatcherRunning());
}

} // namespace
} // namespace lamp
