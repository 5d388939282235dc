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
      protocol.OnTimerTick();
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

std::uint32_t Session::MemoryAddress(const lamp::firmware::TransferOutcome& outcome) const {
  // The line carries page numbers for program memory and byte addresses for data memory.
  return outcome.kind == ImageKind::Program
             ? outcome.address * static_cast<std::uint32_t>(Device().pageBytes)
             : outcome.address;
}

Session::WriteResult Session::Write(ImageKind kind, const std::uint8_t* bytes, std::uint32_t size,
                                    std::uint32_t base) {
  const std::uint32_t copied = std::min(size, lamp::firmware::kImageBufferBytes);
  buffer.Fill(0xFF);
  std::memcpy(buffer.Data(), bytes, copied);
  image.SetLoaded(kind, copied, base);
  WriteResult result;
  progressPosition.store(0);
  shownPosition = -1;
  const int before = outcomes.load();
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
        return outcomes.load() != before && !protocol.WorkerRunning();
      },
      Clock::time_point::max());
  ReportProgress();
  const std::optional<lamp::firmware::TransferOutcome> outcome = protocol.LastOutcome();
  result.block = outcome->block;
  result.address = MemoryAddress(*outcome);
  switch (outcome->end) {
  case lamp::firmware::TransferEnd::Finished:
    result.end = WriteEnd::Finished;
    break;
  case lamp::firmware::TransferEnd::Refused:
    result.end = WriteEnd::Refused;
    break;
  case lamp::firmware::TransferEnd::NoReply:
    result.end = LineLost() ? WriteEnd::LineLost : WriteEnd::NoAcknowledgement;
    break;
  case lamp::firmware::TransferEnd::LineLost:
    result.end = WriteEnd::LineLost;
    break;
  case lamp::firmware::TransferEnd::Cancelled:
  case lamp::firmware::TransferEnd::Closed:
    result.end = WriteEnd::Cancelled;
    break;
  }
  return result;
}

Session::ReadResult Session::Read(ImageKind kind) {
  ReadResult result;
  progressPosition.store(0);
  shownPosition = -1;
  const int before = outcomes.load();
  if (!protocol.StartRead(kind)) {
    result.end = ReadEnd::Stalled;
    return result;
  }
  // Ctrl-C leaves the read to the device: nothing on it changes, and the session ends.
  (void)Run([&] { return outcomes.load() != before || interrupted(); }, Clock::time_point::max());
  ReportProgress();
  if (outcomes.load() == before) {
    result.end = ReadEnd::Interrupted;
    return result;
  }
  const std::optional<lamp::firmware::TransferOutcome> outcome = protocol.LastOutcome();
  switch (outcome->end) {
  case lamp::firmware::TransferEnd::Finished:
    result.end = ReadEnd::Finished;
    result.bytes.assign(buffer.Data(), buffer.Data() + image.Size());
    break;
  case lamp::firmware::TransferEnd::Refused:
    result.end = ReadEnd::Damaged;
    result.address = MemoryAddress(*outcome);
    break;
  case lamp::firmware::TransferEnd::NoReply:
    result.end = LineLost() ? ReadEnd::LineLost : ReadEnd::Stalled;
    break;
  case lamp::firmware::TransferEnd::LineLost:
    result.end = ReadEnd::LineLost;
    break;
  case lamp::firmware::TransferEnd::Cancelled:
  case lamp::firmware::TransferEnd::Closed:
    result.end = ReadEnd::Interrupted;
    break;
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
