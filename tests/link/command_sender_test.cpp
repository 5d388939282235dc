#include "link/command_sender.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "recording_port.h"

namespace lamp {
namespace {

using test::RecordingPort;
using Bytes = RecordingPort::Bytes;

// The texts of a setup dialog as the operator left them.
class TableDialog final : public DialogData {
public:
  std::string CellText(int row, int column) const override {
    const auto it = cells.find({row, column});
    return it == cells.end() ? std::string() : it->second;
  }
  std::string FieldText(int index) const override {
    return index < static_cast<int>(fields.size()) ? fields[index] : std::string();
  }
  int SelectedUser() const override { return selected; }

  std::map<std::pair<int, int>, std::string> cells;
  std::vector<std::string> fields;
  int selected = 0;
};

// The panel, its open dialogs and its poll timer; every timer operation, pause and frame lands in
// one log, so that the order of events can be checked.
class Panel final : public CommandSource, public PollTimer {
public:
  std::int32_t Level(int lamp) const override { return levels[lamp]; }
  std::int32_t CursorDigit(int lamp) const override { return lamp == 0 ? cursorDigit : 99; }
  std::int32_t OnOffState() const override { return onOff; }
  const DialogData* OpenDialog(SetupDialog which) const override {
    const auto it = open.find(which);
    return it == open.end() ? nullptr : it->second;
  }
  void RefreshLampButtons() override { log.push_back("refresh"); }
  void StopPoll() override { log.push_back("stop"); }
  void StartPoll(int periodMs) override { log.push_back("start " + std::to_string(periodMs)); }

  std::int32_t levels[4] = {0, 0, 0, 0};
  std::int32_t cursorDigit = 0;
  std::int32_t onOff = 0;
  std::map<SetupDialog, const DialogData*> open;
  std::vector<std::string> log;
};

class CommandSenderTest : public ::testing::Test {
protected:
  CommandSenderTest() {
    port.onWrite = [this](const Bytes&) { panel.log.push_back("frame"); };
    sender.SetPort(&port);
  }

  std::vector<Bytes> Send(std::uint8_t command, std::int8_t direction) {
    port.frames.clear();
    panel.log.clear();
    sender.SendCommand(command, direction);
    return port.frames;
  }

  MachineState state;
  Panel panel;
  RecordingPort port;
  CommandSender sender{state, panel, panel, [this](std::chrono::milliseconds ms) {
                         panel.log.push_back("pause " + std::to_string(ms.count()));
                       }};
};

TEST_F(CommandSenderTest, SingleFramesCarryTheirPayloadByteForByte) {
  state.lampMask = 0xF3;
  state.autoRunning = 1;
  state.autoKind = 1;
  panel.levels[0] = 100;
  panel.levels[1] = -1;
  panel.levels[2] = 0;
  panel.levels[3] = 1000;
  panel.cursorDigit = 2;
  panel.onOff = 1;

  const std::vector<std::pair<std::pair<int, int>, Bytes>> cases = {
      {{1, 0}, {0x5A, 0x08, 0x01, 0x01, 0x00, 0xF3, 0x00, 0x03}},
      {{1, 1}, {0x5A, 0x06, 0x01, 0x01, 0x01, 0x03}},
      {{2, 0},
       {0x5A, 0x0E, 0x01, 0x02, 0x00, 0x64, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xE8, 0x03, 0x03}},
      {{2, 1}, {0x5A, 0x06, 0x01, 0x02, 0x01, 0x03}},
      {{3, 0}, {0x5A, 0x07, 0x01, 0x03, 0x00, 0x02, 0x03}},
      {{3, 1}, {0x5A, 0x07, 0x01, 0x03, 0x01, 0x02, 0x03}},
      {{4, 0}, {0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03}},
      {{4, 1}, {0x5A, 0x07, 0x01, 0x04, 0x01, 0x01, 0x03}},
      {{5, 0}, {0x5A, 0x07, 0x01, 0x05, 0x00, 0x01, 0x03}},
      {{5, 1}, {0x5A, 0x07, 0x01, 0x05, 0x01, 0x01, 0x03}},
      {{6, 0}, {0x5A, 0x06, 0x01, 0x06, 0x00, 0x03}},
      {{6, 1}, {0x5A, 0x06, 0x01, 0x06, 0x01, 0x03}},
      {{7, 1}, {0x5A, 0x06, 0x01, 0x07, 0x01, 0x03}},
      {{8, 0}, {0x5A, 0x07, 0x01, 0x08, 0x00, 0x01, 0x03}},
      {{8, 1}, {0x5A, 0x06, 0x01, 0x08, 0x01, 0x03}},
      {{18, 1}, {0x5A, 0x06, 0x01, 0x12, 0x01, 0x03}},
      {{21, 0}, {0x5A, 0x07, 0x01, 0x15, 0x00, 0x00, 0x03}},
  };
  for (const auto& [call, expected] : cases) {
    SCOPED_TRACE("command " + std::to_string(call.first) + " direction " +
                 std::to_string(call.second));
    EXPECT_EQ(Send(static_cast<std::uint8_t>(call.first), static_cast<std::int8_t>(call.second)),
              std::vector<Bytes>{expected});
  }
}

TEST_F(CommandSenderTest, LampMaskTravelsAsSixteenBitsInUserMode) {
  state.lampMask = 0xF3;
  state.userMode = 1;
  state.userLampMask = 0x1234;
  EXPECT_EQ(Send(1, 0), (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x01, 0x00, 0x34, 0x12, 0x03}}));
  EXPECT_EQ(Send(18, 0), (std::vector<Bytes>{{0x5A, 0x07, 0x01, 0x12, 0x00, 0x01, 0x03}}));
}

