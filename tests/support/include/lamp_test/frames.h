#pragma once
// Frames as they travel on the line: 5A, length (all bytes), 01, command, direction, payload, 03.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lamp::test {

using Bytes = std::vector<std::uint8_t>;
using Frame = Bytes;

// A frame for `command` carrying `payload`; direction 1 is the controller's reply to a read.
inline Frame ReplyFrame(std::uint8_t command, const Bytes& payload, std::uint8_t direction = 0x01) {
  // Sized once and filled in place: GCC 12 takes an insert into the five-byte head for a write
  // past its end (-Warray-bounds).
  Frame frame(payload.size() + 6);
  frame[0] = 0x5A;
  frame[1] = static_cast<std::uint8_t>(frame.size());
  frame[2] = 0x01;
  frame[3] = command;
  frame[4] = direction;
  std::copy(payload.begin(), payload.end(), frame.begin() + 5);
  frame.back() = 0x03;
  return frame;
}

// The little-endian 16-bit signed value at `offset` of `frame`.
inline std::int32_t Le16(const Bytes& frame, std::size_t offset) {
  return static_cast<std::int16_t>(frame.at(offset) | (frame.at(offset + 1) << 8));
}

} // namespace lamp::test
