#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/wait.h>

#include "lamp_test/port_end.h"
#include "lamp_test/temp_folder.h"
#include "lamp_test/wait.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using lamp::test::Bytes;
using lamp::test::PortEnd;
using lamp::test::TempFolder;
using lamp::test::WaitUntil;

const Bytes kPoll = {0x5A, 0x06, 0x01, 0x07, 0x01, 0x03};
const Bytes kPollReply = {0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x00, 0x03};

class SimulatorTest : public ::testing::Test {
protected:
  SimulatorTest() : link(temp.Path() / "velora") {}

  std::unique_ptr<Simulator> Started(SimulatorOptions options = {}) {
    options.link = link;
    auto simulator = std::make_unique<Simulator>(std::move(options));
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
  }

  TempFolder temp;
  std::filesystem::path link;
};

TEST_F(SimulatorTest, AnswersThroughTheLinkAndKeepsWhatIsWritten) {
  auto simulator = Started();
  EXPECT_EQ(std::filesystem::read_symlink(link), simulator->SlavePath());
  PortEnd port(link);
  ASSERT_TRUE(port.IsOpen());
  ASSERT_TRUE(port.Write(kPoll));
  EXPECT_EQ(port.Read(kPollReply.size()), kPollReply);

  // 0x0D, 0x11 and 0x13 pass a raw line unchanged.
  const Bytes levels = {0x5A, 0x0E, 0x01, 0x02, 0x00, 0x0D, 0x00,
                        0x11, 0x00, 0x13, 0x00, 0x0A, 0x00, 0x03};
  ASSERT_TRUE(port.Write(levels));
  EXPECT_EQ(port.Read(levels.size()), levels);
  EXPECT_EQ(simulator->State().levels, (std::array<std::int16_t, 4>{13, 17, 19, 10}));

  simulator->Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(SimulatorTest, SurvivesThePortClosingAndReopeningAgainAndAgain) {
  auto simulator = Started();
  for (int round = 0; round < 25; ++round) {
    PortEnd port(link);
    ASSERT_TRUE(port.IsOpen()) << "round " << round;
    if (round % 5 == 4) {
      continue; // opened and closed without a word
    }
    ASSERT_TRUE(port.Write(kPoll));
    const Bytes reply = port.Read(kPollReply.size());
    ASSERT_EQ(reply, kPollReply) << "round " << round;
  }
}

TEST_F(SimulatorTest, FaultsSurroundRepliesWithNoiseAndOverlongFrames) {
  SimulatorOptions options;
  options.noise = 1;
  options.overlong = 1;
  options.delay = 20ms;
  auto simulator = Started(options);
  PortEnd port(link);
  ASSERT_TRUE(port.Write(kPoll));
  ASSERT_TRUE(WaitUntil([&] { return simulator->Stats().framesSent == 1; }));
  // 1 to 8 noise bytes, the 24-byte over-long frame, then the reply.
  Bytes received = port.Read(24 + kPollReply.size() + 1, 300ms);
  while (received.size() < 24 + kPollReply.size() + 8) {
    const Bytes more = port.Read(1, 200ms);
    if (more.empty()) {
      break;
    }
    received.insert(received.end(), more.begin(), more.end());
  }
  ASSERT_GE(received.size(), 24 + kPollReply.size() + 1);
  const std::size_t noise = received.size() - 24 - kPollReply.size();
  EXPECT_LE(noise, 8u);
  for (std::size_t i = 0; i < noise; ++i) {
    EXPECT_NE(received[i], 0x5A);
  }
  EXPECT_EQ(received[noise], 0x5A);
  EXPECT_EQ(received[noise + 1], 24);
  EXPECT_EQ(Bytes(received.end() - static_cast<long>(kPollReply.size()), received.end()),
            kPollReply);
}

TEST_F(SimulatorTest, DroppedRepliesAreCountedAndNeverSent) {
  SimulatorOptions options;
  options.drop = 1;
  auto simulator = Started(options);
  PortEnd port(link);
  ASSERT_TRUE(port.Write(kPoll));
  ASSERT_TRUE(port.Write(kPoll));
  ASSERT_TRUE(WaitUntil([&] { return simulator->Stats().framesDropped == 2; }));
  EXPECT_EQ(simulator->Stats().framesSent, 0u);
}

TEST_F(SimulatorTest, SilentControllerKeepsWorkingAndOnlyRawBytesLeaveItUntilItAnswersAgain) {
  SimulatorOptions options;
  options.noise = 1;
  options.overlong = 1;
  auto simulator = Started(options);
  PortEnd port(link);
  simulator->SetSilent(true);
  const Bytes levels = {0x5A, 0x0E, 0x01, 0x02, 0x00, 0x01, 0x00,
                        0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x03};
  ASSERT_TRUE(port.Write(levels));
  ASSERT_TRUE(WaitUntil([&] { return simulator->Stats().framesSilenced == 1; }));
  EXPECT_EQ(simulator->State().levels, (std::array<std::int16_t, 4>{1, 2, 3, 4}));

  // Raw bytes pass silence and fault injection alike: they are the first and only bytes out.
  const Bytes raw = {0x5A, 0x09, 0x01, 0x07, 0x01, 0x63, 0x00, 0x01, 0x03};
  simulator->SendRaw(raw);
  EXPECT_EQ(port.Read(raw.size()), raw);

  simulator->SetSilent(false);
  ASSERT_TRUE(port.Write(kPoll));
  Bytes received = port.Read(kPollReply.size() + 24 + 1);
  while (received.size() < kPollReply.size() + 24 + 8) {
    const Bytes more = port.Read(1, 200ms);
    if (more.empty()) {
      break;
    }
    received.insert(received.end(), more.begin(), more.end());
  }
  ASSERT_GE(received.size(), kPollReply.size());
  EXPECT_EQ(Bytes(received.end() - static_cast<long>(kPollReply.size()), received.end()),
            kPollReply);
  const SimulatorStats stats = simulator->Stats();
  EXPECT_EQ(stats.framesSilenced, 1u);
  EXPECT_EQ(stats.framesSent, 1u);
}

TEST_F(SimulatorTest, PacedOutputArrivesWholeAndInOrder) {
  SimulatorOptions options;
  options.baud = 115200;
  auto simulator = Started(options);
  PortEnd port(link);
  ASSERT_TRUE(port.Write({0x5A, 0x06, 0x01, 0x0C, 0x01, 0x03}));
  const Bytes rows = port.Read(32 * 17);
  ASSERT_EQ(rows.size(), 32u * 17);
  for (std::size_t row = 0; row < 32; ++row) {
    EXPECT_EQ(rows[row * 17], 0x5A);
    EXPECT_EQ(rows[row * 17 + 5], row);
    EXPECT_EQ(rows[row * 17 + 16], 0x03);
  }
}

TEST_F(SimulatorTest, PacedLineTakesTheProgramsBytesNoFasterThanItCarriesThem) {
  SimulatorOptions options;
  options.baud = 9600;
  auto simulator = Started(options);
  PortEnd port(link);
  // Noise the controller skips, then a poll: the reply cannot start before all of it has crossed
  // the line and cannot end before its own bytes have crossed back.
  Bytes chunk(200, 0x11);
  chunk.insert(chunk.end(), kPoll.begin(), kPoll.end());
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(port.Write(chunk));
  EXPECT_EQ(port.Read(kPollReply.size()), kPollReply);
  const auto characters = static_cast<long long>(chunk.size() + kPollReply.size());
  EXPECT_GE(std::chrono::steady_clock::now() - sent, characters * 10 * 1s / 9600);
}

TEST_F(SimulatorTest, PacedLineTakesAFloodBeyondItsBufferWholeAndInOrder) {
  SimulatorOptions options;
  options.baud = 1'000'000;
  auto simulator = Started(options);
  PortEnd port(link);
  constexpr std::size_t kPolls = 1200;
  Bytes flood;
  for (std::size_t i = 0; i < kPolls; ++i) {
    flood.insert(flood.end(), kPoll.begin(), kPoll.end());
  }
  // The writer is held up while the simulator's buffer is full, as on a real port.
  std::jthread writer([&] { EXPECT_TRUE(port.WriteAll(flood)); });
  const Bytes replies = port.Read(kPolls * kPollReply.size());
  ASSERT_EQ(replies.size(), kPolls * kPollReply.size());
  for (std::size_t i = 0; i < kPolls; ++i) {
    ASSERT_TRUE(std::equal(kPollReply.begin(), kPollReply.end(),
                           replies.begin() + static_cast<long>(i * kPollReply.size())))
        << "reply " << i;
  }
  EXPECT_EQ(simulator->Stats().bytesReceived, flood.size());
}

TEST_F(SimulatorTest, PulledPlugHangsUpAndANewPortAppearsBehindTheSameLink) {
  auto simulator = Started();
  PortEnd before(link);
  ASSERT_TRUE(before.IsOpen());
  simulator->PullPlug(50ms);
  EXPECT_TRUE(before.HangsUp());
  ASSERT_TRUE(WaitUntil([&] { return simulator->Stats().plugIns == 2; }));
  EXPECT_EQ(std::filesystem::read_symlink(link), simulator->SlavePath());
  PortEnd after(link);
  ASSERT_TRUE(after.Write(kPoll));
  EXPECT_EQ(after.Read(kPollReply.size()), kPollReply);
}

TEST_F(SimulatorTest, UnsolicitedReportsReachTheLine) {
  SimulatorOptions options;
  options.second = 10ms;
  auto simulator = Started(options);
  simulator->UpdateState([](ControllerState& state) { state.modeAWait = {1, 1, 1, 1}; });
  PortEnd port(link);
  ASSERT_TRUE(port.Write({0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03}));
  Bytes expected = {0x5A, 0x07, 0x01, 0x04, 0x00, 0x01, 0x03};
  for (std::uint8_t lamp = 0; lamp < 4; ++lamp) {
    expected.insert(expected.end(), {0x5A, 0x08, 0x01, 0x0E, 0x00, 'A', lamp, 0x03});
  }
  expected.insert(expected.end(), {0x5A, 0x07, 0x01, 0x0D, 0x00, 0x00, 0x03});
  EXPECT_EQ(port.Read(expected.size()), expected);

  simulator->PressOnOffKey();
  EXPECT_EQ(port.Read(7), (Bytes{0x5A, 0x07, 0x01, 0x11, 0x00, 0x01, 0x03}));
}

// A bootloader stand-in that echoes what it gets and hands the line back on 0x88.
class EchoBootloader final : public Personality {
public:
  void OnActivate(TimePoint, Line&) override {}
  std::size_t OnBytes(std::span<const std::uint8_t> bytes, TimePoint, Line& line) override {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      line.SendFrame({bytes[i]});
      if (bytes[i] == 0x88) {
        line.SwitchTo(PersonalityKind::Application);
        return i + 1;
      }
    }
    return bytes.size();
  }
  void OnTime(TimePoint, Line&) override {}
  TimePoint NextWakeup() const override { return TimePoint::max(); }
  void OnLineReset() override {}
};

