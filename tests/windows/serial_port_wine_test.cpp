// Comlane's Win32 back end under wine: COM1 is a pseudo-terminal whose far side the peer
// (wine_peer.py) holds and plays, driven through the control line on COM2. COM12 is mapped onto
// the same line as COM1.

#include "control_line.h"
#include "recording_owner.h"

#include <comlane/serial_port.h>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <thread>
#include <tlhelp32.h>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr auto kDeadline = 5s;

struct PortDeleter {
  void operator()(comlane::SerialPort* port) const { port->Destroy(1); }
};
using Port = std::unique_ptr<comlane::SerialPort, PortDeleter>;

Port MakePort(const std::string& name = "COM1", std::uint32_t baud = 115200) {
  Port port(Rs232Class());
  port->portName = name;
  port->baudRate = baud;
  return port;
}

// The line settings the peer reads from the kernel.
struct Line {
  std::uint32_t inputSpeed = 0, outputSpeed = 0;
  int twoStop = 0, odd = 0, stick = 0, ixon = 0, ixoff = 0, canonical = 0, echo = 0, post = 0,
      crnl = 0;
};

Line ReadLine(ControlLine& control) {
  std::istringstream reply(control.Ask("line"));
  Line line;
  reply >> line.inputSpeed >> line.outputSpeed >> line.twoStop >> line.odd >> line.stick >>
      line.ixon >> line.ixoff >> line.canonical >> line.echo >> line.post >> line.crnl;
  return line;
}

// Opens `name` as another program would; null if it cannot (the port is held).
HANDLE OpenRaw(const char* name) {
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = 2000;
  SetCommTimeouts(h, &timeouts);
  return h;
}

std::size_t ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  std::size_t n = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    n += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  }
  CloseHandle(snapshot);
  return n;
}

double Ms(FILETIME t) {
  return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                             t.dwLowDateTime) /
         1e4;
}

// CPU time of the whole process, wine's own helper threads included.
double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Ms(kernel) + Ms(user);
}

// CPU time of the process's Windows threads: the test's and the port's. Wine's own helper
// threads (the one that polls a pty for a port-event request among them) are not listed.
double WindowsThreadsCpuMs() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  double sum = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) {
      continue;
    }
    if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)) {
      FILETIME created, exited, kernel, user;
      if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
        sum += Ms(kernel) + Ms(user);
      }
      CloseHandle(thread);
    }
  }
  CloseHandle(snapshot);
  return sum;
}

// CPU time `measure` counts while the test thread sleeps for `window`. A sleep here is a
// measuring window, not a wait for something to happen.
double CpuMsWhileIdle(std::chrono::milliseconds window, double (*measure)() = ProcessCpuMs) {
  const double before = measure();
  std::this_thread::sleep_for(window);
  return measure() - before;
}

} // namespace

class WinePort : public ::testing::Test {
protected:
  ControlLine control;
};

// A port open on COM1, with the recording owner set and its threads not yet started.
class OpenPort : public WinePort {
protected:
  void SetUp() override {
    ASSERT_EQ(port->Open(), 1);
    port->SetOwner(&owner);
  }

  RecordingOwner owner;
  Port port = MakePort();
};

