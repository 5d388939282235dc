#include "byte_queue.h"

#include <algorithm>

namespace comlane {

std::size_t ByteQueue::Append(const std::uint8_t* bytes, std::size_t n) {
  std::lock_guard guard(lock);
  const std::size_t accepted = std::min(n, kCapacity - count);
  std::size_t tail = (head + count) % kCapacity;
  for (std::size_t i = 0; i < accepted; ++i) {
    ring[tail] = bytes[i];
    tail = (tail + 1) % kCapacity;
  }
  count += accepted;
  return accepted;
}

std::size_t ByteQueue::Take(std::uint8_t* out, std::size_t max) {
  std::lock_guard guard(lock);
  const std::size_t taken = std::min(max, count);
  for (std::size_t i = 0; i < taken; ++i) {
    out[i] = ring[head];
    head = (head + 1) % kCapacity;
  }
  count -= taken;
  return taken;
}

std::size_t ByteQueue::Size() const {
  std::lock_guard guard(lock);
  return count;
}

void ByteQueue::Clear() {
  std::lock_guard guard(lock);
  head = 0;
  count = 0;
}

} // namespace comlane
