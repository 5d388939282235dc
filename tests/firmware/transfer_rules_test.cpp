// When a write or read may start and how it ends: no Cancel carried over, no transfer over
// another, a read that stops getting blocks, the line lost, blocks at the image's own addresses,
// and a reply buffer that starts empty after a re-open and a jump.
#include "protocol_rig.h"

using namespace lamp::firmware;
using namespace lamp::firmware::test;

namespace {

// The block addresses of a write as sent from `start` (the request) on.
std::vector<unsigned> Addresses(const Bytes& sent, std::size_t blockBytes, int blocks) {
  std::vector<unsigned> addresses;
  for (int k = 0; k < blocks; ++k) {
    const std::size_t at = 4 + static_cast<std::size_t>(k) * (blockBytes + 3);
    addresses.push_back(sent[at] * 256u + sent[at + 1]);
  }
  return addresses;
}

} // namespace

TEST_F(BootloaderProtocolTest, LeftoverCancelNeverCutsTheNextWriteOrRead) {
  Identify();
  // A read cancelled, whose blocks then stop coming (the line went quiet): the block time-out
  // ends it and takes the Cancel with it.
  ASSERT_TRUE(protocol.StartRead(ImageKind::Data));
  Feed(ReadBlock(0x84, 0, Pattern(128, 3)));
  protocol.Cancel();
  protocol.OnTimerTick();
  protocol.OnTimerTick();
  EXPECT_FALSE(protocol.Transferring());
  EXPECT_FALSE(protocol.CancelRequested());

  // Even a Cancel given while nothing runs belongs to no write: the next one goes to its end.
  protocol.Cancel();
  image.SetLoaded(ImageKind::Data, 1000, 0);
  std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  EXPECT_EQ(AnswerBlocks(start, 0x82, 8, 128).size(), 4 + 8 * 131 + 2u);
  EXPECT_EQ(protocol.LastOutcome()->end, TransferEnd::Finished);
  EXPECT_EQ(protocol.LastOutcome()->block, 8);

  // And a read after a stray Cancel acknowledges its blocks.
  protocol.Cancel();
  ASSERT_TRUE(protocol.StartRead(ImageKind::Data));
  start = line.Size();
  Feed(ReadBlock(0x84, 0, Pattern(128, 4)));
  EXPECT_EQ(line.Slice(start, 10), Bytes({0x5A, 0x01, 0x90, 0x84, 0x06}));
}

TEST_F(BootloaderProtocolTest, WriteOrReadStartsOnlyWhenNoTransferRuns) {
  Identify();
  ASSERT_TRUE(protocol.StartRead(ImageKind::Program));
  image.SetLoaded(ImageKind::Program, 1000, 0); // a file opened during the read
  const std::size_t sent = line.Size();
  EXPECT_FALSE(protocol.StartWrite(ImageKind::Program));
  EXPECT_FALSE(protocol.StartRead(ImageKind::Program));
  EXPECT_FALSE(protocol.StartRead(ImageKind::Data));
  EXPECT_EQ(line.Size(), sent) << "nothing sent over the read";

  // Blocks keep the read alive, each one restarting the time-out.
  for (unsigned page = 0; page < 3; ++page) {
    protocol.OnTimerTick();
    Feed(ReadBlock(0x83, page, Pattern(256, static_cast<std::uint8_t>(page))));
  }
  EXPECT_TRUE(protocol.Transferring());
  // Then nothing for two ticks: the read ends as stopped and no image counts as loaded.
  protocol.OnTimerTick();
  protocol.OnTimerTick();
  EXPECT_FALSE(protocol.Transferring());
  EXPECT_FALSE(protocol.TransferActive());
  EXPECT_EQ(events.Entries().back(), "end Read stopped after 3 of 512 pages: no reply.");
  // A block coming late belongs to no read: not stored, not answered, nothing shown.
  const std::size_t before = line.Size();
  const std::size_t entries = events.Entries().size();
  Feed(ReadBlock(0x83, 3, Pattern(256, 9)));
  EXPECT_EQ(line.Size(), before);
  EXPECT_EQ(events.Entries().size(), entries);
  EXPECT_EQ(image.Size(), 3u * 256);

  // While a write runs, neither a read nor a second write starts.
  image.SetLoaded(ImageKind::Data, 300, 0);
  const std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  ASSERT_TRUE(line.WaitFor(start + 4 + 131));
  EXPECT_FALSE(protocol.StartRead(ImageKind::Data));
  EXPECT_FALSE(protocol.StartWrite(ImageKind::Data));
  EXPECT_EQ(AnswerBlocks(start, 0x82, 3, 128).size(), 4 + 3 * 131 + 2u);
}