TEST_F(WinePort, OpenFailsAndLeavesNothingOpenForBadPortsAndAttributes) {
  const std::uint32_t speedBefore = ReadLine(control).outputSpeed;
  struct Case {
    const char* what;
    std::string name;
    std::uint32_t baud;
    std::uint8_t byteSize, parity, stopBits;
  };
  const Case cases[] = {
      {"missing port", "COM9", 9600, 8, 0, 0},    {"not a serial line", "NUL", 9600, 8, 0, 0},
      {"baud rate 0", "COM1", 0, 8, 0, 0},        {"9 data bits", "COM1", 9600, 9, 0, 0},
      {"4 data bits", "COM1", 9600, 4, 0, 0},     {"parity code 5", "COM1", 9600, 8, 5, 0},
      {"stop-bit code 3", "COM1", 9600, 8, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Port port = MakePort(c.name, c.baud);
    port->byteSize = c.byteSize;
    port->parity = c.parity;
    port->stopBits = c.stopBits;
    EXPECT_EQ(port->Open(), 0);
    EXPECT_EQ(port->IsOpen(), 0);
    EXPECT_EQ(port->StartThreads(), 0);
    HANDLE other = OpenRaw("\\\\.\\COM1");
    EXPECT_NE(other, nullptr) << "COM1 left open";
    CloseHandle(other);
  }
  EXPECT_EQ(ReadLine(control).outputSpeed, speedBefore);
}

// Wine does not refuse a second open of a serial device with share mode 0, so that the port is
// held exclusively cannot be seen here; its names and its reopening can.
TEST_F(WinePort, PortOpensUnderEachOfItsNamesOneAfterTheOther) {
  Port first = MakePort("COM1");
  Port second = MakePort("\\\\.\\COM1");
  ASSERT_EQ(first->Open(), 1);
  EXPECT_EQ(first->Close(), 1);
  EXPECT_EQ(second->Open(), 1);
  EXPECT_EQ(second->Close(), 1);

  // Ports above COM9 exist only in the device name space.
  Port twelve = MakePort("COM12");
  ASSERT_EQ(twelve->Open(), 1);
  RecordingOwner owner;
  twelve->SetOwner(&owner);
  ASSERT_EQ(twelve->StartThreads(), 1);
  EXPECT_EQ(twelve->Write("12", 2), 2);
  EXPECT_EQ(control.Receive(2), Bytes({'1', '2'}));
}

TEST_F(WinePort, LineGetsTheAttributesWithoutXonXoff) {
  // As on POSIX, a pty keeps speed, stop bits and the parity kind but not the data bits and the
  // parity enable, so those two cannot be read back. Speeds are standard ones: for any other
  // (250000, 31250) wine leaves the tty at 38400 with a custom divisor that a pty does not have.
  struct Case {
    std::uint32_t baud;
    std::uint8_t byteSize, parity, stopBits;
    int twoStop, odd, stick;
  };
  const Case cases[] = {
      {9600, 8, comlane::kParityNone, comlane::kStopOne, 0, 0, 0},
      {57600, 7, comlane::kParityOdd, comlane::kStopTwo, 1, 1, 0},
      {19200, 8, comlane::kParityEven, comlane::kStopOne, 0, 0, 0},
      {115200, 6, comlane::kParityMark, comlane::kStopOneAndHalf, 1, 1, 1},
      {38400, 5, comlane::kParitySpace, comlane::kStopOneAndHalf, 1, 0, 1},
  };
  Port port = MakePort();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    port->baudRate = c.baud;
    port->byteSize = c.byteSize;
    port->parity = c.parity;
    port->stopBits = c.stopBits;
    port->flowControl = 2;
    ASSERT_EQ(port->Open(), 1);
    EXPECT_EQ(port->flowControl, 0);
    const Line line = ReadLine(control);
    EXPECT_EQ(line.outputSpeed, c.baud);
    EXPECT_EQ(line.inputSpeed, c.baud);
    EXPECT_EQ(line.twoStop, c.twoStop);
    EXPECT_EQ(line.odd, c.odd);
    EXPECT_EQ(line.stick, c.stick);
    EXPECT_EQ(line.ixon, 0);
    EXPECT_EQ(line.ixoff, 0);
  }
}

