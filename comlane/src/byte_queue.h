#pragma once
// A first-in first-out queue of bytes with a fixed capacity of 4096 bytes and its own lock. The
// lock is held only while bytes are appended, counted or removed. Every operation may be called
// from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace comlane {

class ByteQueue {
public:
  static constexpr std::size_t kCapacity = 4096;

  // Appends as many of the `count` bytes as fit, in order, and returns how many that was.
  std::size_t Append(const std::uint8_t* bytes, std::size_t count);
  // Removes up to `max` bytes from the head into `out` and returns how many were removed.
  std::size_t Take(std::uint8_t* out, std::size_t max);
  [[nodiscard]] std::size_t Size() const;
  void Clear();

private:
  mutable std::mutex lock;
  std::array<std::uint8_t, kCapacity> ring{};
  std::size_t head = 0;
  std::size_t count = 0;
};

} // namespace comlane