TEST_F(CommandSenderTest, DialogFramesConvertTheirTexts) {
  TableDialog fan;
  fan.fields = {"45", "40"};
  TableDialog automode;
  automode.fields = {"300", "abc"};
  automode.cells = {{{0, 1}, "abc"}, {{1, 1}, "-2"}, {{2, 1}, " +12xyz"}, {{3, 1}, "99999999999"}};
  TableDialog users;
  users.selected = 2;
  users.cells = {{{2, 1}, "1"}, {{2, 2}, "-1"}, {{2, 3}, ""}, {{2, 4}, "250"}};
  panel.open = {{SetupDialog::FanCtrl, &fan},
                {SetupDialog::Automode, &automode},
                {SetupDialog::UserMode, &users}};

  EXPECT_EQ(Send(9, 0), (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x09, 0x00, 0x2D, 0x28, 0x03}}));
  EXPECT_EQ(Send(9, 1), (std::vector<Bytes>{{0x5A, 0x06, 0x01, 0x09, 0x01, 0x03}}));
  // "abc" is 0, "-2" is FE FF, leading blanks and sign are taken, and a number beyond 32 bits
  // saturates before it is cut to 16 bits.
  EXPECT_EQ(Send(10, 0), (std::vector<Bytes>{{0x5A, 0x0E, 0x01, 0x0A, 0x00, 0x00, 0x00, 0xFE, 0xFF,
                                              0x0C, 0x00, 0xFF, 0xFF, 0x03}}));
  EXPECT_EQ(Send(10, 1), (std::vector<Bytes>{{0x5A, 0x06, 0x01, 0x0A, 0x01, 0x03}}));
  // "300" in a byte is 2C.
  EXPECT_EQ(Send(11, 0), (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x0B, 0x00, 0x2C, 0x00, 0x03}}));
  automode.fields = {"-2", "7"};
  EXPECT_EQ(Send(11, 0), (std::vector<Bytes>{{0x5A, 0x08, 0x01, 0x0B, 0x00, 0xFE, 0x07, 0x03}}));
  EXPECT_EQ(Send(12, 1), (std::vector<Bytes>{{0x5A, 0x06, 0x01, 0x0C, 0x01, 0x03}}));
  EXPECT_EQ(Send(19, 1), (std::vector<Bytes>{{0x5A, 0x06, 0x01, 0x13, 0x01, 0x03}}));
  EXPECT_EQ(Send(20, 0), (std::vector<Bytes>{{0x5A, 0x07, 0x01, 0x14, 0x00, 0x02, 0x03}}));
  EXPECT_EQ(Send(22, 0), (std::vector<Bytes>{{0x5A, 0x0F, 0x01, 0x16, 0x00, 0x02, 0x01, 0x00, 0xFF,
                                              0xFF, 0x00, 0x00, 0xFA, 0x00, 0x03}}));
}

TEST_F(CommandSenderTest, NothingGoesOutForAbsentCommandsOrClosedDialogs) {
  const std::vector<std::pair<int, int>> silent = {
      {0, 0},  {0, 1},  {13, 0}, {13, 1}, {14, 0}, {15, 0}, {17, 0}, {23, 0}, {255, 1},
      {20, 1}, {21, 1}, {22, 1}, {9, 0},  {9, 1},  {10, 0}, {10, 1}, {11, 0}, {11, 1},
      {12, 0}, {12, 1}, {16, 0}, {16, 1}, {19, 0}, {19, 1}, {20, 0}, {22, 0}};
  for (const auto& [command, direction] : silent) {
    SCOPED_TRACE("command " + std::to_string(command) + " direction " + std::to_string(direction));
    EXPECT_TRUE(
        Send(static_cast<std::uint8_t>(command), static_cast<std::int8_t>(direction)).empty());
    // The poll rhythm goes on all the same.
    EXPECT_EQ(panel.log, (std::vector<std::string>{"stop", "start 500"}));
  }
}

