// The push-button library through its factory, as the program uses it: notifications with the
// index pointer, two-state flipping, WM_BUTTON_PRESS, the repaint messages, and use from a worker.

#include "outside_test_support.h"

#include <QImage>
#include <QPixmap>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <knoblet/button_object.h>
#include <memory>
#include <thread>
#include <wndmsg/messages.h>

namespace {

using namespace outside_test;
using wndmsg::WM_BUTTON_CLICKED;
using wndmsg::WM_BUTTON_PRESSED;
using wndmsg::WM_BUTTON_RELEASED;

const QColor kFirstColour(20, 60, 200);
const QColor kSecondColour(220, 30, 30);

QPixmap Solid(const QColor& c) {
  QPixmap p(24, 24);
  p.fill(c);
  return p;
}

class KnobletTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    factory = LoadFactory<knoblet::BtnClassFn>("libknoblet.so", "BtnClass", error);
    ASSERT_NE(factory, nullptr) << error;
    parent = std::make_unique<RecordingParent>(recorder);
    parent->show();
  }

  // A button made with the set-up sequence the main window uses.
  knoblet::ButtonObject* Make(unsigned kind, std::int32_t index, bool pressNotify) {
    knoblet::ButtonObject* b = factory();
    EXPECT_NE(b, nullptr);
    EXPECT_NE(b->Create("", knoblet::kStyleChild | knoblet::kStyleVisible | kind,
                        QRect(10, 10, 40, 40), parent.get(), 6000 + index),
              0);
    EXPECT_NE(b->SetIcons(Solid(kFirstColour), Solid(kSecondColour)), 0);
    EXPECT_NE(b->SetPressNotify(pressNotify ? 1 : 0), 0);
    EXPECT_NE(b->Prepare(), 0);
    EXPECT_NE(b->SetIndex(index), 0);
    return b;
  }

  static QColor Centre(knoblet::ButtonObject* b) {
    const QImage image = b->window->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
  }

  knoblet::BtnClassFn factory = nullptr;
  Recorder recorder;
  std::unique_ptr<RecordingParent> parent;
};

