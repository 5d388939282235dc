#include "firmware/bootloader_protocol.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <utility>

namespace lamp::firmware {
namespace {

std::uint8_t SumOf(const std::uint8_t* bytes, std::size_t count) {
  return static_cast<std::uint8_t>(std::accumulate(bytes, bytes + count, 0u));
}

} // namespace

BootloaderProtocol::BootloaderProtocol(FirmwareImage& workImage, Writer send, Pacer& workerPacer,
                                       BootloaderEvents& window)
    : image(workImage), writer(std::move(send)), pacer(workerPacer), events(window) {
  // A reply's kind tells its length, except for read blocks, whose length the device's page bytes
  // give and the read request announced.
  collector.SetFraming(kBootloaderHeader, [](std::uint8_t kind, std::int32_t announced) {
    switch (kind) {
    case kBootIdentify:
      return std::int32_t{kIdentifyReplyBytes};
    case kBootWriteProgram:
    case kBootWriteData:
      return kWriteAckBytes;
    case kBootJumpApplication:
      return kJumpAckBytes;
    default:
      return announced;
    }
  });
}

BootloaderProtocol::~BootloaderProtocol() {
  Close();
}

void BootloaderProtocol::Send(std::span<const std::uint8_t> bytes) {
  // Comlane queues what fits and drops the rest; the bootloader then refuses the block (or
  // times out) and the write ends, so the count is not looked at here.
  (void)writer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void BootloaderProtocol::SendRequest(std::uint8_t subCommand) {
  Send(BootMessage(subCommand));
}

void BootloaderProtocol::OnBootData(const std::uint8_t* bytes, std::size_t count) {
  if (closing.load()) {
    return;
  }
  collector.Add(bytes, count,
                [this](const ReplyCollector::Buffer& reply, std::int32_t) { Interpret(reply); });
}

void BootloaderProtocol::OnTimerTick() {
  const bool writing = workerKind.load() == Worker::Writer;
  if (!writing && !reading.load()) {
    return;
  }
  if (timeoutTicks.fetch_add(1) + 1 >= kBlockTimeoutTicks) {
    timeoutTicks.store(0);
    if (writing) {
      StopWrite(TransferEnd::NoReply);
    } else {
      EndRead(TransferEnd::NoReply);
    }
  }
}

void BootloaderProtocol::BeginEntry() {
  if (closing.load()) {
    return;
  }
  Send(kBootloaderEntryFrame);
  collector.SetExpectedLength(0);
}

void BootloaderProtocol::FinishEntry() {
  if (closing.load()) {
    return;
  }
  collector.Empty();
  collector.SetExpectedLength(kIdentifyReplyBytes);
  ready.store(false);
  StartIdentify();
}

void BootloaderProtocol::StartIdentify() {
  if (closing.load() || workerKind.load() != Worker::None) {
    return;
  }
  target.ClearDevice();
  events.TargetChanged(target.ValueTexts());
  ready.store(false);
  StartWorker(Worker::Poller, [this] { RunPoller(); });
}

bool BootloaderProtocol::StartWrite(ImageKind kind) {
  const std::uint32_t size = image.Size();
  if (closing.load() || size == 0 || !image.Loaded(kind) || !ready.load() ||
      workerKind.load() != Worker::None || reading.load()) {
    return false;
  }
  const bool program = kind == ImageKind::Program;
  const std::int32_t pageBytes = target.Descriptor().pageBytes;
  if (program && !target.Descriptor().Usable()) {
    return false;
  }
  WriteJob job{kind, program ? pageBytes : kDataBlockBytes, 0, 0, 0, {}};
  const std::uint32_t base = image.Base();
  if (base % static_cast<std::uint32_t>(job.blockBytes) != 0) {
    return false;
  }
  job.blockCount = static_cast<std::int32_t>((size + job.blockBytes - 1) / job.blockBytes);
  job.firstAddress = program ? base / static_cast<std::uint32_t>(pageBytes) : base;
  const std::int64_t lastAddress =
      job.firstAddress +
      (program ? job.blockCount - 1 : std::int64_t{job.blockCount - 1} * kDataBlockBytes);
  if (lastAddress >= kEndOfRead) {
    return false; // the address would wrap in its two bytes and overwrite the start
  }
  job.progressMaximum = program ? job.blockCount : static_cast<std::int32_t>(size);
  job.bytes.assign(static_cast<std::size_t>(job.blockCount) * job.blockBytes, 0xFF);
  const std::size_t copied = std::min<std::size_t>(job.bytes.size(), kImageBufferBytes);
  std::memcpy(job.bytes.data(), image.Buffer().Data(), copied);

  collector.Empty();
  // A Cancel left over from a read that never reached its end must not cut this write short.
  cancelRequested.store(false);
  writeStop.store(TransferEnd::Finished);
  SendRequest(program ? kBootWriteProgram : kBootWriteData);
  collector.SetExpectedLength(kWriteAckBytes);
  transferActive.store(true);
  StartWorker(Worker::Writer, [this, job = std::move(job)] { RunWriter(job); });
  return true;
}

bool BootloaderProtocol::StartRead(ImageKind kind) {
  if (closing.load() || !ready.load() || workerKind.load() != Worker::None || reading.load()) {
    return false;
  }
  const DeviceDescriptor& device = target.Descriptor();
  const bool program = kind == ImageKind::Program;
  if (program && !device.Usable()) {
    return false;
  }
  collector.Empty();
  // A Cancel pressed during an earlier read that never reached its end (the line went away)
  // belongs to that read: this one starts uncancelled.
  cancelRequested.store(false);
  SendRequest(program ? kBootReadProgram : kBootReadData);
  transferActive.store(false);
  image.ClearLoaded();
  readCommand = program ? kBootReadProgram : kBootReadData;
  readPageBytes = device.pageBytes;
  readProgressMaximum = program ? device.flashKBytes * 1024 / device.pageBytes : device.eepromSize;
  readBlockCount =
      program ? readProgressMaximum : (device.eepromSize + kDataBlockBytes - 1) / kDataBlockBytes;
  readBlocksTaken = 0;
  readLastAddress = 0;
  readCancelledAt = -1;
  readBadBlocks.clear();
  collector.SetExpectedLength(program ? device.pageBytes + 7 : kDataReadBlockBytes);
  timeoutTicks.store(0);
  reading.store(true);
  events.StartBlockTimer();
  return true;
}

void BootloaderProtocol::JumpToApplication() {
  if (closing.load()) {
    return;
  }
  collector.Empty();
  SendRequest(kBootJumpApplication);
  collector.SetExpectedLength(kJumpAckBytes);
  ready.store(false);
}

void BootloaderProtocol::LineLost() {
  if (closing.load()) {
    return;
  }
  collector.Empty();
  if (workerKind.load() == Worker::Writer) {
    StopWrite(TransferEnd::LineLost);
  } else if (reading.load()) {
    EndRead(TransferEnd::LineLost);
  }
}

void BootloaderProtocol::PortReopened() {
  if (!closing.load()) {
    collector.Empty();
  }
}

std::optional<TransferOutcome> BootloaderProtocol::LastOutcome() const {
  const std::lock_guard lock(outcomeMutex);
  return lastOutcome;
}

void BootloaderProtocol::Report(const TransferOutcome& outcome) {
  {
    const std::lock_guard lock(outcomeMutex);
    lastOutcome = outcome;
  }
  events.TransferEnded(outcome);
}

void BootloaderProtocol::StopWrite(TransferEnd reason) {
  TransferEnd none = TransferEnd::Finished;
  (void)writeStop.compare_exchange_strong(none, reason);
  transferActive.store(false);
  SignalReply();
}

void BootloaderProtocol::Close() {
  if (!closing.exchange(true)) {
    if (reading.load()) {
      EndRead(TransferEnd::Closed);
    }
    TransferEnd none = TransferEnd::Finished;
    (void)writeStop.compare_exchange_strong(none, TransferEnd::Closed);
    transferActive.store(false);
    {
      const std::lock_guard lock(pollMutex);
      ready.store(true);
    }
    SignalReply();
    pacer.Wake();
  }
  JoinWorker();
}

void BootloaderProtocol::Interpret(const ReplyCollector::Buffer& reply) {
  if (!std::equal(kBootloaderHeader.begin(), kBootloaderHeader.end(), reply.begin())) {
    return;
  }
  switch (reply[3]) {
  case kBootIdentify:
    OnIdentify(reply);
    break;
  case kBootWriteProgram:
  case kBootWriteData:
    if (transferActive.load()) {
      if (reply[4] != kBootAck) {
        StopWrite(TransferEnd::Refused);
      } else {
        SignalReply();
      }
    }
    break;
  case kBootReadProgram:
  case kBootReadData:
    OnReadBlock(reply);
    break;
  case kBootJumpApplication:
    if (reply[4] == kBootAck) {
      target.ClearDevice();
      events.TargetChanged(target.ValueTexts());
    }
    break;
  default:
    break;
  }
}

void BootloaderProtocol::OnIdentify(const ReplyCollector::Buffer& reply) {
  target.ShowDevice(reply.data());
  events.TargetChanged(target.ValueTexts());
  // A device reporting 0 page bytes, or more than a reply can carry, cannot be read or written:
  // it stays not ready and the poller, if running, keeps asking.
  const bool usable = target.Descriptor().Usable();
  {
    const std::lock_guard lock(pollMutex);
    ready.store(usable);
  }
  if (usable && workerKind.load() == Worker::Poller) {
    pacer.Wake();
    JoinWorker();
  }
}

void BootloaderProtocol::OnReadBlock(const ReplyCollector::Buffer& reply) {
  const std::uint8_t subCommand = reply[3];
  // Blocks come only for the read requested: a late block after a read has ended (or of the
  // other memory) must not start a transfer nobody asked for.
  if (!reading.load() || subCommand != readCommand) {
    return;
  }
  const bool program = subCommand == kBootReadProgram;
  const std::int32_t blockBytes = program ? readPageBytes : kDataBlockBytes;
  timeoutTicks.store(0);
  if (!transferActive.load()) {
    transferActive.store(true);
    image.SetSize(0);
    events.SetProgressPosition(0);
    events.SetProgressRange(readProgressMaximum);
    events.ShowTransfer(true);
  }
  const std::uint32_t address = reply[4] * 256u + reply[5];
  if (address == kEndOfRead) {
    image.SetLoaded(program ? ImageKind::Program : ImageKind::Data, image.Size(), 0);
    EndRead(readCancelledAt >= 0     ? TransferEnd::Cancelled
            : !readBadBlocks.empty() ? TransferEnd::Refused
                                     : TransferEnd::Finished);
    events.ImageRead();
    return;
  }
  const std::size_t index =
      program ? std::size_t{address} * static_cast<std::size_t>(blockBytes) : std::size_t{address};
  const std::size_t count = static_cast<std::size_t>(blockBytes);
  const std::uint8_t* data = reply.data() + kReadBlockDataOffset;
  // A block reaching past the buffer is refused whole and nothing of it is stored.
  const bool fits = index + count <= kImageBufferBytes;
  const std::uint32_t sizeBefore = image.Size();
  events.SetProgressPosition(program ? static_cast<std::int32_t>(address)
                                     : static_cast<std::int32_t>(sizeBefore + count - 1));
  if (fits) {
    // Stored before the checksum is compared: a refused block stays in the image.
    std::memcpy(image.Buffer().Data() + index, data, count);
    image.SetSize(sizeBefore + static_cast<std::uint32_t>(count));
  }
  const bool good = fits && SumOf(data, count) == data[count];
  if (good) {
    readBadBlocks.erase(address);
  } else {
    readBadBlocks.emplace(address, static_cast<std::int32_t>(index / count));
  }
  if (cancelRequested.load() && readCancelledAt < 0) {
    readCancelledAt = readBlocksTaken;
  }
  ++readBlocksTaken;
  readLastAddress = address;
  Send(BootAnswer(subCommand, good && !cancelRequested.load()));
}

void BootloaderProtocol::EndRead(TransferEnd end) {
  reading.store(false);
  transferActive.store(false);
  cancelRequested.store(false);
  timeoutTicks.store(0);
  events.StopBlockTimer();
  events.ShowTransfer(false);
  TransferOutcome outcome;
  outcome.direction = TransferDirection::Read;
  outcome.kind = readCommand == kBootReadProgram ? ImageKind::Program : ImageKind::Data;
  outcome.end = end;
  outcome.blockCount = readBlockCount;
  outcome.address = readLastAddress;
  outcome.block = end == TransferEnd::Cancelled ? readCancelledAt : readBlocksTaken;
  if (end == TransferEnd::Refused) {
    outcome.address = readBadBlocks.begin()->first;
    outcome.block = readBadBlocks.begin()->second;
  }
  Report(outcome);
}

void BootloaderProtocol::StartWorker(Worker kind, std::function<void()> body) {
  JoinWorker(); // a writer that has just finished, past its last step
  workerKind.store(kind);
  worker = std::thread(std::move(body));
}

void BootloaderProtocol::JoinWorker() {
  if (worker.joinable()) {
    worker.join();
  }
  workerKind.store(Worker::None);
}

void BootloaderProtocol::RunPoller() {
  for (;;) {
    {
      const std::lock_guard lock(pollMutex);
      if (ready.load() || closing.load()) {
        return;
      }
      SendRequest(kBootIdentify);
    }
    pacer.Pause(kIdentifyPeriod, [this] { return ready.load() || closing.load(); });
  }
}

void BootloaderProtocol::RunWriter(const WriteJob& job) {
  const bool program = job.kind == ImageKind::Program;
  const std::uint32_t step = program ? 1 : kDataBlockBytes;
  events.ShowTransfer(true);
  events.SetProgressRange(job.progressMaximum);
  events.StartBlockTimer();
  std::int32_t acknowledged = 0;
  for (std::int32_t k = 0; k < job.blockCount && transferActive.load(); ++k) {
    replyReceived.store(false);
    timeoutTicks.store(0);
    const std::uint8_t* block = job.bytes.data() + static_cast<std::size_t>(k) * job.blockBytes;
    const std::uint8_t checksum = SumOf(block, static_cast<std::size_t>(job.blockBytes));
    events.SetProgressPosition(program ? k : (k + 1) * job.blockBytes - 1);
    const std::uint32_t address = job.firstAddress + static_cast<std::uint32_t>(k) * step;
    const std::array<std::uint8_t, 2> addressBytes = {static_cast<std::uint8_t>(address >> 8),
                                                      static_cast<std::uint8_t>(address & 0xFF)};
    Send(addressBytes);
    Send(std::span<const std::uint8_t>(block, static_cast<std::size_t>(job.blockBytes)));
    Send(std::span<const std::uint8_t>(&checksum, 1));
    WaitForReply();
    if (!transferActive.load()) {
      break;
    }
    acknowledged = k + 1;
    if (cancelRequested.load()) {
      break;
    }
    pacer.Pause(kBlockPause, [this] { return closing.load(); });
  }
  Send(kEndOfWrite);
  TransferOutcome outcome;
  outcome.direction = TransferDirection::Write;
  outcome.kind = job.kind;
  outcome.block = acknowledged;
  outcome.address = job.firstAddress + static_cast<std::uint32_t>(acknowledged) * step;
  outcome.blockCount = job.blockCount;
  if (acknowledged < job.blockCount) {
    const TransferEnd stop = writeStop.load();
    outcome.end = stop != TransferEnd::Finished ? stop
                  : cancelRequested.load()      ? TransferEnd::Cancelled
                                                : TransferEnd::Closed;
  }
  transferActive.store(false);
  cancelRequested.store(false);
  replyReceived.store(false);
  events.StopBlockTimer();
  events.ShowTransfer(false);
  Report(outcome);
  workerKind.store(Worker::None);
}

void BootloaderProtocol::SignalReply() {
  replyReceived.store(true);
  { const std::lock_guard lock(replyMutex); }
  replyWake.notify_all();
}

void BootloaderProtocol::WaitForReply() {
  std::unique_lock lock(replyMutex);
  replyWake.wait(lock, [this] { return replyReceived.load() || closing.load(); });
}

} // namespace lamp::firmware
