#pragma once
// The conversation with the controller's bootloader, without any window: entering the
// bootloader, identifying the device, writing and reading program (FLASH) and data (EEPROM)
// memory block by block, and jumping back to the application. The firmware dialog forwards its
// commands, the received bytes (WM_BOOT_DATA), the ticks of timer 10 and Cancel to it, and shows
// what BootloaderEvents asks for.
//
// Bytes on the line: the entry frame 5A 06 01 90 87 03 to the application (link/protocol.h), then
// the bootloader's requests, blocks and replies (firmware/bootloader_wire.h). Replies are cut by
// the expected length; an identify reply (16) or acknowledgement (5) that comes unasked for is
// cut by its own length.
//
// Threads. Every operation except the accessors belongs to the user-interface thread. The class
// runs at most one worker thread of its own: the identify poller (a request every 250 ms until
// the device answers) or the block writer (which waits for each acknowledgement). Flags shared
// with the worker are atomic. Close (also run by the destructor) releases and joins the worker,
// whatever it is waiting for; the writer still sends FF FF on its way out.
//
// Failures are silent, as the dialog shows no messages: a command whose preconditions fail does
// nothing and returns false.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include <link/protocol.h>

#include "firmware/bootloader_events.h"
#include "firmware/bootloader_wire.h"
#include "firmware/firmware_image.h"
#include "firmware/pacer.h"
#include "firmware/reply_collector.h"
#include "firmware/target_panel.h"
#include "firmware/transfer_outcome.h"

namespace lamp::firmware {

inline constexpr std::chrono::milliseconds kEntryPause{1000};
inline constexpr std::chrono::milliseconds kIdentifyPeriod{250};
inline constexpr std::chrono::milliseconds kBlockPause{1};
inline constexpr int kBlockTimerId = 10;
inline constexpr std::chrono::milliseconds kBlockTimerPeriod{1000};
// Ticks of timer 10 after which an unacknowledged block ends the write, and after which a read
// that gets no further block ends.
inline constexpr std::int32_t kBlockTimeoutTicks = 2;

class BootloaderProtocol {
public:
  // Sends bytes to the controller; called from the user-interface thread and the worker. The
  // program passes comlane::SerialPort::Write.
  using Writer = std::function<int(const std::uint8_t* bytes, std::int32_t count)>;

  BootloaderProtocol(FirmwareImage& workImage, Writer send, Pacer& workerPacer,
                     BootloaderEvents& window);
  ~BootloaderProtocol();
  BootloaderProtocol(const BootloaderProtocol&) = delete;
  BootloaderProtocol& operator=(const BootloaderProtocol&) = delete;

  // WM_BOOT_DATA: bytes received from the controller.
  void OnBootData(const std::uint8_t* bytes, std::size_t count);
  // A tick of timer 10. The second tick after a block was sent without its acknowledgement
  // ends the write; the second tick without a read block ends the read (as stopped, the image
  // not loaded). Ignored while no transfer runs.
  void OnTimerTick();

  // "Jump Boot Program", first half: sends the entry frame and stops collecting replies.
  void BeginEntry();
  // "Jump Boot Program", second half, kEntryPause after BeginEntry: drops what arrived
  // meanwhile, expects the identify reply, clears ready and calls StartIdentify.
  void FinishEntry();
  // WM_BOOT_IDENTIFY: unless a worker runs, clears the target values and starts the poller.
  void StartIdentify();

  // "Write Program(FLASH)" / "Write Data(EEPROM)". Needs a loaded image of `kind` with a size
  // above 0, a ready device, no worker and no read running. Blocks: page bytes (program) or 128
  // bytes (data), at the image's own addresses: pages from base / page bytes on, data addresses
  // from the base on; the last block is sent whole, with the buffer's bytes past the image (0xFF
  // past the buffer's end). The writer sends the image as it was when the command was given,
  // and starts with no Cancel pending. Also refused when the base is not a multiple of the block
  // size (a block would straddle two of the device's) or when a block address would not fit in
  // its two bytes below FF FF.
  bool StartWrite(ImageKind kind);
  // "Read Program(FLASH)" / "Read Data(EEPROM)". Needs a ready device, no worker and no read
  // running. Sends the request, clears both loaded flags and any Cancel left over, and starts
  // timer 10; the blocks are stored and answered as they arrive.
  bool StartRead(ImageKind kind);
  // "Jump Application Program": empties the reply buffer (a reply cut off earlier must not
  // swallow the acknowledgement), sends the request and clears ready. No precondition.
  void JumpToApplication();
  // The serial line was lost: a running write or read ends as stopped (line lost), and the reply
  // buffer is emptied.
  void LineLost();
  // The serial port was opened again: the reply buffer is emptied, as bytes before the re-open
  // belong to no reply that can still come.
  void PortReopened();
  // The Cancel button: a write stops after the block in flight; a read NAKs every further block.
  void Cancel() { cancelRequested.store(true); }
  // Closing the dialog: ends the transfer, releases and joins the worker. Idempotent.
  void Close();

