// Replies applied to MachineState, to a recording panel and to recording dialogs, and the
// dispatcher thread that hands them over.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lamp_test/wait.h"
#include "link/reply_applier.h"
#include "link/reply_dispatcher.h"

namespace lamp {
namespace {

ReplyRing::Slot Entry(std::initializer_list<std::uint8_t> frame) {
  ReplyRing::Slot slot{};
  std::size_t i = 0;
  for (std::uint8_t b : frame) {
    slot[i++] = b;
  }
  return slot;
}

// A reply frame 5A len 01 cmd 01 payload... 03.
ReplyRing::Slot Reply(std::uint8_t command, std::initializer_list<std::uint8_t> payload) {
  ReplyRing::Slot slot{};
  slot[0] = 0x5A;
  slot[1] = static_cast<std::uint8_t>(payload.size() + 6);
  slot[2] = 0x01;
  slot[3] = command;
  slot[4] = 0x01;
  std::size_t i = 5;
  for (std::uint8_t b : payload) {
    slot[i++] = b;
  }
  slot[i] = 0x03;
  return slot;
}

class RecordingDialog : public ReplyDialog {
public:
  void SetCellText(int row, int column, const std::string& text) override {
    cells[{row, column}] = text;
  }
  void SetFieldText(int index, const std::string& text) override { fields[index] = text; }
  void CheckRadio(int firstId, int lastId, int checkedId) override {
    radio = {firstId, lastId, checkedId};
  }
  void SetSelectedUser(int index) override { selectedUser = index; }

  std::map<std::pair<int, int>, std::string> cells;
  std::map<int, std::string> fields;
  std::vector<int> radio;
  int selectedUser = -1;
};

// Buttons behave as the push-button library's do: WM_BUTTON_PRESS flips a two-state button and
// reports the click, which the panel ignores while `syncingButtons` is set.
class RecordingPanel : public ReplyPanel {
public:
  explicit RecordingPanel(MachineState& s) : state(s) {}

  void EndLevelEdit() override { ++editsEnded; }
  void RefreshLampButtons() override { ++refreshes; }
  std::int32_t Level(int lamp) const override { return levels[lamp]; }
  void ShowLevel(int lamp, std::int32_t level) override { levels[lamp] = level; }
  void SetCursorDigits(std::int32_t digit) override { cursorDigit = digit; }
  void PlaceCursorMarker() override { ++cursorPlacements; }
  void SetTemperatureText(const std::string& text) override { temperature = text; }
  void SetFanText(const std::string& text) override { fan = text; }
  void PressButton(int index, std::int32_t value) override {
    buttons[index] = value == 0 ? 1 : 0;
    if (!state.syncingButtons.load()) {
      ++unsyncedClicks;
    }
  }
  void RepaintButton(int index, std::int32_t value) override {
    buttons[index] = value;
    ++repaints;
  }
  void SetButtonCaption(int index, const std::string& caption) override {
    captions[index] = caption;
  }
  void ShowStatusLabel(bool visible) override { statusVisible = visible; }
  void SetStatusText(const std::string& text) override { status = text; }
  ReplyDialog* OpenReplyDialog(SetupDialog which) override {
    auto it = dialogs.find(which);
    return it == dialogs.end() ? nullptr : it->second;
  }

