#include "sim/controller.h"

#include <gtest/gtest.h>

#include <optional>

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Keeps what the controller sends and asks for.
class CollectingLine final : public Line {
public:
  void SendFrame(Bytes frame) override { sent.push_back(std::move(frame)); }
  void TraceReceived(std::span<const std::uint8_t> bytes, std::string_view what) override {
    if (what != "frame") {
      notes.emplace_back(what);
    }
    static_cast<void>(bytes);
  }
  void SwitchTo(PersonalityKind kind) override { switched = kind; }

  std::vector<Bytes> Take() { return std::exchange(sent, {}); }

  std::vector<Bytes> sent;
  std::vector<std::string> notes;
  std::optional<PersonalityKind> switched;
};

class ControllerTest : public ::testing::Test {
protected:
  ControllerTest() { controller.OnActivate(t0, line); }

  std::vector<Bytes> Send(const Bytes& bytes, TimePoint at) {
    EXPECT_EQ(controller.OnBytes(bytes, at, line), bytes.size());
    return line.Take();
  }
  std::vector<Bytes> Send(const Bytes& bytes) { return Send(bytes, t0); }
  std::vector<Bytes> At(TimePoint now) {
    controller.OnTime(now, line);
    return line.Take();
  }

  const TimePoint t0 = TimePoint() + 1h;
  Controller controller{1000ms};
  CollectingLine line;
};

