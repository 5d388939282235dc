#pragma once
// One velora-flash session with the controller: the serial port (Comlane) and the bootloader
// conversation of the firmware dialog (BootloaderProtocol), the same code the dialog drives. The
// thread that calls the operations below plays the dialog's user-interface thread: it takes the
// chunks Comlane delivers, ticks timer 10 while a transfer runs and watches for Ctrl-C. How a
// transfer ended is the conversation's own report (TransferOutcome); the session only tells a
// silent device from a line that went away.
//
// Threads: every operation belongs to the thread that made the session.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <comlane/serial_port.h>
#include <wndmsg/message_target.h>

#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "firmware/image_buffer.h"
#include "firmware/pacer.h"

namespace flash {

// How long the device has to acknowledge the jump to its application.
inline constexpr std::chrono::milliseconds kJumpTimeout{2000};

class Session final : public wndmsg::MessageTarget, public lamp::firmware::BootloaderEvents {
public:
  enum class OpenResult { Opened, Missing, NotAllowed, Busy, Refused };
  enum class EnterResult { Identified, Silent, LineLost, Interrupted };
  enum class WriteEnd { Finished, NotStarted, Refused, NoAcknowledgement, LineLost, Cancelled };
  enum class ReadEnd { Finished, Stalled, Damaged, LineLost, Interrupted };

  struct WriteResult {
    WriteEnd end = WriteEnd::NotStarted;
    // The block the write ended at (0 = the first) and its memory address; for Finished the last.
    std::int32_t block = 0;
    std::uint32_t address = 0;
  };
  struct ReadResult {
    ReadEnd end = ReadEnd::Stalled;
    std::vector<std::uint8_t> bytes; // the memory from address 0, for Finished
    std::uint32_t address = 0;       // Damaged: the first block whose checksum stayed wrong
  };

  // `interrupted` is asked often while waiting (Ctrl-C); `progress` gets (position, maximum) of
  // the running transfer as it moves, on the calling thread.
  Session(std::function<bool()> interrupted,
          std::function<void(std::int32_t, std::int32_t)> progress);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The port's line attributes, to be set before Open.
  [[nodiscard]] comlane::SerialPort& Port() { return *port; }
  // Opens the port with its attributes and starts its threads.
  [[nodiscard]] OpenResult Open();
  [[nodiscard]] const std::string& DevicePath() const { return devicePath; }

  // "Jump Boot Program": the entry frame, the entry pause, then the identify request until the
  // device answers or `timeout` passes.
  [[nodiscard]] EnterResult Enter(std::chrono::milliseconds timeout);
  [[nodiscard]] const lamp::firmware::DeviceDescriptor& Device() const {
    return protocol.Target().Descriptor();
  }

  // Writes `size` bytes of `bytes` (the image from address `base`) into memory of `kind`. Ctrl-C
  // cancels the write after the block in flight, as Cancel does; FF FF ends it either way.
  [[nodiscard]] WriteResult Write(lamp::firmware::ImageKind kind, const std::uint8_t* bytes,
                                  std::uint32_t size, std::uint32_t base);
  // Reads the whole memory of `kind`. A block whose checksum was wrong and not put right by the
  // device's second copy makes the read Damaged.
  [[nodiscard]] ReadResult Read(lamp::firmware::ImageKind kind);
  // "Jump Application Program"; true once the device has acknowledged it.
  [[nodiscard]] bool Jump();

  // wndmsg::MessageTarget: Comlane's receive thread delivers here.
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override;
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

  // BootloaderEvents.
  void TargetChanged(const lamp::firmware::TargetPanel::Values& values) override;
  void ShowTransfer(bool shown) override;
  void SetProgressRange(std::int32_t maximum) override;
  void SetProgressPosition(std::int32_t position) override;
  void StartBlockTimer() override { timerOn.store(true); }
  void StopBlockTimer() override { timerOn.store(false); }
  void ImageRead() override {}
  void TransferEnded(const lamp::firmware::TransferOutcome&) override { outcomes.fetch_add(1); }

private:
  // Plays the user-interface thread until `done()` holds or `deadline` passes (false then).
  bool Run(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
  void ReportProgress();
  [[nodiscard]] bool LineLost() const;
  [[nodiscard]] std::uint32_t MemoryAddress(const lamp::firmware::TransferOutcome& outcome) const;
  int SendBytes(const std::uint8_t* bytes, std::int32_t count);
  // Gives Comlane's transmit thread time to hand the last bytes (FF FF after a stopped write)
  // to the driver, which delivers what it holds even after the port is closed.
  void Settle();

  std::function<bool()> interrupted;
  std::function<void(std::int32_t, std::int32_t)> progress;
  comlane::SerialPort* port = nullptr;
  std::string devicePath;
  std::optional<std::uint64_t> deviceIdentity;

  lamp::firmware::ImageBuffer buffer;
  lamp::firmware::FirmwareImage image{buffer};
  lamp::firmware::SteadyPacer pacer;

  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::vector<std::uint8_t>> chunks;
  std::atomic<std::chrono::steady_clock::rep> lastSent{0};

  std::atomic<bool> timerOn{false};
  bool ticking = false;
  std::chrono::steady_clock::time_point nextTick{};

  std::atomic<std::int32_t> progressMaximum{0};
  std::atomic<std::int32_t> progressPosition{0};
  std::int32_t shownPosition = -1;
  std::atomic<int> outcomes{0};
  bool jumpPending = false;
  bool jumpConfirmed = false;

  lamp::firmware::BootloaderProtocol protocol{
      image,
      [this](const std::uint8_t* bytes, std::int32_t count) { return SendBytes(bytes, count); },
      pacer, *this};
};

} // namespace flash
