// The bootloader conversation driven without a window: the test plays the bootloader, feeds its
// replies, and drives the timer ticks and the poller's pauses.
#include "protocol_rig.h"

using namespace lamp::firmware;
using namespace lamp::firmware::test;

TEST_F(BootloaderProtocolTest, EntryThenIdentifyPollingUntilTheDeviceAnswers) {
  protocol.BeginEntry();
  EXPECT_EQ(line.All(), Bytes({0x5A, 0x06, 0x01, 0x90, 0x87, 0x03}));
  Feed(IdentifyReply(0x9702, 256)); // arrives during the entry pause: discarded
  EXPECT_FALSE(protocol.Ready());

  protocol.FinishEntry();
  ASSERT_TRUE(line.WaitFor(10));
  EXPECT_EQ(line.Slice(6, 4), kIdentifyRequest);
  ASSERT_EQ(events.Targets().size(), 1u);
  EXPECT_EQ(events.Targets()[0][0], "--------");
  pacer.Step();
  ASSERT_TRUE(line.WaitFor(14));
  EXPECT_EQ(line.Slice(10, 4), kIdentifyRequest);

  const Bytes reply = IdentifyReply(0x9702, 256);
  Feed(Bytes(reply.begin(), reply.begin() + 7)); // one reply over two chunks
  EXPECT_FALSE(protocol.Ready());
  Feed(Bytes(reply.begin() + 7, reply.end()));
  EXPECT_TRUE(protocol.Ready());
  EXPECT_FALSE(protocol.WorkerRunning());
  EXPECT_EQ(events.Targets().back()[0], "ATmega128");
  const std::size_t sent = line.Size();
  EXPECT_EQ(sent % 4, 2u);
  pacer.Step();
  EXPECT_EQ(line.Size(), sent) << "the poller has ended";
}

TEST_F(BootloaderProtocolTest, DeviceWithUnusablePageBytesStaysNotReady) {
  protocol.BeginEntry();
  protocol.FinishEntry();
  ASSERT_TRUE(line.WaitFor(10));
  for (unsigned pageBytes : {0u, 506u, 65535u}) {
    Feed(IdentifyReply(0x9702, pageBytes));
    EXPECT_FALSE(protocol.Ready()) << pageBytes;
    EXPECT_TRUE(protocol.WorkerRunning()) << "still asking";
    EXPECT_FALSE(protocol.StartRead(ImageKind::Program));
  }
  EXPECT_EQ(events.Targets().back()[4], "65535 byte");
  Feed(IdentifyReply(0x9702, 505));
  EXPECT_TRUE(protocol.Ready());
  EXPECT_TRUE(protocol.StartRead(ImageKind::Program));
  EXPECT_EQ(protocol.ExpectedLength(), 512);
}

TEST_F(BootloaderProtocolTest, RepliesAreCutByLengthAndCheckedForTheirHeader) {
  protocol.BeginEntry();
  protocol.FinishEntry();
  ASSERT_TRUE(line.WaitFor(10));
  Bytes wrongHeader = IdentifyReply(0x9702, 256);
  wrongHeader[2] = 0x91;
  Feed(wrongHeader);
  EXPECT_FALSE(protocol.Ready()) << "dropped whole";

  // Two replies in one chunk are both taken, in order.
  Bytes two = IdentifyReply(0x9307, 64, 512, 8);
  const Bytes second = IdentifyReply(0x9702, 256);
  two.insert(two.end(), second.begin(), second.end());
  Feed(two);
  const auto targets = events.Targets();
  ASSERT_GE(targets.size(), 3u);
  EXPECT_EQ(targets[targets.size() - 2], TargetPanel::Values({"ATmega8", "8Kbyte", "1024 byte",
                                                              "128 byte", "64 byte", "512 byte"}));
  EXPECT_EQ(targets.back()[0], "ATmega128");
  EXPECT_EQ(protocol.Target().Descriptor().pageBytes, 256);
}

