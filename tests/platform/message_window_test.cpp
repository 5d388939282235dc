// Message tables, send and post across threads, window handles and timers of the window base.
#include <QAbstractEventDispatcher>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

#include "lamp_test/wait.h"
#include "platform/gui_calls.h"
#include "platform/notify.h"
#include "platform/window.h"
#include "platform/window_handle.h"

namespace {

using lamp::LParam;
using lamp::LResult;
using lamp::WParam;

constexpr unsigned kPing = lamp::WM_USER + 1;
constexpr unsigned kOther = lamp::WM_USER + 2;
constexpr int kDeadlineMs = 10000;

class ProbeWindow : public lamp::Window {
public:
  ProbeWindow() { onMessage(kPing, &ProbeWindow::OnPing); }

  std::atomic<int> handled{0};
  std::atomic<bool> handledOnGuiThread{true};
  std::vector<int> ticks;
  int stopAfterTicks = 0;
  int setAgainOnTick = 0; // a period to set the ticking timer to again, as the status poll does

  using lamp::Window::onTimer;

protected:
  void onTimer(int id) override {
    ticks.push_back(id);
    if (stopAfterTicks != 0 && int(ticks.size()) >= stopAfterTicks) {
      killTimer(id);
    }
    if (setAgainOnTick != 0) {
      setTimer(id, setAgainOnTick);
    }
  }

private:
  // wParam may address an int of the sender, which the handler increments.
  LResult OnPing(WParam w, LParam l) {
    if (!lamp::IsGuiThread()) {
      handledOnGuiThread = false;
    }
    if (w != 0) {
      ++*reinterpret_cast<int*>(w);
    }
    ++handled;
    return l + 1;
  }
};

// Waits, without servicing, until a worker's call is queued for the GUI thread.
bool WaitForPendingCall() {
  return lamp::test::WaitUntil([] { return lamp::PendingGuiCalls() != 0; });
}

int QtTimerCount(QObject* object) {
  return int(QAbstractEventDispatcher::instance()->registeredTimers(object).size());
}

TEST(MessageWindow, SendRunsTheRegisteredHandlerAndUnknownMessagesAnswerZero) {
  ProbeWindow window;
  int counter = 0;
  EXPECT_EQ(window.send(kPing, reinterpret_cast<WParam>(&counter), 41), 42);
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(window.send(kOther, 1, 2), 0);

  window.onMessage(kOther, [](WParam w, LParam l) { return LResult(w * 100 + l); });
  EXPECT_EQ(window.send(kOther, 1, 2), 102);
  window.onMessage(kOther, [](WParam, LParam) { return LResult(-1); });
  EXPECT_EQ(window.send(kOther, 1, 2), -1);
}

TEST(MessageWindow, SendFromWorkerBlocksUntilTheGuiThreadHandledIt) {
  ProbeWindow window;
  int counter = 0; // on the worker's side; the handler writes it through wParam
  std::atomic<bool> returned{false};
  LResult result = 0;
  std::thread worker([&] {
    result = window.send(kPing, reinterpret_cast<WParam>(&counter), 6);
    returned = true;
  });
  // Nothing services calls until the event loop runs, so the worker must still be waiting.
  EXPECT_FALSE(returned.load());
  ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, kDeadlineMs));
  worker.join();
  EXPECT_EQ(result, 7);
  EXPECT_EQ(counter, 1);
  EXPECT_TRUE(window.handledOnGuiThread.load());
}

TEST(MessageWindow, PostIsHandledLaterFromTheEventLoop) {
  ProbeWindow window;
  window.post(kPing, 0, 0);
  std::thread worker([&] { window.post(kPing, 0, 0); });
  worker.join();
  EXPECT_EQ(window.handled.load(), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.handled == 2; }, kDeadlineMs));
}

TEST(MessageWindow, ClosedWindowAnswersZeroAndDropsPosts) {
  ProbeWindow window;
  window.post(kPing, 0, 0);
  window.beginClose();
  EXPECT_EQ(window.send(kPing, 0, 5), 0);
  window.post(kPing, 0, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.handled.load(), 0);
}

