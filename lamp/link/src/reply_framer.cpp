#include "link/reply_framer.h"

#include <cstring>

#include "link/protocol.h"

namespace lamp {

namespace {
// Lengths of frames that are kept as received, and so must look like the controller's.
constexpr bool Checked(std::uint8_t length) {
  return length >= 3 && length < ReplyRing::kSlotSize;
}
} // namespace

void ReplyFramer::Feed(const std::uint8_t* bytes, std::size_t count) noexcept {
  std::size_t i = 0;
  while (i < count) {
    if (mode_ == Mode::Hunting) {
      // Noise between frames is skipped up to the next start byte in one go.
      const void* start = std::memchr(bytes + i, kFrameStart, count - i);
      if (start == nullptr) {
        return;
      }
      i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(start) - bytes) + 1;
      ReplyRing::Slot& slot = ring_.FillSlot();
      slot.fill(0);
      slot[0] = kFrameStart;
      stored_ = 1;
      mode_ = Mode::Length;
      continue;
    }
    const std::uint8_t b = bytes[i];
    ReplyRing::Slot& slot = ring_.FillSlot();
    if (mode_ == Mode::Length) {
      slot[kLengthOffset] = b;
      expected_ = b;
      stored_ = 2;
      mode_ = Mode::Body;
      ++i;
      continue;
    }
    if (stored_ > expected_) {
      // Finished before this byte (lengths 0 to 2): look at it again while hunting.
      Commit();
      continue;
    }
    if (stored_ == kFixedOffset && b != kFrameFixed && Checked(expected_)) {
      // Not a frame: the start byte was noise. This byte is looked at again while hunting, so
      // that a frame right behind the noise is kept. (The length byte, below 20, is no start.)
      Reset();
      continue;
    }
    slot[stored_] = b;
    ++stored_;
    ++i;
    if (stored_ == ReplyRing::kSlotSize) {
      slot.fill(0);
      Commit();
    } else if (stored_ == expected_) {
      // A frame without its end byte in place is not what the controller sent: like an
      // over-long one, it becomes an empty entry.
      if (Checked(expected_) && b != kFrameEnd) {
        slot.fill(0);
      }
      Commit();
    }
  }
}

void ReplyFramer::Reset() noexcept {
  mode_ = Mode::Hunting;
  stored_ = 0;
  expected_ = 0;
}

void ReplyFramer::Commit() noexcept {
  static_cast<void>(ring_.Commit());
  Reset();
}

} // namespace lamp
