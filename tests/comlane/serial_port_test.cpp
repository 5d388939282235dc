// Comlane's serial port on real pseudo-terminal pairs: the test holds the far side and plays the
// controller.

#include "lamp_test/pty_pair.h"
#include "line_readback.h"
#include "recording_owner.h"

#include <comlane/serial_port.h>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using lamp::test::PtyPair;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr auto kDeadline = 5s;

struct PortDeleter {
  void operator()(comlane::SerialPort* port) const { port->Destroy(1); }
};
using Port = std::unique_ptr<comlane::SerialPort, PortDeleter>;

Port MakePort(const std::string& name, std::uint32_t baud = 115200) {
  Port port(Rs232Class());
  port->portName = name;
  port->baudRate = baud;
  return port;
}

Bytes Sequence(std::size_t n, unsigned seed = 0) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 251) & 0xFF);
  }
  return bytes;
}

// Links in /proc/self/fd that point at `path`.
int DescriptorsOn(const std::string& path) {
  int found = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == path) {
      ++found;
    }
  }
  return found;
}

// True if nobody else holds the exclusive lock of the file `fd` refers to.
bool Unlocked(int fd) {
  const int probe = open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_NONBLOCK);
  const bool free = probe >= 0 && flock(probe, LOCK_EX | LOCK_NB) == 0;
  close(probe);
  return free;
}

std::size_t ThreadCount() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/task")) {
    ++n;
  }
  return n;
}

double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// CPU time the process uses while the test thread sleeps for `window`. A sleep here is a
// measuring window, not a wait for something to happen.
double CpuMsWhileIdle(std::chrono::milliseconds window) {
  const double before = ProcessCpuMs();
  std::this_thread::sleep_for(window);
  return ProcessCpuMs() - before;
}

} // namespace

// A port open on a fresh pty, with the recording owner set and its threads not yet started.
class OpenPort : public ::testing::Test {
protected:
  void SetUp() override {
    // ThreadSanitizer starts a helper thread of its own with the first thread of the process;
    // let it exist before counting.
    std::thread([] {}).join();
    threadsBefore = ThreadCount();
    ASSERT_EQ(port->Open(), 1);
    port->SetOwner(&owner);
  }

  PtyPair pty;
  RecordingOwner owner;
  Port port = MakePort(pty.DevicePath());
  std::size_t threadsBefore = 0;
};