// The identify request goes out every 250 ms until the answer has been taken, so a device (or
// a host) slower than that gets asked twice and the second answer comes after the first has made
// the device ready. Noise on the line and an acknowledgement of a write that has ended come too.
// None of them may cost the reply awaited, nor shift where every later reply is cut.
TEST_F(BootloaderProtocolTest, StrayBytesAndUnaskedRepliesDoNotCostTheReplyAwaited) {
  protocol.BeginEntry();
  protocol.FinishEntry();
  ASSERT_TRUE(line.WaitFor(10));
  Bytes stray = {0x00, 0x13, 0xFF};
  const Bytes lateAck = Ack(0x81, 0x06);
  stray.insert(stray.end(), lateAck.begin(), lateAck.end());
  Feed(stray);
  Feed(IdentifyReply(0x9702, 256));
  ASSERT_TRUE(protocol.Ready());

  // The second identify answer arrives after the read request: the first block is still taken
  // and answered, and so is the next.
  ASSERT_TRUE(protocol.StartRead(ImageKind::Program));
  const std::size_t start = line.Size();
  Bytes late = IdentifyReply(0x9702, 256);
  const Bytes page0 = ReadBlock(0x83, 0, Pattern(256, 3));
  late.insert(late.end(), page0.begin(), page0.end());
  Feed(late);
  Feed(ReadBlock(0x83, 1, Pattern(256, 4)));
  EXPECT_EQ(line.Slice(start, 15), Bytes({0x5A, 0x01, 0x90, 0x83, 0x06, //
                                          0x5A, 0x01, 0x90, 0x83, 0x06}));
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(buffer[256], 4);
  EXPECT_TRUE(protocol.Ready());
  Feed(ReadBlock(0x83, 0xFFFF, Bytes(256, 0)));
  EXPECT_TRUE(image.Loaded(ImageKind::Program));

  // During a write the late answer neither ends the write nor hides an acknowledgement.
  image.SetLoaded(ImageKind::Program, 512, 0);
  const std::size_t writeStart = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Program));
  ASSERT_TRUE(line.WaitFor(writeStart + 4 + 259));
  Feed(IdentifyReply(0x9702, 256));
  Feed(Ack(0x81, 0x06));
  ASSERT_TRUE(line.WaitFor(writeStart + 4 + 2 * 259));
  Feed(Ack(0x81, 0x06));
  EXPECT_TRUE(Eventually([&] { return !protocol.WorkerRunning(); }));
  EXPECT_EQ(protocol.LastOutcome()->end, TransferEnd::Finished);
}

TEST_F(BootloaderProtocolTest, DataImageIsWrittenInBlocksOf128) {
  Identify();
  const Bytes data = Pattern(1000, 3);
  std::copy(data.begin(), data.end(), buffer.Data());
  image.SetLoaded(ImageKind::Data, 1000, 0x180); // blocks carry the image's own addresses
  const std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  buffer.Fill(0); // a file opened during the write does not change what is written
  ASSERT_TRUE(line.WaitFor(start + 4));
  EXPECT_EQ(line.Slice(start, 4), Bytes({0x5A, 0x01, 0x90, 0x82}));
  const Bytes sent = AnswerBlocks(start, 0x82, 8, 128);
  ASSERT_EQ(sent.size(), 4 + 8 * 131 + 2u);
  for (std::size_t k = 0; k < 8; ++k) {
    const std::size_t at = 4 + k * 131;
    EXPECT_EQ(sent[at] * 256 + sent[at + 1], static_cast<int>(0x180 + k * 128));
    Bytes expected(128, 0xFF);
    for (std::size_t i = 0; i < 128 && k * 128 + i < 1000; ++i) {
      expected[i] = data[k * 128 + i];
    }
    EXPECT_EQ(Bytes(sent.begin() + at + 2, sent.begin() + at + 130), expected) << k;
    EXPECT_EQ(sent[at + 130],
              static_cast<std::uint8_t>(std::accumulate(expected.begin(), expected.end(), 0u)));
  }
  EXPECT_EQ(Bytes(sent.end() - 2, sent.end()), Bytes({0xFF, 0xFF}));
  EXPECT_EQ(events.Entries(),
            std::vector<std::string>({"show", "range 1000", "timer on", "timer off", "hide",
                                      "end Write finished: 8 blocks."}));
  EXPECT_EQ(events.Positions().back(), 1023);
  EXPECT_TRUE(protocol.Ready());
  EXPECT_FALSE(protocol.TransferActive());
}

