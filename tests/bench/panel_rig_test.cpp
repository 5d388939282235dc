#include "panel_rig.h"

#include <gtest/gtest.h>

#include "process_figures.h"

namespace bench {
namespace {

using namespace std::chrono_literals;

// Far beyond the test's own time-out: a wait that does not notice the end of the panel fails the
// test by hanging instead of passing late.
constexpr auto kNoDeadline = 3600s;

TEST(PanelRig, PanelSendsItsFirstFrameToTheSimulatorAndStops) {
  PanelRig rig(LAMP_BIN_DIR "/lamp");
  std::string error;
  ASSERT_TRUE(rig.Start(error)) << error;
  const auto startUp = rig.WaitForFirstFrame(kNoDeadline);
  ASSERT_TRUE(startUp.has_value()) << rig.PanelLog();
  EXPECT_GT(startUp->count(), 0);
  EXPECT_EQ(rig.FirstFrame().substr(0, 2), "5A") << rig.FirstFrame();
  EXPECT_GT(rig.LineStats().bytesReceived, 0u);

  ASSERT_TRUE(rig.Running()) << rig.PanelLog();
  const auto memory = ReadMemory(rig.Pid());
  ASSERT_TRUE(memory.has_value());
  EXPECT_GT(memory->rssKiB, 0);
  EXPECT_TRUE(ReadThreadsCpuNs(rig.Pid()).has_value());

  rig.StopPanel();
  EXPECT_EQ(rig.Pid(), -1);
  EXPECT_FALSE(rig.Running());
  EXPECT_FALSE(rig.Start(error)) << "a rig starts once";
}

TEST(PanelRig, PanelThatEndsOrCannotStartGivesNoStartUpTime) {
  {
    PanelRig rig("/bin/true");
    std::string error;
    ASSERT_TRUE(rig.Start(error)) << error;
    EXPECT_FALSE(rig.WaitForFirstFrame(kNoDeadline).has_value());
    EXPECT_FALSE(rig.Running());
    EXPECT_TRUE(rig.FirstFrame().empty());
  }
  {
    PanelRig rig("/nonexistent/lamp");
    std::string error;
    EXPECT_FALSE(rig.Start(error));
    EXPECT_NE(error.find("/nonexistent/lamp"), std::string::npos) << error;
    EXPECT_FALSE(rig.WaitForFirstFrame(kNoDeadline).has_value());
  }
}

} // namespace
} // namespace bench