  MachineState& state;
  int editsEnded = 0;
  int refreshes = 0;
  std::int32_t levels[4] = {0, 0, 0, 0};
  std::int32_t cursorDigit = -1;
  int cursorPlacements = 0;
  std::string temperature;
  std::string fan;
  std::map<int, std::int32_t> buttons;
  std::map<int, std::string> captions;
  int unsyncedClicks = 0;
  int repaints = 0;
  bool statusVisible = false;
  std::string status = "AA BB CC";
  std::map<SetupDialog, ReplyDialog*> dialogs;
};

class ReplyApplierTest : public ::testing::Test {
protected:
  MachineState state;
  RecordingPanel panel{state};
  ReplyApplier applier{state, panel};
};

TEST_F(ReplyApplierTest, StatusReplyShowsSignedTemperatureAndFan) {
  struct Case {
    ReplyRing::Slot entry;
    const char* temperature;
    const char* fan;
  };
  const Case cases[] = {
      {Entry({0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x01, 0x03}), "25\u2103", "ON"},
      {Reply(7, {0xFB, 0xFF, 0x00}), "-5\u2103", "OFF"},
      {Reply(7, {0x03, 0x00, 0x07}), "03\u2103", "ON"},
      {Reply(7, {0x2C, 0x01, 0x00}), "300\u2103", "OFF"},
  };
  for (const Case& c : cases) {
    applier.Apply(c.entry);
    EXPECT_EQ(panel.temperature, c.temperature);
    EXPECT_EQ(panel.fan, c.fan);
  }
}

TEST_F(ReplyApplierTest, LampAndLevelRepliesFollowUserMode) {
  applier.Apply(Reply(1, {0x35, 0x12}));
  EXPECT_EQ(state.lampMask.load(), 0x35);
  EXPECT_EQ(state.userLampMask.load(), 0);

  applier.Apply(Reply(18, {1}));
  applier.Apply(Reply(1, {0x04, 0x01}));
  EXPECT_EQ(state.lampMask.load(), 0x35);
  EXPECT_EQ(state.userLampMask.load(), 0x104);
  EXPECT_EQ(panel.refreshes, 2);

  applier.Apply(Reply(2, {0xFF, 0xFF, 0x64, 0x00, 0x00, 0x00, 0xE8, 0x03}));
  EXPECT_EQ(panel.levels[0], -1);
  EXPECT_EQ(panel.levels[1], 100);
  EXPECT_EQ(panel.levels[2], 0);
  EXPECT_EQ(panel.levels[3], 1000);

  applier.Apply(Reply(3, {2}));
  EXPECT_EQ(panel.cursorDigit, 2);
  EXPECT_EQ(panel.cursorPlacements, 1);

  applier.Apply(Reply(8, {1}));
  EXPECT_EQ(state.autoKind.load(), 1);
}

TEST_F(ReplyApplierTest, EveryEntryEndsAnEditEvenEmptyOrUnknownOnes) {
  applier.Apply(ReplyRing::Slot{});
  applier.Apply(Reply(15, {1, 2}));
  applier.Apply(Reply(200, {}));
  EXPECT_EQ(panel.editsEnded, 3);
  EXPECT_EQ(state.lampMask.load(), 0xF0);
  EXPECT_EQ(panel.refreshes, 0);
}

TEST_F(ReplyApplierTest, ModeBSavesFollowsAndRestoresLevels) {
  for (int lamp = 0; lamp < 4; ++lamp) {
    panel.levels[lamp] = 10 * (lamp + 1);
  }
  applier.Apply(Reply(14, {0x42, 1, 0x64, 0, 0xC8, 0, 0x2C, 1, 0x90, 1}));
  EXPECT_TRUE(panel.statusVisible);
  EXPECT_EQ(panel.status, "Auto mode [ B ] 01 Running.....");
  EXPECT_TRUE(state.autoBActive.load());
  EXPECT_EQ(state.autoRunning.load(), 1);
  EXPECT_EQ(panel.levels[0], 10) << "the first report's levels are not shown";
  EXPECT_EQ(panel.repaints, 4);

  applier.Apply(Reply(14, {0x42, 2, 0x64, 0, 0xC8, 0, 0x2C, 1, 0x90, 1}));
  EXPECT_EQ(panel.status, "Auto mode [ B ] 02 Running.....");
  EXPECT_EQ(panel.levels[0], 100);
  EXPECT_EQ(panel.levels[3], 400);

  applier.Apply(Reply(13, {0}));
  EXPECT_FALSE(panel.statusVisible);
  EXPECT_EQ(panel.status, "");
  EXPECT_FALSE(state.autoBActive.load());
  EXPECT_EQ(state.autoRunning.load(), 0);
  for (int lamp = 0; lamp < 4; ++lamp) {
    EXPECT_EQ(panel.levels[lamp], 10 * (lamp + 1));
  }
  EXPECT_EQ(panel.unsyncedClicks, 0) << "the program's own presses are marked as such";
  EXPECT_FALSE(state.syncingButtons.load());
}

TEST_F(ReplyApplierTest, ModeAMarksTheCurrentLampOnlyWhenItIsOff) {
  state.lampMask.store(0xF1);
  applier.Apply(Reply(14, {0x41, 2}));
  EXPECT_EQ(panel.status, "Auto mode [ A ] Running.....");
  // Every lamp button is pressed from 0 (to 1); lamp 3 is off, so it is pressed again.
  EXPECT_EQ(panel.buttons[0], 1);
  EXPECT_EQ(panel.buttons[1], 1);
  EXPECT_EQ(panel.buttons[2], 0);
  EXPECT_EQ(panel.buttons[3], 1);
  EXPECT_EQ(panel.buttons[kAutoButton], 1);

  applier.Apply(Reply(14, {0x41, 0}));
  EXPECT_EQ(panel.buttons[0], 1) << "lamp 1 is on: not marked";
  applier.Apply(Reply(14, {0x41, 9}));
  for (int lamp = 0; lamp < 4; ++lamp) {
    EXPECT_EQ(panel.buttons[lamp], 1) << "an index beyond the lamps marks none";
  }
  EXPECT_EQ(panel.unsyncedClicks, 0);
}

TEST_F(ReplyApplierTest, OnOffReplySetsCaptionAndState) {
  applier.Apply(Reply(17, {0}));
  EXPECT_EQ(panel.captions[kOnOffButton], "OFF");
  EXPECT_EQ(panel.buttons[kOnOffButton], 0);
  applier.Apply(Reply(17, {1}));
  EXPECT_EQ(panel.captions[kOnOffButton], "ON");
  EXPECT_EQ(panel.buttons[kOnOffButton], 1);
  EXPECT_EQ(panel.unsyncedClicks, 0);
}

TEST_F(ReplyApplierTest, DialogRepliesWriteOnlyOpenDialogs) {
  const ReplyRing::Slot dialogReplies[] = {
      Reply(9, {30, 5}),
      Reply(10, {1, 0, 2, 0, 3, 0, 4, 0}),
      Reply(11, {3, 17}),
      Reply(12, {5, 1, 0, 2, 0, 3, 0, 4, 0, 0xFE, 0xFF}),
      Reply(16, {2, 1, 0, 2, 0, 3, 0}),
      Reply(19, {1, 2, 1, 0, 2, 0, 3, 0, 4, 0}),
      Reply(22, {3, 9, 0, 8, 0, 7, 0, 6, 0}),
  };
  for (const auto& entry : dialogReplies) {
    applier.Apply(entry);
  }
  EXPECT_EQ(state.userMode.load(), 1) << "reply 19 sets user mode with its dialog closed";

  RecordingDialog fan;
  RecordingDialog automode;
  RecordingDialog machine;
  RecordingDialog user;
  panel.dialogs = {{SetupDialog::FanCtrl, &fan},
                   {SetupDialog::Automode, &automode},
                   {SetupDialog::Machine, &machine},
                   {SetupDialog::UserMode, &user}};
  for (const auto& entry : dialogReplies) {
    applier.Apply(entry);
  }
  applier.Apply(Reply(16, {4, 0xF6, 0xFF}));

  EXPECT_EQ(fan.fields[0], "30");
  EXPECT_EQ(fan.fields[1], "05");
  EXPECT_EQ(automode.fields[0], "3");
  EXPECT_EQ(automode.fields[1], "17");
  EXPECT_EQ((automode.cells[{3, 1}]), "4");
  EXPECT_EQ((automode.cells[{5, 5}]), "-2");
  EXPECT_EQ((automode.cells[{5, 1}]), "1");
  EXPECT_EQ((machine.cells[{2, 3}]), "3");
  EXPECT_EQ((machine.cells[{4, 3}]), "-10");
  EXPECT_EQ(machine.cells.count({4, 1}), 0u);
  EXPECT_EQ(user.radio, (std::vector<int>{1032, 1033, 1033}));
  EXPECT_EQ((user.cells[{2, 4}]), "4");
  EXPECT_EQ(user.selectedUser, 3);
  EXPECT_EQ((user.cells[{3, 1}]), "9");
}

TEST_F(ReplyApplierTest, SelectedUserReplyLeavesUserModeAlone) {
  RecordingDialog user;
  panel.dialogs = {{SetupDialog::UserMode, &user}};
  applier.Apply(Reply(18, {1}));
  applier.Apply(Reply(22, {0, 1, 0, 2, 0, 3, 0, 4, 0}));
  EXPECT_EQ(state.userMode.load(), 1);
  EXPECT_EQ(user.selectedUser, 0);
}

// The dispatcher thread, with "the GUI thread" played by this test's thread servicing calls.
class GuiQueue {
public:
  bool Run(const std::function<void()>& fn) {
    std::unique_lock lock(mutex_);
    bool ran = false;
    if (refused_) {
      return false;
    }
    pending_ = &fn;
    ran_ = &ran;
    changed_.notify_all();
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    return ran;
  }
  // Waits until a call is pending or the deadline passes; true if one is.
  bool WaitPending(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [this] { return pending_ != nullptr; });
  }
  // Runs one pending call, waiting until one comes or the deadline passes.
  bool ServiceOne(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [this] { return pending_ != nullptr; })) {
      return false;
    }
    (*pending_)();
    *ran_ = true;
    pending_ = nullptr;
    changed_.notify_all();
    return true;
  }
  // Releases a pending call without running it, and refuses every later one.
  void Refuse() {
    std::lock_guard lock(mutex_);
    refused_ = true;
    pending_ = nullptr;
    changed_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::function<void()>* pending_ = nullptr;
  bool* ran_ = nullptr;
  bool refused_ = false;
};

