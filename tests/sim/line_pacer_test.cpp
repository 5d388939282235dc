#include "sim/line_pacer.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

using namespace std::chrono_literals;

TEST(LinePacerTest, CharactersLeaveOneCharacterTimeApart) {
  // 10,000 bit/s: one character per millisecond.
  LinePacer pacer(10000);
  const TimePoint t0 = TimePoint() + 1h;
  pacer.Queue(5, t0);
  EXPECT_EQ(pacer.NextDue(), t0 + 1ms);
  EXPECT_EQ(pacer.TakeDue(t0 + 999us), 0u);
  EXPECT_EQ(pacer.TakeDue(t0 + 2500us), 2u);
  // The second character came off the line at 2 ms, before the late look at 2.5 ms.
  EXPECT_EQ(pacer.LastThrough(), t0 + 2ms);
  EXPECT_EQ(pacer.NextDue(), t0 + 3ms);
  // More queued behind a busy line waits its turn.
  pacer.Queue(2, t0 + 2500us);
  EXPECT_EQ(pacer.TakeDue(t0 + 10ms), 5u);
  EXPECT_EQ(pacer.NextDue(), TimePoint::max());
  // After a silence the line starts afresh rather than owing time.
  pacer.Queue(1, t0 + 1s);
  EXPECT_EQ(pacer.TakeDue(t0 + 1s), 0u);
  EXPECT_EQ(pacer.TakeDue(t0 + 1001ms), 1u);
}

TEST(LinePacerTest, WithoutARateEverythingIsDueAtOnce) {
  LinePacer pacer(0);
  pacer.Queue(3000, TimePoint());
  EXPECT_EQ(pacer.TakeDue(TimePoint()), 3000u);
  EXPECT_EQ(pacer.NextDue(), TimePoint::max());
}

} // namespace
} // namespace sim