TEST_F(OpenPort, WriteQueuesUpToTheFreeSpaceAndTheThreadSendsItInOrder) {
  const Bytes big = Sequence(5000, 0);
  EXPECT_EQ(port->Write(big.data(), 5000), 4096);
  EXPECT_EQ(port->Write(big.data(), 5000), 0);
  ASSERT_EQ(port->StartThreads(), 1);
  EXPECT_EQ(control.Receive(4096), Bytes(big.begin(), big.begin() + 4096));

  const char text[] = "twenty bytes, queued";
  EXPECT_EQ(port->Write(text, 20), 20);
  const std::byte tail[] = {std::byte{0x5A}, std::byte{0x03}};
  EXPECT_EQ(port->Write(tail, 2), 2);
  Bytes expected(text, text + 20);
  expected.insert(expected.end(), {0x5A, 0x03});
  EXPECT_EQ(control.Receive(22), expected);
}

TEST_F(OpenPort, WritesFromSeveralThreadsAreNeverInterleaved) {
  constexpr int kThreads = 4, kFrames = 50, kFrame = 10;
  ASSERT_EQ(port->StartThreads(), 1);
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
  const Bytes got = control.Receive(kThreads * kFrames * kFrame);
  ASSERT_EQ(got.size(), std::size_t{kThreads * kFrames * kFrame});
  for (std::size_t i = 0; i < got.size(); i += kFrame) {
    EXPECT_EQ(Bytes(got.begin() + i, got.begin() + i + kFrame), Bytes(kFrame, got[i])) << i;
  }
}

TEST_F(OpenPort, BurstReachesTheOwnerInOrderInChunksOfAtMost4096) {
  ASSERT_EQ(port->StartThreads(), 1);
  control.Send(10000, 3);
  ASSERT_TRUE(owner.WaitForBytes(10000, kDeadline));
  EXPECT_EQ(owner.Bytes(), Sequence(10000, 3));
  for (const auto& chunk : owner.Chunks()) {
    EXPECT_GE(chunk.size(), 1u);
    EXPECT_LE(chunk.size(), 4096u);
  }
}

TEST_F(OpenPort, RepliesToWritesReachTheOwner) {
  ASSERT_EQ(port->StartThreads(), 1);
  Bytes expected;
  for (unsigned round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const Bytes request = Sequence(6, round);
    EXPECT_EQ(port->Write(request.data(), 6), 6);
    ASSERT_EQ(control.Receive(6), request);
    control.Send(16, round + 100);
    const Bytes reply = Sequence(16, round + 100);
    expected.insert(expected.end(), reply.begin(), reply.end());
    ASSERT_TRUE(owner.WaitForBytes(expected.size(), kDeadline));
  }
  EXPECT_EQ(owner.Bytes(), expected);
}

TEST_F(OpenPort, BytesReceivedBeforeTheThreadsStartAreDiscarded) {
  ASSERT_EQ(control.Ask("sendheld 100 9"), "sent");
  ASSERT_EQ(port->StartThreads(), 1);
  control.Send(5, 1);
  ASSERT_TRUE(owner.WaitForBytes(5, kDeadline));
  EXPECT_EQ(owner.Bytes(), Sequence(5, 1));
}

TEST_F(WinePort, CloseStopsAQuietPortAndItOpensAgain) {
  RecordingOwner owner;
  Port port = MakePort();
  EXPECT_EQ(port->Close(), 0);
  Bytes expected;
  for (unsigned round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(port->Open(), 1);
    if (round == 0) {
      port->SetOwner(&owner);
    }
    ASSERT_EQ(port->StartThreads(), 1);
    control.Send(50, round);
    const Bytes data = Sequence(50, round);
    expected.insert(expected.end(), data.begin(), data.end());
    ASSERT_TRUE(owner.WaitForBytes(expected.size(), kDeadline));
    EXPECT_EQ(port->Close(), 1);
    EXPECT_EQ(port->IsOpen(), 0);
    EXPECT_EQ(port->Close(), 0);
    HANDLE other = OpenRaw("\\\\.\\COM1");
    EXPECT_NE(other, nullptr);
    CloseHandle(other);
  }
  EXPECT_EQ(owner.Bytes(), expected);
  EXPECT_EQ(port->SetRts(true), 0);
  EXPECT_EQ(port->SetDtr(false), 0);
}