TEST(SerialPort, OpenFailsAndLeavesNothingOpenForBadDevicesAndAttributes) {
  PtyPair pty;
  const auto speedBefore = ReadLine(pty.DeviceFd())->outputSpeed;
  std::string file = std::filesystem::temp_directory_path() / "comlane-not-a-line-XXXXXX";
  const int fileFd = mkstemp(file.data());
  ASSERT_GE(fileFd, 0);

  struct Case {
    const char* what;
    std::string name;
    std::uint32_t baud;
    std::uint8_t byteSize, parity, stopBits;
  };
  const Case cases[] = {
      {"missing device", "/dev/comlane-no-such-port", 9600, 8, 0, 0},
      {"regular file", file, 9600, 8, 0, 0},
      {"baud rate 0", pty.DevicePath(), 0, 8, 0, 0},
      {"9 data bits", pty.DevicePath(), 9600, 9, 0, 0},
      {"4 data bits", pty.DevicePath(), 9600, 4, 0, 0},
      {"parity code 5", pty.DevicePath(), 9600, 8, 5, 0},
      {"stop-bit code 3", pty.DevicePath(), 9600, 8, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Port port = MakePort(c.name, c.baud);
    port->byteSize = c.byteSize;
    port->parity = c.parity;
    port->stopBits = c.stopBits;
    const int held = DescriptorsOn(c.name);
    EXPECT_EQ(port->Open(), 0);
    EXPECT_EQ(port->IsOpen(), 0);
    EXPECT_EQ(port->StartThreads(), 0);
    EXPECT_EQ(DescriptorsOn(c.name), held);
  }
  EXPECT_TRUE(Unlocked(fileFd));
  EXPECT_TRUE(Unlocked(pty.DeviceFd()));
  EXPECT_EQ(ReadLine(pty.DeviceFd())->outputSpeed, speedBefore);
  close(fileFd);
  std::filesystem::remove(file);
}

TEST(SerialPort, DeviceIsHeldExclusivelyUntilClosed) {
  PtyPair pty;
  Port first = MakePort(pty.DevicePath());
  // Any name not starting with "/" is looked up under /dev/.
  Port second = MakePort(pty.DevicePath().substr(std::string("/dev/").size()));
  ASSERT_EQ(first->Open(), 1);
  EXPECT_EQ(second->Open(), 0);
  EXPECT_EQ(second->IsOpen(), 0);
  EXPECT_FALSE(Unlocked(pty.DeviceFd()));
  int exclusive = 0;
  ASSERT_EQ(ioctl(pty.DeviceFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_NE(exclusive, 0);
  EXPECT_EQ(first->Close(), 1);
  // The tty outlives the close (the far side stays open): it must not stay exclusive, or no
  // other user could open it again.
  ASSERT_EQ(ioctl(pty.DeviceFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(second->Open(), 1);
}

TEST(SerialPort, LineGetsTheAttributesInRawModeWithoutXonXoff) {
  // A pty keeps speed, stop bits and the parity kind, but forces 8 data bits and no parity
  // enable, so those two cannot be read back here.
  struct Case {
    std::uint32_t baud;
    std::uint8_t byteSize, parity, stopBits;
    bool twoStop, odd, stick;
  };
  const Case cases[] = {
      {9600, 8, comlane::kParityNone, comlane::kStopOne, false, false, false},
      {250000, 7, comlane::kParityOdd, comlane::kStopTwo, true, true, false},
      {31250, 8, comlane::kParityEven, comlane::kStopOne, false, false, false},
      {115200, 6, comlane::kParityMark, comlane::kStopOneAndHalf, true, true, true},
      {1234567, 5, comlane::kParitySpace, comlane::kStopOneAndHalf, true, false, true},
  };
  PtyPair pty;
  Port port = MakePort(pty.DevicePath());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    port->baudRate = c.baud;
    port->byteSize = c.byteSize;
    port->parity = c.parity;
    port->stopBits = c.stopBits;
    port->flowControl = 2;
    // Open on an open port closes it first.
    ASSERT_EQ(port->Open(), 1);
    EXPECT_EQ(port->flowControl, 0);
    const auto line = ReadLine(pty.DeviceFd());
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->outputSpeed, c.baud);
    EXPECT_EQ(line->inputSpeed, c.baud);
    EXPECT_EQ(line->twoStopBits, c.twoStop);
    EXPECT_EQ(line->oddOrMarkParity, c.odd);
    EXPECT_EQ(line->stickParity, c.stick);
    EXPECT_FALSE(line->xonXoff);
    EXPECT_FALSE(line->lineEditing);
    EXPECT_FALSE(line->outputProcessing);
    EXPECT_FALSE(line->translatesInput);
  }
}

TEST_F(OpenPort, WriteQueuesUpToTheFreeSpaceAndTheThreadSendsItInOrder) {
  const Bytes big = Sequence(5000);
  // Without threads nothing drains the queue.
  EXPECT_EQ(port->Write(big.data(), 5000), 4096);
  EXPECT_EQ(port->Write(big.data(), 5000), 0);
  EXPECT_EQ(port->Write(static_cast<const std::uint8_t*>(nullptr), 10), 0);
  EXPECT_EQ(port->Write(big.data(), -1), 0);
  ASSERT_EQ(port->StartThreads(), 1);
  EXPECT_EQ(pty.Receive(4096, kDeadline), Bytes(big.begin(), big.begin() + 4096));

  const char text[] = "twenty bytes, queued";
  EXPECT_EQ(port->Write(text, 20), 20);
  const std::byte tail[] = {std::byte{0x5A}, std::byte{0x03}};
  EXPECT_EQ(port->Write(tail, 2), 2);
  Bytes expected(text, text + 20);
  expected.insert(expected.end(), {0x5A, 0x03});
  EXPECT_EQ(pty.Receive(22, kDeadline), expected);
}

TEST_F(OpenPort, WritesFromSeveralThreadsAreNeverInterleaved) {
  constexpr int kThreads = 4, kFrames = 100, kFrame = 10;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      const Bytes frame(kFrame, static_cast<std::uint8_t>('a' + t));
      for (int i = 0; i < kFrames; ++i) {
        EXPECT_EQ(port->Write(frame.data(), kFrame), kFrame);
      }
    });
  }
  for (auto& w : writers) {
    w.join();
  }
  ASSERT_EQ(port->StartThreads(), 1);
  const Bytes got = pty.Receive(kThreads * kFrames * kFrame, kDeadline);
  ASSERT_EQ(got.size(), std::size_t{kThreads * kFrames * kFrame});
  for (std::size_t i = 0; i < got.size(); i += kFrame) {
    EXPECT_EQ(Bytes(got.begin() + i, got.begin() + i + kFrame), Bytes(kFrame, got[i])) << i;
  }
}

