#include "sim/line_pacer.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {
constexpr long long kBitsPerCharacter = 10;
}

LinePacer::LinePacer(unsigned baud) noexcept
    : characterTime_(baud == 0 ? 0 : 1'000'000'000LL * kBitsPerCharacter / baud) {}

void LinePacer::Queue(std::size_t count, TimePoint now) noexcept {
  if (waiting_ == 0) {
    // An idle line starts the next character now, not back when it fell silent.
    lineFree_ = std::max(lineFree_, now);
  }
  waiting_ += count;
}

std::size_t LinePacer::TakeDue(TimePoint now) noexcept {
  if (characterTime_.count() == 0) {
    return std::exchange(waiting_, 0);
  }
  std::size_t due = 0;
  if (now >= lineFree_ + characterTime_) {
    due = std::min<std::size_t>(waiting_, (now - lineFree_) / characterTime_);
  }
  waiting_ -= due;
  lineFree_ += due * characterTime_;
  return due;
}

TimePoint LinePacer::NextDue() const noexcept {
  if (waiting_ == 0) {
    return TimePoint::max();
  }
  return characterTime_.count() == 0 ? TimePoint::min() : lineFree_ + characterTime_;
}

} // namespace sim