TEST_F(BootloaderProtocolTest, ProgramImageIsWrittenPageByPage) {
  Identify(128);
  std::copy_n(Pattern(1500, 0).begin(), 1500, buffer.Data());
  image.SetLoaded(ImageKind::Program, 1500, 0);
  EXPECT_FALSE(protocol.StartWrite(ImageKind::Data)) << "no data image loaded";
  image.SetLoaded(ImageKind::Data, 70000, 0);
  EXPECT_FALSE(protocol.StartWrite(ImageKind::Data)) << "block addresses past FFFF would wrap";
  EXPECT_EQ(line.Size(), 10u) << "nothing sent";
  image.SetLoaded(ImageKind::Program, 1500, 0);
  const std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Program));
  const Bytes sent = AnswerBlocks(start, 0x81, 12, 128);
  ASSERT_EQ(sent.size(), 4 + 12 * 131 + 2u);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), Bytes({0x5A, 0x01, 0x90, 0x81}));
  for (std::size_t k = 0; k < 12; ++k) {
    EXPECT_EQ(sent[4 + k * 131], 0);
    EXPECT_EQ(sent[5 + k * 131], k) << "page number";
  }
  EXPECT_EQ(sent[4 + 11 * 131 + 2 + 92], 0xFF) << "past the image";
  EXPECT_EQ(events.Entries()[1], "range 12");
}

TEST_F(BootloaderProtocolTest, WriteEndsAtARefusalTimeOutOrCancel) {
  Identify();
  image.SetLoaded(ImageKind::Data, 1000, 0);

  // Refused third block: three blocks, then FF FF.
  std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  const Bytes sent = AnswerBlocks(start, 0x82, 3, 128, 2);
  EXPECT_EQ(sent.size(), 4 + 3 * 131 + 2u);
  EXPECT_EQ(Bytes(sent.end() - 2, sent.end()), Bytes({0xFF, 0xFF}));
  EXPECT_TRUE(protocol.Ready());

  // No acknowledgement: the second tick of timer 10 ends the write after block 0.
  start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  ASSERT_TRUE(line.WaitFor(start + 4 + 131));
  protocol.OnTimerTick();
  EXPECT_TRUE(protocol.TransferActive());
  protocol.OnTimerTick();
  ASSERT_TRUE(Eventually([&] { return !protocol.WorkerRunning(); }));
  EXPECT_EQ(line.Slice(start + 4 + 131, 10), Bytes({0xFF, 0xFF}));

  // Cancel: the block in flight is answered, then the write stops.
  start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  ASSERT_TRUE(line.WaitFor(start + 4 + 131));
  protocol.Cancel();
  Feed(Ack(0x82, 0x06));
  ASSERT_TRUE(Eventually([&] { return !protocol.WorkerRunning(); }));
  EXPECT_EQ(line.Slice(start + 4 + 131, 10), Bytes({0xFF, 0xFF}));
  EXPECT_FALSE(protocol.CancelRequested());

  // Each way of ending is told apart, at the first block not written.
  std::vector<std::string> ends;
  for (const std::string& entry : events.Entries()) {
    if (entry.rfind("end ", 0) == 0) {
      ends.push_back(entry.substr(4));
    }
  }
  EXPECT_EQ(ends, std::vector<std::string>(
                      {"Write stopped at address 0x0100 (block 3 of 8): refused.",
                       "Write stopped at address 0x0000 (block 1 of 8): no reply.",
                       "Write stopped at address 0x0080 (block 2 of 8): cancelled."}));
}

TEST_F(BootloaderProtocolTest, EveryBlockHasItsOwnTwoTicksForItsAcknowledgement) {
  // Each block is acknowledged after one tick of timer 10: a write of any length goes through,
  // because the count starts again with every block.
  Identify();
  image.SetLoaded(ImageKind::Data, 1000, 0);
  const std::size_t start = line.Size() + 4;
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  for (std::size_t k = 0; k < 8; ++k) {
    ASSERT_TRUE(line.WaitFor(start + (k + 1) * 131)) << "block " << k;
    protocol.OnTimerTick();
    EXPECT_TRUE(protocol.TransferActive()) << "block " << k;
    Feed(Ack(0x82, 0x06));
  }
  ASSERT_TRUE(line.WaitFor(start + 8 * 131 + 2));
  ASSERT_TRUE(Eventually([&] { return !protocol.WorkerRunning(); }));
  EXPECT_EQ(line.Size(), start + 8 * 131 + 2);
}