TEST_F(OpenPort, BurstReachesTheOwnerInOrderInChunksOfAtMost4096) {
  ASSERT_EQ(port->StartThreads(), 1);
  const Bytes burst = Sequence(10000, 3);
  pty.Send(burst);
  ASSERT_TRUE(owner.WaitForBytes(burst.size(), kDeadline));
  EXPECT_EQ(owner.Bytes(), burst);
  for (const auto& chunk : owner.Chunks()) {
    EXPECT_GE(chunk.size(), 1u);
    EXPECT_LE(chunk.size(), 4096u);
  }
}

TEST_F(OpenPort, BytesReceivedBeforeTheThreadsStartAreDiscarded) {
  pty.Send(Bytes(100, 0xEE));
  ASSERT_TRUE(pty.WaitDeviceReadable(kDeadline));
  ASSERT_EQ(port->StartThreads(), 1);
  const Bytes marker = {0x5A, 0x05, 0x01, 0x07, 0x03};
  pty.Send(marker);
  ASSERT_TRUE(owner.WaitForBytes(marker.size(), kDeadline));
  EXPECT_EQ(owner.Bytes(), marker);
}

TEST(SerialPort, CloseStopsAQuietPortAndItOpensAgain) {
  PtyPair pty;
  RecordingOwner owner;
  Port port = MakePort(pty.DevicePath());
  EXPECT_EQ(port->Close(), 0);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(port->Open(), 1);
    if (round == 0) {
      port->SetOwner(&owner);
    }
    ASSERT_EQ(port->StartThreads(), 1);
    const Bytes data = Sequence(50, static_cast<unsigned>(round));
    pty.Send(data);
    ASSERT_TRUE(owner.WaitForBytes(50u * (round + 1), kDeadline));
    EXPECT_EQ(port->Close(), 1);
    EXPECT_EQ(port->IsOpen(), 0);
    EXPECT_EQ(port->Close(), 0);
    EXPECT_TRUE(Unlocked(pty.DeviceFd()));
    EXPECT_EQ(DescriptorsOn(pty.DevicePath()), 1);
  }
  EXPECT_EQ(port->SetRts(true), 0);
  EXPECT_EQ(port->SetDtr(false), 0);
}

TEST(SerialPort, WhatWasWrittenWhileClosedIsNotSentAfterReopening) {
  PtyPair pty;
  Port port = MakePort(pty.DevicePath());
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->StartThreads(), 1);
  ASSERT_EQ(port->Close(), 1);
  EXPECT_EQ(port->Write("stale", 5), 5); // a poll or a click while the line is away
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->StartThreads(), 1);
  EXPECT_EQ(port->Write("fresh", 5), 5);
  EXPECT_EQ(pty.Receive(5, kDeadline), Bytes({'f', 'r', 'e', 's', 'h'}));
}

TEST(SerialPort, IdleAndUnpluggedPortsDoNotSpinAndCloseAndReopenStillWork) {
  auto pty = std::make_unique<PtyPair>();
  RecordingOwner owner;
  Port port = MakePort(pty->DevicePath());
  ASSERT_EQ(port->Open(), 1);
  port->SetOwner(&owner);
  ASSERT_EQ(port->StartThreads(), 1);
  pty->Send({1, 2, 3});
  ASSERT_TRUE(owner.WaitForBytes(3, kDeadline));

  // A spinning thread burns most of a core over the window; a sleeping one close to nothing.
  EXPECT_LT(CpuMsWhileIdle(300ms), 60.0) << "idle port";
  pty->CloseFarSide();
  EXPECT_LT(CpuMsWhileIdle(300ms), 60.0) << "unplugged port";
  const Bytes frame = Sequence(8);
  EXPECT_EQ(port->Write(frame.data(), 8), 8);
  EXPECT_LT(CpuMsWhileIdle(100ms), 30.0) << "write to an unplugged port";
  EXPECT_EQ(port->Close(), 1);
  EXPECT_EQ(owner.Bytes(), Bytes({1, 2, 3}));

  pty = std::make_unique<PtyPair>();
  port->portName = pty->DevicePath();
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->StartThreads(), 1);
  pty->Send({4});
  ASSERT_TRUE(owner.WaitForBytes(4, kDeadline));
  EXPECT_EQ(owner.Bytes(), Bytes({1, 2, 3, 4}));
}

