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
    : image(workImage), writer(std::move(send)), pacer(workerPacer), events(window) {}

BootloaderProtocol::~BootloaderProtocol() {
  Close();
}

void BootloaderProtocol::Send(std::span<const std::uint8_t> bytes) {
  // Comlane queues what fits and drops the rest; the bootloader then refuses the block (or
  // times out) and the write ends, so the count is not looked at here.
  (void)writer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void BootloaderProtocol::SendRequest(std::uint8_t subCommand) {
  const std::array<std::uint8_t, 4> request = {kBootHeader[0], kBootHeader[1], kBootHeader[2],
                                               subCommand};
  Send(request);
}

void BootloaderProtocol::OnBootData(const std::uint8_t* bytes, std::size_t count) {
  if (closing.load()) {
    return;
  }
  collector.Add(bytes, count,
                [this](const ReplyCollector::Buffer& reply, std::int32_t) { Interpret(reply); });
}

void BootloaderProtocol::OnTimerTick() {
  if (workerKind.load() != Worker::Writer) {
    return;
  }
  if (timeoutTicks.fetch_add(1) + 1 >= kBlockTimeoutTicks) {
    transferActive.store(false);
    timeoutTicks.store(0);
    SignalReply();
  }
}

void BootloaderProtocol::BeginEntry() {
  if (closing.load()) {
    return;
  }
  Send(kEntryFrame);
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
      workerKind.load() != Worker::None) {
    return false;
  }
  const bool program = kind == ImageKind::Program;
  const std::int32_t pageBytes = target.Descriptor().pageBytes;
  if (program && !target.Descriptor().Usable()) {
    return false;
  }
  WriteJob job{kind, program ? pageBytes : kDataBlockBytes, 0, 0, {}};
  job.blockCount = static_cast<std::int32_t>((size + job.blockBytes - 1) / job.blockBytes);
  const std::int64_t lastAddress =
      program ? job.blockCount - 1 : std::int64_t{job.blockCount - 1} * kDataBlockBytes;
  if (lastAddress >= kEndOfRead) {
    return false; // the address would wrap in its two bytes and overwrite the start
  }
  job.progressMaximum = program ? job.blockCount : static_cast<std::int32_t>(size);
  job.bytes.assign(static_cast<std::size_t>(job.blockCount) * job.blockBytes, 0xFF);
  const std::size_t copied = std::min<std::size_t>(job.bytes.size(), kImageBufferBytes);
  std::memcpy(job.bytes.data(), image.Buffer().Data(), copied);

  collector.Empty();
  SendRequest(program ? kBootWriteProgram : kBootWriteData);
  collector.SetExpectedLength(kWriteAckBytes);
  transferActive.store(true);
  StartWorker(Worker::Writer, [this, job = std::move(job)] { RunWriter(job); });
  return true;
}

bool BootloaderProtocol::StartRead(ImageKind kind) {
  if (closing.load() || !ready.load() || workerKind.load() != Worker::None) {
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
  readPageBytes = device.pageBytes;
  readProgressMaximum = program ? device.flashKBytes * 1024 / device.pageBytes : device.eepromSize;
  collector.SetExpectedLength(program ? device.pageBytes + 7 : kDataReadBlockBytes);
  return true;
}

void BootloaderProtocol::JumpToApplication() {
  if (closing.load()) {
    return;
  }
  SendRequest(kBootJumpApplication);
  collector.SetExpectedLength(kJumpAckBytes);
  ready.store(false);
}

void BootloaderProtocol::Close() {
  if (!closing.exchange(true)) {
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
  if (!std::equal(kBootHeader.begin(), kBootHeader.end(), reply.begin())) {
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
        transferActive.store(false);
      }
      SignalReply();
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
  const bool program = subCommand == kBootReadProgram;
  const std::int32_t blockBytes = program ? readPageBytes : kDataBlockBytes;
  if (blockBytes <= 0) {
    return; // no program read was ever set up, so the block's length is unknown
  }
  if (!transferActive.load()) {
    transferActive.store(true);
    image.SetSize(0);
    events.SetProgressPosition(0);
    events.SetProgressRange(readProgressMaximum);
    events.ShowTransfer(true);
  }
  const std::uint32_t address = reply[4] * 256u + reply[5];
  if (address == kEndOfRead) {
    transferActive.store(false);
    cancelRequested.store(false);
    image.SetLoaded(program ? ImageKind::Program : ImageKind::Data, image.Size(), 0);
    events.ShowTransfer(false);
    events.ImageRead();
    return;
  }
  const std::size_t index =
      program ? std::size_t{address} * static_cast<std::size_t>(blockBytes) : std::size_t{address};
  const std::size_t count = static_cast<std::size_t>(blockBytes);
  const std::uint8_t* data = reply.data() + 6;
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
  const std::array<std::uint8_t, 5> answer = {
      kBootHeader[0], kBootHeader[1], kBootHeader[2], subCommand,
      cancelRequested.load() || !good ? kBootNak : kBootAck};
  Send(answer);
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
  events.ShowTransfer(true);
  events.SetProgressRange(job.progressMaximum);
  events.StartBlockTimer();
  for (std::int32_t k = 0; k < job.blockCount && transferActive.load(); ++k) {
    replyReceived.store(false);
    timeoutTicks.store(0);
    const std::uint8_t* block = job.bytes.data() + static_cast<std::size_t>(k) * job.blockBytes;
    const std::uint8_t checksum = SumOf(block, static_cast<std::size_t>(job.blockBytes));
    events.SetProgressPosition(program ? k : (k + 1) * job.blockBytes - 1);
    const std::int32_t address = program ? k : k * kDataBlockBytes;
    const std::array<std::uint8_t, 2> addressBytes = {static_cast<std::uint8_t>(address >> 8),
                                                      static_cast<std::uint8_t>(address & 0xFF)};
    Send(addressBytes);
    Send(std::span<const std::uint8_t>(block, static_cast<std::size_t>(job.blockBytes)));
    Send(std::span<const std::uint8_t>(&checksum, 1));
    WaitForReply();
    if (!transferActive.load() || cancelRequested.load()) {
      break;
    }
    pacer.Pause(kBlockPause, [this] { return closing.load(); });
  }
  const std::array<std::uint8_t, 2> end = {0xFF, 0xFF};
  Send(end);
  transferActive.store(false);
  cancelRequested.store(false);
  replyReceived.store(false);
  events.StopBlockTimer();
  events.ShowTransfer(false);
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