TEST_F(BootloaderProtocolTest, BlocksCarryTheImagesOwnAddresses) {
  Identify(256);
  struct Case {
    const char* what;
    ImageKind kind;
    std::uint32_t base;
    std::uint32_t size;
    std::vector<unsigned> addresses; // empty: not written
  };
  const std::vector<Case> cases = {
      {"program at 0x1C00: pages 28 on", ImageKind::Program, 0x1C00, 600, {28, 29, 30}},
      {"data at 0x180", ImageKind::Data, 0x180, 200, {0x180, 0x200}},
      {"program off a page boundary", ImageKind::Program, 0x1C80, 600, {}},
      {"data off a 128-byte boundary", ImageKind::Data, 0x40, 200, {}},
      {"data whose last block would be FFFF", ImageKind::Data, 0xFF80, 200, {}},
      {"program past page FFFE", ImageKind::Program, 0xFFFE * 256u, 600, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    image.SetLoaded(c.kind, c.size, c.base);
    const std::size_t start = line.Size();
    const bool program = c.kind == ImageKind::Program;
    if (c.addresses.empty()) {
      EXPECT_FALSE(protocol.StartWrite(c.kind));
      EXPECT_EQ(line.Size(), start);
      continue;
    }
    ASSERT_TRUE(protocol.StartWrite(c.kind));
    const int blocks = static_cast<int>(c.addresses.size());
    const Bytes sent = AnswerBlocks(start, program ? 0x81 : 0x82, blocks, program ? 256 : 128);
    EXPECT_EQ(Addresses(sent, program ? 256 : 128, blocks), c.addresses);
  }
}

TEST_F(BootloaderProtocolTest, LostLineEndsATransferAsStopped) {
  Identify();
  image.SetLoaded(ImageKind::Data, 1000, 0);
  const std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  ASSERT_TRUE(line.WaitFor(start + 4 + 131));
  Feed(Ack(0x82, 0x06));
  ASSERT_TRUE(line.WaitFor(start + 4 + 2 * 131));
  protocol.LineLost();
  ASSERT_TRUE(Eventually([&] { return !protocol.Transferring(); }));
  EXPECT_EQ(protocol.LastOutcome()->end, TransferEnd::LineLost);
  EXPECT_EQ(OutcomeText(*protocol.LastOutcome()),
            "Write stopped at address 0x0080 (block 2 of 8): line lost.");

  ASSERT_TRUE(protocol.StartRead(ImageKind::Data));
  Feed(ReadBlock(0x84, 0, Pattern(128, 1)));
  protocol.LineLost();
  EXPECT_FALSE(protocol.Transferring());
  EXPECT_EQ(events.Entries().back(), "end Read stopped after 1 of 32 blocks: line lost.");
  EXPECT_FALSE(image.Loaded(ImageKind::Data)) << "a read cut short loads no image";
  protocol.LineLost(); // nothing runs: nothing more to report
  EXPECT_EQ(events.Entries().back(), "end Read stopped after 1 of 32 blocks: line lost.");
}

TEST_F(BootloaderProtocolTest, ReplyBufferStartsEmptyAfterReopenAndJump) {
  Identify();
  // A reply cut off by a pulled plug: its first bytes must not swallow the next reply's.
  const Bytes jumpAck = Ack(0x88, 0x06);
  protocol.JumpToApplication();
  Feed({0x5A, 0x01});
  protocol.PortReopened();
  Feed(jumpAck);
  EXPECT_EQ(events.Targets().back()[0], "--------");

  Identify();
  protocol.JumpToApplication();
  Feed({0x5A, 0x01, 0x90});
  protocol.JumpToApplication(); // given again, as the operator does when nothing happened
  Feed(jumpAck);
  EXPECT_EQ(events.Targets().back()[0], "--------");
}
