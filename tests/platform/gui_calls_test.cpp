// Blocking calls onto the GUI thread and the GUI thread's waits for workers.
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "lamp_test/wait.h"
#include "platform/gui_calls.h"

namespace {

TEST(GuiCalls, RunOnGuiRunsOnTheGuiThreadAndWaitsForIt) {
  EXPECT_TRUE(lamp::IsGuiThread());
  bool direct = false;
  EXPECT_TRUE(lamp::RunOnGui([&] { direct = true; }));
  EXPECT_TRUE(direct);

  std::atomic<bool> ranOnGui{false};
  bool ran = false;
  std::thread worker([&] {
    EXPECT_FALSE(lamp::IsGuiThread());
    ran = lamp::RunOnGui([&] { ranOnGui = lamp::IsGuiThread(); });
  });
  lamp::JoinServicing(worker);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(ranOnGui.load());
}

// The GUI thread joins a worker that is still going to call onto it several times; without
// servicing this would never end.
TEST(GuiCalls, JoinServicingRunsCallsOfTheWorkerItWaitsFor) {
  int calls = 0;
  std::jthread worker([&] {
    for (int i = 0; i < 20; ++i) {
      EXPECT_TRUE(lamp::RunOnGui([&] { ++calls; }));
    }
  });
  lamp::JoinServicing(worker);
  EXPECT_EQ(calls, 20);
}

bool WaitForPendingCalls(std::size_t count) {
  return lamp::test::WaitUntil([count] { return lamp::PendingGuiCalls() >= count; });
}

TEST(GuiCalls, AbortReleasesOnlyTheCallsOfItsTag) {
  int tagA = 0;
  int tagB = 0;
  bool resultA = true;
  bool resultB = false;
  bool ranA = false;
  bool ranB = false;
  std::thread a([&] { resultA = lamp::RunOnGui([&] { ranA = true; }, &tagA); });
  std::thread b([&] { resultB = lamp::RunOnGui([&] { ranB = true; }, &tagB); });
  ASSERT_TRUE(WaitForPendingCalls(2));
  lamp::AbortGuiCalls(&tagA);
  a.join(); // released without the GUI thread's help
  EXPECT_EQ(lamp::PendingGuiCalls(), 1u);
  lamp::JoinServicing(b);
  EXPECT_FALSE(resultA);
  EXPECT_FALSE(ranA);
  EXPECT_TRUE(resultB);
  EXPECT_TRUE(ranB);
}

TEST(GuiCalls, RefusedCallsReturnAtOnceWithoutRunning) {
  lamp::RefuseGuiCalls(true);
  bool ran = false;
  bool result = true;
  std::thread worker([&] { result = lamp::RunOnGui([&] { ran = true; }); });
  worker.join(); // a plain join: a refused call must not wait for the GUI thread
  lamp::RefuseGuiCalls(false);
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
}

TEST(GuiCalls, WaitServicingRunsTheBlockingWorkAndServicesMeanwhile) {
  std::atomic<bool> served{false};
  lamp::WaitServicing([&] { served = lamp::RunOnGui([] {}); });
  EXPECT_TRUE(served.load());
}

} // namespace