TEST(MessageWindow, HandleOutlivesItsWindowOnEveryThread) {
  auto window = std::make_unique<ProbeWindow>();
  const lamp::WindowHandle handle(*window);
  EXPECT_TRUE(handle.alive());
  EXPECT_EQ(handle.send(kPing, 0, 1), 2);

  handle.post(kPing, 0, 0);
  window.reset(); // the posted message must not reach freed memory
  QCoreApplication::processEvents();
  EXPECT_FALSE(handle.alive());
  EXPECT_EQ(handle.get(), nullptr);
  EXPECT_EQ(handle.send(kPing, 0, 1), 0);

  LResult fromWorker = -1;
  std::thread worker([&] {
    fromWorker = handle.send(kPing, 0, 1);
    handle.post(kPing, 0, 0);
  });
  lamp::JoinServicing(worker);
  EXPECT_EQ(fromWorker, 0);
}

// A worker keeps sending to a window; the GUI thread destroys the window without servicing the
// pending send and then joins the worker. The send must come back with 0 and the join must end.
TEST(MessageWindow, ClosingWhileAWorkerIsBlockedOnTheWindowDoesNotDeadlock) {
  auto window = std::make_unique<ProbeWindow>();
  const lamp::WindowHandle handle(*window);
  std::atomic<bool> stop{false};
  std::atomic<int> zeroAnswers{0};
  std::thread worker([&] {
    while (!stop) {
      if (handle.send(kPing, 0, 0) == 0) {
        ++zeroAnswers;
      }
    }
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->handled >= 3; }, kDeadlineMs));
  ASSERT_TRUE(WaitForPendingCall());
  window.reset();
  stop = true;
  lamp::JoinServicing(worker);
  EXPECT_FALSE(worker.joinable());
}

TEST(MessageWindow, WorkerBlockedInTheWindowsOwnSendIsReleasedByBeginClose) {
  ProbeWindow window;
  LResult result = -1;
  std::thread worker([&] { result = window.SendMsg(kPing, 0, 9); });
  ASSERT_TRUE(WaitForPendingCall());
  window.beginClose();
  worker.join(); // released by the close itself, not by servicing
  EXPECT_EQ(result, 0);
  EXPECT_EQ(window.handled.load(), 0);
}

class ListOwner : public lamp::Window {
public:
  ListOwner() {
    onMessage(lamp::WM_REFLECTED_NOTIFY, [this](WParam w, LParam) {
      reflectedId = int(w);
      return LResult(5);
    });
  }
  int reflectedId = 0;
};

TEST(MessageWindow, UnhandledNotifyIsReflectedToItsSender) {
  ProbeWindow parent;
  ListOwner control;
  lamp::NotifyHeader header{&control, 20000, 1};
  EXPECT_EQ(parent.send(lamp::WM_NOTIFY, 20000, reinterpret_cast<LParam>(&header)), 5);
  EXPECT_EQ(control.reflectedId, 20000);
  EXPECT_EQ(parent.send(lamp::WM_NOTIFY, 1, 0), 0);
}

TEST(MessageWindow, TimersAreKeyedByIdAndReplacedBySetTimer) {
  ProbeWindow window;
  window.setTimer(1, 100000);
  window.setTimer(1, 200000);
  window.setTimer(3, 100000);
  EXPECT_EQ(QtTimerCount(&window), 2);
  EXPECT_TRUE(window.timerRunning(1));
  window.killTimer(1);
  window.killTimer(7);
  EXPECT_FALSE(window.timerRunning(1));
  EXPECT_EQ(QtTimerCount(&window), 1);

  // A timer that stops itself from onTimer, as the one-shot timers of the panel do.
  window.stopAfterTicks = 1;
  window.setTimer(5, 10);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.ticks.empty(); }, kDeadlineMs));
  EXPECT_EQ(window.ticks.front(), 5);
  EXPECT_FALSE(window.timerRunning(5));
  EXPECT_TRUE(window.timerRunning(3));

  // Set again as it fires: with its own period it runs on; with another it takes that one.
  window.stopAfterTicks = 0;
  window.ticks.clear();
  window.killTimer(3);
  window.setAgainOnTick = 10;
  window.setTimer(6, 10);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ticks.size() >= 2; }, kDeadlineMs));
  EXPECT_EQ(window.timerInterval(6), 10);
  EXPECT_EQ(QtTimerCount(&window), 1);
  window.setAgainOnTick = 100000;
  const std::size_t seen = window.ticks.size();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ticks.size() > seen; }, kDeadlineMs));
  EXPECT_EQ(window.timerInterval(6), 100000);
  EXPECT_TRUE(window.timerRunning(6));
  window.setAgainOnTick = 0;

  window.beginClose();
  EXPECT_EQ(QtTimerCount(&window), 0);
  window.setTimer(9, 10);
  EXPECT_FALSE(window.timerRunning(9));
}

} // namespace