TEST_F(SimulatorTest, BootloaderTakesTheLineAfterTheEntryFrameAndGivesItBack) {
  auto simulator = Started();
  simulator->SetBootloaderFactory([] { return std::make_unique<EchoBootloader>(); });
  PortEnd port(link);
  // Entry frame, bootloader bytes, hand-back and a poll in one chunk.
  Bytes chunk = {0x5A, 0x06, 0x01, 0x90, 0x87, 0x03, 0x5A, 0x01, 0x90, 0x88};
  chunk.insert(chunk.end(), kPoll.begin(), kPoll.end());
  ASSERT_TRUE(port.Write(chunk));
  Bytes expected = {0x5A, 0x01, 0x90, 0x88};
  expected.insert(expected.end(), kPollReply.begin(), kPollReply.end());
  EXPECT_EQ(port.Read(expected.size()), expected);
  EXPECT_EQ(simulator->ActiveKind(), PersonalityKind::Application);
}

TEST_F(SimulatorTest, ProgramTracesAndAnswersAFrameTypedAtIt) {
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const std::string program = std::string(LAMP_BIN_DIR) + "/velora-sim";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::execl(program.c_str(), program.c_str(), "--link", link.c_str(), "--trace", nullptr);
    ::_exit(127);
  }
  ::close(out[1]);
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(link); }));
  {
    PortEnd port(link);
    ASSERT_TRUE(port.Write(kPoll));
    EXPECT_EQ(port.Read(kPollReply.size()), kPollReply);
  }
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string trace;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    trace.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  EXPECT_NE(trace.find("<- 5A 06 01 07 01 03"), std::string::npos) << trace;
  EXPECT_NE(trace.find("-> 5A 09 01 07 01 19 00 00 03"), std::string::npos) << trace;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

} // namespace
} // namespace sim