TEST_F(CommandSenderTest, StatusPollKeepsItsTimerAndEveryOtherCommandRestartsIt) {
  Send(7, 1);
  EXPECT_EQ(panel.log, (std::vector<std::string>{"frame", "start 500"}));
  Send(2, 0);
  EXPECT_EQ(panel.log, (std::vector<std::string>{"stop", "frame", "start 500"}));
}

TEST_F(CommandSenderTest, WithoutAPortNothingIsWrittenAndThePollGoesOn) {
  sender.SetPort(nullptr);
  EXPECT_TRUE(Send(1, 0).empty());
  EXPECT_EQ(panel.log, (std::vector<std::string>{"stop", "start 500"}));
}

TEST_F(CommandSenderTest, ModeBTableGoesOutAsThirtyTwoRowsEachFollowedByAPause) {
  TableDialog automode;
  for (int row = 0; row < 32; ++row) {
    for (int column = 1; column <= 5; ++column) {
      automode.cells[{row, column}] = std::to_string(row * 10 + column - 3);
    }
  }
  panel.open = {{SetupDialog::Automode, &automode}};
  const std::vector<Bytes> frames = Send(12, 0);
  ASSERT_EQ(frames.size(), 32u);
  for (int row = 0; row < 32; ++row) {
    Bytes expected = {0x5A, 0x11, 0x01, 0x0C, 0x00, static_cast<std::uint8_t>(row)};
    for (int column = 1; column <= 5; ++column) {
      const int value = row * 10 + column - 3;
      expected.push_back(static_cast<std::uint8_t>(value & 0xFF));
      expected.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
    expected.push_back(0x03);
    EXPECT_EQ(frames[row], expected) << "row " << row;
  }
  std::vector<std::string> expectedLog = {"stop"};
  for (int row = 0; row < 32; ++row) {
    expectedLog.push_back("frame");
    expectedLog.push_back("pause 1");
  }
  expectedLog.push_back("start 500");
  EXPECT_EQ(panel.log, expectedLog);
}

TEST_F(CommandSenderTest, SystemSetupGoesOutAsFourLampRowsAndTheThermistorRow) {
  TableDialog machine;
  machine.cells = {{{0, 1}, "1000"}, {{0, 2}, "2000"}, {{0, 3}, "-5"},
                   {{3, 1}, "7"},    {{4, 1}, "11"},   {{4, 3}, "-300"}};
  panel.open = {{SetupDialog::Machine, &machine}};
  const std::vector<Bytes> frames = Send(16, 0);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0], (Bytes{0x5A, 0x0E, 0x01, 0x10, 0x00, 0x00, 0xE8, 0x03, 0xD0, 0x07, 0xFB,
                              0xFF, 0x00, 0x03}));
  EXPECT_EQ(frames[1], (Bytes{0x5A, 0x0E, 0x01, 0x10, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x03}));
  EXPECT_EQ(frames[3], (Bytes{0x5A, 0x0E, 0x01, 0x10, 0x00, 0x03, 0x07, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x03}));
  // The thermistor row carries only its offset.
  EXPECT_EQ(frames[4], (Bytes{0x5A, 0x09, 0x01, 0x10, 0x00, 0x04, 0xD4, 0xFE, 0x03}));
  EXPECT_EQ(Send(16, 1), (std::vector<Bytes>{{0x5A, 0x06, 0x01, 0x10, 0x01, 0x03}}));
}

TEST_F(CommandSenderTest, UserTableIsFollowedByTheStateReadBackAndALampRefresh) {
  TableDialog users;
  users.cells = {{{0, 1}, "1"}, {{1, 2}, "2"}, {{2, 3}, "3"}, {{3, 4}, "-4"}};
  panel.open = {{SetupDialog::UserMode, &users}};
  state.userMode = 1;
  const std::vector<Bytes> frames = Send(19, 0);
  const std::vector<Bytes> expected = {
      {0x5A, 0x10, 0x01, 0x13, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
       0x03},
      {0x5A, 0x10, 0x01, 0x13, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
       0x03},
      {0x5A, 0x10, 0x01, 0x13, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
       0x03},
      {0x5A, 0x10, 0x01, 0x13, 0x00, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFC, 0xFF,
       0x03},
      {0x5A, 0x06, 0x01, 0x12, 0x01, 0x03},
      {0x5A, 0x06, 0x01, 0x01, 0x01, 0x03},
      {0x5A, 0x06, 0x01, 0x02, 0x01, 0x03},
      {0x5A, 0x07, 0x01, 0x03, 0x01, 0x00, 0x03},
      {0x5A, 0x06, 0x01, 0x08, 0x01, 0x03},
  };
  EXPECT_EQ(frames, expected);
  ASSERT_GE(panel.log.size(), 2u);
  EXPECT_EQ(panel.log[panel.log.size() - 2], "refresh");
  EXPECT_EQ(panel.log.back(), "start 500");
}

} // namespace
} // namespace lamp