TEST_F(OpenPort, CloseDuringABlockedDeliveryFreesTheDeviceAndNoThreadReachesAReusedDescriptor) {
  ASSERT_EQ(port->StartThreads(), 1);
  owner.CloseGate();
  pty.Send({0x11});
  ASSERT_TRUE(owner.WaitForBlockedDelivery(kDeadline));

  // The receive thread cannot end while its delivery waits: Close gives up on it.
  EXPECT_EQ(port->Close(), 1);
  EXPECT_EQ(port->IsOpen(), 0);
  EXPECT_TRUE(Unlocked(pty.DeviceFd()));
  EXPECT_EQ(DescriptorsOn(pty.DevicePath()), 1);

  // Fresh files take the lowest free descriptor numbers; the thread must never read them.
  int traps[8][2];
  for (auto& trap : traps) {
    ASSERT_EQ(pipe2(trap, O_CLOEXEC | O_NONBLOCK), 0);
    ASSERT_EQ(write(trap[1], "trap", 4), 4);
  }
  pty.Send({0x22, 0x33});
  ASSERT_TRUE(pty.WaitDeviceReadable(kDeadline));
  owner.OpenGate();
  ASSERT_TRUE(owner.WaitForNoDelivery(kDeadline));

  // Open first finishes stopping the thread that was left behind.
  ASSERT_EQ(port->Open(), 1);
  EXPECT_EQ(owner.Bytes(), Bytes({0x11}));
  for (auto& trap : traps) {
    char got[8] = {};
    EXPECT_EQ(read(trap[0], got, sizeof got), 4);
    close(trap[0]);
    close(trap[1]);
  }
}

TEST_F(OpenPort, ThreadLeftBehindByDestroyEndsWithoutTouchingTheObject) {
  ASSERT_EQ(port->StartThreads(), 1);
  owner.CloseGate();
  pty.Send({0x44});
  ASSERT_TRUE(owner.WaitForBlockedDelivery(kDeadline));
  port.reset(); // Destroy(1) while the receive thread waits on the owner.
  EXPECT_TRUE(Unlocked(pty.DeviceFd()));
  owner.OpenGate();
  ASSERT_TRUE(owner.WaitForNoDelivery(kDeadline));

  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (ThreadCount() > threadsBefore && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_EQ(ThreadCount(), threadsBefore);
  EXPECT_EQ(DescriptorsOn(pty.DevicePath()), 1);
}

TEST(SerialPort, LostLineIsReportedOnceAfterItsLastBytesAndAgainAfterAReopen) {
  auto pty = std::make_unique<PtyPair>();
  RecordingOwner owner;
  Port port = MakePort(pty->DevicePath());
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(port->Open(), 1);
    port->SetOwner(&owner);
    ASSERT_EQ(port->StartThreads(), 1);
    pty->Send({1, 2, 3});
    ASSERT_TRUE(owner.WaitForBytes(3u * static_cast<unsigned>(round), kDeadline));
    pty->CloseFarSide();
    ASSERT_TRUE(owner.WaitForLosses(round, kDeadline));
    if (round == 1) {
      EXPECT_EQ(owner.BytesBeforeFirstLoss(), 3u);
    }
    // A write into the lost line fails in the transmit thread; that is the same loss.
    const Bytes frame = Sequence(8);
    EXPECT_EQ(port->Write(frame.data(), 8), 8);
    EXPECT_EQ(port->Close(), 1); // joins both threads: every report they would make is made
    EXPECT_EQ(owner.Losses(), round);
    pty = std::make_unique<PtyPair>();
    port->portName = pty->DevicePath();
  }

  // Closing a healthy line is not a loss.
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->StartThreads(), 1);
  pty->Send({4});
  ASSERT_TRUE(owner.WaitForBytes(7, kDeadline));
  EXPECT_EQ(port->Close(), 1);
  EXPECT_EQ(owner.Losses(), 2);
}

TEST(SerialPort, LowLatencyRequestLeavesAPseudoTerminalAsItWas) {
  PtyPair pty;
  serial_struct info{};
  const int before = ioctl(pty.DeviceFd(), TIOCGSERIAL, &info);
  RecordingOwner owner;
  Port port = MakePort(pty.DevicePath());
  ASSERT_EQ(port->Open(), 1);
  port->SetOwner(&owner);
  ASSERT_EQ(port->StartThreads(), 1);
  EXPECT_EQ(ioctl(pty.DeviceFd(), TIOCGSERIAL, &info), before);
  pty.Send({9, 8});
  EXPECT_TRUE(owner.WaitForBytes(2, kDeadline));
  const Bytes frame = Sequence(4);
  EXPECT_EQ(port->Write(frame.data(), 4), 4);
  EXPECT_EQ(pty.Receive(4, kDeadline), frame);
  EXPECT_EQ(port->Close(), 1);
}
