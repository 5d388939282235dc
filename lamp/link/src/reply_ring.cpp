#include "link/reply_ring.h"

namespace lamp {

ReplyRing::Slot& ReplyRing::FillSlot() noexcept {
  return slots_[writeIndex_.load(std::memory_order_relaxed)];
}

bool ReplyRing::Commit() noexcept {
  const std::uint32_t write = writeIndex_.load(std::memory_order_relaxed);
  // Acquire pairs with the reader's release of readIndex: its copy of the slot we would reuse
  // next is finished before we write there.
  if (Next(write) == readIndex_.load(std::memory_order_acquire)) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  writeIndex_.store(Next(write), std::memory_order_release);
  return true;
}

bool ReplyRing::Empty() const noexcept {
  return readIndex_.load(std::memory_order_relaxed) == writeIndex_.load(std::memory_order_acquire);
}

std::optional<ReplyRing::Slot> ReplyRing::Take() noexcept {
  const std::uint32_t read = readIndex_.load(std::memory_order_relaxed);
  if (read == writeIndex_.load(std::memory_order_acquire)) {
    return std::nullopt;
  }
  Slot entry = slots_[read];
  readIndex_.store(Next(read), std::memory_order_release);
  return entry;
}

int ReplyRing::Waiting() const noexcept {
  const std::uint32_t write = writeIndex_.load(std::memory_order_acquire);
  const std::uint32_t read = readIndex_.load(std::memory_order_acquire);
  return static_cast<int>((write + kSlotCount - read) % kSlotCount);
}

} // namespace lamp
