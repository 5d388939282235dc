#include "link/reply_framer.h"

namespace lamp {

namespace {
constexpr std::uint8_t kStart = 0x5A;
}

void ReplyFramer::Feed(const std::uint8_t* bytes, std::size_t count) noexcept {
  std::size_t i = 0;
  while (i < count) {
    const std::uint8_t b = bytes[i];
    ReplyRing::Slot& slot = ring_.FillSlot();
    switch (mode_) {
    case Mode::Hunting:
      if (b == kStart) {
        slot.fill(0);
        slot[0] = b;
        stored_ = 1;
        mode_ = Mode::Length;
      }
      ++i;
      break;
    case Mode::Length:
      slot[1] = b;
      expected_ = b;
      stored_ = 2;
      mode_ = Mode::Body;
      ++i;
      break;
    case Mode::Body:
      if (stored_ > expected_) {
        // Finished before this byte (lengths 0 to 2): look at it again while hunting.
        Commit();
        break;
      }
      slot[stored_] = b;
      ++stored_;
      ++i;
      if (stored_ == ReplyRing::kSlotSize) {
        slot.fill(0);
        Commit();
      } else if (stored_ == expected_) {
        Commit();
      }
      break;
    }
  }
}

void ReplyFramer::Commit() noexcept {
  static_cast<void>(ring_.Commit());
  mode_ = Mode::Hunting;
  stored_ = 0;
  expected_ = 0;
}

} // namespace lamp