TEST_F(BootloaderProtocolTest, PollerAsksEveryQuarterSecondAndWriterPausesOneMillisecond) {
  using std::chrono::milliseconds;
  Identify();
  const auto polling = pacer.Asked();
  ASSERT_FALSE(polling.empty());
  EXPECT_EQ(polling, std::vector<milliseconds>(polling.size(), milliseconds(250)));

  image.SetLoaded(ImageKind::Data, 3 * 128, 0);
  const std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  AnswerBlocks(start, 0x82, 3, 128);
  const auto all = pacer.Asked();
  const std::vector<milliseconds> writing(all.begin() + polling.size(), all.end());
  EXPECT_EQ(writing, std::vector<milliseconds>(3, milliseconds(1)));
}

TEST_F(BootloaderProtocolTest, ClosingReleasesAWaitingWriter) {
  Identify();
  image.SetLoaded(ImageKind::Data, 300, 0);
  const std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartWrite(ImageKind::Data));
  ASSERT_TRUE(line.WaitFor(start + 4 + 131));
  protocol.Close();
  EXPECT_FALSE(protocol.WorkerRunning());
  EXPECT_EQ(line.Slice(start + 4 + 131, 10), Bytes({0xFF, 0xFF}));
  const std::vector<std::string> entries = events.Entries();
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[entries.size() - 2], "hide");
  EXPECT_EQ(entries.back(), "end Write stopped at address 0x0000 (block 1 of 3): closed.");
}

TEST_F(BootloaderProtocolTest, ClosingEndsTheIdentifyPoller) {
  protocol.BeginEntry();
  protocol.FinishEntry();
  ASSERT_TRUE(line.WaitFor(10));
  protocol.Close();
  EXPECT_FALSE(protocol.WorkerRunning());
  protocol.StartIdentify();
  EXPECT_FALSE(protocol.WorkerRunning()) << "nothing starts after closing";
}

TEST_F(BootloaderProtocolTest, ProgramReadStoresAndAnswersEachBlock) {
  Identify();
  image.SetLoaded(ImageKind::Program, 10, 0);
  std::size_t start = line.Size();
  ASSERT_TRUE(protocol.StartRead(ImageKind::Program));
  EXPECT_EQ(line.Slice(start, 10), Bytes({0x5A, 0x01, 0x90, 0x83}));
  EXPECT_EQ(protocol.ExpectedLength(), 263);
  EXPECT_FALSE(protocol.StartWrite(ImageKind::Program)) << "the read cleared the loaded image";

  const Bytes page0 = Pattern(256, 0);
  const Bytes page1 = Pattern(256, 100);
  start = line.Size();
  Feed(ReadBlock(0x83, 0, page0));
  Feed(ReadBlock(0x83, 1, page1, 0x12)); // wrong checksum: refused, yet stored
  Feed(ReadBlock(0x83, 512, page0));     // index 131072: outside the buffer
  EXPECT_EQ(line.Slice(start, 15), Bytes({0x5A, 0x01, 0x90, 0x83, 0x06, //
                                          0x5A, 0x01, 0x90, 0x83, 0x15, //
                                          0x5A, 0x01, 0x90, 0x83, 0x15}));
  EXPECT_EQ(Bytes(buffer.Data(), buffer.Data() + 256), page0);
  EXPECT_EQ(Bytes(buffer.Data() + 256, buffer.Data() + 512), page1);
  EXPECT_EQ(image.Size(), 512u);
  EXPECT_TRUE(protocol.TransferActive());

  Feed(ReadBlock(0x83, 0xFFFF, Bytes(256, 0)));
  EXPECT_EQ(line.Size(), start + 15) << "the end is not answered";
  EXPECT_TRUE(image.Loaded(ImageKind::Program));
  EXPECT_EQ(image.Size(), 512u);
  EXPECT_EQ(image.Base(), 0u);
  EXPECT_FALSE(protocol.TransferActive());
  EXPECT_EQ(
      events.Entries(),
      std::vector<std::string>(
          {"timer on", "range 512", "show", "timer off", "hide",
           "end Read ended with a bad block at page 1 (block 2 of 512): checksum wrong.", "read"}));
}

