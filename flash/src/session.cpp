#include "flash/session.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include <wndmsg/messages.h>

#include "flash/console.h"

namespace flash {
namespace {

using Clock = std::chrono::steady_clock;
using lamp::firmware::ImageKind;

// The longest the loop sleeps without a chunk, so that ticks and Ctrl-C are seen in time.
constexpr auto kLoopWait = std::chrono::milliseconds(5);
// Comlane has no call that waits for its transmit queue to empty; its transmit thread is woken
// at once by every Write, so this is ample on a loaded machine.
constexpr auto kSettle = std::chrono::milliseconds(200);

bool IsReadNak(const std::uint8_t* bytes, std::int32_t count) {
  using namespace lamp::firmware;
  return count == 5 && std::equal(kBootHeader.begin(), kBootHeader.end(), bytes) &&
         (bytes[3] == kBootReadProgram || bytes[3] == kBootReadData) && bytes[4] == kBootNak;
}

} // namespace

Session::Session(std::function<bool()> interruptedCheck,
                 std::function<void(std::int32_t, std::int32_t)> progressReport)
    : interrupted(std::move(interruptedCheck)), progress(std::move(progressReport)),
      port(Rs232Class()) {}

Session::~Session() {
  protocol.Close();
  Settle();
  if (port != nullptr) {
    port->Destroy(1);
  }
}

Session::OpenResult Session::Open() {
  devicePath = flash::DevicePath(port->portName);
  if (port->Open() == 0) {
    switch (ProbePort(devicePath)) {
    case PortState::Missing:
      return OpenResult::Missing;
    case PortState::NotAllowed:
      return OpenResult::NotAllowed;
    case PortState::Busy:
      return OpenResult::Busy;
    case PortState::Free:
      return OpenResult::Refused;
    }
  }
  deviceIdentity = DeviceIdentity(devicePath);
  port->SetOwner(this);
  if (port->StartThreads() == 0) {
    return OpenResult::Refused;
  }
  return OpenResult::Opened;
}

int Session::SendBytes(const std::uint8_t* bytes, std::int32_t count) {
  if (IsReadNak(bytes, count)) {
    readNaks.fetch_add(1);
  }
  lastSent.store(Clock::now().time_since_epoch().count());
  return port->Write(bytes, count);
}

void Session::Settle() {
  const Clock::time_point sent{Clock::duration(lastSent.load())};
  if (port != nullptr && port->IsOpen() != 0 && Clock::now() < sent + kSettle) {
    std::this_thread::sleep_until(sent + kSettle);
  }
}

bool Session::LineLost() const {
  return DeviceIdentity(devicePath) != deviceIdentity;
}

wndmsg::LResult Session::SendMsg(unsigned msg, wndmsg::WParam wParam,
                                 wndmsg::LParam lParam) noexcept {
  if (msg == wndmsg::WM_SERIAL_DATA && lParam > 0) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(wParam);
    const std::lock_guard lock(mutex);
    chunks.emplace_back(bytes, bytes + lParam);
    arrived.notify_all();
  }
  return 1;
}

void Session::TargetChanged(const lamp::firmware::TargetPanel::Values& values) {
  if (jumpPending && values[0] == lamp::firmware::kNoDeviceText) {
    jumpConfirmed = true;
  }
}

void Session::ShowTransfer(bool) {}

void Session::SetProgressRange(std::int32_t maximum) {
  progressMaximum.store(maximum);
}

void Session::SetProgressPosition(std::int32_t position) {
  progressPosition.store(position);
}

void Session::ReportProgress() {
  const std::int32_t position = progressPosition.load();
  if (position != shownPosition && progress) {
    shownPosition = position;
    progress(position, progressMaximum.load());
  }
}

bool Session::Run(const std::function<bool()>& done, Clock::time_point deadline) {
  while (!done()) {
    const auto now = Clock::now();
    if (now >= deadline) {
      return false;
    }
    if (!timerOn.load()) {
      ticking = false;
    } else if (!ticking) {
      ticking = true;
      nextTick = now + lamp::firmware::kBlockTimerPeriod;
    } else if (now >= nextTick) {
      nextTick = now + lamp::firmware::kBlockTimerPeriod;
      // A tick that ends the transfer is the block time-out.
      const bool active = protocol.TransferActive();
      protocol.OnTimerTick();
      timedOut = timedOut || (active && !protocol.TransferActive());
    }
    std::vector<std::uint8_t> chunk;
    {
      std::unique_lock lock(mutex);
      arrived.wait_for(lock, std::min<Clock::duration>(kLoopWait, deadline - now),
                       [&] { return !chunks.empty(); });
      if (!chunks.empty()) {
        chunk = std::move(chunks.front());
        chunks.pop_front();
      }
    }
    if (!chunk.empty()) {
      lastArrival = Clock::now();
      protocol.OnBootData(chunk.data(), chunk.size());
    }
    ReportProgress();
  }
  return true;
}