TEST_F(ControllerTest, ReadsAnswerWithTheControllersState) {
  controller.MutableState().levels = {100, -1, 0, 1000};
  controller.MutableState().temperature = -5;
  controller.MutableState().fanOn = true;
  const std::vector<std::pair<Bytes, std::vector<Bytes>>> cases = {
      {{0x5A, 0x06, 0x01, 0x01, 0x01, 0x03}, {{0x5A, 0x08, 0x01, 0x01, 0x01, 0xF0, 0x00, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x02, 0x01, 0x03},
       {{0x5A, 0x0E, 0x01, 0x02, 0x01, 0x64, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xE8, 0x03, 0x03}}},
      {{0x5A, 0x07, 0x01, 0x03, 0x01, 0x02, 0x03}, {{0x5A, 0x07, 0x01, 0x03, 0x01, 0x00, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x07, 0x01, 0x03},
       {{0x5A, 0x09, 0x01, 0x07, 0x01, 0xFB, 0xFF, 0x01, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x08, 0x01, 0x03}, {{0x5A, 0x07, 0x01, 0x08, 0x01, 0x00, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x09, 0x01, 0x03}, {{0x5A, 0x08, 0x01, 0x09, 0x01, 45, 40, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x0A, 0x01, 0x03},
       {{0x5A, 0x0E, 0x01, 0x0A, 0x01, 2, 0, 2, 0, 2, 0, 2, 0, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x0B, 0x01, 0x03}, {{0x5A, 0x08, 0x01, 0x0B, 0x01, 0, 3, 0x03}}},
      {{0x5A, 0x06, 0x01, 0x12, 0x01, 0x03}, {{0x5A, 0x07, 0x01, 0x12, 0x01, 0x00, 0x03}}},
  };
  for (const auto& [request, replies] : cases) {
    EXPECT_EQ(Send(request), replies) << "command " << int(request[3]);
  }
}

TEST_F(ControllerTest, TableReadsAnswerOneFramePerRow) {
  controller.MutableState().machineTable[0] = {1000, 2000, -5};
  controller.MutableState().thermistorOffset = -300;
  const auto machine = Send({0x5A, 0x06, 0x01, 0x10, 0x01, 0x03});
  ASSERT_EQ(machine.size(), 5u);
  EXPECT_EQ(machine[0], (Bytes{0x5A, 0x0E, 0x01, 0x10, 0x01, 0x00, 0xE8, 0x03, 0xD0, 0x07, 0xFB,
                               0xFF, 0x00, 0x03}));
  EXPECT_EQ(machine[4], (Bytes{0x5A, 0x09, 0x01, 0x10, 0x01, 0x04, 0xD4, 0xFE, 0x03}));

  const auto modeB = Send({0x5A, 0x06, 0x01, 0x0C, 0x01, 0x03});
  ASSERT_EQ(modeB.size(), 32u);
  for (std::size_t row = 0; row < 32; ++row) {
    EXPECT_EQ(modeB[row].size(), 17u);
    EXPECT_EQ(modeB[row][5], row);
  }
  const auto users = Send({0x5A, 0x06, 0x01, 0x13, 0x01, 0x03});
  ASSERT_EQ(users.size(), 4u);
  EXPECT_EQ(users[3],
            (Bytes{0x5A, 0x10, 0x01, 0x13, 0x01, 0x00, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0x03}));
}

TEST_F(ControllerTest, WritesAreKeptAndEchoed) {
  const std::vector<std::pair<Bytes, Bytes>> cases = {
      {{0x5A, 0x08, 0x01, 0x01, 0x00, 0xF3, 0x00, 0x03},
       {0x5A, 0x08, 0x01, 0x01, 0x00, 0xF3, 0x00, 0x03}},
      {{0x5A, 0x0E, 0x01, 0x02, 0x00, 0x64, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xE8, 0x03, 0x03},
       {0x5A, 0x0E, 0x01, 0x02, 0x00, 0x64, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xE8, 0x03, 0x03}},
      {{0x5A, 0x08, 0x01, 0x09, 0x00, 0x2D, 0x28, 0x03},
       {0x5A, 0x08, 0x01, 0x09, 0x00, 0x2D, 0x28, 0x03}},
      {{0x5A, 0x0F, 0x01, 0x16, 0x00, 0x02, 1, 0, 0xFF, 0xFF, 0, 0, 0xFA, 0, 0x03},
       {0x5A, 0x0F, 0x01, 0x16, 0x00, 0x02, 1, 0, 0xFF, 0xFF, 0, 0, 0xFA, 0, 0x03}},
      {{0x5A, 0x07, 0x01, 0x12, 0x00, 0x01, 0x03}, {0x5A, 0x07, 0x01, 0x12, 0x00, 0x01, 0x03}},
      // In user mode the lamp selection travels as 16 bits.
      {{0x5A, 0x08, 0x01, 0x01, 0x00, 0x34, 0x12, 0x03},
       {0x5A, 0x08, 0x01, 0x01, 0x00, 0x34, 0x12, 0x03}},
      {{0x5A, 0x07, 0x01, 0x15, 0x00, 0x00, 0x03}, {0x5A, 0x07, 0x01, 0x15, 0x00, 0x00, 0x03}},
  };
  for (const auto& [request, reply] : cases) {
    EXPECT_EQ(Send(request), std::vector<Bytes>{reply}) << "command " << int(request[3]);
  }
  const ControllerState& state = controller.State();
  EXPECT_EQ(state.lampMask, 0xF3);
  EXPECT_EQ(state.userLampMask, 0x1234);
  EXPECT_EQ(state.levels[1], -1);
  EXPECT_EQ(state.selectedUser, 2);
  EXPECT_EQ(state.userTable[2][3], 250);
  EXPECT_EQ(Send({0x5A, 0x06, 0x01, 0x09, 0x01, 0x03}),
            (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x09, 0x01, 0x2D, 0x28, 0x03}}));
}

TEST_F(ControllerTest, GarbageIsSkippedAndFramesAroundItAreAnswered) {
  const Bytes poll = {0x5A, 0x06, 0x01, 0x07, 0x01, 0x03};
  Bytes stream = {0x00, 0x11, 0x5A, 0x02, 0x5A, 0xFF}; // noise and impossible lengths
  stream.insert(stream.end(), poll.begin(), poll.end());
  stream.insert(stream.end(), {0x5A, 0x06, 0x01, 0x07, 0x01, 0x7E}); // bad end byte
  stream.insert(stream.end(), {0x5A, 0x06, 0x01, 0x0E, 0x01, 0x03}); // not a command
  stream.insert(stream.end(), {0x5A, 0x06, 0x01, 0x02, 0x00, 0x03}); // write without levels
  EXPECT_EQ(Send(stream).size(), 1u);

  // The longest frame is 32 bytes: a poll padded to 32 is answered, one padded to 33 is not.
  const auto padded = [&poll](std::uint8_t length) {
    Bytes frame(poll.begin(), poll.end() - 1);
    frame[1] = length;
    frame.resize(length - 1, 0x00);
    frame.push_back(0x03);
    return frame;
  };
  EXPECT_EQ(Send(padded(32)).size(), 1u);
  EXPECT_TRUE(Send(padded(33)).empty());

  // Half a frame that stalls is forgotten; the next frame is answered.
  EXPECT_TRUE(Send({0x5A, 0x06, 0x01}, t0).empty());
  EXPECT_EQ(Send(poll, t0 + 1s).size(), 1u);
  // Split without a stall, it is completed.
  EXPECT_TRUE(Send({0x5A, 0x06, 0x01}, t0 + 2s).empty());
  EXPECT_EQ(Send({0x07, 0x01, 0x03}, t0 + 2s + 10ms).size(), 1u);
}

TEST_F(ControllerTest, ModeAReportsEachLampAfterItsWaitThenStops) {
  controller.MutableState().modeAWait = {1, 0, 3, 2};
  EXPECT_EQ(Send({0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03}),
            (std::vector<Bytes>{{0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03},
                                {0x5A, 0x08, 0x01, 0x0E, 0x00, 'A', 0, 0x03}}));
  EXPECT_TRUE(At(t0 + 999ms).empty());
  // Lamp 2 waits 0 s, so lamp 3 follows at once.
  EXPECT_EQ(At(t0 + 1s), (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x0E, 0x00, 'A', 1, 0x03},
                                             {0x5A, 0x08, 0x01, 0x0E, 0x00, 'A', 2, 0x03}}));
  EXPECT_EQ(At(t0 + 4s), (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x0E, 0x00, 'A', 3, 0x03}}));
  EXPECT_TRUE(controller.State().autoRunning);
  EXPECT_EQ(At(t0 + 6s), (std::vector<Bytes>{{0x5A, 0x07, 0x01, 0x0D, 0x00, 0x00, 0x03}}));
  EXPECT_FALSE(controller.State().autoRunning);
  EXPECT_TRUE(At(t0 + 60s).empty());
}