  // Accessors, any thread.
  [[nodiscard]] bool Ready() const { return ready.load(); }
  [[nodiscard]] bool WorkerRunning() const { return workerKind.load() != Worker::None; }
  [[nodiscard]] bool TransferActive() const { return transferActive.load(); }
  [[nodiscard]] bool CancelRequested() const { return cancelRequested.load(); }
  // True from a write or read command until that transfer has ended.
  [[nodiscard]] bool Transferring() const {
    return reading.load() || workerKind.load() == Worker::Writer;
  }
  // How the last write or read ended; empty before the first has ended.
  [[nodiscard]] std::optional<TransferOutcome> LastOutcome() const;
  // User-interface thread only.
  [[nodiscard]] const TargetPanel& Target() const { return target; }
  [[nodiscard]] std::int32_t ExpectedLength() const { return collector.ExpectedLength(); }

private:
  enum class Worker { None, Poller, Writer };
  struct WriteJob {
    ImageKind kind;
    std::int32_t blockBytes;
    std::int32_t blockCount;
    std::int32_t progressMaximum;
    std::uint32_t firstAddress;      // address of block 0 on the line: page number or byte address
    std::vector<std::uint8_t> bytes; // blockCount x blockBytes
  };

  void Send(std::span<const std::uint8_t> bytes);
  void SendRequest(std::uint8_t subCommand);
  // `reply` is the whole reply buffer: bytes past the reply's length are 0.
  void Interpret(const ReplyCollector::Buffer& reply);
  void OnIdentify(const ReplyCollector::Buffer& reply);
  void OnReadBlock(const ReplyCollector::Buffer& reply);
  void EndRead(TransferEnd end);
  // Ends a running write for `reason`, unless an earlier reason already ended it.
  void StopWrite(TransferEnd reason);
  void Report(const TransferOutcome& outcome);
  void StartWorker(Worker kind, std::function<void()> body);
  void JoinWorker();
  void RunPoller();
  void RunWriter(const WriteJob& job);
  void SignalReply();
  void WaitForReply();

  FirmwareImage& image;
  Writer writer;
  Pacer& pacer;
  BootloaderEvents& events;
  TargetPanel target;
  ReplyCollector collector;

  std::atomic<bool> ready{false};
  std::atomic<bool> transferActive{false};
  std::atomic<bool> replyReceived{false};
  std::atomic<std::int32_t> timeoutTicks{0};
  std::atomic<bool> cancelRequested{false};
  std::atomic<bool> closing{false};
  std::atomic<Worker> workerKind{Worker::None};
  std::atomic<bool> reading{false};
  // Why the running write was ended from outside the writer; Finished while nothing ended it.
  std::atomic<TransferEnd> writeStop{TransferEnd::Finished};

  // Held by the poller while it checks `ready` and sends, so that no request leaves after the
  // identify reply has been taken.
  std::mutex pollMutex;
  std::mutex replyMutex;
  std::condition_variable replyWake;
  std::thread worker;

  mutable std::mutex outcomeMutex;
  std::optional<TransferOutcome> lastOutcome;

  // The read in progress (user-interface thread): what was requested, page bytes and progress
  // range taken then, and how it went so far.
  std::uint8_t readCommand = 0;
  std::int32_t readPageBytes = 0;
  std::int32_t readProgressMaximum = 0;
  std::int32_t readBlockCount = 0;
  std::int32_t readBlocksTaken = 0;
  std::uint32_t readLastAddress = 0;
  std::int32_t readCancelledAt = -1;
  // Addresses of blocks whose last copy failed its checksum; a good copy sent again clears one.
  std::map<std::uint32_t, std::int32_t> readBadBlocks;
};

} // namespace lamp::firmware
