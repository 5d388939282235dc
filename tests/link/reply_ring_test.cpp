#include "link/reply_ring.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "link/reply_framer.h"

namespace lamp {
namespace {

// A reply 8 frame whose payload carries a sequence number.
std::vector<std::uint8_t> Numbered(std::uint32_t n) {
  return {0x5A,
          0x09,
          0x01,
          0x08,
          0x01,
          static_cast<std::uint8_t>(n & 0xFF),
          static_cast<std::uint8_t>((n >> 8) & 0xFF),
          static_cast<std::uint8_t>(n >> 16),
          0x03};
}

std::uint32_t NumberOf(const ReplyRing::Slot& slot) {
  return slot[5] | (slot[6] << 8) | (slot[7] << 16);
}

TEST(ReplyRingTest, FullRingDropsTheNewestAndKeepsEveryWaitingReply) {
  ReplyRing ring;
  ReplyFramer framer(ring);
  for (std::uint32_t n = 0; n < 70; ++n) {
    const auto frame = Numbered(n);
    framer.Feed(frame.data(), frame.size());
  }
  EXPECT_EQ(ring.Waiting(), 63);
  EXPECT_EQ(ring.DroppedCount(), 7u);

  // Room for one more after one is taken.
  ASSERT_EQ(NumberOf(*ring.Take()), 0u);
  const auto late = Numbered(100);
  framer.Feed(late.data(), late.size());
  EXPECT_EQ(ring.DroppedCount(), 7u);

  std::vector<std::uint32_t> seen;
  while (auto entry = ring.Take()) {
    seen.push_back(NumberOf(*entry));
  }
  std::vector<std::uint32_t> expected;
  for (std::uint32_t n = 1; n < 63; ++n) {
    expected.push_back(n);
  }
  expected.push_back(100);
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(ring.Empty());
}

TEST(ReplyRingTest, ConcurrentReaderSeesCompleteEntriesInOrder) {
  ReplyRing ring;
  ReplyFramer framer(ring);
  constexpr std::uint32_t kFrames = 200000;
  std::atomic<bool> writerDone{false};

  std::thread writer([&] {
    for (std::uint32_t n = 0; n < kFrames; ++n) {
      const auto frame = Numbered(n);
      framer.Feed(frame.data(), frame.size());
    }
    writerDone = true;
  });

  std::uint64_t received = 0;
  std::int64_t last = -1;
  bool intact = true;
  for (;;) {
    const bool done = writerDone.load();
    while (auto entry = ring.Take()) {
      const auto expected = Numbered(NumberOf(*entry));
      intact = intact && std::equal(expected.begin(), expected.end(), entry->begin()) &&
               static_cast<std::int64_t>(NumberOf(*entry)) > last;
      last = NumberOf(*entry);
      ++received;
    }
    if (done) {
      break;
    }
  }
  writer.join();
  EXPECT_TRUE(intact);
  EXPECT_EQ(received + ring.DroppedCount(), kFrames);
}

} // namespace
} // namespace lamp