TEST(ReplyDispatcherTest, AppliesEntriesInOrderOnTheServicingThread) {
  ReplyRing ring;
  MachineState state;
  GuiQueue gui;
  std::vector<int> seen;
  const auto guiThread = std::this_thread::get_id();
  bool allOnGui = true;
  ReplyDispatcher dispatcher(
      ring, state, [&](const std::function<void()>& fn) { return gui.Run(fn); },
      [&](const ReplyRing::Slot& entry) {
        seen.push_back(entry[3]);
        allOnGui = allOnGui && std::this_thread::get_id() == guiThread;
      },
      std::chrono::milliseconds(1));
  for (std::uint8_t command : {18, 1, 2, 3, 8}) {
    ring.FillSlot() = Reply(command, {});
    ASSERT_TRUE(ring.Commit());
  }
  dispatcher.Start();
  EXPECT_TRUE(state.workerRunning.load());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (seen.size() < 5 && gui.ServiceOne(deadline)) {
  }
  EXPECT_EQ(seen, (std::vector<int>{18, 1, 2, 3, 8}));
  EXPECT_TRUE(allOnGui);
  dispatcher.Join();
  EXPECT_FALSE(dispatcher.Running());
  EXPECT_FALSE(state.workerRunning.load());
  EXPECT_EQ(dispatcher.AppliedCount(), 5u);
}