TEST_F(KnobletTest, MouseGesturesNotifyWithTheIndexPointer) {
  struct Case {
    const char* name;
    bool pressNotify;
    bool releaseInside;
    std::vector<unsigned> expected;
  };
  const Case cases[] = {
      {"click, press notify on",
       true,
       true,
       {WM_BUTTON_PRESSED, WM_BUTTON_RELEASED, WM_BUTTON_CLICKED}},
      {"click, press notify off", false, true, {WM_BUTTON_CLICKED}},
      {"released outside, press notify on", true, false, {WM_BUTTON_PRESSED, WM_BUTTON_RELEASED}},
      {"released outside, press notify off", false, false, {}},
  };
  std::int32_t index = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder.messages.clear();
    knoblet::ButtonObject* b = Make(knoblet::kStylePush, ++index, c.pressNotify);
    QTest::mousePress(b->window, Qt::LeftButton);
    if (!c.releaseInside) {
      QMouseEvent move(QEvent::MouseMove, QPointF(80, 80), b->window->mapToGlobal(QPointF(80, 80)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(b->window, &move);
    }
    QTest::mouseRelease(b->window, Qt::LeftButton, {},
                        c.releaseInside ? QPoint(20, 20) : QPoint(80, 80));
    EXPECT_EQ(recorder.Kinds(), c.expected);
    for (const auto& m : recorder.messages) {
      EXPECT_EQ(m.index, index);
    }
    EXPECT_EQ(b->state, 0) << "a push button never stays down";
    delete b->window;
  }
}

TEST_F(KnobletTest, AHeldButtonThatIsHiddenOrDisabledIsReleasedWithoutAClick) {
  // The parent's auto-repeat runs from WM_BUTTON_PRESSED until WM_BUTTON_RELEASED.
  for (bool hide : {true, false}) {
    SCOPED_TRACE(hide ? "hidden" : "disabled");
    recorder.messages.clear();
    knoblet::ButtonObject* b = Make(knoblet::kStylePush, 6, true);
    QTest::mousePress(b->window, Qt::LeftButton);
    if (hide) {
      b->window->hide();
    } else {
      b->window->setEnabled(false);
    }
    EXPECT_EQ(recorder.Kinds(), (std::vector<unsigned>{WM_BUTTON_PRESSED, WM_BUTTON_RELEASED}));
    delete b->window;
  }
}

TEST_F(KnobletTest, TwoStateButtonFlipsBeforeClickedIsSent) {
  knoblet::ButtonObject* b = Make(knoblet::kStyleTwoState, 2, true);
  std::vector<std::int32_t> stateAtClick;
  recorder.onMessage = [&](const Received& r) {
    if (r.msg == WM_BUTTON_CLICKED) {
      stateAtClick.push_back(b->state);
    }
  };
  EXPECT_EQ(Centre(b), kFirstColour);
  QTest::mouseClick(b->window, Qt::LeftButton);
  EXPECT_EQ(b->state, 1);
  EXPECT_EQ(Centre(b), kSecondColour) << "down shows the second icon";
  QTest::mouseClick(b->window, Qt::LeftButton);
  EXPECT_EQ(b->state, 0);
  EXPECT_EQ(Centre(b), kFirstColour);
  EXPECT_EQ(stateAtClick, (std::vector<std::int32_t>{1, 0}));
}

TEST_F(KnobletTest, ButtonPressMessageActsAsAClick) {
  knoblet::ButtonObject* twoState = Make(knoblet::kStyleTwoState, 8, true);
  knoblet::ButtonObject* push = Make(knoblet::kStylePush, 10, true);

  EXPECT_EQ(twoState->target->SendMsg(wndmsg::WM_BUTTON_PRESS, 0, 0), 1);
  EXPECT_EQ(twoState->state, 1);
  EXPECT_EQ(push->target->SendMsg(wndmsg::WM_BUTTON_PRESS, 0, 0), 1);
  EXPECT_EQ(push->state, 0);
  ASSERT_EQ(recorder.messages.size(), 2u) << "no press or release notification";
  EXPECT_EQ(recorder.messages[0].msg, WM_BUTTON_CLICKED);
  EXPECT_EQ(recorder.messages[0].index, 8);
  EXPECT_EQ(recorder.messages[1].msg, WM_BUTTON_CLICKED);
  EXPECT_EQ(recorder.messages[1].index, 10);

  // The program's refresh: state 0 written, then WM_BUTTON_PRESS flips it to 1.
  twoState->state = 0;
  twoState->target->SendMsg(wndmsg::WM_BUTTON_PRESS, 0, 0);
  EXPECT_EQ(twoState->state, 1);
  EXPECT_EQ(twoState->target->SendMsg(0x0815, 0, 0), 0) << "unknown messages are not handled";
}

TEST_F(KnobletTest, FocusAndMouseMoveRepaintToStateWithoutNotifying) {
  knoblet::ButtonObject* b = Make(knoblet::kStyleTwoState, 9, true);
  b->SetCaptionFont(14, "Verdana", QColor(155, 0, 255), 0, QColor(0, 250, 180));
  ASSERT_EQ(Centre(b), kFirstColour);
  b->state = 1;
  b->target->SendMsg(wndmsg::WM_SETFOCUS, 0, 0);
  b->target->SendMsg(wndmsg::WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(Centre(b), kSecondColour);
  const QImage focused = b->window->grab().toImage();
  EXPECT_EQ(focused.pixelColor(2, 20), QColor(0, 250, 180)) << "focus look on the left edge";
  b->target->SendMsg(wndmsg::WM_KILLFOCUS, 0, 0);
  EXPECT_NE(b->window->grab().toImage().pixelColor(2, 20), QColor(0, 250, 180));
  EXPECT_EQ(b->state, 1);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(KnobletTest, OperationsWorkInAnyOrderAfterCreate) {
  knoblet::ButtonObject* b = factory();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Create("OK", knoblet::kStyleVisible, QRect(0, 0, 10, 10), nullptr, 1), 0)
      << "no parent";
  ASSERT_NE(b->Create("AUTO",
                      knoblet::kStyleChild | knoblet::kStyleVisible | knoblet::kStyleTwoState,
                      QRect(0, 0, 100, 100), parent.get(), 6008),
            0);
  EXPECT_EQ(b->Create("AUTO", 0, QRect(), parent.get(), 6008), 0) << "created once only";
  EXPECT_NE(b->SetBackdrop(QColor(255, 255, 255), 100, QColor(248, 198, 197), 10), 0);
  EXPECT_NE(b->SetCaptionFont(14, "Verdana", QColor(155, 0, 255), 0, QColor(0, 250, 180)), 0);
  EXPECT_EQ(b->SetCaptionFont(0, "Verdana", QColor(), 0, QColor()), 0);
  EXPECT_NE(b->SetIndex(8), 0);
  EXPECT_NE(b->SetIcons(Solid(kFirstColour), Solid(kSecondColour)), 0);
  EXPECT_NE(b->Prepare(), 0);
  EXPECT_NE(b->SetPressNotify(1), 0);
  b->window->setGeometry(0, 0, 96, 48);
  EXPECT_TRUE(b->window->isVisible());
  EXPECT_EQ(b->window->text(), "AUTO");
  EXPECT_EQ(b->window->property("controlId").toInt(), 6008);

  QTest::mouseClick(b->window, Qt::LeftButton, {}, QPoint(60, 24));
  EXPECT_EQ(recorder.Kinds(),
            (std::vector<unsigned>{WM_BUTTON_PRESSED, WM_BUTTON_RELEASED, WM_BUTTON_CLICKED}));
  EXPECT_EQ(recorder.messages.back().index, 8);
  EXPECT_EQ(b->state, 1);
}

TEST_F(KnobletTest, WorkerSendBlocksUntilTheGuiThreadHandledIt) {
  knoblet::ButtonObject* b = Make(knoblet::kStyleTwoState, 3, true);
  std::atomic<bool> done{false};
  wndmsg::LResult result = 0;
  std::thread worker([&] {
    b->state = 0;
    result = b->target->SendMsg(wndmsg::WM_BUTTON_PRESS, 0, 0);
    done = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(b->state, 1);
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_TRUE(recorder.messages[0].onGuiThread);
  EXPECT_EQ(recorder.messages[0].index, 3);
}

TEST_F(KnobletTest, AHandlerMayDestroyTheButtonsWindow) {
  // The settings dialogs destroy themselves, and the button with them, when it is clicked.
  auto* dialog = new RecordingParent(recorder, parent.get());
  dialog->show();
  knoblet::ButtonObject* b = factory();
  ASSERT_NE(b->Create("Ok", knoblet::kStyleVisible | knoblet::kStyleCentred, QRect(0, 0, 80, 32),
                      dialog, 11000),
            0);
  b->SetPressNotify(1);
  recorder.onMessage = [&](const Received& r) {
    if (r.msg == WM_BUTTON_PRESSED) {
      delete dialog;
    }
  };
  QTest::mousePress(b->window, Qt::LeftButton);
  EXPECT_EQ(recorder.Kinds(), (std::vector<unsigned>{WM_BUTTON_PRESSED}));

  dialog = new RecordingParent(recorder, parent.get());
  b = factory();
  ASSERT_NE(b->Create("Ok", 0, QRect(0, 0, 80, 32), dialog, 11000), 0);
  recorder.messages.clear();
  recorder.onMessage = [&](const Received& r) {
    if (r.msg == WM_BUTTON_CLICKED) {
      delete dialog;
    }
  };
  EXPECT_EQ(b->target->SendMsg(wndmsg::WM_BUTTON_PRESS, 0, 0), 1);
  EXPECT_EQ(recorder.Kinds(), (std::vector<unsigned>{WM_BUTTON_CLICKED}));
}

} // namespace
