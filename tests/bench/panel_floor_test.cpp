#include "panel_floor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "lamp_test/wait.h"
#include "process_figures.h"

namespace bench {
namespace {

using namespace std::chrono_literals;

// The floor polls the simulator as the panel does and counts whole replies; its thread can be
// found by name, so that its CPU and wake-ups can be told from the rest of the process.
TEST(PanelFloor, CountsTheSimulatorsRepliesToItsPollOnAThreadOfItsOwnName) {
  PanelFloor floor(20ms);
  std::string error;
  ASSERT_TRUE(floor.Start(error)) << error;
  EXPECT_FALSE(floor.Start(error)) << "a floor starts once";
  ASSERT_TRUE(lamp::test::WaitUntil([&floor] { return floor.Replies() >= 3; }));

  const auto switches = ReadThreadsSwitches(::getpid(), PanelFloor::kThreadName);
  ASSERT_TRUE(switches.has_value());
  EXPECT_GE(switches->voluntary, 3) << "the floor waits for each tick and each reply";
}

TEST(PanelFloor, ThatWasNeverStartedOrIsBetweenTicksEndsAtOnce) {
  { PanelFloor idle(1h); }
  PanelFloor floor(1h);
  std::string error;
  ASSERT_TRUE(floor.Start(error)) << error;
  // The destructor must not wait out the hour: a floor that did would fail the test by its
  // time-out.
}

} // namespace
} // namespace bench