TEST_F(OpenPort, IdleAndUnpluggedPortsDoNotSpinAndCloseAndReopenStillWork) {
  ASSERT_EQ(port->StartThreads(), 1);
  control.Send(3, 0);
  ASSERT_TRUE(owner.WaitForBytes(3, kDeadline));

  // A spinning thread burns most of a core over the window; a sleeping one close to nothing.
  // While a port-event request is under way, wine itself polls the pty every millisecond from
  // a helper thread of the process, which takes a quarter to four fifths of a core depending on
  // the machine: an idle port is judged by the Windows threads alone, the port's among them. A
  // port that is gone has no request under way, and the whole process is judged.
  EXPECT_LT(CpuMsWhileIdle(500ms, WindowsThreadsCpuMs), 100.0) << "idle port";
  ASSERT_EQ(control.Ask("pull"), "pulled");
  EXPECT_LT(CpuMsWhileIdle(500ms), 100.0) << "unplugged port";
  const Bytes frame = Sequence(8, 0);
  EXPECT_EQ(port->Write(frame.data(), 8), 8);
  EXPECT_LT(CpuMsWhileIdle(300ms), 100.0) << "write to an unplugged port";
  EXPECT_EQ(port->Close(), 1);
  EXPECT_EQ(owner.Bytes(), Sequence(3, 0));

  ASSERT_EQ(control.Ask("plug"), "plugged");
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->StartThreads(), 1);
  control.Send(4, 7);
  ASSERT_TRUE(owner.WaitForBytes(7, kDeadline));
  Bytes expected = Sequence(3, 0);
  const Bytes after = Sequence(4, 7);
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_EQ(owner.Bytes(), expected);
}

TEST_F(OpenPort, CloseDuringABlockedDeliveryFreesThePortAndTheThreadNeverReachesItAgain) {
  ASSERT_EQ(port->StartThreads(), 1);
  owner.CloseGate();
  control.Send(1, 0x11);
  ASSERT_TRUE(owner.WaitForBlockedDelivery(kDeadline));

  // The receive thread cannot end while its delivery waits: Close gives up on it and lets go
  // of the port, so that another program can have it.
  EXPECT_EQ(port->Close(), 1);
  EXPECT_EQ(port->IsOpen(), 0);
  HANDLE other = OpenRaw("\\\\.\\COM1");
  ASSERT_NE(other, nullptr);

  // Bytes for the new holder; the thread left behind must not take them once it is let go.
  control.Send(2, 0x22);
  owner.OpenGate();
  ASSERT_TRUE(owner.WaitForNoDelivery(kDeadline));
  std::uint8_t got[4] = {};
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(other, got, 2, &n, nullptr));
  EXPECT_EQ(Bytes(got, got + n), Sequence(2, 0x22));
  EXPECT_EQ(owner.Bytes(), Sequence(1, 0x11));
  CloseHandle(other);

  // Open first finishes stopping the thread that was left behind.
  ASSERT_EQ(port->Open(), 1);
}

TEST_F(WinePort, ThreadLeftBehindByDestroyEndsWithoutTouchingTheObject) {
  RecordingOwner owner;
  Port port = MakePort();
  ASSERT_EQ(port->Open(), 1);
  port->SetOwner(&owner);
  const std::size_t threadsBefore = ThreadCount();
  ASSERT_EQ(port->StartThreads(), 1);
  owner.CloseGate();
  control.Send(1, 0x44);
  ASSERT_TRUE(owner.WaitForBlockedDelivery(kDeadline));
  port.reset(); // Destroy(1) while the receive thread waits on the owner.
  HANDLE other = OpenRaw("\\\\.\\COM1");
  EXPECT_NE(other, nullptr);
  CloseHandle(other);
  owner.OpenGate();
  ASSERT_TRUE(owner.WaitForNoDelivery(kDeadline));

  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (ThreadCount() > threadsBefore && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_LE(ThreadCount(), threadsBefore);
}