TEST(ReplyDispatcherTest, JoinReleasesAThreadWaitingForTheGuiThread) {
  ReplyRing ring;
  MachineState state;
  GuiQueue gui;
  int applied = 0;
  ReplyDispatcher dispatcher(
      ring, state, [&](const std::function<void()>& fn) { return gui.Run(fn); },
      [&](const ReplyRing::Slot&) { ++applied; });
  ring.FillSlot() = Reply(7, {1, 0, 0});
  ASSERT_TRUE(ring.Commit());
  dispatcher.Start();
  ASSERT_TRUE(gui.WaitPending(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
  // Nobody services the call; the owner refuses pending calls while it joins, as a closing
  // window does.
  dispatcher.Join([&](std::jthread& thread) {
    gui.Refuse();
    thread.join();
  });
  EXPECT_FALSE(dispatcher.Running());
  EXPECT_EQ(applied, 0);
  EXPECT_EQ(dispatcher.AppliedCount(), 0u);
}

// A clock that moves only when the dispatcher pauses, or when the test moves it.
class PausedClock {
public:
  using TimePoint = std::chrono::steady_clock::time_point;
  TimePoint Now() const { return TimePoint(std::chrono::milliseconds(now_.load())); }
  void Advance(std::chrono::milliseconds by) { now_.fetch_add(by.count()); }
  // The dispatcher's pause: moves the clock and notes how long, and how many entries were applied
  // before it.
  void Pause(std::chrono::milliseconds period, int appliedBefore) {
    std::lock_guard lock(mutex_);
    pauses_.emplace_back(period, appliedBefore);
    now_.fetch_add(period.count());
  }
  std::vector<std::pair<std::chrono::milliseconds, int>> Pauses() {
    std::lock_guard lock(mutex_);
    return pauses_;
  }

private:
  std::atomic<std::int64_t> now_{1'000'000};
  std::mutex mutex_;
  std::vector<std::pair<std::chrono::milliseconds, int>> pauses_;
};

TEST(ReplyDispatcherTest, EntriesAreAppliedATenthOfASecondApartAndAnEmptyRingCostsNoPass) {
  // 63 replies wait, the most the ring holds: the first is applied at once, and each of the others
  // a tenth of a second after the one before. Then the ring is empty, and the thread sleeps without
  // passing until a reply is committed and it is told so; that reply waits only for what is left
  // of its tenth of a second.
  ReplyRing ring;
  MachineState state;
  for (int i = 0; i < 63; ++i) {
    ring.FillSlot() = Reply(static_cast<std::uint8_t>(i % 20), {});
    ASSERT_TRUE(ring.Commit());
  }
  ASSERT_FALSE(ring.Commit());
  std::atomic<int> applied{0};
  PausedClock clock;
  ReplyDispatcher dispatcher(
      ring, state,
      [](const std::function<void()>& fn) {
        fn();
        return true;
      },
      [&](const ReplyRing::Slot&) { applied.fetch_add(1); }, ReplyDispatcher::kPassPeriod,
      [&](std::chrono::milliseconds period) { clock.Pause(period, applied.load()); },
      [&] { return clock.Now(); });
  dispatcher.Start();
  ASSERT_TRUE(test::WaitUntil([&] { return applied == 63 && dispatcher.Sleeping(); }));
  std::vector<std::pair<std::chrono::milliseconds, int>> seen = clock.Pauses();
  ASSERT_EQ(seen.size(), 62u);
  for (std::size_t pass = 0; pass < seen.size(); ++pass) {
    EXPECT_EQ(seen[pass].first, std::chrono::milliseconds(100)) << pass;
    EXPECT_EQ(seen[pass].second, static_cast<int>(pass) + 1) << pass;
  }

  clock.Advance(std::chrono::milliseconds(30));
  ring.FillSlot() = Reply(7, {25, 0, 0});
  ASSERT_TRUE(ring.Commit());
  dispatcher.ReplyCommitted();
  ASSERT_TRUE(test::WaitUntil([&] { return applied == 64 && dispatcher.Sleeping(); }));
  seen = clock.Pauses();
  ASSERT_EQ(seen.size(), 63u);
  EXPECT_EQ(seen.back(), std::make_pair(std::chrono::milliseconds(70), 63));

  // A reply after a quiet spell is applied without a pause.
  clock.Advance(std::chrono::seconds(5));
  ring.FillSlot() = Reply(7, {26, 0, 0});
  ASSERT_TRUE(ring.Commit());
  dispatcher.ReplyCommitted();
  ASSERT_TRUE(test::WaitUntil([&] { return applied == 65 && dispatcher.Sleeping(); }));
  EXPECT_EQ(clock.Pauses().size(), 63u);

  // Stopping wakes the sleeping thread.
  dispatcher.Join();
  EXPECT_FALSE(dispatcher.Running());
  EXPECT_FALSE(state.workerRunning.load());
}

TEST(ReplyDispatcherTest, TheWriterAppliesAReplyItselfOnlyWhileTheThreadSleepsAndItsPauseIsOver) {
  // The status poll's reply, while nothing else is going on, is applied by the ring's writer on
  // its own thread at once. A reply within a tenth of a second of the last applied one, and the
  // second of two committed together, are left to the thread and its pace.
  ReplyRing ring;
  MachineState state;
  GuiQueue gui;
  std::mutex mutex;
  std::vector<std::pair<int, bool>> seen; // command, applied by the writer itself
  bool servicing = false;                 // the test thread services the thread's calls
  const auto service = [&] {
    servicing = true;
    const bool ran = gui.ServiceOne(std::chrono::steady_clock::now() + std::chrono::seconds(10));
    servicing = false;
    return ran;
  };
  PausedClock clock;
  std::atomic<int> applied{0};
  ReplyDispatcher dispatcher(
      ring, state, [&](const std::function<void()>& fn) { return gui.Run(fn); },
      [&](const ReplyRing::Slot& entry) {
        std::lock_guard lock(mutex);
        seen.emplace_back(entry[3], !servicing);
        applied.fetch_add(1);
      },
      ReplyDispatcher::kPassPeriod,
      [&](std::chrono::milliseconds period) { clock.Pause(period, applied.load()); },
      [&] { return clock.Now(); });
  const auto commit = [&ring](std::uint8_t command) {
    ring.FillSlot() = Reply(command, {});
    ASSERT_TRUE(ring.Commit());
  };

  // Not started: nothing is applied, by anyone.
  commit(7);
  EXPECT_FALSE(dispatcher.ApplyOrWake());
  EXPECT_EQ(ring.Waiting(), 1);
  dispatcher.Start();
  ASSERT_TRUE(service());
  ASSERT_TRUE(test::WaitUntil([&] { return dispatcher.Sleeping(); }));

  // Within the tenth of a second: the thread wakes, waits out the rest and has it applied.
  clock.Advance(std::chrono::milliseconds(40));
  commit(1);
  EXPECT_FALSE(dispatcher.ApplyOrWake());
  ASSERT_TRUE(service());
  ASSERT_TRUE(test::WaitUntil([&] { return dispatcher.Sleeping(); }));
  EXPECT_EQ(clock.Pauses().back().first, std::chrono::milliseconds(60));

  // After it: applied here, and the thread sleeps on.
  clock.Advance(std::chrono::milliseconds(100));
  commit(2);
  EXPECT_TRUE(dispatcher.ApplyOrWake());
  EXPECT_TRUE(dispatcher.Sleeping());
  EXPECT_TRUE(ring.Empty());

  // Two at once, a second later: the first here, the second by the thread a tenth later.
  clock.Advance(std::chrono::seconds(1));
  commit(3);
  commit(8);
  EXPECT_TRUE(dispatcher.ApplyOrWake());
  ASSERT_TRUE(service());
  ASSERT_TRUE(test::WaitUntil([&] { return applied == 5 && dispatcher.Sleeping(); }));
  EXPECT_EQ(clock.Pauses().back(), std::make_pair(std::chrono::milliseconds(100), 4));

  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen, (std::vector<std::pair<int, bool>>{
                        {7, false}, {1, false}, {2, true}, {3, true}, {8, false}}));
  }
  EXPECT_EQ(dispatcher.AppliedCount(), 5u);
  dispatcher.Join([&](std::jthread& thread) {
    gui.Refuse();
    thread.join();
  });
}

} // namespace
} // namespace lamp
