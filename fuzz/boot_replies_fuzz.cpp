// The bootloader conversation driven by arbitrary input: the input is a script of the dialog's
// commands, timer ticks and received chunks, so that replies reach the reply collector and their
// interpretation in every state (identifying, reading, writing, after a jump). The sanitizers
// check memory and arithmetic; the protocol's worker threads run as in the program and are
// joined by Close at the end of each input.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>

#include "firmware/bootloader_events.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "firmware/image_buffer.h"

namespace {

using namespace lamp::firmware;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Short pauses pass at once; the identify poller waits until it is told to stop, so that no
// request depends on the clock.
class StopOnlyPacer final : public Pacer {
public:
  void Pause(std::chrono::milliseconds duration, const std::function<bool()>& stop) override {
    if (duration < kIdentifyPeriod) {
      return;
    }
    std::unique_lock lock(mutex);
    wake.wait(lock, stop);
  }
  void Wake() override {
    { const std::lock_guard lock(mutex); }
    wake.notify_all();
  }

private:
  std::mutex mutex;
  std::condition_variable wake;
};

class NoWindow final : public BootloaderEvents {
public:
  void TargetChanged(const TargetPanel::Values&) override {}
  void ShowTransfer(bool) override {}
  void SetProgressRange(std::int32_t) override {}
  void SetProgressPosition(std::int32_t) override {}
  void StartBlockTimer() override {}
  void StopBlockTimer() override {}
  void ImageRead() override {}
};

// The script's reader: bytes past the end read as 0.
class Script {
public:
  Script(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}
  [[nodiscard]] bool Done() const { return at >= size; }
  std::uint8_t Byte() { return at < size ? data[at++] : 0; }
  // Up to `count` bytes from the script; sets `taken` to how many there were.
  const std::uint8_t* Take(std::size_t count, std::size_t& taken) {
    taken = count < size - at ? count : size - at;
    const std::uint8_t* bytes = data + at;
    at += taken;
    return bytes;
  }

private:
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
};

ImageKind KindOf(std::uint8_t b) {
  return (b & 1) != 0 ? ImageKind::Data : ImageKind::Program;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ImageBuffer buffer;
  FirmwareImage image(buffer);
  StopOnlyPacer pacer;
  NoWindow window;
  BootloaderProtocol protocol(
      image, [](const std::uint8_t*, std::int32_t count) { return count; }, pacer, window);

  Script script(data, size);
  while (!script.Done()) {
    switch (script.Byte() % 8) {
    case 0:
    case 1:
    case 2: {
      std::size_t count = 0;
      const std::uint8_t* chunk = script.Take(script.Byte(), count);
      protocol.OnBootData(chunk, count);
      break;
    }
    case 3:
      protocol.BeginEntry();
      protocol.FinishEntry();
      break;
    case 4:
      (void)protocol.StartRead(KindOf(script.Byte()));
      break;
    case 5: {
      const ImageKind kind = KindOf(script.Byte());
      const std::uint32_t high = script.Byte();
      const std::uint32_t bytes = (high << 9) | (std::uint32_t{script.Byte()} << 1) | 1;
      image.SetLoaded(kind, bytes, 0);
      (void)protocol.StartWrite(kind);
      break;
    }
    case 6:
      protocol.OnTimerTick();
      break;
    default:
      switch (script.Byte() % 5) {
      case 0:
        protocol.JumpToApplication();
        break;
      case 1:
        protocol.Cancel();
        break;
      case 2:
        protocol.StartIdentify();
        break;
      case 3:
        protocol.BeginEntry();
        break;
      default:
        protocol.FinishEntry();
        break;
      }
      break;
    }
    Check(image.Size() <= kImageBufferBytes);
    Check(protocol.ExpectedLength() >= 0 && protocol.ExpectedLength() <= kReplyBufferBytes);
  }
  protocol.Close();
  Check(!protocol.WorkerRunning());
  return 0;
}
