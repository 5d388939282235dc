#include "recording_owner.h"

#include <wndmsg/messages.h>

wndmsg::LResult RecordingOwner::SendMsg(unsigned msg, wndmsg::WParam wParam,
                                        wndmsg::LParam lParam) noexcept {
  std::unique_lock guard(lock);
  if (msg == wndmsg::WM_SERIAL_LOST) {
    if (losses++ == 0) {
      bytesBeforeFirstLoss = byteCount;
    }
    changed.notify_all();
    return 0;
  }
  if (msg != wndmsg::WM_SERIAL_DATA) {
    return 0;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(wParam);
  chunks.emplace_back(bytes, bytes + lParam);
  byteCount += static_cast<std::size_t>(lParam);
  ++inside;
  changed.notify_all();
  changed.wait(guard, [this] { return !gateClosed; });
  --inside;
  changed.notify_all();
  return 0;
}

void RecordingOwner::CloseGate() {
  std::lock_guard guard(lock);
  gateClosed = true;
}

void RecordingOwner::OpenGate() {
  std::lock_guard guard(lock);
  gateClosed = false;
  changed.notify_all();
}

bool RecordingOwner::WaitForBytes(std::size_t n, std::chrono::milliseconds within) {
  std::unique_lock guard(lock);
  return changed.wait_for(guard, within, [&] { return byteCount >= n; });
}

bool RecordingOwner::WaitForBlockedDelivery(std::chrono::milliseconds within) {
  std::unique_lock guard(lock);
  return changed.wait_for(guard, within, [&] { return inside > 0; });
}

bool RecordingOwner::WaitForNoDelivery(std::chrono::milliseconds within) {
  std::unique_lock guard(lock);
  return changed.wait_for(guard, within, [&] { return inside == 0; });
}

bool RecordingOwner::WaitForLosses(int n, std::chrono::milliseconds within) {
  std::unique_lock guard(lock);
  return changed.wait_for(guard, within, [&] { return losses >= n; });
}

int RecordingOwner::Losses() {
  std::lock_guard guard(lock);
  return losses;
}

std::size_t RecordingOwner::BytesBeforeFirstLoss() {
  std::lock_guard guard(lock);
  return bytesBeforeFirstLoss;
}

std::vector<std::vector<std::uint8_t>> RecordingOwner::Chunks() {
  std::lock_guard guard(lock);
  return chunks;
}

std::vector<std::uint8_t> RecordingOwner::Bytes() {
  std::lock_guard guard(lock);
  std::vector<std::uint8_t> all;
  for (const auto& chunk : chunks) {
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  return all;
}