TEST_F(BootloaderProtocolTest, DataReadAfterCancelRefusesEveryBlock) {
  Identify();
  ASSERT_TRUE(protocol.StartRead(ImageKind::Data));
  EXPECT_EQ(protocol.ExpectedLength(), 135);
  std::size_t start = line.Size();
  Feed(ReadBlock(0x84, 0, Pattern(128, 1)));
  protocol.Cancel();
  Feed(ReadBlock(0x84, 128, Pattern(128, 2)));
  Feed(ReadBlock(0x84, 0xFFFF, Bytes(128, 0)));
  EXPECT_EQ(line.Slice(start, 20), Bytes({0x5A, 0x01, 0x90, 0x84, 0x06, //
                                          0x5A, 0x01, 0x90, 0x84, 0x15}));
  EXPECT_FALSE(protocol.CancelRequested());
  EXPECT_TRUE(image.Loaded(ImageKind::Data));
  EXPECT_EQ(image.Size(), 256u);
  EXPECT_EQ(buffer[128], 2);

  const std::vector<std::string> entries = events.Entries();
  EXPECT_EQ(entries[entries.size() - 2], "end Read stopped after 1 of 32 blocks: cancelled.");
  EXPECT_EQ(protocol.LastOutcome()->end, TransferEnd::Cancelled);
}

TEST_F(BootloaderProtocolTest, JumpToApplicationNeedsNoIdentification) {
  protocol.JumpToApplication();
  EXPECT_EQ(line.All(), Bytes({0x5A, 0x01, 0x90, 0x88}));
  EXPECT_EQ(protocol.ExpectedLength(), 5);

  Identify();
  protocol.JumpToApplication();
  EXPECT_FALSE(protocol.Ready());
  Feed(Ack(0x88, 0x06));
  EXPECT_EQ(events.Targets().back()[0], "--------");
  EXPECT_EQ(protocol.Target().Descriptor().pageBytes, 256) << "the sizes stay";
  image.SetLoaded(ImageKind::Data, 100, 0);
  EXPECT_FALSE(protocol.StartWrite(ImageKind::Data));
  EXPECT_FALSE(protocol.StartRead(ImageKind::Data));
}

TEST(ReplyCollector, NeverHoldsMoreThanItsBuffer) {
  ReplyCollector collector;
  int replies = 0;
  const auto count = [&](const ReplyCollector::Buffer&, std::int32_t) { ++replies; };
  const Bytes junk(2000, 0x5A);
  collector.Add(junk.data(), junk.size(), count);
  EXPECT_EQ(collector.ReceivedCount(), 0) << "nothing expected, nothing kept";

  // A length lowered below what is already held can never be met exactly: the bytes are
  // dropped at the buffer's end instead of running past it.
  collector.SetExpectedLength(16);
  collector.Add(junk.data(), 10, count);
  collector.SetExpectedLength(5);
  collector.Add(junk.data(), junk.size(), count);
  EXPECT_LE(collector.ReceivedCount(), kReplyBufferBytes);
  EXPECT_GT(replies, 0) << "collection starts afresh after the drop";

  // With the framing known, bytes that cannot begin a reply are not kept either, and a reply
  // following them is found.
  ReplyCollector framed;
  framed.SetFraming({0x5A, 0x01, 0x90},
                    [](std::uint8_t, std::int32_t announced) { return announced; });
  framed.SetExpectedLength(5);
  replies = 0;
  framed.Add(junk.data(), junk.size(), count);
  EXPECT_LE(framed.ReceivedCount(), 1);
  const Bytes ack = Ack(0x81, 0x06);
  framed.Add(ack.data(), ack.size(), count);
  EXPECT_EQ(replies, 1);
}
