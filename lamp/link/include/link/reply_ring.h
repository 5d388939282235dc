#pragma once
// ReplyRing: the one ring of reply frames between the reply framer (user-interface thread) and
// the reply dispatcher thread. 64 slots of 20 bytes; a slot holds a reply frame as received,
// from its start byte on, followed by zero bytes.
//
// One writer, one reader, no lock of its own: only the framer moves `writeIndex`, only the
// dispatcher moves `readIndex`; each index is published with release and read with acquire
// ordering, so a slot is complete before the reader can see it and free again before the writer
// refills it.
//
// At most 63 replies wait at once. While the ring is full the newest reply is dropped and
// counted; replies already waiting are never overwritten.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace lamp {

class ReplyRing {
public:
  static constexpr int kSlotCount = 64;
  static constexpr int kSlotSize = 20;
  using Slot = std::array<std::uint8_t, kSlotSize>;

  // Writer side (the framer's thread).
  // The slot at `writeIndex`. The reader never touches it, so the writer may fill it at leisure.
  [[nodiscard]] Slot& FillSlot() noexcept;
  // Publishes the filled slot by advancing `writeIndex`. Returns false, leaving `writeIndex` where
  // it is and counting a drop, when 63 replies are already waiting.
  bool Commit() noexcept;

  // Reader side: the dispatcher (its thread, or the writer's while that thread sleeps, the two
  // kept apart by the dispatcher's lock).
  [[nodiscard]] bool Empty() const noexcept;
  // The entry at `readIndex`, after which `readIndex` advances; nothing while the ring is empty.
  [[nodiscard]] std::optional<Slot> Take() noexcept;

  // Any thread.
  [[nodiscard]] std::uint64_t DroppedCount() const noexcept {
    return dropped_.load(std::memory_order_relaxed);
  }
  // Number of replies waiting (a snapshot).
  [[nodiscard]] int Waiting() const noexcept;

private:
  static constexpr std::uint32_t Next(std::uint32_t index) noexcept {
    return (index + 1) % kSlotCount;
  }

  std::array<Slot, kSlotCount> slots_{};
  std::atomic<std::uint32_t> writeIndex_{0};
  std::atomic<std::uint32_t> readIndex_{0};
  std::atomic<std::uint64_t> dropped_{0};
};

} // namespace lamp
