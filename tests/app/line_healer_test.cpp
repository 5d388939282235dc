// A lost line without a window: what the panel shows and does when the serial library reports the
// line lost, on each tick of its retry timer, and when the port is back.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/line_healer.h"
#include "lamp_test/attributes_only_port.h"

namespace lamp {
namespace {

// A port that opens (or not) as the test says, and counts the tries.
class ReopenablePort final : public test::AttributesOnly {
public:
  int IsOpen() override { return open ? 1 : 0; }
  int Close() override {
    open = false;
    return 1;
  }
  int Open() override {
    ++opens;
    open = opensNow;
    return open ? 1 : 0;
  }
  int StartThreads() override { return open ? 1 : 0; }

  bool open = true;
  bool opensNow = false;
  int opens = 0;
};

// The panel around the healer, as a list of what was done to it.
class RecordingPanel final : public LineHealer::Host {
public:
  comlane::SerialPort* SerialPort() override { return &port; }
  void ClosePort() override {
    done.push_back("close");
    port.Close();
  }
  bool TransferRunning() override { return transferRunning; }
  void EndTransferForLostLine() override { done.push_back("end transfer"); }
  void StopPoll() override { done.push_back("stop poll"); }
  void SetRetryTimer(int periodMs) override { done.push_back("retry " + std::to_string(periodMs)); }
  void ShowLineStatus(const std::string& text) override { done.push_back("show " + text); }
  void TakeLineOver() override { done.push_back("take over"); }

  // What was done since the last look.
  std::vector<std::string> Done() { return std::exchange(done, {}); }

  ReopenablePort port;
  bool transferRunning = false;
  std::vector<std::string> done;
};

using Steps = std::vector<std::string>;

TEST(LineHealerTest, ALostLineIsRetriedOnceASecondButNeverUnderARunningTransfer) {
  RecordingPanel panel;
  LineHealer healer(panel);

  healer.OnLineLost();
  EXPECT_TRUE(healer.Lost());
  EXPECT_EQ(panel.Done(), (Steps{"stop poll", "show LINE LOST", "end transfer", "retry 1000"}));
  // The library may report a loss more than once.
  healer.OnLineLost();
  EXPECT_EQ(panel.Done(), Steps{});

  // The operator started a transfer on the dead line: the port is left alone until it ends.
  panel.transferRunning = true;
  healer.OnRetryTick();
  EXPECT_EQ(panel.Done(), Steps{});
  EXPECT_EQ(panel.port.opens, 0);
  EXPECT_TRUE(healer.Lost());

  // Still gone: closed, tried, and tried again on the next tick.
  panel.transferRunning = false;
  healer.OnRetryTick();
  EXPECT_EQ(panel.Done(), Steps{"close"});
  EXPECT_EQ(panel.port.opens, 1);
  EXPECT_TRUE(healer.Lost());

  // Back: the retries stop, the panel takes the line over and says so.
  panel.port.opensNow = true;
  healer.OnRetryTick();
  EXPECT_EQ(panel.port.opens, 2);
  EXPECT_FALSE(healer.Lost());
  EXPECT_EQ(panel.Done(), (Steps{"close", "retry 0", "take over", "show LINE BACK"}));

  // A tick that was already queued when the line came back does nothing but stop the timer.
  healer.OnRetryTick();
  EXPECT_EQ(panel.Done(), Steps{"retry 0"});
  EXPECT_EQ(panel.port.opens, 2);
}

TEST(LineHealerTest, AReopenFromTheSerialSetupTakesTheLineOverWithoutSayingItWasLost) {
  RecordingPanel panel;
  LineHealer healer(panel);
  healer.OnReopened();
  EXPECT_EQ(panel.Done(), (Steps{"retry 0", "take over"}));

  // Reopened from the setup while lost: the same as a retry that succeeded.
  healer.OnLineLost();
  panel.Done();
  healer.OnReopened();
  EXPECT_FALSE(healer.Lost());
  EXPECT_EQ(panel.Done(), (Steps{"retry 0", "take over", "show LINE BACK"}));
}

} // namespace
} // namespace lamp