TEST_F(ControllerTest, ModeBStepsFromBeginToEndAndStopsOnRequest) {
  ControllerState& state = controller.MutableState();
  state.autoKind = 1;
  state.modeBBegin = 5;
  state.modeBEnd = 7;
  state.modeBTable[5] = {100, -1, 0, 1000, 2};
  state.modeBTable[6] = {1, 2, 3, 4, 2};
  auto replies = Send({0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03});
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[1], (Bytes{0x5A, 0x10, 0x01, 0x0E, 0x00, 'B', 5, 0x64, 0x00, 0xFF, 0xFF, 0x00,
                               0x00, 0xE8, 0x03, 0x03}));
  replies = At(t0 + 2s);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0],
            (Bytes{0x5A, 0x10, 0x01, 0x0E, 0x00, 'B', 6, 1, 0, 2, 0, 3, 0, 4, 0, 0x03}));
  // Stopped by the program before the end: a stop report and no further steps.
  EXPECT_EQ(Send({0x5A, 0x07, 0x01, 0x04, 0x00, 0x00, 0x03}, t0 + 3s),
            (std::vector<Bytes>{{0x5A, 0x07, 0x01, 0x04, 0x00, 0x00, 0x03},
                                {0x5A, 0x07, 0x01, 0x0D, 0x00, 0x00, 0x03}}));
  EXPECT_TRUE(At(t0 + 60s).empty());

  // A range that holds no step ends at once.
  state.modeBBegin = 40;
  replies = Send({0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03}, t0 + 61s);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[1], (Bytes{0x5A, 0x07, 0x01, 0x0D, 0x00, 0x00, 0x03}));
}

TEST_F(ControllerTest, OnOffKeyResetAndPowerAreReported) {
  controller.PressOnOffKey(line);
  EXPECT_EQ(line.Take(), (std::vector<Bytes>{{0x5A, 0x07, 0x01, 0x11, 0x00, 0x01, 0x03}}));
  // The panel's button state 1 reads "OFF".
  Send({0x5A, 0x07, 0x01, 0x05, 0x00, 0x01, 0x03});
  EXPECT_FALSE(controller.State().powerOn);
  Send({0x5A, 0x07, 0x01, 0x05, 0x00, 0x00, 0x03});
  EXPECT_TRUE(controller.State().powerOn);
  EXPECT_EQ(Send({0x5A, 0x06, 0x01, 0x06, 0x00, 0x03}),
            (std::vector<Bytes>{{0x5A, 0x06, 0x01, 0x06, 0x00, 0x03},
                                {0x5A, 0x07, 0x01, 0x11, 0x00, 0x00, 0x03}}));
  EXPECT_FALSE(controller.State().powerOn);
}

TEST_F(ControllerTest, TemperatureFollowsTheLampsAndTheFan) {
  ControllerState& state = controller.MutableState();
  state.powerOn = true;
  state.lampMask = 0xFF;
  state.levels = {1000, 0, 0, 0};
  state.fanStart = 40;
  state.fanOff = 32;
  int seconds = 0;
  while (!controller.State().fanOn && seconds < 100) {
    At(t0 + ++seconds * 1s);
  }
  ASSERT_TRUE(controller.State().fanOn);
  EXPECT_EQ(controller.State().temperature, 40);
  // With the fan on the temperature falls until the fan switches off again.
  while (controller.State().fanOn && seconds < 200) {
    At(t0 + ++seconds * 1s);
  }
  EXPECT_FALSE(controller.State().fanOn);
  EXPECT_EQ(controller.State().temperature, 32);
}

TEST_F(ControllerTest, EntryFrameHandsTheRestOfTheChunkOver) {
  const Bytes chunk = {0x5A, 0x06, 0x01, 0x90, 0x87, 0x03, 0x5A, 0x01, 0x90, 0x80};
  EXPECT_EQ(controller.OnBytes(chunk, t0, line), 6u);
  EXPECT_EQ(line.switched, PersonalityKind::Bootloader);
  EXPECT_TRUE(line.sent.empty());
}

} // namespace
} // namespace sim
