#include "link/reply_framer.h"

#include <gtest/gtest.h>

#include <vector>

#include <wndmsg/messages.h>

#include "link/serial_data_handler.h"

namespace lamp {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The entry as the dispatcher would see it: the received bytes padded with zeros to 20.
ReplyRing::Slot Entry(const Bytes& bytes) {
  ReplyRing::Slot slot{};
  std::copy(bytes.begin(), bytes.end(), slot.begin());
  return slot;
}

std::vector<ReplyRing::Slot> Drain(ReplyRing& ring) {
  std::vector<ReplyRing::Slot> entries;
  while (auto entry = ring.Take()) {
    entries.push_back(*entry);
  }
  return entries;
}

class ReplyFramerTest : public ::testing::Test {
protected:
  void Feed(const Bytes& bytes) { framer.Feed(bytes.data(), bytes.size()); }

  ReplyRing ring;
  ReplyFramer framer{ring};
};

const Bytes kStatus = {0x5A, 0x09, 0x01, 0x07, 0x01, 0x19, 0x00, 0x01, 0x03};
const Bytes kKind = {0x5A, 0x07, 0x01, 0x08, 0x01, 0x02, 0x03};

TEST_F(ReplyFramerTest, NoiseBeforeAFrameIsSkipped) {
  Feed({0x00, 0x11, 0x5A, 0x07, 0x01, 0x08, 0x01, 0x02, 0x03});
  EXPECT_EQ(Drain(ring), std::vector<ReplyRing::Slot>{Entry(kKind)});
}

TEST_F(ReplyFramerTest, FramesComeOutTheSameHoweverTheStreamIsCut) {
  Bytes stream = {0x42, 0x03};
  stream.insert(stream.end(), kStatus.begin(), kStatus.end());
  stream.push_back(0x77);
  stream.insert(stream.end(), kKind.begin(), kKind.end());
  const std::vector<ReplyRing::Slot> expected = {Entry(kStatus), Entry(kKind)};

  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    framer.Feed(stream.data(), cut);
    framer.Feed(stream.data() + cut, stream.size() - cut);
    EXPECT_EQ(Drain(ring), expected);
  }
  for (std::uint8_t b : stream) {
    framer.Feed(&b, 1);
  }
  EXPECT_EQ(Drain(ring), expected);
}

TEST_F(ReplyFramerTest, OverlongFrameBecomesOneEmptyEntryAndHuntingResumesAfterTwentyBytes) {
  Bytes stream = {0x5A, 0x19};
  stream.insert(stream.end(), 30, 0x11);
  Feed(stream);
  EXPECT_EQ(Drain(ring), std::vector<ReplyRing::Slot>{ReplyRing::Slot{}});

  // The 21st byte starts the next frame.
  stream = {0x5A, 0x14};
  stream.insert(stream.end(), 18, 0x11);
  stream.insert(stream.end(), kKind.begin(), kKind.end());
  Feed(stream);
  EXPECT_EQ(Drain(ring), (std::vector<ReplyRing::Slot>{ReplyRing::Slot{}, Entry(kKind)}));

  // Length 19 is the longest frame kept as it is.
  stream = {0x5A, 0x13, 0x01};
  stream.insert(stream.end(), 15, 0x22);
  stream.push_back(0x03);
  Feed(stream);
  EXPECT_EQ(Drain(ring), std::vector<ReplyRing::Slot>{Entry(stream)});
}

TEST_F(ReplyFramerTest, StartBytesInNoiseNeitherMakeEntriesNorSwallowTheFrameBehind) {
  const Bytes kLevels = {0x5A, 0x0E, 0x01, 0x02, 0x01, 0x0A, 0x00,
                         0x14, 0x00, 0x1E, 0x00, 0x28, 0x00, 0x03};
  const std::vector<Bytes> noises = {
      {0x5A, 0x0B},                               // the frame's start taken for the fixed byte
      {0x5A, 0x11, 0x22},                         // no fixed byte after the length
      {0x5A, 0x07, 0x01, 0x08, 0x01, 0x02, 0x77}, // a frame without its end byte: empty entry
  };
  for (const Bytes& noise : noises) {
    Bytes stream = noise;
    stream.insert(stream.end(), kLevels.begin(), kLevels.end());
    std::vector<ReplyRing::Slot> expected;
    if (noise.size() == 7) {
      expected.push_back(ReplyRing::Slot{});
    }
    expected.push_back(Entry(kLevels));
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
      SCOPED_TRACE(::testing::Message() << "noise of " << noise.size() << ", cut at " << cut);
      framer.Feed(stream.data(), cut);
      framer.Feed(stream.data() + cut, stream.size() - cut);
      EXPECT_EQ(Drain(ring), expected);
    }
  }
}

TEST_F(ReplyFramerTest, TinyLengthsGiveEntriesWithoutCommandAndLoseNoFollowingFrame) {
  const std::vector<std::pair<Bytes, Bytes>> cases = {
      {{0x5A, 0x00}, {0x5A, 0x00}},
      {{0x5A, 0x01}, {0x5A, 0x01}},
      {{0x5A, 0x02, 0x44}, {0x5A, 0x02, 0x44}},
      // The byte that ends a tiny frame is examined again, so a start byte there counts.
      {{0x5A, 0x02, 0x5A}, {0x5A, 0x02, 0x5A}},
  };
  for (const auto& [head, entry] : cases) {
    Bytes stream = head;
    stream.insert(stream.end(), kKind.begin(), kKind.end());
    Feed(stream);
    const auto entries = Drain(ring);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], Entry(entry));
    EXPECT_EQ(entries[0][3], 0);
    EXPECT_EQ(entries[1], Entry(kKind));
  }
}

// A firmware dialog that keeps what reaches it.
class BootDialog final : public wndmsg::MessageTarget {
public:
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override {
    messages.push_back(msg);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(wParam);
    received.insert(received.end(), bytes, bytes + lParam);
    return 0;
  }
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

  std::vector<unsigned> messages;
  Bytes received;
};

TEST_F(ReplyFramerTest, ChunksGoToTheOpenFirmwareDialogUnframed) {
  SerialDataHandler handler(framer);
  const auto deliver = [&](const Bytes& chunk, wndmsg::MessageTarget* boot) {
    return handler.OnSerialData(reinterpret_cast<wndmsg::WParam>(chunk.data()),
                                static_cast<wndmsg::LParam>(chunk.size()), boot);
  };
  BootDialog boot;

  // Half a frame arrives, the dialog opens and takes a whole frame, then the half is completed.
  EXPECT_EQ(deliver({0x5A, 0x07, 0x01}, nullptr), 0);
  EXPECT_EQ(deliver({0x5A, 0x06, 0x01, 0x07, 0x01, 0x03}, &boot), 0);
  EXPECT_TRUE(ring.Empty());
  EXPECT_EQ(boot.messages, std::vector<unsigned>{wndmsg::WM_BOOT_DATA});
  EXPECT_EQ(boot.received, (Bytes{0x5A, 0x06, 0x01, 0x07, 0x01, 0x03}));

  deliver({0x08, 0x01, 0x02, 0x03}, nullptr);
  EXPECT_EQ(Drain(ring), std::vector<ReplyRing::Slot>{Entry(kKind)});

  // Empty or addressless deliveries are ignored.
  EXPECT_EQ(handler.OnSerialData(0, 5, nullptr), 0);
  EXPECT_EQ(deliver({}, &boot), 0);
  EXPECT_EQ(boot.messages.size(), 1u);
  EXPECT_TRUE(ring.Empty());
}

} // namespace
} // namespace lamp