Session::EnterResult Session::Enter(std::chrono::milliseconds timeout) {
  protocol.BeginEntry();
  const auto resume = Clock::now() + lamp::firmware::kEntryPause;
  if (Run([this] { return interrupted(); }, resume)) {
    return EnterResult::Interrupted;
  }
  protocol.FinishEntry();
  if (Run([this] { return protocol.Ready() || interrupted(); }, Clock::now() + timeout)) {
    return protocol.Ready() ? EnterResult::Identified : EnterResult::Interrupted;
  }
  return LineLost() ? EnterResult::LineLost : EnterResult::Silent;
}

Session::WriteResult Session::Write(ImageKind kind, const std::uint8_t* bytes, std::uint32_t size,
                                    std::uint32_t base) {
  const std::uint32_t copied = std::min(size, lamp::firmware::kImageBufferBytes);
  buffer.Fill(0xFF);
  std::memcpy(buffer.Data(), bytes, copied);
  image.SetLoaded(kind, copied, base);
  const bool program = kind == ImageKind::Program;
  const std::int32_t blockBytes =
      program ? Device().pageBytes : lamp::firmware::kDataBlockBytes;
  WriteResult result;
  progressPosition.store(0);
  shownPosition = -1;
  timedOut = false;
  if (!protocol.StartWrite(kind)) {
    return result;
  }
  bool cancelled = false;
  (void)Run(
      [&] {
        if (!cancelled && interrupted()) {
          protocol.Cancel();
          cancelled = true;
        }
        return !protocol.WorkerRunning();
      },
      Clock::time_point::max());
  ReportProgress();
  const std::int32_t position = progressPosition.load();
  result.block = program ? position : position / blockBytes;
  result.address = base + static_cast<std::uint32_t>(result.block) *
                              static_cast<std::uint32_t>(blockBytes);
  const std::int32_t lastBlock =
      static_cast<std::int32_t>((copied + static_cast<std::uint32_t>(blockBytes) - 1) /
                                static_cast<std::uint32_t>(blockBytes)) -
      1;
  if (cancelled) {
    result.end = WriteEnd::Cancelled;
  } else if (timedOut || result.block < lastBlock) {
    result.end = LineLost()  ? WriteEnd::LineLost
                 : timedOut ? WriteEnd::NoAcknowledgement
                            : WriteEnd::Refused;
  } else {
    result.end = WriteEnd::Finished;
  }
  return result;
}

Session::ReadResult Session::Read(ImageKind kind) {
  ReadResult result;
  const int readsBefore = reads.load();
  readNaks.store(0);
  progressPosition.store(0);
  shownPosition = -1;
  if (!protocol.StartRead(kind)) {
    result.end = ReadEnd::Stalled;
    return result;
  }
  lastArrival = Clock::now();
  bool stalled = false;
  (void)Run(
      [&] {
        stalled = Clock::now() - lastArrival >= kReadStall;
        return reads.load() != readsBefore || stalled || interrupted();
      },
      Clock::time_point::max());
  ReportProgress();
  result.refusedBlocks = readNaks.load();
  if (reads.load() != readsBefore) {
    result.end = result.refusedBlocks == 0 ? ReadEnd::Finished : ReadEnd::Damaged;
    result.bytes.assign(buffer.Data(), buffer.Data() + image.Size());
  } else if (stalled) {
    result.end = LineLost() ? ReadEnd::LineLost : ReadEnd::Stalled;
  } else {
    result.end = ReadEnd::Interrupted;
  }
  return result;
}

bool Session::Jump() {
  jumpPending = true;
  jumpConfirmed = false;
  protocol.JumpToApplication();
  (void)Run([this] { return jumpConfirmed; }, Clock::now() + kJumpTimeout);
  jumpPending = false;
  return jumpConfirmed;
}

} // namespace flash
